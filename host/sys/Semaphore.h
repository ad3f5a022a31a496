// Named semaphores of the host: a recursive-free mutual exclusion that
// remembers who holds it, by the caller's "Unit.Procedure" name, so a
// deadlock or a missing release can be told in a diagnostic.
#pragma once

#include <string_view>

struct SemaphoreImpl;
using HSem = SemaphoreImpl*;

// Creates a semaphore named `name` (the third argument is always 1: created
// free). Never fails short of memory.
HSem _Create(std::string_view name, int initiallyFree = 1);
// Blocks until the semaphore is free, then holds it under `caller`.
// Requesting a semaphore the calling thread already holds is a programming
// error: KtSystem_Panic names both holders.
void _Request(HSem sem, std::string_view caller);
// Releases; releasing a semaphore not held by this thread panics.
void _Release(HSem sem, std::string_view caller);
// Destroys and empties the handle; null is ignored.
void _Destroy(HSem* sem);
// Who holds it now ("" when free); for diagnostics and tests.
std::string_view _HolderName(HSem sem);

// Holds `sem` for the scope, under the caller's "Unit.Procedure" name.
class SemaphoreHold {
 public:
  SemaphoreHold(HSem sem, std::string_view caller) : sem_(sem), caller_(caller) {
    _Request(sem_, caller_);
  }
  ~SemaphoreHold() { _Release(sem_, caller_); }
  SemaphoreHold(const SemaphoreHold&) = delete;
  SemaphoreHold& operator=(const SemaphoreHold&) = delete;

 private:
  HSem sem_;
  std::string_view caller_;
};
