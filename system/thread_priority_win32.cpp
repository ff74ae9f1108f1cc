// Windows twin of the timer thread's priority: the highest of the normal
// priority class, below the real-time class that audio engines use.
#include <windows.h>

#include "system/thread_priority.h"

namespace zirvon {

bool raise_thread_priority() {
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0;
}

}  // namespace zirvon
