// MidiInput on RtMidi, through the same C interface and loaded library as
// the output (see midi_port_rtmidi.cpp for RtMidi's habits). Every compiled
// API is asked for its ports, so a keyboard on the ALSA sequencer and one on
// JACK are both there.
//
// RtMidi calls back on its own thread (ALSA's reading thread, JACK's process
// thread), and its cancelling of the callback does not wait for a call under
// way: the call goes through a lock that close() takes too, so that no
// message is handed on once close() has returned.
#include <rtmidi_c.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "midi/midi_input.h"
#include "midi/rtmidi_library.h"
#include "system/jack_library.h"
#include "system/quiet_stderr_posix.h"
#include "system/shared_library_posix.h"

namespace zirvon::midi {
namespace {

constexpr const char* kPortName = "in";
/// Messages RtMidi keeps while the callback is slow; keys come far slower.
constexpr unsigned int kQueueSize = 256;
/// As for the output: a few JACK cycles.
constexpr std::chrono::milliseconds kJackSettle{20};

/// One RtMidiIn, freed with it.
class Input {
public:
    Input(const RtMidiLibrary& rt, RtMidiApi api)
        : rt_(rt), api_(api), in_(rt.rtmidi_in_create(api, kClientName, kQueueSize)) {}
    ~Input() {
        if (in_) rt_.rtmidi_in_free(in_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    bool ok() const { return in_ && in_->ptr && in_->ok; }
    RtMidiApi api() const { return api_; }
    /// The RtMidiIn for a call, its flag of failure cleared first.
    RtMidiInPtr get() const {
        in_->ok = true;
        return in_;
    }

private:
    const RtMidiLibrary& rt_;
    RtMidiApi api_;
    RtMidiInPtr in_;
};

}  // namespace

struct MidiInput::Backend {
    struct Entry {
        std::size_t service;
        unsigned int index;
    };

    RtMidiLibrary rt;
    bool loaded = false;
    JackLibrary jack;  ///< loaded to silence libjack
    std::vector<std::unique_ptr<Input>> services;
    std::vector<Entry> entries;
    std::unique_ptr<Input> port;
    std::mutex mutex;  ///< held while a message is handed on, and to stop that
    const Receive* receive = nullptr;

    static void on_message(double, const unsigned char* bytes, size_t size, void* self) {
        auto& b = *static_cast<Backend*>(self);
        // Channel messages only: the clock, sense and system exclusive are
        // ignored below, and a status outside 0x80-0xEF is not a key's.
        if (size == 0 || size > 3 || bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
        std::lock_guard lock(b.mutex);
        if (b.receive) (*b.receive)(bytes, size);
    }
};

MidiInput::MidiInput() : backend_(std::make_unique<Backend>()) {}

MidiInput::~MidiInput() {
    close();
}

bool MidiInput::is_open() const {
    return backend_->port != nullptr;
}

bool MidiInput::scan(std::vector<std::string>& names, std::string&) {
    Backend& b = *backend_;
    b.services.clear();
    b.entries.clear();
    names.clear();
    if (!b.loaded && !(b.loaded = b.rt.load())) return true;  // no ports; the caller names the services
    b.jack.load();
    QuietStderr quiet;
    for (const RtMidiApi api : b.rt.apis()) {
        auto in = std::make_unique<Input>(b.rt, api);
        if (!in->ok()) continue;
        const unsigned int count = b.rt.rtmidi_get_port_count(in->get());
        for (unsigned int i = 0; in->ok() && i < count; ++i) {
            std::string name = b.rt.port_name(in->get(), i);
            if (!in->ok()) break;
            b.entries.push_back({b.services.size(), i});
            names.push_back(std::move(name));
        }
        b.services.push_back(std::move(in));
    }
    return true;
}

bool MidiInput::open_scanned(std::size_t index, std::string& error) {
    Backend& b = *backend_;
    if (index >= b.entries.size()) {
        error = "the port is gone";
        return false;
    }
    const Backend::Entry entry = b.entries[index];
    std::unique_ptr<Input>& service = b.services[entry.service];
    {
        std::lock_guard lock(b.mutex);
        b.receive = &receive_;
    }
    {
        QuietStderr quiet;
        b.rt.rtmidi_in_ignore_types(service->get(), true, true, true);
        b.rt.rtmidi_in_set_callback(service->get(), &Backend::on_message, &b);
        b.rt.rtmidi_open_port(service->get(), entry.index, kPortName);
    }
    if (!service->ok()) {
        std::lock_guard lock(b.mutex);
        b.receive = nullptr;
        error = "the MIDI service refused it";
        return false;
    }
    b.port = std::move(service);
    b.services.clear();
    b.entries.clear();
    // A new JACK connection takes a cycle or two: keys pressed at once
    // after the answer would otherwise be lost.
    if (b.port->api() == RTMIDI_API_UNIX_JACK) std::this_thread::sleep_for(kJackSettle);
    return true;
}

bool MidiInput::close() {
    Backend& b = *backend_;
    {
        std::lock_guard lock(b.mutex);
        b.receive = nullptr;
    }
    if (!b.port) return false;
    {
        QuietStderr quiet;
        b.rt.rtmidi_in_cancel_callback(b.port->get());
        b.rt.rtmidi_close_port(b.port->get());
        b.port.reset();
    }
    receive_ = nullptr;
    name_.clear();
    return true;
}

}  // namespace zirvon::midi
