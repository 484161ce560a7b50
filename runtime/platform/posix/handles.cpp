// The handle table: HANDLE values for descriptors, and ReadFile/WriteFile/CloseHandle on them.
#include "../win32.h"

#include <bit>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnfold::posix {
namespace {

constexpr int kClosed = -1;

// The standard streams are open from the start; every other entry until OpenHandle. File
// handles also keep what they were opened for, so later opens can honour their sharing.
struct HandleTable {
    int descriptor[kHandleTableSize];
    FileSharing sharing[kHandleTableSize];
    constexpr HandleTable() : descriptor{}, sharing{} {
        for (int i = 0; i < kHandleTableSize; ++i) descriptor[i] = i < 3 ? i : kClosed;
    }
};

// Built at compile time: every call reaches it without a start-up check.
constinit HandleTable handleTable;

HandleTable& Table() { return handleTable; }

HANDLE ValueOf(int index) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(index + 1) * 4);
}

// The table index of a handle value, or -1 when it is not one of ours.
int IndexOf(HANDLE handle) {
    // (value - 4) / 4 with the two low bits rotated to the top: one compare refuses 0,
    // values that are not multiples of 4 and values past the table.
    const auto index = std::rotr(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle)) - 4u, 2);
    return index < static_cast<std::uint32_t>(kHandleTableSize) ? static_cast<int>(index) : -1;
}

mode_t FileType(int descriptor) {
    struct stat info;
    return fstat(descriptor, &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

}  // namespace

HANDLE OpenHandle(int descriptor, const FileSharing& sharing) {
    HandleTable& table = Table();
    for (int i = 3; i < kHandleTableSize; ++i)
        if (table.descriptor[i] == kClosed) {
            table.descriptor[i] = descriptor;
            table.sharing[i] = sharing;
            return ValueOf(i);
        }
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
}

bool SharingAllows(std::uint64_t device, std::uint64_t inode, DWORD access, DWORD share) {
    constexpr DWORD kRead = 0x80000000u, kWrite = 0x40000000u;
    constexpr DWORD kShareRead = 1, kShareWrite = 2;
    // An access needs every other open of the file to share it, and the new open must
    // share every access the others hold.
    auto conflicts = [](DWORD used, DWORD shared) {
        return ((used & kRead) && !(shared & kShareRead)) || ((used & kWrite) && !(shared & kShareWrite));
    };
    const HandleTable& table = Table();
    for (int i = 3; i < kHandleTableSize; ++i) {
        const FileSharing& other = table.sharing[i];
        if (table.descriptor[i] == kClosed || !other.isFile) continue;
        if (other.device != device || other.inode != inode) continue;
        if (conflicts(access, other.share) || conflicts(other.access, share)) return false;
    }
    return true;
}

int HandleDescriptor(HANDLE handle) {
    int index = IndexOf(handle);
    int descriptor = index < 0 ? kClosed : Table().descriptor[index];
    if (descriptor == kClosed) SetLastError(ERROR_INVALID_HANDLE);
    return descriptor;
}

HANDLE StandardHandle(int stream) { return ValueOf(stream); }

}  // namespace tarnfold::posix

using tarnfold::posix::HandleDescriptor;

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPVOID) {
    int descriptor = HandleDescriptor(file);
    const char* from = static_cast<const char*>(buffer);
    DWORD done = 0;
    BOOL succeeded = descriptor >= 0;
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
    if (pipe(ends) != 0) {
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
    int index = tarnfold::posix::IndexOf(object);
    tarnfold::posix::Table().descriptor[index] = -1;
    tarnfold::posix::Table().sharing[index] = tarnfold::posix::FileSharing{};
    if (close(descriptor) != 0 && errno != EINTR) {
        tarnfold::posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}
