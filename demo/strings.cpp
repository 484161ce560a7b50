// The demo's string table for the POSIX platform's LoadStringA and LoadStringW.
#include "platform/win32.h"

namespace {

#define TARNFOLD_STRING(id, units, text)                                        \
    static_assert(sizeof(u"" text) / sizeof(char16_t) - 1 == (units),          \
                  "string " #id " must hold " #units " UTF-16 units");
#include "strings.def"
#undef TARNFOLD_STRING

constexpr StringResource kEntries[] = {
#define TARNFOLD_STRING(id, units, text) {id, u"" text},
#include "strings.def"
#undef TARNFOLD_STRING
};

}  // namespace

extern "C" const StringResourceTable TarnfoldStringTable = {
    kEntries, static_cast<UINT>(sizeof kEntries / sizeof kEntries[0])};
