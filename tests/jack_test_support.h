// Test support for the MIDI tests that need a real MIDI service: a private
// JACK server with the dummy driver, and a JACK MIDI input that records what
// reaches it. Compiled into the test program only.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/needs.h"

class RtMidiIn;
class RtMidiOut;

namespace zirvon::midi::testing {

/// A JACK server of this test program's own (name zirvon-test-<pid>),
/// started on first use and stopped by its process id when the program ends.
/// Once it runs, JACK_DEFAULT_SERVER names it and JACK_NO_START_SERVER is
/// set, so this process and its children reach it and no other.
class JackServer {
public:
    /// Starts the server unless it runs; false, with the reason, when jackd
    /// is not installed or does not come up.
    static bool ensure(std::string& why);
    /// Kills the server with SIGKILL, as a crash would end it, and waits for
    /// it. The next ensure() starts it again under the same name, which takes
    /// back the dead one's slot in the host's JACK registry (a host has eight).
    static void kill();
};

/// Skips the current test, saying why, when no JACK server can be had; fails
/// it instead under CI=true (see tests/needs.h).
#define ZIRVON_REQUIRE_JACK()                                                                      \
    do {                                                                                           \
        std::string zirvon_why;                                                                    \
        const bool zirvon_jack = ::zirvon::midi::testing::JackServer::ensure(zirvon_why);          \
        ZIRVON_NEEDS(zirvon_jack, "a JACK server (package jackd2): " << zirvon_why);               \
    } while (false)

using Bytes = std::vector<unsigned char>;

/// One message as it arrived, with the steady clock's time of arrival.
struct Received {
    std::chrono::steady_clock::time_point time;
    Bytes bytes;
};

/// The bytes of messages [from, to) of `received`.
std::vector<Bytes> bytes_of(const std::vector<Received>& received, std::size_t from = 0,
                            std::size_t to = SIZE_MAX);
/// The messages in hex, one a line, numbered: for a failure's message.
std::string describe(const std::vector<Received>& received);
/// Reset all controllers and all notes off on every channel: what a port
/// sends as it opens and as it closes (32 messages).
std::vector<Bytes> reset_messages();
/// All notes off on every channel, what an interrupted preview sends (16).
std::vector<Bytes> all_notes_off_messages();
/// Messages that missed their tick by more than 10 ms, one a line, counting
/// `ticks` and `received` from their first (20 ms a tick); empty when all were
/// on time.
std::string late_messages(const std::vector<Received>& received,
                          const std::vector<std::uint64_t>& ticks);

/// A JACK MIDI input port that other programs send to.
class MidiRecorder {
public:
    /// Opens the input under a client name unique to this process.
    MidiRecorder();
    ~MidiRecorder();
    MidiRecorder(const MidiRecorder&) = delete;
    MidiRecorder& operator=(const MidiRecorder&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    /// The port's name as output port lists show it.
    const std::string& port_name() const { return port_name_; }

    /// Everything received so far.
    std::vector<Received> received() const;
    /// Waits until `count` messages have arrived or `timeout` has passed.
    bool wait_for(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    static void on_message(double, std::vector<unsigned char>* bytes, void* self);

    std::unique_ptr<RtMidiIn> input_;
    std::string port_name_;
    std::string error_;
    mutable std::mutex mutex_;
    std::vector<Received> received_;
};

/// A JACK MIDI output that stands for a keyboard: other programs' inputs
/// listen to it.
class MidiKeyboard {
public:
    MidiKeyboard();
    ~MidiKeyboard();
    MidiKeyboard(const MidiKeyboard&) = delete;
    MidiKeyboard& operator=(const MidiKeyboard&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    /// The port's name as input port lists show it.
    const std::string& port_name() const { return port_name_; }
    void send(const Bytes& message);

private:
    std::unique_ptr<RtMidiOut> output_;
    std::string port_name_;
    std::string error_;
};

}  // namespace zirvon::midi::testing
