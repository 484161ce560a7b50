// FindFile and FileSize: one system query each, no file read.
#include "file_queries.h"

#include <cstddef>

#include "slot_handles.h"

namespace tarnfold {

static_assert(sizeof(FindData) == sizeof(WIN32_FIND_DATAA));
static_assert(offsetof(FindData, sizeLow) == offsetof(WIN32_FIND_DATAA, nFileSizeLow));
static_assert(offsetof(FindData, name) == offsetof(WIN32_FIND_DATAA, cFileName));
static_assert(offsetof(FindData, shortName) == offsetof(WIN32_FIND_DATAA, cAlternateFileName));

FindData FindDataBuffer = {};
Word FindHandle = 0;

Word FindFile(const char* name, Word close) {
    FindDataBuffer.attributes = kAttributeNormal;
    if (!IsAddress(name)) return FindHandle = 0;
    HANDLE search = FindFirstFileA(name, reinterpret_cast<WIN32_FIND_DATAA*>(&FindDataBuffer));
    Word result = search == INVALID_HANDLE_VALUE
                      ? 0
                      : static_cast<Word>(reinterpret_cast<std::uintptr_t>(search));
    FindHandle = result;
    if (result != 0 && close != 0) {
        FindClose(search);
        FindHandle = 0;
    }
    return result;
}

FileSizeResult FileSize(FileRef source) {
    if (IsSlotRef(source)) {
        LARGE_INTEGER size;
        HANDLE handle = SlotHandle(static_cast<int>(source));
        if (!GetFileSizeEx(handle, &size)) return {kFileSizeFailed, 0};
        return {static_cast<std::uint32_t>(size.LowPart), static_cast<std::uint32_t>(size.HighPart)};
    }
    if (!IsAddressRef(source)) return {kFileSizeFailed, 0};
    WIN32_FILE_ATTRIBUTE_DATA data;
    const char* name = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(source));
    if (!GetFileAttributesExA(name, GetFileExInfoStandard, &data)) return {kFileSizeFailed, 0};
    return {data.nFileSizeLow, data.nFileSizeHigh};
}

}  // namespace tarnfold
