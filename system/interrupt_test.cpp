#include "system/interrupt.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/test_support.h"

namespace zirvon {
namespace {

using namespace std::chrono_literals;

// Windows runs console handlers on a thread of their own: allow it a moment.
bool noticed_within_a_second(const InterruptWatch& watch) {
    for (int i = 0; i < 100 && !watch.requested(); ++i) std::this_thread::sleep_for(10ms);
    return watch.requested();
}

TEST(InterruptWatch, CtrlCIsNoticedInsteadOfEndingTheProgram) {
    {
        const InterruptWatch watch;
        EXPECT_FALSE(watch.requested());
        if (!testing_support::interrupt_self())
            GTEST_SKIP() << "cannot send this process a Ctrl+C here";
        EXPECT_TRUE(noticed_within_a_second(watch));
    }
    const InterruptWatch next;
    EXPECT_FALSE(next.requested());
}

}  // namespace
}  // namespace zirvon
