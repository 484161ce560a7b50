// Scratch ring, TempSlots, predefined texts, heap blocks and the heap-string registry.
#include "storage.h"

#include <emmintrin.h>

#include <algorithm>

#include "../errors_console/fatal_error.h"
#include "../platform/cpu.h"
#include "../platform/win32.h"
#include "lifetime_check.h"
#include "temp_slots.h"

namespace tarnfold {

alignas(16) char ScratchRing[kScratchRingSize];
TempSlots TempSlotTable;
TextRef PredefinedStrings[8];
alignas(16) Word HeapStringRegistry[TfHeapStrings + 4];
char EmptyString[4];

namespace detail {
char* ringPosition = ScratchRing;
RingExtent ringExtent[kTempSlotCount + 1] = {};
RingExtent retiring = {};
const char* ringClearUntil = ScratchRing + kScratchRingSize;
}  // namespace detail
using detail::ringClearUntil;
using detail::ringExtent;
using detail::ringPosition;
using detail::retiring;
using detail::RingExtent;
using detail::TakeExtent;

namespace {
// Registry positions of the two most recent registrations: hints for the release search.
int recentEntries[2] = {0, 0};
// Whether each registry entry was made by KeepTemp: only those may its turn release.
bool keptEntry[TfHeapStrings];

constexpr int kFolderLimit = 260;
char exeFolder[288];

#ifdef _WIN32
constexpr char kFolderSeparator = '\\';
#else
constexpr char kFolderSeparator = '/';
#endif

void EnsureStarted() {
    if (TempSlotTable.current == 0) RuntimeStart();
}

int NextSlot(int index) { return index >= kTempSlotCount ? 1 : index + 1; }
int PreviousSlot(int index) { return index <= 1 ? kTempSlotCount : index - 1; }

// One bit per byte of the eight entries from `first` that equal `needle` (two 16-byte
// compares): entry j matched when bit 4j is set.
int MatchEightEntries(int first, __m128i needle) {
    auto* entries = reinterpret_cast<const __m128i*>(HeapStringRegistry + first);
    int low = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_load_si128(entries), needle));
    int high = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_load_si128(entries + 1), needle));
    return low | (high << 16);
}

int FirstMatch(int first, int mask) { return first + __builtin_ctz(static_cast<unsigned>(mask)) / 4; }

// Index of the first zero entry, eight per step; the zero sentinel at TfHeapStrings stops
// the scan, and the padding keeps the last step in bounds.
[[gnu::always_inline]] inline int FirstFreeRegistryEntry() {
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0;; i += 8)
        if (int mask = MatchEightEntries(i, zero)) return FirstMatch(i, mask);
}

// Index of the first entry holding `wanted` (non-zero), eight per step; -1 if none.
int FindRegistryEntry(Word wanted) {
    const __m128i needle = _mm_set1_epi32(static_cast<int>(wanted));
    for (int i = 0; i < TfHeapStrings; i += 8)
        if (int mask = MatchEightEntries(i, needle)) {
            int index = FirstMatch(i, mask);
            return index < TfHeapStrings ? index : -1;
        }
    return -1;
}

// FreeBlock, inline for the registry's releases.
[[gnu::always_inline]] inline void FreeHeapBlock(void* block) {
    if (block == nullptr || block == EmptyString) return;
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr || !HeapFree(heap, 0, block)) FatalError(kErrorHeapFree, static_cast<const char*>(block));
}

[[gnu::always_inline]] inline void FreeRegistryEntry(int index) {
    void* block = reinterpret_cast<void*>(HeapStringRegistry[index]);
    HeapStringRegistry[index] = 0;
    FreeHeapBlock(block);
}

}  // namespace

static_assert(TfHeapStrings + 4 >= (TfHeapStrings + 1 + 7) / 8 * 8,
              "the registry scan reads whole groups of eight entries");

