// Scheduling the preview's timer thread ahead of ordinary work, where the
// host allows it. Each platform has its own thread_priority_<platform>.cpp.
#pragma once

namespace zirvon {

/// Asks the scheduler to run the calling thread ahead of ordinary threads
/// (real-time, below audio servers such as JACK). False, and nothing
/// changed, where the host does not allow it; the caller goes on either way.
bool raise_thread_priority();

}  // namespace zirvon
