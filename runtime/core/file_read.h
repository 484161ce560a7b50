// FileRead$: a whole file as a temporary that the builder reads straight into its destination.
#pragma once

#include "storage.h"

namespace tarnfold {

// Measures the file `name` names (opened for reading by that name, as the expansion will
// open it; no wildcard lookup) and records a file-contents record for its size as the next
// TempSlot: sixteen bytes of ring space; the file is read only when the builder expands
// the record, so a whole file costs one copy. No file slot is used. A name that cannot be
// opened is FatalError 5 ("Could not open" the name "for Recall, FileRead$ etc."; a name
// pointer below 64 KiB is named by its number, never read); a file of 2 GiB or more, which
// no text can hold: FatalError 1. A file whose size has changed by the expansion, or that
// cannot be opened or read then: FatalError 5 with its name, never zeros or a cut text.
RecordedTemp FileReadStr(const char* name);

}  // namespace tarnfold
