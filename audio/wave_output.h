// The built-in synthesizer's output on the wave output of the Windows
// multimedia API (winmm): the wave mapper, that is the output the user picked
// in the system's settings.
#pragma once

#include <memory>

#include "audio/audio_backend.h"

namespace zirvon::audio {

class WaveOutput : public AudioBackend {
public:
    WaveOutput();
    ~WaveOutput() override;
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;

    /// No error when the system has no wave output.
    bool open(std::string& error) override;
    unsigned rate() const override;
    bool start(SoundRenderer& renderer, std::string& error) override;
    void close() override;
    std::chrono::milliseconds latency() const override;
    std::string name() const override { return name_; }
    std::string tried() const override { return "the wave mapper"; }

private:
    struct Device;  ///< winmm's part

    std::unique_ptr<Device> device_;
    std::string name_;
};

}  // namespace zirvon::audio
