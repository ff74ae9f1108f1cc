// MidiPort on RtMidi, which reaches the ALSA sequencer and JACK on Linux and
// CoreMIDI on macOS.
//
// Four habits of RtMidi 5 shape this file:
// - With its default API it gives up when the ALSA sequencer is missing
//   instead of trying JACK, so every compiled API is tried on its own.
// - It and the libraries under it print to stderr, some of it from
//   constructors before an error callback can be set. Probing and opening run
//   with stderr sent to /dev/null, libjack's message handlers are silenced,
//   and later errors come through the error callback.
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
#include <RtMidi.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "midi/midi_port.h"
#include "system/quiet_stderr_posix.h"

#ifdef ZIRVON_HAVE_LIBJACK
#include <jack/jack.h>

#include "midi/jack_watch.h"
#endif

namespace zirvon::midi {
namespace {

/// Client name under which the MIDI services list us.
constexpr const char* kClientName = "zirvon";
constexpr const char* kPortName = "out";
/// A few JACK cycles: enough for a new connection to take effect, for the
/// process thread to empty the ring buffer, and for a callback under way to
/// finish, with periods of up to about 5 ms (256 frames at 48 kHz).
constexpr std::chrono::milliseconds kJackSettle{20};

void silence_libjack() {
#ifdef ZIRVON_HAVE_LIBJACK
    static const bool silenced = [] {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        return true;
    }();
    (void)silenced;
#endif
}

/// RtMidi's messages start with the class and function that raised them;
/// the user only needs the rest.
std::string without_origin(const std::string& text) {
    const auto scope = text.find("::");
    if (scope == std::string::npos) return text;
    const auto colon = text.find(": ", scope);
    return colon == std::string::npos ? text : text.substr(colon + 2);
}

}  // namespace

struct MidiPort::Backend {
    struct Service {
        RtMidi::Api api;
        std::unique_ptr<RtMidiOut> out;
    };
    struct Entry {
        std::size_t service;
        unsigned int index;
    };

    /// Called by RtMidi, on the thread of the call that failed.
    static void on_error(RtMidiError::Type, const std::string& text, void* user) {
        auto* self = static_cast<Backend*>(user);
        self->failed = true;
        self->error = without_origin(text);
    }

    std::vector<Service> services;  // one per API that started, while scanning
    std::vector<Entry> entries;     // the scanned ports
    std::unique_ptr<RtMidiOut> port;
    RtMidi::Api port_api = RtMidi::UNSPECIFIED;
    bool failed = false;
    std::string error;
    std::atomic<bool> send_failed = false;
#ifdef ZIRVON_HAVE_LIBJACK
    std::unique_ptr<JackWatch> watch;
#endif
};

std::string MidiPort::services() {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    std::string text;
    for (const RtMidi::Api api : apis) {
        if (api == RtMidi::RTMIDI_DUMMY) continue;
        if (!text.empty()) text += ", ";
        text += api == RtMidi::LINUX_ALSA ? "ALSA sequencer"
                : api == RtMidi::UNIX_JACK ? "JACK"
                                           : RtMidi::getApiDisplayName(api);
    }
    return text;
}

MidiPort::MidiPort() : backend_(std::make_unique<Backend>()) {}

MidiPort::~MidiPort() { close(); }

bool MidiPort::is_open() const { return backend_->port != nullptr; }

bool MidiPort::scan(std::vector<std::string>& names, std::string&) {
    silence_libjack();
    QuietStderr quiet;
    Backend& b = *backend_;
    b.services.clear();
    b.entries.clear();
    names.clear();
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (const RtMidi::Api api : apis) {
        if (api == RtMidi::RTMIDI_DUMMY) continue;
        try {
            auto out = std::make_unique<RtMidiOut>(api, kClientName);
            out->setErrorCallback(&Backend::on_error, &b);
            const unsigned int count = out->getPortCount();
            for (unsigned int i = 0; i < count; ++i) {
                names.push_back(out->getPortName(i));
                b.entries.push_back({b.services.size(), i});
            }
            b.services.push_back({api, std::move(out)});
        } catch (const RtMidiError&) {
            // This service is not there (no ALSA sequencer, say); try the next.
        }
    }
    // A host without any MIDI service has no ports: the caller says what to do.
    return true;
}

bool MidiPort::open_scanned(std::size_t index, std::string& error) {
    Backend& b = *backend_;
    if (index >= b.entries.size()) {
        error = "the port is gone";
        return false;
    }
    const Backend::Entry entry = b.entries[index];
    Backend::Service& service = b.services[entry.service];
    QuietStderr quiet;
    b.failed = false;
    try {
        service.out->openPort(entry.index, kPortName);
    } catch (const RtMidiError& e) {
        b.failed = true;
        b.error = without_origin(e.getMessage());
    }
    if (b.failed || !service.out->isPortOpen()) {
        error = b.error.empty() ? "the MIDI service refused it" : b.error;
        return false;
    }
    b.port = std::move(service.out);
    b.port_api = service.api;
    b.send_failed = false;
#ifdef ZIRVON_HAVE_LIBJACK
    if (b.port_api == RtMidi::UNIX_JACK) {
        // Without the watch a lost JACK port would go unnoticed: better to
        // play on without it than not at all.
        b.watch = std::make_unique<JackWatch>();
        if (!b.watch->start(b.port->getPortName(entry.index))) b.watch.reset();
    }
#endif
    b.services.clear();
    b.entries.clear();
    if (b.port_api == RtMidi::UNIX_JACK) std::this_thread::sleep_for(kJackSettle);
    return true;
}

bool MidiPort::lost() const {
    const Backend& b = *backend_;
#ifdef ZIRVON_HAVE_LIBJACK
    if (b.watch && b.watch->gone()) return true;
#endif
    return b.send_failed.load(std::memory_order_acquire);
}

bool MidiPort::send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    Backend& b = *backend_;
    // RtMidi's JACK output waits for room in its buffer, which a lost server
    // never makes: nothing more is sent once the port is lost.
    if (!b.port || lost()) return false;
    const unsigned char bytes[3] = {status, data1, data2};
    b.failed = false;
    try {
        b.port->sendMessage(bytes, sizeof bytes);
    } catch (const RtMidiError&) {
        b.failed = true;
    }
    if (b.failed) b.send_failed.store(true, std::memory_order_release);
    return !b.failed;
}

bool MidiPort::close() {
    Backend& b = *backend_;
    if (!b.port) return false;
    const bool jack = b.port_api == RtMidi::UNIX_JACK;
    if (jack) std::this_thread::sleep_for(kJackSettle);
    QuietStderr quiet;
    try {
        b.port->closePort();
    } catch (const RtMidiError&) {
        // Closing is best effort; the port object goes below either way.
    }
    if (jack) std::this_thread::sleep_for(kJackSettle);
    b.port.reset();
#ifdef ZIRVON_HAVE_LIBJACK
    b.watch.reset();
#endif
    name_.clear();
    return true;
}

}  // namespace zirvon::midi
