// WriteResultToSlot: one WriteFile of the result, counted in bytes or in 16-bit units.
#include "file_write.h"

#include "../core/builder.h"
#include "../errors_console/fatal_error.h"
#include "../platform/win32.h"
#include "slot_handles.h"

namespace tarnfold {

void WriteResultToSlot(Word request, const char* result, std::size_t length) {
    unsigned slot = ((request & kBuildFileMask) >> kBuildFileShift) - 1;
    if (slot >= kFileSlotCount) {
        SetLastError(ERROR_INVALID_HANDLE);
        FatalSystemError();
    }
    std::size_t count = length;
    if (request & kBuildWide) {
        // The builder leaves three zero bytes after the result: a zero 16-bit unit follows
        // the text whatever its parity.
        const char16_t* unit = reinterpret_cast<const char16_t*>(result);
        while (*unit != 0) ++unit;
        count = static_cast<std::size_t>(reinterpret_cast<const char*>(unit) - result);
    }
    // A write that delivers less than the result (a full disk) fails like any other: the
    // file would silently lack the rest.
    DWORD written = 0;
    if (!WriteFile(SlotHandle(static_cast<int>(slot)), result, static_cast<DWORD>(count), &written, nullptr))
        FatalSystemError();
    if (written != count) {
        SetLastError(ERROR_DISK_FULL);  // the error left from before would name another cause
        FatalSystemError();
    }
}

}  // namespace tarnfold
