// MidiPort on RtMidi, which reaches the ALSA sequencer and JACK on Linux and
// CoreMIDI on macOS. RtMidi is used through its C interface, from the
// library loaded when /play or /ports needs it (see
// system/shared_library_posix.h).
//
// Five habits of RtMidi 5 shape this file:
// - With its default API it gives up when the ALSA sequencer is missing
//   instead of trying JACK, so every compiled API is tried on its own.
// - It and the libraries under it print to stderr. Probing, opening and
//   closing run with stderr sent to /dev/null, and libjack's message
//   handlers are silenced.
// - Its C interface keeps the message of a failed call in a string that is
//   gone by the time the call returns, and never clears its flag of failure:
//   the flag is cleared before each call, and the message is our own.
// - Its JACK output hands messages to the JACK process thread through a ring
//   buffer, and the JACK graph takes a cycle or two to catch up with a new
//   connection. Messages sent at once after opening can be dropped (about one
//   run in 150 lost its first reset here); closing while the process thread is
//   half-way through the buffer can drop the last ones; and the destructor
//   frees the ring buffers before it closes the JACK client, so a process
//   callback still running can touch freed memory (a crash about once in 100
//   runs here). So on JACK we let the connection settle after opening, and
//   before and after closing the port.
// - Nothing tells it that the JACK server, or the client it plays into, went
//   away; its JACK output then waits for ever for room in that ring buffer.
//   A JackWatch notices instead, and once the port is lost nothing more is
//   sent to it.
// - Nor that an ALSA sequencer port it plays into went away: its ALSA output
//   sends to whoever is connected, and a failed send is a warning printed on
//   stderr, which its C interface reports as success. An AlsaWatch asks the
//   sequencer before and after each send instead, so that nothing is sent
//   into a port known to be gone and a send into one that went counts as
//   failed.
#include <rtmidi_c.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "midi/alsa_library.h"
#include "midi/alsa_watch.h"
#include "midi/jack_watch.h"
#include "midi/midi_port.h"
#include "midi/rtmidi_library.h"
#include "system/jack_library.h"
#include "system/quiet_stderr_posix.h"
#include "system/shared_library_posix.h"

namespace zirvon::midi {
namespace {

constexpr const char* kPortName = "out";
/// A few JACK cycles: enough for a new connection to take effect, for the
/// process thread to empty the ring buffer, and for a callback under way to
/// finish, with periods of up to about 5 ms (256 frames at 48 kHz).
constexpr std::chrono::milliseconds kJackSettle{20};

/// One RtMidiOut of RtMidi's C interface, freed with it.
class Output {
public:
    Output(const RtMidiLibrary& rt, RtMidiApi api)
        : rt_(rt), api_(api), out_(rt.rtmidi_out_create(api, kClientName)) {}
    ~Output() {
        if (out_) rt_.rtmidi_out_free(out_);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    /// False where the service is not there (no ALSA sequencer, say).
    bool ok() const { return out_ && out_->ptr && out_->ok; }
    RtMidiApi api() const { return api_; }
    /// The RtMidiOut for a call, its flag of failure cleared first: RtMidi
    /// only ever sets it.
    RtMidiOutPtr get() const {
        out_->ok = true;
        return out_;
    }

private:
    const RtMidiLibrary& rt_;
    RtMidiApi api_;
    RtMidiOutPtr out_;
};

}  // namespace

struct MidiPort::Backend {
    struct Entry {
        std::size_t service;
        unsigned int index;
        std::string name;
    };

