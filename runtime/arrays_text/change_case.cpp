// ChangeCase: an upper- or lower-case copy of a text in a registered heap block.
#include <cstring>

#include "../platform/win32.h"
#include "text_functions.h"

namespace tarnfold {

RecordedTemp ChangeCase(const char* text, std::int32_t upper) {
    std::size_t size = std::strlen(text) + 1;
    char* block = static_cast<char*>(AllocBlock(size, false));
    RegisterHeapString(block);
    std::memcpy(block, text, size);
    if (upper != 0)
        CharUpperBuffA(block, static_cast<DWORD>(size));
    else
        CharLowerBuffA(block, static_cast<DWORD>(size));
    TempSlot* slot = SelectTempSlot(1);
    slot->text = block;
    slot->length = static_cast<std::int32_t>(size - 1);
    slot->destination = nullptr;
    slot->isRecord = 0;
    return {block, slot};
}

}  // namespace tarnfold
