// The built-in synthesizer's output on a JACK server, through libjack itself:
// one client, "zirvon", with two output ports that it connects to the
// system's playback ports. (RtAudio reaches JACK too, but opens a handful of
// short-lived clients and reads the server's whole port table several times
// before it plays: most of a second on a server with the default 2048 ports,
// where this takes one client.)
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <string>

#include "audio/live_renderer.h"

namespace zirvon::audio {

class JackOutput {
public:
    JackOutput() = default;
    ~JackOutput();  ///< closes
    JackOutput(const JackOutput&) = delete;
    JackOutput& operator=(const JackOutput&) = delete;

    /// Opens the client on a running server (none is started). False when no
    /// server answers.
    bool open();
    /// The server's rate; once open.
    unsigned rate() const;
    /// Starts the client, rendering with `renderer`, and connects it to the
    /// system's playback ports where there are any.
    bool start(LiveRenderer& renderer, std::string& error);
    /// Stops and closes the client; nothing renders after this returns.
    void close();
    /// How long the server holds the audio it is given.
    std::chrono::milliseconds latency() const;

private:
    static int on_process(jack_nframes_t frames, void* self);
    static void on_shutdown(void* self);
    void connect_to_playback();

    jack_client_t* client_ = nullptr;
    jack_port_t* ports_[2] = {nullptr, nullptr};
    LiveRenderer* renderer_ = nullptr;
    std::atomic<bool> server_gone_ = false;
};

}  // namespace zirvon::audio
