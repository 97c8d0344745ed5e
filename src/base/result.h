// The one way to fail for a reason the user reads: a value, or the message that says why there
// is none. Callers that branch on the kind of a failure keep their own enum beside it; the
// message is what is shown or logged, already worded for the user.
#pragma once

#include <cassert>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace kavri {

// Why something failed, in words for the user.
struct Failure {
  std::string message;
};

inline Failure fail(std::string message) { return Failure{std::move(message)}; }

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit
  Result(Failure failure)                                                // NOLINT: implicit
      : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // The value; only when ok().
  T& value() & {
    assert(ok());
    return std::get<0>(state_);
  }
  const T& value() const& {
    assert(ok());
    return std::get<0>(state_);
  }
  T&& value() && {
    assert(ok());
    return std::get<0>(std::move(state_));
  }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  // Why it failed; only when !ok().
  const std::string& error() const {
    assert(!ok());
    return std::get<1>(state_).message;
  }

 private:
  std::variant<T, Failure> state_;
};

// Success with nothing to give back.
struct Done {};

// For an operation that gives nothing back: `return done();` or `return fail("...");`.
using Status = Result<Done>;
inline Status done() { return Done{}; }

}  // namespace kavri
