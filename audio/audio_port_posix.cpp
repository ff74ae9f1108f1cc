// AudioPort on Linux and other POSIX systems: a JACK server where one runs,
// through libjack itself (jack_output.h); else RtAudio's default output
// (rtaudio_output.h), which reaches PulseAudio and ALSA.
#include <memory>

#include "audio/audio_port.h"
#include "audio/rtaudio_output.h"
#include "system/interrupt.h"

#ifdef ZIRVON_HAVE_LIBJACK
#include "audio/jack_output.h"
#endif

namespace zirvon::audio {

struct AudioPort::Device {
#ifdef ZIRVON_HAVE_LIBJACK
    std::unique_ptr<JackOutput> jack;
#endif
    std::unique_ptr<RtAudioOutput> rtaudio;
};

AudioPort::AudioPort() : device_(std::make_unique<Device>()) {}

AudioPort::~AudioPort() { finish(); }

bool AudioPort::open_device(std::string& error) {
    bool skip_jack = false;
#ifdef ZIRVON_HAVE_LIBJACK
    if (auto jack = std::make_unique<JackOutput>(); jack->open()) {
        rate_ = jack->rate();
        renderer_ = std::make_unique<LiveRenderer>(rate_, &interrupt_requested);
        if (!jack->start(*renderer_, error)) {
            jack.reset();
            renderer_.reset();
            return false;
        }
        device_->jack = std::move(jack);
        name_ = "JACK";
        return true;
    }
    skip_jack = true;  // no server answered
#endif
    auto output = std::make_unique<RtAudioOutput>();
    if (!output->open(skip_jack, error)) return false;
    rate_ = output->rate();
    renderer_ = std::make_unique<LiveRenderer>(rate_, &interrupt_requested);
    if (!output->start(*renderer_, error)) {
        output.reset();
        renderer_.reset();
        return false;
    }
    name_ = output->name();
    device_->rtaudio = std::move(output);
    return true;
}

void AudioPort::close_device() {
#ifdef ZIRVON_HAVE_LIBJACK
    device_->jack.reset();
#endif
    device_->rtaudio.reset();
}

std::chrono::milliseconds AudioPort::device_latency() const {
#ifdef ZIRVON_HAVE_LIBJACK
    if (device_->jack) return device_->jack->latency();
#endif
    return device_->rtaudio ? device_->rtaudio->latency() : std::chrono::milliseconds(0);
}

}  // namespace zirvon::audio
