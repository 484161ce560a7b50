// WriteResultToSlot: one WriteFile of the result, counted in bytes or in 16-bit units.
#include "file_write.h"

#include "../core/builder.h"
#include "../errors_console/fatal_error.h"
#include "../platform/win32.h"
#include "file_slots.h"

namespace tarnfold {

void WriteResultToSlot(Word request, char* result, std::size_t length) {
    unsigned slot = ((request & kBuildFileMask) >> kBuildFileShift) - 1;
    if (slot >= kFileSlotCount) {
        SetLastError(ERROR_INVALID_HANDLE);
        FatalSystemError();
    }
    std::size_t count = length;
    if (request & kBuildWide) {
        // A zero 16-bit unit after the text whatever its parity: three zero bytes.
        result[length] = result[length + 1] = result[length + 2] = '\0';
        const char16_t* unit = reinterpret_cast<const char16_t*>(result);
        while (*unit != 0) ++unit;
        count = static_cast<std::size_t>(reinterpret_cast<const char*>(unit) - result);
    }
    DWORD written = 0;
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(FileSlotTable[slot]));
    if (!WriteFile(handle, result, static_cast<DWORD>(count), &written, nullptr)) FatalSystemError();
}

}  // namespace tarnfold
