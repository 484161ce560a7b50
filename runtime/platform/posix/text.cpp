// IsBadStringPtrA: reads the text through the kernel, which reports a fault instead of raising it.
#include "../win32.h"

#include <cerrno>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

// Copies `size` bytes of our own memory at `from` into `to`; false when any is unreadable.
// The raw system call keeps sanitizer interceptors from touching the unchecked address.
bool CopyReadable(const char* from, char* to, std::size_t size) {
    iovec local{to, size};
    iovec remote{const_cast<char*>(from), size};
    long got = syscall(SYS_process_vm_readv, getpid(), &local, 1UL, &remote, 1UL, 0UL);
    if (got == static_cast<long>(size)) return true;
    if (got >= 0 || errno == EFAULT) return false;
    // process_vm_readv unavailable: a pipe write fails with EFAULT on unreadable memory.
    int fds[2];
    if (pipe(fds) != 0) return false;
    bool readable = syscall(SYS_write, fds[1], from, size) == static_cast<long>(size) &&
                    read(fds[0], to, size) == static_cast<ssize_t>(size);
    close(fds[0]);
    close(fds[1]);
    return readable;
}

}  // namespace

BOOL IsBadStringPtrA(LPCSTR text, UINT_PTR maxChars) {
    if (maxChars == 0) return FALSE;
    if (text == nullptr) return TRUE;
    constexpr std::size_t kPage = 4096;
    std::uintptr_t at = reinterpret_cast<std::uintptr_t>(text);
    std::size_t left = maxChars;
    char chunk[kPage];
    while (left > 0) {
        std::size_t toPageEnd = kPage - (at % kPage);
        std::size_t size = left < toPageEnd ? left : toPageEnd;
        if (!CopyReadable(reinterpret_cast<const char*>(at), chunk, size)) return TRUE;
        for (std::size_t i = 0; i < size; ++i)
            if (chunk[i] == '\0') return FALSE;
        at += size;
        left -= size;
    }
    return FALSE;
}

LPSTR lstrcpyA(LPSTR to, LPCSTR from) {
    char* at = to;
    while ((*at++ = *from++) != '\0') {
    }
    return to;
}

LPSTR lstrcatA(LPSTR to, LPCSTR from) {
    char* at = to;
    while (*at != '\0') ++at;
    lstrcpyA(at, from);
    return to;
}
