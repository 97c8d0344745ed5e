// A value shared between threads whose every load and store is one atomic operation, so a
// reader never sees it half-written. No ordering is implied beyond the value itself: flags
// that publish other data use std::atomic with acquire/release instead.
#pragma once

#include <atomic>

namespace kavri {

template <typename T>
class Relaxed {
 public:
  constexpr Relaxed(T value = T{}) noexcept : value_(value) {}  // NOLINT: implicit by design
  Relaxed(const Relaxed& other) noexcept : value_(other.load()) {}
  Relaxed& operator=(const Relaxed& other) noexcept {
    store(other.load());
    return *this;
  }
  Relaxed& operator=(T value) noexcept {
    store(value);
    return *this;
  }
  operator T() const noexcept { return load(); }  // NOLINT: reads like the plain field
  T load() const noexcept { return value_.load(std::memory_order_relaxed); }
  void store(T value) noexcept { value_.store(value, std::memory_order_relaxed); }

 private:
  std::atomic<T> value_;
};

}  // namespace kavri
