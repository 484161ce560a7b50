// Store: a string array to a file, one line per element, in batches from the scratch ring.
#include "../arrays_text/string_arrays.h"
#include "../core/copy_bytes.h"
#include "../core/temp_slots.h"
#include "../errors_console/fatal_error.h"
#include "../platform/win32.h"
#include "slot_handles.h"
#include "recall.h"

namespace tarnfold {

namespace {

constexpr std::size_t kBatchLimit = kScratchRingSize;  // a batch stays below this

HANDLE TakeOutputHandle(FileRef destination) {
    if (IsSlotRef(destination)) {
        auto slot = static_cast<std::int32_t>(destination);
        HANDLE handle = TakeSlot(slot);
        // A free or failed slot fails as its first write would, whether or not there is
        // anything to write.
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            SetLastError(ERROR_INVALID_HANDLE);
            FatalSystemError();
        }
        return handle;
    }
    if (!IsAddressRef(destination)) {
        char number[12];
        FatalError(kErrorOpenForStore, FileRefText(destination, number));
    }
    const char* name = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(destination));
    Word handle = kFreeSlot;
    if (OpenOutputInto(handle, name, kModeCreate) == kFailedSlot) FatalError(kErrorOpenForStore, name);
    return HandleOf(handle);
}

// A write that fails, or writes less than asked (a full disk), ends the program; what was
// written before stays in the file.
void WriteOrFail(HANDLE handle, const char* bytes, std::size_t size) {
    if (size == 0) return;
    DWORD written = 0;
    if (WriteFile(handle, bytes, static_cast<DWORD>(size), &written, nullptr) == FALSE) FatalSystemError();
    if (written != size) {
        SetLastError(ERROR_DISK_FULL);  // the error left from before would name another cause
        FatalSystemError();
    }
}

// The element count a negative count stands for.
std::int32_t ElementCount(std::int32_t array) {
    if (array < 0 || array >= kArrayCount) FatalLineError(kErrorCountTooHigh);
    StringArray* table = ArrayTable[array];
    if (table == kErasedArray) {
        ErrorLine = 0;
        FatalLineError(kErrorArrayErased);
    }
    return table == nullptr ? 0 : table->count;
}

// Makes the one element access of elements 0 .. count - 1 that would fail (an array number
// outside the table, an erased array, the first index beyond the last element), so that
// its fatal error, with the same line number, comes before the file is opened or emptied.
// The array number and an erased array are checked whatever the count, 0 included.
void RequireElements(std::int32_t array, std::int32_t count) {
    if (array < 0 || array >= kArrayCount || ArrayTable[array] == kErasedArray) {
        AccessElement(array, 0, 0);
        return;
    }
    if (count <= 0) return;
    const StringArray* table = ArrayTable[array];
    if (table != nullptr && count > table->count) AccessElement(array, table->count, table->count);
}

// Appends one line to the batch, writing the batch first when the line would bring it to
// kBatchLimit bytes; a line too long for any batch goes straight to the file. Returns the
// batch's new count of bytes used.
[[gnu::always_inline]] inline std::size_t AddLine(HANDLE handle, char* batch, std::size_t used,
                                                  const char* text, std::int32_t signedLength) {
    std::size_t length = signedLength < 0 ? 0u - static_cast<std::size_t>(signedLength)
                                          : static_cast<std::size_t>(signedLength);
    if (used + length + 2 >= kBatchLimit) [[unlikely]] {
        WriteOrFail(handle, batch, used);
        used = 0;
        if (length + 2 >= kBatchLimit) {
            WriteOrFail(handle, text, length);
            WriteOrFail(handle, "\r\n", 2);
            return 0;
        }
    }
    char* out = batch + used;
    CopyBytes(out, text, length);  // inline: lines are short
    out[length] = '\r';
    out[length + 1] = '\n';
    return used + length + 2;
}

}  // namespace

void Store(FileRef destination, std::int32_t array, std::int32_t count) {
    if (count < 0) count = ElementCount(array);
    RequireElements(array, count);
    HANDLE handle = TakeOutputHandle(destination);
    char* const batch = TakeWholeRing();  // the next temporary starts at the ring's first byte
    std::size_t used = 0;
    StringArray* table = count > 0 ? ArrayTable[array] : nullptr;  // RequireElements checked the number
    if (table != nullptr) {
        // A live array whose elements 0 .. count - 1 exist (RequireElements made sure): each
        // element access is AccessElement's after its checks, which nothing in the loop can
        // make fail (only the batch writes run between the accesses).
        if (TempSlotTable.current == 0) RuntimeStart();
        const Word identity = ArrayIdentity[array];
        ElementRecord* element = table->Element(0);
        for (std::int32_t i = 0; i < count; ++i, ++element) {
            ErrorLine = i;
            LastAccess = {array, i};
            AccessedElement read = RecordElementAccess(element, identity, i, NextTempSlot());
            used = AddLine(handle, batch, used, read.text, read.length);
        }
    } else {
        for (std::int32_t i = 0; i < count; ++i) {
            AccessedElement read = AccessElement(array, i, i);
            used = AddLine(handle, batch, used, read.text, read.length);
        }
    }
    WriteOrFail(handle, batch, used);
    CloseHandle(handle);
    SetRingPosition(ScratchRing);
}

}  // namespace tarnfold
