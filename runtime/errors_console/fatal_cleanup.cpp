// Fatal clean-up steps that act on the file-slot and array tables.
#include "fatal_cleanup.h"

#include "../arrays_text/string_arrays.h"
#include "../files/file_slots.h"

namespace tarnfold {

void CloseFilesBeforeFatalBox() { CloseFile(kAllFileSlots); }

void EraseArraysAfterFatalBox() { EraseArray(kAllArrays); }

}  // namespace tarnfold
