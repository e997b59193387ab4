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
  // Faults become exceptions; floating-point traps stay off. Signals from
  // outside (an interrupt, a hang-up) keep the process's own handling.
  OSD::SetSignal(false);
  for (int s = 1; s < kSignals; ++s) {
    const bool fault = s == SIGSEGV || s == SIGBUS || s == SIGILL || s == SIGFPE;
    if (kept_[s] && !fault) sigaction(s, &saved_[s], nullptr);
  }
}

KernelFaultGuard::~KernelFaultGuard() {
  for (int s = 1; s < kSignals; ++s)
    if (kept_[s]) sigaction(s, &saved_[s], nullptr);
  std::fesetenv(&environment_);
}

}  // namespace orvel::exchange