namespace {

const char* const kUsableEnd = ScratchRing + kRingUsableEnd;

// The end of the live temporaries' bytes that [at, end) meets (null: none), and the lowest
// start of those that lie wholly at or after `at`.
struct RingLook {
    const char* blockedTo = nullptr;
    const char* nextLive = ScratchRing + kScratchRingSize;
};

RingLook LookAt(const char* at, const char* end) {
    RingLook look;
    auto consider = [&](const RingExtent& e) {
        if (e.to <= e.from) return;
        if (e.from < end && at < e.to) {
            if (look.blockedTo == nullptr || e.to > look.blockedTo) look.blockedTo = e.to;
        } else if (e.from >= at && e.from < look.nextLive) {
            look.nextLive = e.from;
        }
    };
    for (int slot = 1; slot <= kTempSlotCount; ++slot) consider(ringExtent[slot]);
    consider(retiring);
    return look;
}

// The write position moved, if need be, to the first place where `size` bytes (up to the
// usable end, at the position itself as below) hold no live temporary: past the ones in the
// way, else from the ring's first byte. Null when the ring has no such place.
char* FindRingRoom(std::size_t size, bool fillsWhatFits) {
    char* at = ringPosition;
    bool fromStart = false;
    for (int tries = 0; tries < 2 * (kTempSlotCount + 2); ++tries) {
        // At the write position, the room runs to the usable end at most for a producer that
        // fills what it can, and for one that needs more at a position short of the wrap
        // (it fails on its own, as without live temporaries). A position beyond the wrap
        // was reached by moving past live temporaries: there the room must fit.
        const bool trimmed = at == ringPosition && at + size > kUsableEnd &&
                             (fillsWhatFits || at < ScratchRing + kRingWrapOffset);
        if (!trimmed && at + size > kUsableEnd) {
            if (fromStart) break;
            fromStart = true;
            at = ScratchRing;
            continue;
        }
        const std::size_t asked = trimmed ? static_cast<std::size_t>(kUsableEnd - at) : size;
        const RingLook look = LookAt(at, at + asked);
        if (look.blockedTo == nullptr) {
            ringPosition = at;
            ringClearUntil = look.nextLive;
            return at;
        }
        at = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(look.blockedTo) + 3) & ~std::uintptr_t{3});
    }
    return nullptr;
}

// The texts a producer reads while it writes: their temporaries are never given up for it.
struct Inputs {
    const char* text[3];
    bool HeldBy(const RingExtent& e) const {
        for (const char* t : text)
            if (t != nullptr && t >= e.from && t < e.to) return true;
        return false;
    }
};

// Gives up the oldest temporary that the ring still keeps, other than the newest and the
// producer's own inputs: its bytes may be written and its slot reads as the empty text.
// False when there is none to give up.
bool GiveUpOldestTemp(const Inputs& inputs) {
    if (retiring.to > retiring.from && !inputs.HeldBy(retiring)) {
        retiring = {};
        return true;
    }
    const int current = TempSlotTable.current;
    for (int slot = NextSlot(current); slot != current; slot = NextSlot(slot)) {
        RingExtent& e = ringExtent[slot];
        if (e.to <= e.from || inputs.HeldBy(e)) continue;
        e = {};
        TempSlotTable.slot[slot] = {EmptyString, 0, nullptr, 0, 0, 0};
        lifetime::SlotTaken(slot);
        return true;
    }
    return false;
}

// Room for a producer: live temporaries are never written over while the ring has room
// clear of them. Where it has none, the oldest temporaries are given up one by one (a loop
// of large results, each used at once, needs no more than that); FatalError 9 only when
// even the newest and the inputs alone leave no room.
[[gnu::noinline]] void MakeRoom(std::size_t size, bool fillsWhatFits, const char* a, const char* b, const char* c) {
    const Inputs inputs{{a, b, c}};
    while (FindRingRoom(size, fillsWhatFits) == nullptr)
        if (!GiveUpOldestTemp(inputs)) FatalError(kErrorInsufficientBuffer);
}
[[gnu::always_inline]] inline char* ClearRoom(std::size_t size, bool fillsWhatFits, const char* a = nullptr,
                                              const char* b = nullptr, const char* c = nullptr) {
    if (size > static_cast<std::size_t>(ringClearUntil - ringPosition)) [[unlikely]]
        MakeRoom(size, fillsWhatFits, a, b, c);
    return ringPosition;
}

// No temporary's ring bytes are kept clear any more: the caller places what comes next.
void ForgetRingExtents() {
    for (RingExtent& e : ringExtent) e = {};
    retiring = {};
    ringClearUntil = ScratchRing + kScratchRingSize;
}

