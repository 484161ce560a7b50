#include "guard_page.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace tarnfold::testing_support {

GuardedPage::GuardedPage() {
#ifdef _WIN32
    base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
#else
    base_ = static_cast<char*>(
        mmap(nullptr, 2 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base_ + kPage, kPage, PROT_NONE);
#endif
}

GuardedPage::~GuardedPage() {
#ifdef _WIN32
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, 2 * kPage);
#endif
}

}  // namespace tarnfold::testing_support
