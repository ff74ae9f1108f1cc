// What a live preview plays into: a MIDI port driven by a timer, or the
// built-in synthesizer driven by its audio device's clock. The preview loop
// knows only this interface; the outputs live in their own folders.
#pragma once

#include <functional>
#include <string>

#include "play/player.h"

namespace zirvon::play {

/// A device with a clock of its own that runs the preview's ticks.
class LiveOutput {
public:
    /// One 20 ms step of the preview: gets the tick's number (from 0 at
    /// start) and the sink that the tick's messages go to.
    using Tick = std::function<void(std::uint64_t, MidiSink&)>;

    virtual ~LiveOutput() = default;

    /// Starts calling `tick` every 20 ms of the device's clock, on a thread
    /// that is not the caller's. False, with a message, when it cannot start.
    virtual bool start(Tick tick, std::string& error) = 0;
    /// Stops the ticks; no tick runs after this returns. Notes that sound
    /// keep sounding until silence().
    virtual void stop() = 0;
    /// Turns every note off at once (after stop()).
    virtual void silence() = 0;
    /// True once the device has gone away (its server stopped, it was
    /// unplugged); `why` then says so in the user's words.
    virtual bool lost(std::string& why) const = 0;
    /// What the progress line and the messages call the device.
    virtual std::string name() const = 0;
};

}  // namespace zirvon::play
