// Ctrl+C (and a polite kill) during a preview: noticed, not fatal, so the
// preview can silence the synthesizer and close its port before the program
// ends. Each platform has its own interrupt_<platform>.cpp.
#pragma once

namespace zirvon {

/// While one lives, SIGINT and SIGTERM (or the console's Ctrl+C) only set a
/// flag that requested() reports; the previous handling comes back when it
/// goes. One at a time.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool requested() const;
};

/// Whether an interrupt has come since the last watch began. Safe on any
/// thread, even one that must not wait, such as an audio device's.
bool interrupt_requested();

}  // namespace zirvon