// What RingPosition() keeps clear: the longest resource text and every record.
constexpr std::size_t kPositionRoom = 8 * 1024 + 64;

}  // namespace

bool RingClearSlow(const char* at, std::size_t size) {
    const RingLook look = LookAt(at, at + size);
    if (look.blockedTo != nullptr) return false;
    if (at == ringPosition) ringClearUntil = look.nextLive;
    return true;
}

char* RingPosition() {
    ClearRoom(kPositionRoom, true);
    lifetime::HandOut(ringPosition, 0);
    return ringPosition;
}

char* RingRoom(std::size_t size) {
    ClearRoom(size, false);
    lifetime::HandOut(ringPosition, size);
    return ringPosition;
}

char* RingPositionKeeping(const char* a, const char* b, const char* c) {
    ClearRoom(kPositionRoom, true, a, b, c);
    lifetime::HandOut(ringPosition, 0);
    return ringPosition;
}

char* RingRoomKeeping(std::size_t size, const char* a, const char* b, const char* c) {
    ClearRoom(size, false, a, b, c);
    lifetime::HandOut(ringPosition, size);
    return ringPosition;
}

char* RingWindow(std::size_t size) {
    lifetime::HandOut(ringPosition, size);
    return ringPosition;
}

const char* RingClearEnd() { return ringClearUntil; }

void SetRingPosition(char* position) {
    ringPosition = position != nullptr ? position : ScratchRing;
    ForgetRingExtents();  // the caller places what comes next
    lifetime::HandOut(ringPosition, 0);
}

char* TakeWholeRing() {
    ringPosition = ScratchRing;
    ForgetRingExtents();  // its user overwrites every temporary (Store's batch leaves none)
    lifetime::RingForfeited();
    return ScratchRing;
}

TempSlot* SelectTempSlot(std::intptr_t mode) {
    EnsureStarted();
    int current = TempSlotTable.current;
    switch (mode) {
        case 0:
            return &TempSlotTable.slot[current];
        case -1:
            TempSlotTable.current = PreviousSlot(current);
            return &TempSlotTable.slot[TempSlotTable.current];
        case 1:
            break;
        default:
            if (reinterpret_cast<const char*>(mode) == TempSlotTable.slot[current].text)
                return &TempSlotTable.slot[current];
            break;
    }
    TempSlotTable.current = NextSlot(current);
    TakeExtent(TempSlotTable.current, {});
    lifetime::SlotTaken(TempSlotTable.current);
    return &TempSlotTable.slot[TempSlotTable.current];
}

RecordedTemp RecordTemp(const void* end) {
    EnsureStarted();
    char* start = ringPosition;
    return {start, RecordTempAt(start, static_cast<const char*>(end))};
}

TextRef ResolveToken(Word token) {
    if (token >= 1 && token <= 7) {
        EnsureStarted();
        return PredefinedStrings[token];
    }
    if (token >= SlotToken(1) && token <= SlotToken(kTempSlotCount)) {
        EnsureStarted();
        const TempSlot& slot = TempSlotTable.slot[token - 10];
        return {slot.text, slot.length < 0 ? -slot.length : slot.length};
    }
    return {nullptr, 0};
}

TextRef ResolveTextArg(const char* arg) {
    auto token = static_cast<Word>(reinterpret_cast<std::uintptr_t>(arg));
    if (token == kLastTemp) {
        const TempSlot& slot = *SelectTempSlot(0);
        if (slot.text == nullptr) return {EmptyString, 0};  // no temporary recorded yet
        return {slot.text, slot.length < 0 ? -slot.length : slot.length};
    }
    if (token >= kLowestAddress) {
        const char* end = arg;
        while (*end != '\0') ++end;
        return {arg, static_cast<std::int32_t>(end - arg)};
    }
    TextRef ref = ResolveToken(token);
    if (ref.text == nullptr) return {EmptyString, 0};
    return ref;
}

const char* CurrentTempText() {
    const TempSlot& slot = *SelectTempSlot(0);
    if (slot.text == nullptr) return EmptyString;
    if (slot.isRecord != 0) FatalError(kErrorInsufficientBuffer);  // a record's words are no text
    return slot.text;
}

