// Fatal clean-up steps that act on the file-slot and array tables.
#include "fatal_cleanup.h"

namespace tarnfold {

void CloseFilesBeforeFatalBox() {
    // File slots are not part of the runtime yet; nothing can be open.
}

void EraseArraysAfterFatalBox() {
    // String arrays are not part of the runtime yet; nothing can exist.
}

}  // namespace tarnfold
