// Injected failures of the emulation's heap, writes and opens, for tests that walk every
// allocation and write point of an operation. Off unless a test arms it: then each point
// costs one compare of a zero counter.
//
//     ArmFault(FaultPoint::Write, 3);   // the third WriteFile from now fails
//     ArmFault(FaultPoint::Write, 2, FaultKind::Short);  // the second writes half and succeeds
#pragma once

#include <cstdint>

namespace tarnfold::posix {

enum class FaultPoint { Allocation, Write, Open, kCount };  // Allocation: HeapAlloc and HeapReAlloc

enum class FaultKind {
    Fail,   // the call fails: null, FALSE or INVALID_HANDLE_VALUE, with the system's error
    Short,  // WriteFile writes half of what it was given (at least one byte less) and succeeds
};

// The k-th call of `point` from now (1 is the next) fails as `kind`; 0 disarms the point.
void ArmFault(FaultPoint point, std::uint32_t k, FaultKind kind = FaultKind::Fail);

namespace detail {
extern std::uint32_t faultCountdown[static_cast<int>(FaultPoint::kCount)];
}  // namespace detail

// Whether this call of `point` is the one armed; the emulated function then fails.
inline bool FaultDue(FaultPoint point) {
    std::uint32_t& countdown = detail::faultCountdown[static_cast<int>(point)];
    return countdown != 0 && --countdown == 0;
}
// The kind of the fault just due.
FaultKind DueFaultKind(FaultPoint point);

}  // namespace tarnfold::posix
