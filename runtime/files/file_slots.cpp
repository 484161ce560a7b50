// OpenInput, OpenOutput, ReadBytes and CloseFile on the ten-slot table.
#include "file_slots.h"

#include "slot_handles.h"

namespace tarnfold {

Word FileSlotTable[kFileSlotCount] = {};
char FileErrorText[kFileErrorTextSize] = {};

namespace {

constexpr const char* kInputFailure = "File not found: ";
constexpr const char* kOutputFailure = "Could not open ";
constexpr Word kLowerCaseBit = 0x20;

bool ValidSlot(int slot) { return static_cast<unsigned>(slot) < kFileSlotCount; }

// "prefix" and the name, cut to the buffer (a name can be far longer than a path).
void SetFileErrorText(const char* prefix, const char* name) {
    char number[12];
    if (!IsAddress(name)) name = FileRefText(NameRef(name), number);
    lstrcpyA(FileErrorText, prefix);
    std::size_t used = 0;
    while (FileErrorText[used] != '\0') ++used;
    std::size_t length = 0;
    while (name[length] != '\0' && used + length < kFileErrorTextSize) ++length;
    if (used + length < kFileErrorTextSize) {
        lstrcatA(FileErrorText, name);
        return;
    }
    for (std::size_t i = 0; used + i + 1 < kFileErrorTextSize; ++i) FileErrorText[used + i] = name[i];
    FileErrorText[kFileErrorTextSize - 1] = '\0';
}

}  // namespace

Word OpenInputInto(Word& cell, const char* name, std::uintptr_t search) {
    if (!IsAddress(name)) {
        SetFileErrorText(kInputFailure, name);
        return cell = kFailedSlot;
    }
    char found[MAX_PATH];
    const char* toOpen = name;
    if (search != kNoSearch) {
        // A search value below 64 KiB other than 1 is no path list: nothing is found.
        if (search != kStandardSearch && !IsAddress(reinterpret_cast<const void*>(search)))
            return cell = kFailedSlot;
        const char* path = search == kStandardSearch ? nullptr : reinterpret_cast<const char*>(search);
        DWORD length = SearchPathA(path, name, nullptr, MAX_PATH, found, nullptr);
        if (length == 0 || length >= MAX_PATH) return cell = kFailedSlot;
        toOpen = found;
    }
    HANDLE handle = CreateFileA(toOpen, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) SetFileErrorText(kInputFailure, name);
    return cell = ValueOf(handle);
}

Word OpenInput(int slot, const char* name, std::uintptr_t search) {
    if (!ValidSlot(slot)) return kFailedSlot;
    return OpenInputInto(FileSlotTable[slot], name, search);
}

Word OpenOutputInto(Word& cell, const char* name, Word mode) {
    if (!IsAddress(name)) {
        cell = kFailedSlot;
        SetFileErrorText(kOutputFailure, name);
        return kFailedSlot;
    }
    Word folded = mode | kLowerCaseBit;
    bool keep = folded == (kModeAppend | kLowerCaseBit) || folded == (kModeUpdate | kLowerCaseBit);
    HANDLE handle = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                keep ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    cell = ValueOf(handle);
    if (handle == INVALID_HANDLE_VALUE) {
        SetFileErrorText(kOutputFailure, name);
        return kFailedSlot;
    }
    if (folded == (kModeAppend | kLowerCaseBit)) {
        // With a high part: without one the move fails for a file of 2 GiB or more and
        // the writes would start over the file's first bytes.
        LONG high = 0;
        SetFilePointer(handle, 0, &high, FILE_END);
    }
    return ValueOf(handle);
}

Word OpenOutput(int slot, const char* name, Word mode) {
    if (!ValidSlot(slot)) return kFailedSlot;
    return OpenOutputInto(FileSlotTable[slot], name, mode);
}

std::int32_t ReadBytes(int slot, void* buffer, std::uint32_t n) {
    if (!ValidSlot(slot) || FileSlotTable[slot] == kFailedSlot) return -1;
    DWORD count = 0;
    ReadFile(HandleOf(FileSlotTable[slot]), buffer, n, &count, nullptr);
    if (count > 0) static_cast<char*>(buffer)[count] = '\0';
    return static_cast<std::int32_t>(count);
}

void CloseFile(int slot) {
    if (slot == kAllFileSlots) {
        for (int each = kFileSlotCount - 1; each >= 0; --each) CloseFile(each);
        return;
    }
    if (!ValidSlot(slot) || FileSlotTable[slot] == kFreeSlot) return;
    CloseHandle(HandleOf(FileSlotTable[slot]));
    FileSlotTable[slot] = kFreeSlot;
}

}  // namespace tarnfold
