// The clean-up a fatal error performs around its message box, beyond the heap strings.
#pragma once

namespace tarnfold {

// Before the box: closes every file slot, so written data is on disk while the box shows.
void CloseFilesBeforeFatalBox();
// After the box, before the heap strings are released: erases every string array.
void EraseArraysAfterFatalBox();

}  // namespace tarnfold
