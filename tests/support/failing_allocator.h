#pragma once
// Replaces the program's allocator so that a test can fail its n-th
// allocation: include it in one source file of a test program, and run the
// code under test through failEachAllocation. Allocations count only while
// `armed`, and only those whose caller `counts` accepts when it is set.
#include <atomic>
#include <cstdlib>
#include <new>

namespace icofmt::test::failing_allocator {

inline std::atomic<bool> armed{false};
inline std::atomic<long> failAt{0};  // the allocation that brings it to 0 fails; 0 fails none
inline std::atomic<bool> failed{false};
inline std::atomic<bool (*)(const void* caller)> counts{nullptr};

// Runs operation() with the n-th counted allocation failing, for n = 1, 2,
// ... until a run reaches none; returns how many runs had one fail.
template <typename Operation>
int failEachAllocation(Operation operation) {
  for (long n = 1;; ++n) {
    failed = false;
    failAt = n;
    operation();
    failAt = 0;
    if (!failed) return static_cast<int>(n - 1);
  }
}

}  // namespace icofmt::test::failing_allocator

void* operator new(std::size_t size) {
  namespace fa = icofmt::test::failing_allocator;
  if (fa::armed && fa::failAt.load() > 0) {
    auto* counts = fa::counts.load();
    if ((counts == nullptr || counts(__builtin_return_address(0))) && fa::failAt.fetch_sub(1) == 1) {
      fa::failed = true;
      throw std::bad_alloc();
    }
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
