// FileRead$: a whole file as a temporary that the builder reads straight into its destination.
#pragma once

#include "storage.h"

namespace tarnfold {

// Looks `name` up (FindFile, which fills FindDataBuffer) and records a file-contents
// record for its size as the next TempSlot: sixteen bytes of ring space; the file is
// opened and read only when the builder expands the record, so a whole file costs one
// copy. A name that does not exist is FatalError 5 ("Could not open" the name "for Recall,
// FileRead$ etc."; a name pointer below 64 KiB is named by its number, never read); a file
// of 2 GiB or more, which no text can hold: FatalError 1.
RecordedTemp FileReadStr(const char* name);

}  // namespace tarnfold