TextRef ResolveTextSource(const char* arg) {
    auto token = static_cast<Word>(reinterpret_cast<std::uintptr_t>(arg));
    const TempSlot* slot = nullptr;
    if (token == kLastTemp) {
        slot = SelectTempSlot(0);
    } else if (token >= SlotToken(1) && token <= SlotToken(kTempSlotCount)) {
        EnsureStarted();
        slot = &TempSlotTable.slot[token - 10];
    }
    if (slot != nullptr && slot->isRecord != 0 && slot->text != nullptr) FatalError(kErrorInsufficientBuffer);
    return ResolveTextArg(arg);
}

void* AllocBlock(std::size_t size, bool zero) {
    if (!zero) return AllocTextBlock(size);
    HANDLE heap = GetProcessHeap();
    void* block = heap != nullptr ? HeapAlloc(heap, zero ? HEAP_ZERO_MEMORY : 0, size) : nullptr;
    if (block == nullptr) FatalError(kErrorHeapAlloc);
    return block;
}

void FreeBlock(void* block) { FreeHeapBlock(block); }

namespace {

[[gnu::always_inline]] inline void Register(const void* block, bool kept) {
    int index = FirstFreeRegistryEntry();
    if (index >= TfHeapStrings) FatalError(kErrorTooManyStrings);
    HeapStringRegistry[index] = static_cast<Word>(reinterpret_cast<std::uintptr_t>(block));
    keptEntry[index] = kept;
    recentEntries[1] = recentEntries[0];
    recentEntries[0] = index;
}

[[gnu::always_inline]] inline void Release(const void* block) {
    if (block == kReleaseAll) {
        for (int i = 0; i < TfHeapStrings; ++i)
            if (HeapStringRegistry[i] != 0) FreeRegistryEntry(i);
        return;
    }
    Word wanted = static_cast<Word>(reinterpret_cast<std::uintptr_t>(block));
    if (wanted == 0) return;
    // A variable's previous value is usually one of the last two strings registered (the
    // builder registers the new value first). Checking those entries with plain loads also
    // avoids a wide load over the entry that was just stored.
    for (int recent : recentEntries)
        if (HeapStringRegistry[recent] == wanted) return FreeRegistryEntry(recent);
    int index = FindRegistryEntry(wanted);
    if (index >= 0) FreeRegistryEntry(index);
}

}  // namespace

void RegisterHeapString(const void* block, bool kept) { Register(block, kept); }

void ReleaseHeapString(const void* block) { Release(block); }

void AssignHeapString(const void* block, const void* previous) {
    Register(block, false);
    Release(previous);
}

void ReleaseKeptCopy(const void* block) {
    Word wanted = static_cast<Word>(reinterpret_cast<std::uintptr_t>(block));
    if (wanted == 0) return;
    int index = FindRegistryEntry(wanted);
    if (index >= 0 && keptEntry[index]) FreeRegistryEntry(index);
}

void RefuseWithoutSse2() {
    ShowRuntimeMessage("Sorry, Tarnfold needs SSE2", nullptr);
    ExitProcess(static_cast<UINT>(-99));
}

void RuntimeStart() {
    if (!platform::CpuHasSse2()) RefuseWithoutSse2();
    PredefinedStrings[0] = {nullptr, 0};
    PredefinedStrings[1] = {"\r\n", 2};
    PredefinedStrings[2] = {"\t", 1};
    PredefinedStrings[3] = {" ", 1};
    PredefinedStrings[4] = {"  ", 2};
    PredefinedStrings[5] = {"    ", 4};
    PredefinedStrings[7] = {"X", 1};
    DWORD length = GetModuleFileNameA(nullptr, exeFolder, kFolderLimit);
    if (length >= static_cast<DWORD>(kFolderLimit)) length = kFolderLimit - 1;  // cut names
    DWORD cut = length;
    while (cut > 0 && exeFolder[cut - 1] != kFolderSeparator) --cut;
    exeFolder[cut] = '\0';
    PredefinedStrings[6] = {exeFolder, static_cast<std::int32_t>(cut)};
    if (TempSlotTable.current == 0) TempSlotTable.current = kTempSlotCount;  // next slot is 1
}

}  // namespace tarnfold
