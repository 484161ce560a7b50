// Kernel handles of the POSIX emulation: a table of file descriptors behind HANDLE values.
//
// A handle is (table index + 1) * 4, so it is never 0 nor INVALID_HANDLE_VALUE, and a
// closed or never-opened value is refused with ERROR_INVALID_HANDLE. The table grows as
// handles stay open; a lookup is one compare and one index. Entries 0 to 2 are
// the standard input, output and error; the file emulation adds its own descriptors with
// tarnfold::posix::OpenHandle.
#pragma once
#include <unistd.h>

#include <bit>

#include "fault_injection.h"
#include "types.h"

constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_BROKEN_PIPE = 109;

// WriteFile (below) is inline: a live handle, no injected fault, and one write() that
// takes every byte cost nothing beyond that write. Everything else goes here.
BOOL WriteFileSlow(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten);
// The rest of a write to `descriptor` whose first write() returned `first` (a short count
// or -1 with errno).
BOOL WriteFileRest(int descriptor, const char* from, DWORD bytesToWrite, ssize_t first,
                   LPDWORD bytesWritten);
// A regular file is read until `bytesToRead` or its end; a terminal or pipe returns what
// one read delivers, as on Windows. At the end of a file: TRUE with 0 bytes; at the end of
// a pipe whose writing end is closed: FALSE with ERROR_BROKEN_PIPE.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPVOID overlapped);
// Closes the descriptor and frees the handle value for reuse.
BOOL CloseHandle(HANDLE object);

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
// An anonymous pipe: two new handles (the attributes and the size hint are not used).
BOOL CreatePipe(HANDLE* readPipe, HANDLE* writePipe, LPSECURITY_ATTRIBUTES attributes,
                DWORD size);

namespace tarnfold::posix {

// Entries built into the program; the table grows on the heap past them.
inline constexpr int kFirstHandles = 256;

// What a file handle was opened for: the file's identity, the access and the share mode.
struct FileSharing {
    bool isFile = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    DWORD access = 0;
    DWORD share = 0;
};

namespace detail {
inline constexpr int kClosed = -1;  // the descriptor of a free entry
struct HandleEntry {
    int descriptor;
    FileSharing sharing;
};
struct HandleTable {
    HandleEntry* entry;
    std::uint32_t capacity;
    std::uint32_t firstFree;  // no free entry below it (from the first file entry on)
    std::uint32_t end;        // no entry at or above it has ever held a file
};
extern HandleTable handleTable;

// The table index of a handle value, or a value not below the capacity when it is not one
// of ours: (value - 4) / 4 with the two low bits rotated to the top, so that one compare
// refuses 0, values that are not multiples of 4 and values past the table.
inline std::uint32_t HandleIndex(HANDLE handle) {
    return std::rotr(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle)) - 4u, 2);
}
}  // namespace detail

// A new handle that owns `descriptor` (CloseHandle closes it); the table grows as needed.
// Null with ERROR_TOO_MANY_OPEN_FILES only when no more handle values or memory are left.
HANDLE OpenHandle(int descriptor, const FileSharing& sharing = FileSharing{});
// After a call that failed with `error`: on the process's first EMFILE raises the soft
// limit on open descriptors to the hard one (Windows has no such small limit) and returns
// true, so that the caller tries once more. False for any other error or later EMFILE.
bool RaiseDescriptorLimit(int error);
// Whether a new open of the file (device, inode) for `access` sharing `share` agrees with
// every open file handle of it, by Windows' rule.
bool SharingAllows(std::uint64_t device, std::uint64_t inode, DWORD access, DWORD share);
// The descriptor behind a live handle, or -1 (with ERROR_INVALID_HANDLE set).
int HandleDescriptor(HANDLE handle);
// The handle of standard stream 0, 1 or 2 (the same value for the whole process).
HANDLE StandardHandle(int stream);

}  // namespace tarnfold::posix

// Writes every byte (a regular file, a pipe or a terminal may take them in several writes).
// FALSE with the system's error: a closed or foreign handle ERROR_INVALID_HANDLE, a handle
// opened for reading ERROR_ACCESS_DENIED; an injected fault (fault_injection.h) as armed.
inline BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPVOID) {
    namespace posix = tarnfold::posix;
    const std::uint32_t index = posix::detail::HandleIndex(file);
    if (index < posix::detail::handleTable.capacity && bytesToWrite != 0 &&
        posix::detail::faultCountdown[static_cast<int>(posix::FaultPoint::Write)] == 0) {
        const int descriptor = posix::detail::handleTable.entry[index].descriptor;
        if (descriptor >= 0) {
            const ssize_t n = write(descriptor, buffer, bytesToWrite);
            if (n == static_cast<ssize_t>(bytesToWrite)) {
                if (bytesWritten != nullptr) *bytesWritten = bytesToWrite;
                return TRUE;
            }
            // A short write or an error: WriteFileSlow goes on from what this one did.
            return WriteFileRest(descriptor, static_cast<const char*>(buffer), bytesToWrite, n, bytesWritten);
        }
    }
    return WriteFileSlow(file, buffer, bytesToWrite, bytesWritten);
}
