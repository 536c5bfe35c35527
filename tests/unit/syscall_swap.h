// Puts a function of the test's own into an entry of the system-call table
// for one scope, so that the real error mapping meets a chosen failure.
#pragma once

#include <type_traits>

#include "platform/syscalls.h"

namespace shotrenum::testing {

template <typename Entry>
class SyscallSwap {
 public:
  SyscallSwap(Entry& entry, std::type_identity_t<Entry> replacement) : entry_(entry), saved_(entry) {
    entry = replacement;
  }
  ~SyscallSwap() { entry_ = saved_; }
  SyscallSwap(const SyscallSwap&) = delete;
  SyscallSwap& operator=(const SyscallSwap&) = delete;

 private:
  Entry& entry_;
  Entry saved_;
};

}  // namespace shotrenum::testing
