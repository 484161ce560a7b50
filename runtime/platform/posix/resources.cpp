// LoadStringA/LoadStringW: entries of the program's linked-in string table.
#include "../win32.h"

namespace {

int Length(const WCHAR* text) {
    int n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// The entry's text; null when it is missing or empty. Sets the last error as Windows does:
// not for an id whose block of sixteen exists, ERROR_RESOURCE_NAME_NOT_FOUND otherwise.
const WCHAR* FindEntry(HINSTANCE module, UINT id) {
    if (module != GetModuleHandleA(nullptr) || &TarnfoldStringTable == nullptr) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    bool blockExists = false;
    const StringResourceTable& table = TarnfoldStringTable;
    for (UINT i = 0; i < table.count; ++i) {
        if (table.entries[i].id == id && table.entries[i].text[0] != 0) return table.entries[i].text;
        if (table.entries[i].id / 16 == id / 16) blockExists = true;
    }
    if (!blockExists) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

}  // namespace

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int size) {
    if (buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WCHAR* text = FindEntry(module, id & 0xFFFF);
    if (text == nullptr) return 0;
    int length = Length(text);
    if (size == 0) {
        *reinterpret_cast<const WCHAR**>(buffer) = text;
        return length;
    }
    int copied = length < size - 1 ? length : size - 1;
    for (int i = 0; i < copied; ++i) buffer[i] = text[i];
    buffer[copied] = 0;
    return copied;
}

int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WCHAR* text = FindEntry(module, id & 0xFFFF);
    if (text == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    // One byte per unit in code page 1252: convert only what fits.
    int length = Length(text);
    int copied = length < size - 1 ? length : size - 1;
    if (copied > 0) WideCharToMultiByte(CP_ACP, 0, text, copied, buffer, copied, nullptr, nullptr);
    buffer[copied] = '\0';
    return copied;
}
