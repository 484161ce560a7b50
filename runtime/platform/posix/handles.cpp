// The handle table: HANDLE values for descriptors, and ReadFile/WriteFile/CloseHandle on them.
#include "../win32.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fault_injection.h"

namespace tarnfold::posix {
namespace {

using detail::kClosed;
using Entry = detail::HandleEntry;
constexpr int kFirstFileIndex = 3;  // after the standard streams
// Handle values (index + 1) * 4 stay below the emulation's search handles (0x00100000).
constexpr std::uint32_t kHandleLimit = 0x00100000u / 4 - 1;

constexpr std::array<Entry, kFirstHandles> FirstEntries() {
    std::array<Entry, kFirstHandles> entries{};
    for (int i = 0; i < kFirstHandles; ++i) entries[i] = {i < kFirstFileIndex ? i : kClosed, FileSharing{}};
    return entries;
}

// The first entries are built at compile time, with the standard streams open, so every
// call reaches them without a start-up check. Opens beyond them move the table to a heap
// block twice as large (Windows sets no small limit, and a slot may be opened again without
// being closed); the block is never freed, since handles may be used until the very end.
constinit std::array<Entry, kFirstHandles> firstEntries = FirstEntries();

}  // namespace

constinit detail::HandleTable detail::handleTable{firstEntries.data(), kFirstHandles, kFirstFileIndex,
                                                  kFirstFileIndex};

namespace {

detail::HandleTable& table = detail::handleTable;

HANDLE ValueOf(std::uint32_t index) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(index + 1) * 4);
}

// The table index of a handle value, or -1 when it is not one of ours.
int IndexOf(HANDLE handle) {
    const std::uint32_t index = detail::HandleIndex(handle);
    return index < table.capacity ? static_cast<int>(index) : -1;
}

// Doubles the table; false (nothing changed) when no more handles can be given.
bool GrowTable() {
    if (table.capacity >= kHandleLimit) return false;
    const std::uint32_t capacity = std::min(table.capacity * 2, kHandleLimit);
    auto* grown = static_cast<Entry*>(std::malloc(capacity * sizeof(Entry)));
    if (grown == nullptr) return false;
    std::copy(table.entry, table.entry + table.capacity, grown);
    std::fill(grown + table.capacity, grown + capacity, Entry{kClosed, FileSharing{}});
    if (table.entry != firstEntries.data()) std::free(table.entry);
    table.entry = grown;
    table.capacity = capacity;
    return true;
}

mode_t FileType(int descriptor) {
    struct stat info;
    return fstat(descriptor, &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

}  // namespace

HANDLE OpenHandle(int descriptor, const FileSharing& sharing) {
    std::uint32_t i = table.firstFree;
    while (i < table.capacity && table.entry[i].descriptor != kClosed) ++i;
    if (i == table.capacity && !GrowTable()) {
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return nullptr;
    }
    table.entry[i] = {descriptor, sharing};
    table.firstFree = i + 1;
    table.end = std::max(table.end, i + 1);
    return ValueOf(i);
}

bool RaiseDescriptorLimit(int error) {
    static bool raised = false;
    if (error != EMFILE || raised) return false;
    raised = true;
    rlimit limit;
    bool done = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max;
    if (done) {
        limit.rlim_cur = limit.rlim_max;
        done = setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }
    errno = error;  // a failed retry is reported by the caller's first error
    return done;
}

bool SharingAllows(std::uint64_t device, std::uint64_t inode, DWORD access, DWORD share) {
    constexpr DWORD kRead = 0x80000000u, kWrite = 0x40000000u;
    constexpr DWORD kShareRead = 1, kShareWrite = 2;
    // An access needs every other open of the file to share it, and the new open must
    // share every access the others hold.
    auto conflicts = [](DWORD used, DWORD shared) {
        return ((used & kRead) && !(shared & kShareRead)) || ((used & kWrite) && !(shared & kShareWrite));
    };
    for (std::uint32_t i = kFirstFileIndex; i < table.end; ++i) {
        const Entry& other = table.entry[i];
        if (other.descriptor == kClosed || !other.sharing.isFile) continue;
        if (other.sharing.device != device || other.sharing.inode != inode) continue;
        if (conflicts(access, other.sharing.share) || conflicts(other.sharing.access, share)) return false;
    }
    return true;
}

int HandleDescriptor(HANDLE handle) {
    int index = IndexOf(handle);
    int descriptor = index < 0 ? kClosed : table.entry[index].descriptor;
    if (descriptor == kClosed) SetLastError(ERROR_INVALID_HANDLE);
    return descriptor;
}

HANDLE StandardHandle(int stream) { return ValueOf(static_cast<std::uint32_t>(stream)); }

namespace {

// Frees the entry of a live handle; the standard streams' entries are never given again.
void ReleaseEntry(int index) {
    table.entry[index] = {kClosed, FileSharing{}};
    const auto freed = static_cast<std::uint32_t>(index);
    if (freed >= kFirstFileIndex && freed < table.firstFree) table.firstFree = freed;
}

}  // namespace
}  // namespace tarnfold::posix

