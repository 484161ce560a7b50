// WriteResultToSlot's failures and its wide count (the write itself is inline).
#include "file_write.h"

#include "../errors_console/fatal_error.h"

namespace tarnfold {

void RefuseSlotNumber() {
    SetLastError(ERROR_INVALID_HANDLE);
    FatalSystemError();
}

void FailedSlotWrite(BOOL succeeded) {
    if (succeeded) SetLastError(ERROR_DISK_FULL);  // the error left from before would name another cause
    FatalSystemError();
}

std::size_t WideResultBytes(const char* result) {
    // The builder leaves three zero bytes after the result: a zero 16-bit unit follows the
    // text whatever its parity.
    const char16_t* unit = reinterpret_cast<const char16_t*>(result);
    while (*unit != 0) ++unit;
    return static_cast<std::size_t>(reinterpret_cast<const char*>(unit) - result);
}

}  // namespace tarnfold
