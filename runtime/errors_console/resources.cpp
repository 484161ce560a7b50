// LoadResText: one string-table entry straight into the scratch ring as a temporary.
#include "resources.h"

#include "../core/storage.h"
#include "../platform/win32.h"
#include "fatal_error.h"

namespace tarnfold {
namespace {

// Characters, terminator included; the ring's reserve past its wrap offset holds the
// 8,192 bytes of the longest wide text, so the room is never checked.
constexpr int kResourceTextLimit = 4096;
static_assert(kScratchRingSize - kRingWrapOffset >= 2 * kResourceTextLimit);

}  // namespace

char* LoadResText(std::int32_t id) {
    char* text = RingPosition();
    HMODULE module = GetModuleHandleA(nullptr);
    int count;
    char* end;
    if (id < 0) {
        count = LoadStringW(module, static_cast<UINT>(-static_cast<std::int64_t>(id)),
                            reinterpret_cast<WCHAR*>(text), kResourceTextLimit);
        end = text + 2 * count;
    } else {
        count = LoadStringA(module, static_cast<UINT>(id), text, kResourceTextLimit);
        end = text + count;
    }
    if (count <= 0) FatalSystemError();
    RecordTemp(end);
    return text;
}

}  // namespace tarnfold
