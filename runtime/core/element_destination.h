// The builder's element destination: the room for a result that replaces an element's text,
// and its delivery.
#pragma once

#include "build_parts.h"
#include "storage.h"

namespace tarnfold {

// Where the builder writes a result for an element: `out` up to `limit` (the last byte
// that may take a terminator is limit - 1); `out` is null when there is nothing to write.
// `oldBlock` is the element's former block, freed once the result is built.
struct ElementRoom {
    ElementRecord* element;
    char* out;
    char* limit;
    char* oldBlock;
};

// Finds the element named by `destination` again (FatalError 6 or 7, see
// DestinationElement) and takes room for `parts.total` bytes, setting the element's text
// and length. In place when the text's own bytes hold the result and no part reads from
// them (a borrowed text stays borrowed; an empty result frees an owned block and leaves
// the element empty); an owned block too small is resized with
// HeapReAlloc when no part is a temporary; otherwise a new block of T + 24 bytes. HeapSize
// failing on an owned block: FatalError 10; allocation failing: FatalError 1.
ElementRoom TakeElementRoom(const TempSlot& destination, const BuildParts& parts);

// Frees the former block, if the room replaced one, and returns the element's text.
char* DeliverElement(const ElementRoom& room);

}  // namespace tarnfold
