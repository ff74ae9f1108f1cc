// The live preview's audio output: the built-in synthesizer on the host's
// default audio output, the device's clock running the ticks. The output is
// the first of the platform's audio back ends (audio_backend.h) that has one.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/audio_backend.h"
#include "audio/live_renderer.h"
#include "play/live_output.h"

namespace zirvon::audio {

class AudioPort : public play::LiveOutput {
public:
    AudioPort();
    /// Lets what still sounds end (a release, a fade), then closes.
    ~AudioPort() override;
    AudioPort(const AudioPort&) = delete;
    AudioPort& operator=(const AudioPort&) = delete;

    /// Opens the default audio output and starts it, silent. False, with a
    /// message in the user's words, where there is none or it fails; where
    /// there is none at all, `none_tried` (if given) names what was tried:
    /// "JACK server \"default\", PulseAudio, ALSA". `name_just_freed`: see
    /// audio_backends().
    bool open(std::string& error, std::string* none_tried = nullptr, bool name_just_freed = false);

    bool start(Tick tick, std::string& error) override;
    void stop() override;
    /// Fades out (a few milliseconds) and waits until what the device still
    /// holds has played.
    void silence() override;
    bool lost(std::string& why) const override;
    std::string name() const override { return backend_ ? backend_->name() : std::string(); }

    /// For /ports: where the synthesizer would play ("built-in synthesizer
    /// on JACK"), found by opening the output and closing it again, or why
    /// it cannot ("built-in synthesizer; no audio output: tried JACK server
    /// \"default\", PulseAudio, ALSA").
    static std::string describe();

private:
    /// Waits until the renderer is quiet and the device has played it out,
    /// or `limit` has passed.
    void wait_until_quiet(std::chrono::milliseconds limit);

    std::unique_ptr<LiveRenderer> renderer_;  ///< outlives the back end's rendering
    std::unique_ptr<AudioBackend> backend_;
    bool started_ = false;
    // For lost(): the device's buffers when last looked at, and when that was.
    mutable std::uint64_t seen_buffers_ = 0;
    mutable std::chrono::steady_clock::time_point seen_at_{};
};

}  // namespace zirvon::audio
