// Kernel faults raised as exceptions for the guard's lifetime (see
// fault_guard.hpp).
#include "exchange/fault_guard.hpp"

#include <OSD.hxx>

namespace orvel::exchange {

KernelFaultGuard::KernelFaultGuard() {
  std::fegetenv(&environment_);
  for (int s = 1; s < kSignals; ++s) {
    if (s == SIGKILL || s == SIGSTOP) continue;
    kept_[s] = sigaction(s, nullptr, &saved_[s]) == 0;
  }
  // Faults become exceptions; floating-point traps stay off.
  OSD::SetSignal(false);
}

KernelFaultGuard::~KernelFaultGuard() {
  for (int s = 1; s < kSignals; ++s)
    if (kept_[s]) sigaction(s, &saved_[s], nullptr);
  std::fesetenv(&environment_);
}

}  // namespace orvel::exchange
