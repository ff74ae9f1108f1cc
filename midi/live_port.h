// The live preview's MIDI output: a MIDI port, with the preview's tick timer
// as its clock.
#pragma once

#include <string>
#include <string_view>

#include "midi/midi_port.h"
#include "play/live_output.h"
#include "system/tick_timer.h"

namespace zirvon::midi {

class LivePort : public play::LiveOutput {
public:
    LivePort() = default;
    /// Resets every channel and closes the port.
    ~LivePort() override;

    /// Opens the port that `choice` picks (as /port= does) and resets its
    /// channels. `ports_found`, when given, gets how many ports the host has.
    bool open(std::string_view choice, std::string& error, std::size_t* ports_found = nullptr);

    bool start(Tick tick, std::string& error) override;
    void stop() override;
    void silence() override;
    bool lost(std::string& why) const override;
    std::string name() const override { return port_.name(); }

private:
    class Sink;

    MidiPort port_;
    TickTimer timer_;
    Tick tick_;
};

}  // namespace zirvon::midi
