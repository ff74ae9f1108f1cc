#include <pthread.h>
#include <sched.h>

#include "system/thread_priority.h"

namespace zirvon {

namespace {
/// Below the priorities audio servers give their own threads (JACK: 70 and
/// clients just under it), so the timer never holds up the sound it feeds.
constexpr int kTimerPriority = 40;
}  // namespace

bool raise_thread_priority() {
    sched_param param{};
    param.sched_priority = kTimerPriority;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

}  // namespace zirvon
