// The built-in synthesizer's output through RtAudio (PulseAudio, ALSA, and
// JACK where that is not tried on its own), used through RtAudio's C
// interface from the library loaded when it is needed: RtAudio and the
// libraries it needs take tens of milliseconds to load, which every run of
// the program would pay otherwise, and the first sound with it.
#pragma once

#include <memory>

#include "audio/audio_backend.h"

namespace zirvon::audio {

class RtAudioOutput : public AudioBackend {
public:
    /// With `skip_jack`, RtAudio's own JACK output is not tried.
    explicit RtAudioOutput(bool skip_jack);
    ~RtAudioOutput() override;
    RtAudioOutput(const RtAudioOutput&) = delete;
    RtAudioOutput& operator=(const RtAudioOutput&) = delete;

    /// Opens the default output of the first of RtAudio's services that has
    /// one; no error when none has.
    bool open(std::string& error) override;
    unsigned rate() const override { return rate_; }
    bool start(SoundRenderer& renderer, std::string& error) override;
    void close() override;
    std::chrono::milliseconds latency() const override;
    /// The device and its service: "\"default\" (ALSA)".
    std::string name() const override { return name_; }
    /// The services asked, or that the library is missing.
    std::string tried() const override { return tried_; }

    struct Library;  ///< RtAudio's functions, loaded

private:
    static int on_buffer(void* out, void* in, unsigned int frames, double time, unsigned int status,
                         void* self);

    const bool skip_jack_;
    std::unique_ptr<Library> library_;
    void* audio_ = nullptr;  ///< the rtaudio_t
    SoundRenderer* renderer_ = nullptr;
    unsigned rate_ = 0;
    unsigned buffer_frames_ = 0;
    std::string name_;
    std::string tried_ = "RtAudio";
};

}  // namespace zirvon::audio
