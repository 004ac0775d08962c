#pragma once
// GoogleTest assertions on the core's Status and Result: a failure prints the reason.
#include <gtest/gtest.h>

#include "base/result.h"

namespace q3d::test {

inline ::testing::AssertionResult Succeeded(const Status& status) {
  if (status) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << status.Reason();
}

template <class T>
::testing::AssertionResult Succeeded(const Result<T>& result) {
  return Succeeded(result.GetStatus());
}

}  // namespace q3d::test
