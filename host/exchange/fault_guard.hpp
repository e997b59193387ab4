// A memory or arithmetic fault inside the kernel while it reads a file or
// integrates a shape: a damaged file can leave the kernel's readers holding
// references they follow without checking. While a guard lives, such a fault
// is raised as a kernel exception, which the readers catch themselves or the
// host turns into a load failure, instead of ending the process. The
// process's own signal handling and floating-point settings are put back
// when the guard ends.
#pragma once

#include <cfenv>
#include <csignal>

namespace orvel::exchange {

class KernelFaultGuard {
 public:
  KernelFaultGuard();
  ~KernelFaultGuard();
  KernelFaultGuard(const KernelFaultGuard &) = delete;
  KernelFaultGuard &operator=(const KernelFaultGuard &) = delete;

 private:
  static constexpr int kSignals = 32;
  struct sigaction saved_[kSignals];
  bool kept_[kSignals] = {};
  std::fenv_t environment_;
};

}  // namespace orvel::exchange
