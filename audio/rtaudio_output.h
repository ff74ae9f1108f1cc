// The built-in synthesizer's output through RtAudio (PulseAudio, ALSA, and
// JACK where the program has no libjack of its own), used through RtAudio's
// C interface from the library loaded when it is needed: RtAudio and the
// libraries it needs take tens of milliseconds to load, which every run of
// the program would pay otherwise, and the first sound with it.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "audio/live_renderer.h"

namespace zirvon::audio {

class RtAudioOutput {
public:
    RtAudioOutput();
    ~RtAudioOutput();  ///< closes
    RtAudioOutput(const RtAudioOutput&) = delete;
    RtAudioOutput& operator=(const RtAudioOutput&) = delete;

    /// Opens the default output of the first service that has one; with
    /// `skip_jack`, JACK is not tried. False, with a message, where there is
    /// none or it fails.
    bool open(bool skip_jack, std::string& error);
    unsigned rate() const { return rate_; }
    /// The device and its service, as the user knows them.
    const std::string& name() const { return name_; }
    /// Starts the stream, rendering with `renderer`.
    bool start(LiveRenderer& renderer, std::string& error);
    /// Stops and closes the stream; nothing renders after this returns.
    void close();
    /// How long the device holds the audio it is given.
    std::chrono::milliseconds latency() const;

    struct Library;  ///< RtAudio's functions, loaded

private:
    static int on_buffer(void* out, void* in, unsigned int frames, double time, unsigned int status,
                         void* self);

    std::unique_ptr<Library> library_;
    void* audio_ = nullptr;  ///< the rtaudio_t
    LiveRenderer* renderer_ = nullptr;
    unsigned rate_ = 0;
    unsigned buffer_frames_ = 0;
    std::string name_;
};

}  // namespace zirvon::audio
