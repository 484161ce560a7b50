// Element room and delivery: in place, resized, or a new block, by the element's state.
#include "element_destination.h"

#include "../arrays_text/string_arrays.h"
#include "../errors_console/fatal_error.h"
#include "../platform/win32.h"
#include "builder.h"

namespace tarnfold {

namespace {

constexpr std::size_t kElementSpare = 24;

std::int32_t AsAddress(const void* block) {
    return static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(block));
}

ElementRoom NewBlock(ElementRecord* element, std::uint32_t total, char* oldBlock) {
    const std::size_t size = total + kElementSpare;
    auto* block = static_cast<char*>(AllocBlock(size, false));
    *element = {block, static_cast<std::int32_t>(total)};
    return {element, block, block + size, oldBlock};
}

}  // namespace

ElementRoom TakeElementRoom(const TempSlot& destination, const BuildParts& parts) {
    ElementRecord* element = DestinationElement(destination);
    char* text = element->text;
    const std::int32_t length = element->length;
    const auto total = static_cast<std::uint32_t>(parts.total);  // checked below 2 GiB
    const std::uint32_t size = length < 0 ? 0u - static_cast<std::uint32_t>(length)
                                          : static_cast<std::uint32_t>(length);
    const auto signedTotal = static_cast<std::int32_t>(total);

#if defined(TARNFOLD_CHECKED) && defined(__SANITIZE_ADDRESS__)
    // The checked build gives an owned text a fresh block each time, and frees the old one
    // after the copy: a view of the former text read afterwards is reported, not silently
    // the new text. (A borrowed text's bytes belong to its array's block and stay.)
    if (text != nullptr && length > 0 && total > 0) return NewBlock(element, total, text);
#endif

    // The text's own bytes and the byte after them (its terminator, the CR of a recalled
    // line) take the result. Nothing more is written: a borrowed text's LF and the next
    // line stay whole.
    if (size >= total) {
        if (text == nullptr) return {element, nullptr, nullptr, nullptr};  // empty stays empty
        if (total == 0 && length > 0) {
            // Length 0 marks no owner: the element becomes empty and its block is freed.
            *element = {nullptr, 0};
            return {element, nullptr, nullptr, text};
        }
        // An empty result reads nothing, even where an empty part points into the text.
        if (total == 0 || !parts.ReadsFrom(text, text + size + 1)) {
            element->length = length < 0 ? -signedTotal : signedTotal;
            return {element, text, text + size + 1, nullptr};
        }
    }
    if (text == nullptr || length <= 0) return NewBlock(element, total, nullptr);

    // The element's own block.
    HANDLE heap = GetProcessHeap();
    const SIZE_T blockSize = heap != nullptr ? HeapSize(heap, 0, text) : static_cast<SIZE_T>(-1);
    if (blockSize == static_cast<SIZE_T>(-1)) FatalNumberError(AsAddress(text));
    if (parts.temporaries != 0 || parts.ReadsFrom(text, text + blockSize))
        return NewBlock(element, total, text);  // freed after the copy: a part may read it
    element->length = signedTotal;
    if (total < blockSize) return {element, text, text + blockSize, nullptr};
    const std::size_t grown = total + kElementSpare;
    auto* moved = static_cast<char*>(HeapReAlloc(heap, 0, text, grown));
    if (moved == nullptr) FatalError(kErrorHeapAlloc);
    element->text = moved;
    return {element, moved, moved + grown, nullptr};
}

char* DeliverElement(const ElementRoom& room) {
    FreeBlock(room.oldBlock);
    return room.element->text != nullptr ? room.element->text : EmptyString;
}

}  // namespace tarnfold
