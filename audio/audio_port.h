// The live preview's audio output: the built-in synthesizer on the host's
// default audio output, the device's clock running the ticks. The platform's
// audio service sits behind a small part of its own, in
// audio_port_<service>.cpp (RtAudio on Linux, the wave output of winmm on
// Windows).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

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
    /// message in the user's words, where there is none or it fails.
    bool open(std::string& error);

    bool start(Tick tick, std::string& error) override;
    void stop() override;
    /// Fades out (a few milliseconds) and waits until what the device still
    /// holds has played.
    void silence() override;
    bool lost(std::string& why) const override;
    std::string name() const override { return name_; }

    /// Frames a second of the open device.
    unsigned rate() const { return rate_; }

    /// The message for a host without any audio output.
    static std::string no_output_message();

private:
    struct Device;  ///< the platform's part

    /// Platform part: opens and starts the default output, rendering through
    /// `renderer_` (made here, once the rate is known); sets rate_ and name_.
    bool open_device(std::string& error);
    /// Platform part: stops and closes the device; nothing renders after.
    void close_device();
    /// Platform part: how long the device holds the audio it is given.
    std::chrono::milliseconds device_latency() const;
    /// Lets what still sounds end, then closes the device; the destructor's
    /// part that every platform shares.
    void finish();
    /// Waits until the renderer is quiet and the device has played it out,
    /// or `limit` has passed.
    void wait_until_quiet(std::chrono::milliseconds limit);

    std::unique_ptr<Device> device_;
    std::unique_ptr<LiveRenderer> renderer_;
    unsigned rate_ = 0;
    std::string name_;
    bool started_ = false;
    // For lost(): the device's buffers when last looked at, and when that was.
    mutable std::uint64_t seen_buffers_ = 0;
    mutable std::chrono::steady_clock::time_point seen_at_{};
};

}  // namespace zirvon::audio
