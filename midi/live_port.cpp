#include "midi/live_port.h"

namespace zirvon::midi {

class LivePort::Sink : public play::MidiSink {
public:
    explicit Sink(MidiPort& port) : port_(port) {}
    void send(const play::MidiMessage& m) override { port_.send(m.status, m.data1, m.data2); }

private:
    MidiPort& port_;
};

LivePort::~LivePort() {
    timer_.stop();
    if (!port_.is_open()) return;
    port_.reset_channels();
    port_.close();
}

bool LivePort::open(std::string_view choice, std::string& error, std::size_t* ports_found) {
    if (!port_.open(choice, error, ports_found)) return false;
    port_.reset_channels();
    return true;
}

bool LivePort::start(Tick tick, std::string& error) {
    tick_ = std::move(tick);
    const bool started = timer_.start(std::chrono::microseconds(kTickMicroseconds), [this](std::uint64_t n) {
        Sink sink(port_);
        tick_(n, sink);
    });
    if (!started) error = "cannot start the preview's timer thread";
    return started;
}

void LivePort::stop() { timer_.stop(); }

void LivePort::silence() { port_.all_notes_off(); }

bool LivePort::lost(std::string& why) const {
    if (!port_.lost()) return false;
    why = "the MIDI port '" + port_.name() + "' went away during the preview";
    return true;
}

}  // namespace zirvon::midi
