#pragma once
// The real photograph pairs live beside the repository. A machine without them skips the
// tests that read them; under CI (the environment variable CI set) they must be there, and
// their absence fails the test instead of hiding it as a skip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#define Q3D_REQUIRE_REAL_DATA(file)                                                       \
  do {                                                                                    \
    const std::filesystem::path q3dNeeded = (file);                                       \
    if (!std::filesystem::exists(q3dNeeded)) {                                            \
      if (std::getenv("CI")) FAIL() << "no real data at " << q3dNeeded << " (CI is set)"; \
      GTEST_SKIP() << "no real data at " << q3dNeeded;                                    \
    }                                                                                     \
  } while (false)
