// String storage: the scratch ring, the temporaries, the predefined texts and the registry
// of heap strings that variables own.
//
// A producer writes its text at RingPosition() and calls RecordTemp(end): the text becomes
// the next of 20 round-robin TempSlots without any allocation. Variables own HeapStrings,
// blocks from the process heap entered in the HeapStringRegistry until they are released.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnfold {

static_assert(sizeof(void*) == 4, "Tarnfold packs pointers into 32-bit words");

using Word = std::uint32_t;

inline constexpr std::size_t kScratchRingSize = 640000;
inline constexpr std::size_t kRingWrapOffset = 480000;   // a new position here or beyond wraps
inline constexpr std::size_t kRingUsableEnd = 639900;    // builder and Replace stop here
inline constexpr int kTempSlotCount = 20;
inline constexpr int TfHeapStrings = 100;

// Tokens: small numbers that stand for a text wherever a text is taken.
inline constexpr Word kLastTemp = 0x7F;          // the most recent (or next consumed) temporary
inline constexpr Word kTokenCrLf = 1;            // carriage return, line feed
inline constexpr Word kTokenTab = 2;
inline constexpr Word kTokenSpace = 3;
inline constexpr Word kTokenTwoSpaces = 4;
inline constexpr Word kTokenFourSpaces = 5;
inline constexpr Word kTokenExeFolder = 6;       // the executable's folder with its separator
inline constexpr Word kTokenX = 7;               // "X"
// No system gives a program memory below 64 KiB: values from kLowestAddress up are texts'
// addresses, and a value below it that is no token is an invalid token (the empty text),
// never read from.
inline constexpr Word kLowestAddress = 0x10000;
constexpr Word SlotToken(int slot) { return static_cast<Word>(10 + slot); }  // slot 1..20

// An element record of a string array: positive length = owned block, negative = borrowed.
struct ElementRecord {
    char* text;
    std::int32_t length;
};

// An array number and an element index (-1 is the name cell).
struct ArrayPosition {
    std::int32_t number;
    std::int32_t index;
};

struct TempSlot {
    const char* text;
    std::int32_t length;         // bytes; consumers take the absolute value
    ElementRecord* destination;  // the element AccessElement read, or null
    Word isRecord;               // set only by record producers: the builder expands these
    // With a destination: the identity of the array the access read (which moves with it
    // through SwapArrays) and the element's index. The builder finds the element again by
    // these, since the array block may have moved or gone since the access.
    Word destinationArray;
    std::int32_t destinationIndex;
};

struct TempSlots {
    std::int32_t current;               // 0 = runtime not started; else 1..20
    TempSlot slot[kTempSlotCount + 1];  // slot[1] .. slot[20]; slot[0] unused
};

struct TextRef {
    const char* text;
    std::int32_t length;
};

struct RecordedTemp {
    char* start;     // the ring position at the call: where the text begins
    TempSlot* slot;
};

alignas(16) extern char ScratchRing[kScratchRingSize];
extern TempSlots TempSlotTable;
extern TextRef PredefinedStrings[8];
alignas(16) extern Word HeapStringRegistry[TfHeapStrings + 4];  // zero sentinel and scan padding
extern char EmptyString[4];

// The ring's write position (its first byte on first use). Multiple of 4. No producer
// writes over a live temporary (one with fewer than 20 temporaries after it) while the
// ring has room clear of them: the position moves past live temporaries that a wrap left
// ahead of it, so that RingPosition() has 8 KiB clear of them. Where the ring holds no such
// room (20 large results), the oldest are given up first, and read as the empty text from
// then on; never the newest, nor the texts the producer at work reads.
char* RingPosition();
// The write position, for a producer that may write `size` bytes there (more than a
// small text: the checked build hands out only so much ring without asking), moved as
// RingPosition() moves it so that the `size` bytes hold no live temporary.
char* RingRoom(std::size_t size);
// The same `size` bytes at the write position as they are, without moving it: for a
// producer that reads what the program itself wrote there (TrimText in place).
char* RingWindow(std::size_t size);
// The end of the ring bytes from the write position on that no live temporary holds (at
// most the ring's end): a producer that fills what it can stops there. Exact after
// RingPosition() or RingRoom().
const char* RingClearEnd();
// Sets the write position (null: the ring's first byte); for producers that built past
// RingPosition(), and for tests. The caller places what comes next: the temporaries
// recorded before are no longer kept clear of later producers.
void SetRingPosition(char* position);
// The ring from its first byte, all of it, for a user that overwrites every temporary
// (Store's batch, the fatal reporter's scratch); the write position goes to the first byte.
char* TakeWholeRing();

// mode 0: the current slot; 1: the next (starting the runtime from index 0); -1: the
// previous; any other value: the current slot when `mode` equals its text pointer, else
// as 1. Starts the runtime when the index is still 0.
TempSlot* SelectTempSlot(std::intptr_t mode);
// The number (1..20) of a slot of the table.
inline int SlotNumber(const TempSlot* slot) { return static_cast<int>(slot - TempSlotTable.slot); }

// Records the text from RingPosition() to `end` as the next TempSlot and moves the ring
// position to (end + 4) rounded down to a multiple of 4, wrapping at kRingWrapOffset.
RecordedTemp RecordTemp(const void* end);

// The text of a predefined (1..7) or slot-number (11..30) token; {nullptr, 0} otherwise.
TextRef ResolveToken(Word token);
// The text an argument that takes a text names: kLastTemp is the current temporary, tokens
// as ResolveToken, anything from kLowestAddress up a zero-terminated text (measured here).
// Invalid tokens, other values below kLowestAddress and null name the empty text.
TextRef ResolveTextArg(const char* arg);
// The same for a function that reads the text at once: a temporary that holds a deferred
// record (Replace, NewStr, ...) is refused with FatalError 9, since its words are no text.
TextRef ResolveTextSource(const char* arg);
// The current temporary's text as a function that reads it at once takes it: the empty
// text before any temporary, FatalError 9 for a deferred record.
const char* CurrentTempText();

// A block of `size` bytes from the process heap, zero-filled on request. FatalError 1 on
// failure.
void* AllocBlock(std::size_t size, bool zero);
// Returns a block to the process heap; null and EmptyString are ignored. FatalError 2 on failure.
void FreeBlock(void* block);

// Enters the block in the first free registry entry; FatalError 8 when the registry is full.
// `kept` marks KeepTemp's own copies (see ReleaseKeptCopy).
void RegisterHeapString(const void* block, bool kept = false);
// Frees the block when it is registered and clears its entry; anything else is left alone.
// kReleaseAll frees every registered block (used just before the process exits).
void ReleaseHeapString(const void* block);
// A variable's assignment: RegisterHeapString(block), then ReleaseHeapString(previous).
void AssignHeapString(const void* block, const void* previous);
// Frees the block only while the registry holds it as a KeepTemp copy: a copy released
// early leaves its address free for the heap to hand to a variable, which this never frees.
void ReleaseKeptCopy(const void* block);
inline const void* const kReleaseAll = reinterpret_cast<const void*>(~std::uintptr_t{0});

// Checks for SSE2 and fills the predefined texts. Runs implicitly on first use.
void RuntimeStart();
// The refusal on a processor without SSE2: message box, then exit code -99.
[[noreturn]] void RefuseWithoutSse2();

}  // namespace tarnfold
