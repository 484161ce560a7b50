// Resource strings: string-table entries straight into the scratch ring as temporaries.
#pragma once

#include <cstdint>

namespace tarnfold {

// Loads entry |id| (UTF-16 when id < 0, ANSI otherwise) at the ring position, records it
// as the next TempSlot and returns its first byte. No allocation, no copy. A missing or
// empty entry ends the process through FatalSystemError.
char* LoadResText(std::int32_t id);

}  // namespace tarnfold