using tarnfold::posix::HandleDescriptor;

namespace {

// Writes from `done` on until every byte is written or a write fails.
BOOL WriteFrom(int descriptor, const char* from, DWORD bytesToWrite, DWORD done, LPDWORD bytesWritten) {
    BOOL succeeded = TRUE;
    while (succeeded && done < bytesToWrite) {
        ssize_t n = write(descriptor, from + done, bytesToWrite - done);
        if (n >= 0) {
            done += static_cast<DWORD>(n);
        } else if (errno != EINTR) {
            // A live handle opened for the other direction: Windows denies the access.
            if (errno == EBADF) SetLastError(ERROR_ACCESS_DENIED);
            else tarnfold::posix::SetLastErrorFromErrno(errno);
            succeeded = FALSE;
        }
    }
    if (bytesWritten != nullptr) *bytesWritten = done;
    return succeeded;
}

}  // namespace

BOOL WriteFileRest(int descriptor, const char* from, DWORD bytesToWrite, ssize_t first,
                   LPDWORD bytesWritten) {
    if (first < 0 && errno != EINTR) {
        if (errno == EBADF) SetLastError(ERROR_ACCESS_DENIED);
        else tarnfold::posix::SetLastErrorFromErrno(errno);
        if (bytesWritten != nullptr) *bytesWritten = 0;
        return FALSE;
    }
    return WriteFrom(descriptor, from, bytesToWrite, first > 0 ? static_cast<DWORD>(first) : 0, bytesWritten);
}

BOOL WriteFileSlow(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten) {
    int descriptor = HandleDescriptor(file);
    const char* from = static_cast<const char*>(buffer);
    if (descriptor < 0) {
        if (bytesWritten != nullptr) *bytesWritten = 0;
        return FALSE;
    }
    if (tarnfold::posix::FaultDue(tarnfold::posix::FaultPoint::Write)) {
        // An injected full disk: nothing written, or half of it with success.
        if (tarnfold::posix::DueFaultKind(tarnfold::posix::FaultPoint::Write) == tarnfold::posix::FaultKind::Short) {
            ssize_t n = bytesToWrite > 0 ? write(descriptor, from, bytesToWrite / 2) : 0;
            if (bytesWritten != nullptr) *bytesWritten = n > 0 ? static_cast<DWORD>(n) : 0;
            return TRUE;
        }
        SetLastError(ERROR_DISK_FULL);
        if (bytesWritten != nullptr) *bytesWritten = 0;
        return FALSE;
    }
    return WriteFrom(descriptor, from, bytesToWrite, 0, bytesWritten);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPVOID) {
    if (bytesRead != nullptr) *bytesRead = 0;
    int descriptor = HandleDescriptor(file);
    if (descriptor < 0) return FALSE;
    char* to = static_cast<char*>(buffer);
    mode_t type = tarnfold::posix::FileType(descriptor);
    bool whole = type == S_IFREG;
    DWORD done = 0;
    while (done < bytesToRead) {
        ssize_t n = read(descriptor, to + done, bytesToRead - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            // A live handle opened for the other direction: Windows denies the access.
            if (errno == EBADF) SetLastError(ERROR_ACCESS_DENIED);
            else tarnfold::posix::SetLastErrorFromErrno(errno);
            if (bytesRead != nullptr) *bytesRead = done;
            return FALSE;
        }
        if (n == 0 && done == 0 && bytesToRead > 0 && type == S_IFIFO) {
            SetLastError(ERROR_BROKEN_PIPE);
            return FALSE;
        }
        done += static_cast<DWORD>(n);
        if (n == 0 || !whole) break;
    }
    if (bytesRead != nullptr) *bytesRead = done;
    return TRUE;
}

BOOL CreatePipe(HANDLE* readPipe, HANDLE* writePipe, LPSECURITY_ATTRIBUTES, DWORD) {
    int ends[2];
    if (pipe(ends) != 0 && !(tarnfold::posix::RaiseDescriptorLimit(errno) && pipe(ends) == 0)) {
        tarnfold::posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    HANDLE reader = tarnfold::posix::OpenHandle(ends[0]);
    HANDLE writer = reader != nullptr ? tarnfold::posix::OpenHandle(ends[1]) : nullptr;
    if (writer == nullptr) {
        if (reader != nullptr) CloseHandle(reader);
        else close(ends[0]);
        close(ends[1]);
        return FALSE;
    }
    *readPipe = reader;
    *writePipe = writer;
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    int descriptor = HandleDescriptor(object);
    if (descriptor < 0) return FALSE;
    tarnfold::posix::ReleaseEntry(tarnfold::posix::IndexOf(object));
    if (close(descriptor) != 0 && errno != EINTR) {
        tarnfold::posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}
