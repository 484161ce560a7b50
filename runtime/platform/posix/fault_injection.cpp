// The countdowns of injected failures; all zero (off) unless a test arms one.
#include "fault_injection.h"

namespace tarnfold::posix {

namespace detail {
std::uint32_t faultCountdown[static_cast<int>(FaultPoint::kCount)];
}  // namespace detail

namespace {
FaultKind faultKind[static_cast<int>(FaultPoint::kCount)];
}  // namespace

void ArmFault(FaultPoint point, std::uint32_t k, FaultKind kind) {
    detail::faultCountdown[static_cast<int>(point)] = k;
    faultKind[static_cast<int>(point)] = kind;
}

FaultKind DueFaultKind(FaultPoint point) { return faultKind[static_cast<int>(point)]; }

}  // namespace tarnfold::posix
