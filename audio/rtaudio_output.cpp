#include "audio/rtaudio_output.h"

#include <rtaudio_c.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "system/quiet_stderr_posix.h"
#include "system/shared_library_posix.h"

namespace zirvon::audio {
namespace {

constexpr unsigned kBuffers = 2;
constexpr unsigned kBufferMs = 5;

std::string service_name(rtaudio_api_t api) {
    switch (api) {
        case RTAUDIO_API_UNIX_JACK:
            return "JACK";
        case RTAUDIO_API_LINUX_PULSE:
            return "PulseAudio";
        case RTAUDIO_API_LINUX_ALSA:
            return "ALSA";
        case RTAUDIO_API_LINUX_OSS:
            return "OSS";
        default:
            return "audio";
    }
}

/// The rate to ask for: the device's own where it has only one (a JACK
/// server's), else 48 or 44.1 kHz where offered.
unsigned choose_rate(const rtaudio_device_info_t& info) {
    const int* rates = info.sample_rates;
    const int* end = rates + NUM_SAMPLE_RATES;
    const auto offers = [&](int rate) { return std::find(rates, end, rate) != end; };
    if (rates[0] > 0 && rates[1] == 0) return static_cast<unsigned>(rates[0]);
    if (offers(48000)) return 48000;
    if (offers(44100)) return 44100;
    return info.preferred_sample_rate != 0 ? info.preferred_sample_rate : 48000;
}

}  // namespace

#define ZIRVON_RTAUDIO_FUNCTIONS(X)                                                             \
    X(rtaudio_get_num_compiled_apis)                                                            \
    X(rtaudio_compiled_api) X(rtaudio_create) X(rtaudio_destroy) X(rtaudio_show_warnings)       \
        X(rtaudio_device_count) X(rtaudio_get_default_output_device) X(rtaudio_get_device_info) \
            X(rtaudio_open_stream) X(rtaudio_start_stream) X(rtaudio_stop_stream)               \
                X(rtaudio_close_stream) X(rtaudio_is_stream_open) X(rtaudio_is_stream_running)  \
                    X(rtaudio_error) X(rtaudio_get_stream_latency)                              \
                        X(rtaudio_get_stream_sample_rate)

struct RtAudioOutput::Library {
    ZIRVON_LIBRARY_FUNCTIONS(ZIRVON_RTAUDIO_FUNCTIONS)
};

namespace {

/// RtAudio's message about the last call on `audio`, without the name of
/// the function that raised it.
std::string error_text(const RtAudioOutput::Library& rt, rtaudio_t audio) {
    const char* text = rt.rtaudio_error(audio);
    std::string message = text != nullptr && text[0] != '\0' ? text : "it failed";
    const auto colon = message.find(": ");
    if (message.starts_with("RtApi") && colon != std::string::npos) message.erase(0, colon + 2);
    return message;
}

}  // namespace

RtAudioOutput::RtAudioOutput(bool skip_jack)
    : skip_jack_(skip_jack), library_(std::make_unique<Library>()) {}

RtAudioOutput::~RtAudioOutput() {
    close();
}

bool RtAudioOutput::open(std::string& error) {
    QuietStderr quiet;
    Library& rt = *library_;
    if (!rt.load_functions(ZIRVON_RTAUDIO_LIBRARY)) {
        tried_ = "RtAudio (" + rt.load_failure() + ")";
        return false;
    }
    tried_.clear();
    const rtaudio_api_t* apis = rt.rtaudio_compiled_api();
    for (unsigned i = 0; i < rt.rtaudio_get_num_compiled_apis(); ++i) {
        const rtaudio_api_t api = apis[i];
        if (api == RTAUDIO_API_DUMMY || (skip_jack_ && api == RTAUDIO_API_UNIX_JACK)) continue;
        tried_ += (tried_.empty() ? "" : ", ") + service_name(api);
        rtaudio_t audio = rt.rtaudio_create(api);
        if (!audio) continue;
        rt.rtaudio_show_warnings(audio, 0);
        if (rt.rtaudio_device_count(audio) <= 0) {
            rt.rtaudio_destroy(audio);
            continue;
        }
        rtaudio_stream_parameters_t output{};
        output.device_id = rt.rtaudio_get_default_output_device(audio);
        output.num_channels = 2;
        const rtaudio_device_info_t info =
            rt.rtaudio_get_device_info(audio, static_cast<int>(output.device_id));
        if (!info.probed || info.output_channels < 2) {
            rt.rtaudio_destroy(audio);
            continue;
        }
        const unsigned rate = choose_rate(info);
        unsigned frames = rate * kBufferMs / 1000;
        rtaudio_stream_options_t options{};
        options.flags = RTAUDIO_FLAGS_SCHEDULE_REALTIME;
        options.num_buffers = kBuffers;
        options.priority = 70;
        std::snprintf(options.name, sizeof options.name, "zirvon");
        // 0 on success, whatever the header's error codes say.
        if (rt.rtaudio_open_stream(audio, &output, nullptr, RTAUDIO_FORMAT_FLOAT32, rate, &frames,
                                   &RtAudioOutput::on_buffer, this, &options, nullptr) != 0) {
            if (error.empty()) {
                error = "cannot open the audio output (" + service_name(api) + ": " +
                        error_text(rt, audio) + ")";
            }
            rt.rtaudio_destroy(audio);
            continue;
        }
        audio_ = audio;
        rate_ = rt.rtaudio_get_stream_sample_rate(audio);
        buffer_frames_ = frames;
        name_.assign(1, '"').append(info.name).append("\" (").append(service_name(api)).append(")");
        error.clear();
        return true;
    }
    return false;
}

bool RtAudioOutput::start(SoundRenderer& renderer, std::string& error) {
    renderer_ = &renderer;
    QuietStderr quiet;
    const auto audio = static_cast<rtaudio_t>(audio_);
    // Its result says nothing; an error is kept for rtaudio_error.
    library_->rtaudio_start_stream(audio);
    if (library_->rtaudio_error(audio) != nullptr) {
        error = "cannot start the audio output " + name_ + ": " + error_text(*library_, audio);
        return false;
    }
    return true;
}

void RtAudioOutput::close() {
    if (!audio_) return;
    QuietStderr quiet;
    const auto audio = static_cast<rtaudio_t>(audio_);
    if (library_->rtaudio_is_stream_running(audio)) library_->rtaudio_stop_stream(audio);
    if (library_->rtaudio_is_stream_open(audio)) library_->rtaudio_close_stream(audio);
    library_->rtaudio_destroy(audio);
    audio_ = nullptr;
}

std::chrono::milliseconds RtAudioOutput::latency() const {
    if (!audio_ || rate_ == 0) return {};
    const long frames = std::min<long>(
        library_->rtaudio_get_stream_latency(static_cast<rtaudio_t>(audio_)) + long(buffer_frames_),
        rate_ / 10);
    return std::chrono::milliseconds(1 + frames * 1000 / rate_);
}

int RtAudioOutput::on_buffer(void* out, void*, unsigned int frames, double, unsigned int,
                             void* self) {
    auto* output = static_cast<RtAudioOutput*>(self);
    if (output->renderer_) {
        output->renderer_->render(static_cast<float*>(out), frames);
    } else {
        std::memset(out, 0, frames * 2 * sizeof(float));
    }
    return 0;
}

}  // namespace zirvon::audio
