// Tests that need something from outside: a tool, a server. On a
// developer's machine such a test is skipped, saying what it needs. In
// continuous integration (environment CI=true), where everything is
// installed, it fails instead: a missing package must not pass as a green run.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace zirvon::testing_support {

/// True in continuous integration: the environment variable CI is "true" or "1".
inline bool missing_needs_fail() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && (std::string_view(ci) == "true" || std::string_view(ci) == "1");
}

}  // namespace zirvon::testing_support

/// Ends the current test unless `available`: skips it, or fails it under
/// CI=true, saying what it needs (`what` is streamed, `"x " << y` works).
/// Use it in the test's body, as GTEST_SKIP.
#define ZIRVON_NEEDS(available, what)                                                              \
    do {                                                                                           \
        if (!(available)) {                                                                        \
            if (::zirvon::testing_support::missing_needs_fail()) {                                 \
                GTEST_FAIL() << "needs " << what << " (CI=true: nothing may be skipped)";          \
            }                                                                                      \
            GTEST_SKIP() << "needs " << what;                                                      \
        }                                                                                          \
    } while (false)
