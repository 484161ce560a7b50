// File slots: ten numbered places for open files, opened, read, written and closed by number.
//
// A program opens a file into a slot with OpenInput or OpenOutput, reads it with
// ReadBytes, writes it through the string builder (ToFileSlot) and closes it with
// CloseFile. Opening never stops the program: a failed open leaves kFailedSlot in the slot
// and a message in FileErrorText; the operation that needed the file decides. All ten
// slots are the program's: the runtime's own file work (FileRead$, Recall and Store by
// name) opens its files on handles of its own and never touches a slot.
#pragma once

#include <cstdint>

#include "../core/storage.h"

namespace tarnfold {

inline constexpr int kFileSlotCount = 10;
inline constexpr int kAllFileSlots = 10;             // CloseFile: every slot, 9 down to 0
inline constexpr Word kFreeSlot = 0;
inline constexpr Word kFailedSlot = 0xFFFFFFFFu;     // the system's invalid handle value
inline constexpr std::size_t kFileErrorTextSize = 560;

// OpenInput search values: 0 opens the name as given, 1 searches the standard path; any
// other value points to a path list to search.
inline constexpr std::uintptr_t kNoSearch = 0;
inline constexpr std::uintptr_t kStandardSearch = 1;

// OpenOutput modes: append and update keep the file; any other value creates it empty.
inline constexpr Word kModeAppend = 'A';
inline constexpr Word kModeUpdate = 'U';
inline constexpr Word kModeCreate = 'O';

// A 32-bit file argument: 0 to 9 name a slot, anything else points to a file name.
using FileRef = Word;
constexpr bool IsSlotRef(FileRef ref) { return ref < kFileSlotCount; }

// A FileRef from 10 to 0xFFFF, or a name or path pointer below kLowestAddress, is neither a
// slot nor an address. The file operations refuse it as a file they cannot open (naming the
// number) and never read from it.
constexpr bool IsAddressRef(FileRef ref) { return ref >= kLowestAddress; }
inline bool IsAddress(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer) >= kLowestAddress; }

// The largest file that can be read whole: a text's length and a block's size are signed
// 32-bit values. FileRead$ and Recall end larger files with FatalError 1.
inline constexpr std::uint64_t kLargestReadableFile = 0x7FFFFFFF;
inline FileRef NameRef(const char* name) {
    return static_cast<FileRef>(reinterpret_cast<std::uintptr_t>(name));
}

// Handles by slot number: 0 free, kFailedSlot after a failed open, else an open handle.
extern Word FileSlotTable[kFileSlotCount];
// The message of the most recent failed open ("File not found: name" or "Could not open
// name"), cut to fit its 560 bytes; empty until the first failure.
extern char FileErrorText[kFileErrorTextSize];

// Opens an existing file for reading into `slot` (after looking it up along the standard
// path or the given path list when `search` asks for it) and returns its handle, also
// stored in the slot. A failed open stores and returns -1 (and writes FileErrorText unless
// the search found nothing). A slot outside 0..9 is refused with -1, touching no slot. A
// name below 64 KiB fails without being read (FileErrorText names its number); a search
// value from 2 to 0xFFFF finds nothing. Costs one CreateFileA (and one SearchPathA when
// searching).
Word OpenInput(int slot, const char* name, std::uintptr_t search);

// Opens `name` for writing into `slot`: mode 'A'/'a' appends (creating a missing file),
// 'U'/'u' updates from the start keeping the rest, anything else creates the file empty.
// Returns the handle, also stored in the slot, or -1 (FileErrorText "Could not open name").
// A slot outside 0..9 is refused with -1, touching no slot; a name below 64 KiB fails
// without being read (FileErrorText names its number).
Word OpenOutput(int slot, const char* name, Word mode);

// OpenInput and OpenOutput into a word of the caller's instead of a slot: the runtime's own
// file work, which leaves the program's slots alone.
Word OpenInputInto(Word& cell, const char* name, std::uintptr_t search);
Word OpenOutputInto(Word& cell, const char* name, Word mode);

// Reads up to n bytes into `buffer` (which has room for n + 1) and puts a zero byte after
// them when any were read. Returns the count read: -1 for a failed slot or a slot outside
// 0..9 (nothing read), 0 at the end or when the read fails (buffer untouched).
std::int32_t ReadBytes(int slot, void* buffer, std::uint32_t n);

// Closes `slot` (0..9), or every slot from 9 down to 0 for kAllFileSlots, and frees it.
// Free slots and other numbers are left alone; CloseHandle's result is not consulted.
void CloseFile(int slot);

}  // namespace tarnfold
