// The built-in synthesizer's output on a JACK server, through libjack itself:
// one client, "zirvon", with two output ports that it connects to the
// system's playback ports. (RtAudio reaches JACK too, but opens a handful of
// short-lived clients and reads the server's whole port table several times
// before it plays: most of a second on a server with the default 2048 ports,
// where this takes one client.)
#pragma once

#include <atomic>

#include "audio/audio_backend.h"
#include "system/jack_library.h"

namespace zirvon::audio {

class JackOutput : public AudioBackend {
public:
    /// With `name_just_freed`, open() waits a little for the name "zirvon"
    /// that this process's own client has only just let go of.
    explicit JackOutput(bool name_just_freed = false) : wait_for_name_(name_just_freed) {}
    ~JackOutput() override { close(); }
    JackOutput(const JackOutput&) = delete;
    JackOutput& operator=(const JackOutput&) = delete;

    /// Opens the client on a running server (none is started); no error
    /// when no server answers, or libjack is missing.
    bool open(std::string& error) override;
    unsigned rate() const override;
    /// Also connects the client to the system's playback ports, where there
    /// are any.
    bool start(SoundRenderer& renderer, std::string& error) override;
    void close() override;
    std::chrono::milliseconds latency() const override;
    /// "JACK", or JACK server "NAME" for a server that is not the default.
    std::string name() const override;
    std::string tried() const override;

private:
    static int on_process(jack_nframes_t frames, void* self);
    static void on_shutdown(void* self);
    void connect_to_playback();

    JackLibrary lib_;
    bool wait_for_name_ = false;
    bool loaded_ = false;
    jack_client_t* client_ = nullptr;
    jack_port_t* ports_[2] = {nullptr, nullptr};
    SoundRenderer* renderer_ = nullptr;
    std::atomic<bool> server_gone_ = false;
};

}  // namespace zirvon::audio