    RtMidiLibrary rt;
    bool loaded = false;
    std::vector<std::unique_ptr<Output>> services;  // one per API that started, while scanning
    std::vector<Entry> entries;                     // the scanned ports
    std::unique_ptr<Output> port;
    std::atomic<bool> send_failed = false;
    JackLibrary jack;   ///< loaded to silence libjack, which RtMidi's JACK output uses
    AlsaLibrary alsa;   ///< and libasound, which its ALSA output uses
    std::unique_ptr<JackWatch> watch;
    std::unique_ptr<AlsaWatch> alsa_watch;
};

std::string MidiPort::services() {
    RtMidiLibrary rt;
    if (!rt.load()) return "RtMidi (" + rt.load_failure() + ")";
    std::string text;
    for (const RtMidiApi api : rt.apis()) {
        if (!text.empty()) text += ", ";
        text += api == RTMIDI_API_LINUX_ALSA  ? "ALSA sequencer"
                : api == RTMIDI_API_UNIX_JACK ? "JACK"
                                              : rt.rtmidi_api_display_name(api);
    }
    return text;
}

MidiPort::MidiPort() : backend_(std::make_unique<Backend>()) {}

MidiPort::~MidiPort() {
    close();
}

bool MidiPort::is_open() const {
    return backend_->port != nullptr;
}

bool MidiPort::scan(std::vector<std::string>& names, std::string&) {
    Backend& b = *backend_;
    b.services.clear();
    b.entries.clear();
    names.clear();
    // Without RtMidi, as without any MIDI service, there are no ports; the
    // caller says what to do, naming services().
    if (!b.loaded && !(b.loaded = b.rt.load())) return true;
    b.jack.load();
    b.alsa.load();
    QuietStderr quiet;
    for (const RtMidiApi api : b.rt.apis()) {
        auto out = std::make_unique<Output>(b.rt, api);
        if (!out->ok()) continue;  // this service is not there; try the next
        const unsigned int count = b.rt.rtmidi_get_port_count(out->get());
        for (unsigned int i = 0; out->ok() && i < count; ++i) {
            std::string name = b.rt.port_name(out->get(), i);
            if (!out->ok()) break;  // the service failed half-way: the ports so far
            b.entries.push_back({b.services.size(), i, name});
            names.push_back(std::move(name));
        }
        b.services.push_back(std::move(out));
    }
    return true;
}

bool MidiPort::open_scanned(std::size_t index, std::string& error) {
    Backend& b = *backend_;
    if (index >= b.entries.size()) {
        error = "the port is gone";
        return false;
    }
    const Backend::Entry entry = b.entries[index];
    std::unique_ptr<Output>& service = b.services[entry.service];
    {
        QuietStderr quiet;
        b.rt.rtmidi_open_port(service->get(), entry.index, kPortName);
    }
    if (!service->ok()) {
        error = "the MIDI service refused it";
        return false;
    }
    b.port = std::move(service);
    b.send_failed = false;
    const bool jack = b.port->api() == RTMIDI_API_UNIX_JACK;
    if (jack) {
        // Without the watch a lost JACK port would go unnoticed: better to
        // play on without it than not at all.
        b.watch = std::make_unique<JackWatch>();
        if (!b.watch->start(entry.name)) b.watch.reset();
    } else if (b.port->api() == RTMIDI_API_LINUX_ALSA) {
        b.alsa_watch = std::make_unique<AlsaWatch>();
        if (!b.alsa_watch->start(entry.name)) b.alsa_watch.reset();
    }
    b.services.clear();
    b.entries.clear();
    if (jack) std::this_thread::sleep_for(kJackSettle);
    return true;
}

bool MidiPort::lost() const {
    const Backend& b = *backend_;
    if (b.watch && b.watch->gone()) return true;
    if (b.alsa_watch && b.alsa_watch->gone()) return true;
    return b.send_failed.load(std::memory_order_acquire);
}

bool MidiPort::send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    Backend& b = *backend_;
    // RtMidi's JACK output waits for room in its buffer, which a lost server
    // never makes: nothing more is sent once the port is lost. The ALSA
    // watch's look at the sequencer is left to the loop's poll of lost():
    // sends only read what it found.
    if (!b.port || (b.watch && b.watch->gone()) || (b.alsa_watch && b.alsa_watch->known_gone()) ||
        b.send_failed.load(std::memory_order_acquire))
        return false;
    const unsigned char bytes[3] = {status, data1, data2};
    if (b.rt.rtmidi_out_send_message(b.port->get(), bytes, sizeof bytes) == 0) return true;
    b.send_failed.store(true, std::memory_order_release);
    return false;
}

bool MidiPort::close() {
    Backend& b = *backend_;
    if (!b.port) return false;
    const bool jack = b.port->api() == RTMIDI_API_UNIX_JACK;
    if (jack) std::this_thread::sleep_for(kJackSettle);
    {
        QuietStderr quiet;
        b.rt.rtmidi_close_port(b.port->get());  // best effort: the port goes below either way
        if (jack) std::this_thread::sleep_for(kJackSettle);
        b.port.reset();
    }
    b.watch.reset();
    b.alsa_watch.reset();
    name_.clear();
    return true;
}

}  // namespace zirvon::midi
