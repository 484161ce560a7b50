// Fatal clean-up steps that act on the file-slot and array tables.
#include "fatal_cleanup.h"

#include "../arrays_text/string_arrays.h"

namespace tarnfold {

void CloseFilesBeforeFatalBox() {
    // File slots are not part of the runtime yet; nothing can be open.
}

void EraseArraysAfterFatalBox() { EraseArray(kAllArrays); }

}  // namespace tarnfold
