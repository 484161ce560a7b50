// Tarnfold: fast text for 32-bit x86 programs.
//
// Temporaries live in a static scratch ring and never allocate; the string builder
// measures its parts, takes one block and copies them straight into a variable, an array
// element, the console or a file; failures end the process with a numbered message box.
//
//     #include "tarnfold.h"
//     using namespace tarnfold;
//     int main() {
//         const char* name = nullptr;
//         name = Assign(name, "Hello, ", "world");   // StringBuilder(ToVariable(2), ..., name)
//         Print(name, kTokenCrLf);                   // StringBuilder(ToConsole(2), ...)
//         ReleaseHeapString(kReleaseAll);
//     }
#pragma once

#include "core/storage.h"
#include "errors_console/fatal_error.h"
#include "core/builder.h"
#include "core/producers.h"
#include "core/replace.h"
#include "core/file_read.h"
#include "errors_console/console.h"
#include "errors_console/resources.h"
#include "arrays_text/string_arrays.h"
#include "arrays_text/find_text.h"
#include "files/file_slots.h"
#include "files/file_queries.h"
#include "files/recall.h"
#include "numbers/numbers.h"
#include "errors_console/command_line.h"
#include "arrays_text/text_functions.h"
