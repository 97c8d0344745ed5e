// A test's checks of a Result: `ASSERT_TRUE(succeeded(sim.start()))` passes on a value and, on
// a failure, prints the failure's message; failure_message() gives the message to compare.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/result.h"

namespace kavri {

template <typename T>
::testing::AssertionResult succeeded(const Result<T>& result) {
  if (result) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << result.error();
}

// The failure's message, or "" when there is a value.
template <typename T>
std::string failure_message(const Result<T>& result) {
  return result ? std::string{} : result.error();
}

}  // namespace kavri
