// Watches the ALSA sequencer for the two ways an ALSA MIDI port goes away
// during a preview: the client that owns the port quits, or it removes the
// port. RtMidi notices neither: its ALSA output sends to whoever is connected
// to its own port, and a destination that left is simply no longer
// connected, so every send still succeeds.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace zirvon::midi {

/// A sequencer address as RtMidi ends an ALSA port's name with it:
/// "FLUID Synth (123):Synth input port (123:0) 128:0" gives 128 and 0.
struct AlsaAddress {
    int client = 0;
    int port = 0;
    /// The name without the address: "FLUID Synth (123):Synth input port (123:0)".
    std::string_view names;
};
std::optional<AlsaAddress> alsa_address(std::string_view port_name);

class AlsaWatch {
public:
    AlsaWatch();
    ~AlsaWatch();
    AlsaWatch(const AlsaWatch&) = delete;
    AlsaWatch& operator=(const AlsaWatch&) = delete;

    /// Starts watching the port that RtMidi named `port`, as a sequencer
    /// client of its own. False when the name carries no address, the port
    /// there has another name, or the sequencer cannot be reached.
    bool start(const std::string& port);

    /// True once the port or its client has gone. Asks the sequencer (a few
    /// system calls): for the loop that polls, not for every message.
    /// Safe on any thread.
    bool gone() const;
    /// What the last gone() found, without asking again: for the tick path.
    bool known_gone() const { return gone_.load(std::memory_order_acquire); }

private:
    struct Sequencer;
    bool check() const;

    std::unique_ptr<Sequencer> seq_;
    mutable std::mutex mutex_;
    mutable std::atomic<bool> gone_ = false;
};

}  // namespace zirvon::midi
