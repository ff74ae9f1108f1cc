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
        case RTAUDIO_API_UNIX_JACK: return "JACK";
        case RTAUDIO_API_LINUX_PULSE: return "PulseAudio";
        case RTAUDIO_API_LINUX_ALSA: return "ALSA";
        case RTAUDIO_API_LINUX_OSS: return "OSS";
        default: return "audio";
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

struct RtAudioOutput::Library {
    /// Loads the library and its functions; false when it is not there.
    bool load() {
        return library.open(ZIRVON_RTAUDIO_LIBRARY) &&
               library.get(num_compiled_apis, "rtaudio_get_num_compiled_apis") &&
               library.get(compiled_api, "rtaudio_compiled_api") && library.get(create, "rtaudio_create") &&
               library.get(destroy, "rtaudio_destroy") && library.get(show_warnings, "rtaudio_show_warnings") &&
               library.get(device_count, "rtaudio_device_count") &&
               library.get(default_output, "rtaudio_get_default_output_device") &&
               library.get(device_info, "rtaudio_get_device_info") &&
               library.get(open_stream, "rtaudio_open_stream") &&
               library.get(start_stream, "rtaudio_start_stream") &&
               library.get(stop_stream, "rtaudio_stop_stream") &&
               library.get(close_stream, "rtaudio_close_stream") &&
               library.get(is_open, "rtaudio_is_stream_open") &&
               library.get(is_running, "rtaudio_is_stream_running") && library.get(error, "rtaudio_error") &&
               library.get(stream_latency, "rtaudio_get_stream_latency") &&
               library.get(stream_rate, "rtaudio_get_stream_sample_rate");
    }

    SharedLibrary library;
    decltype(&rtaudio_get_num_compiled_apis) num_compiled_apis = nullptr;
    decltype(&rtaudio_compiled_api) compiled_api = nullptr;
    decltype(&rtaudio_create) create = nullptr;
    decltype(&rtaudio_destroy) destroy = nullptr;
    decltype(&rtaudio_show_warnings) show_warnings = nullptr;
    decltype(&rtaudio_device_count) device_count = nullptr;
    decltype(&rtaudio_get_default_output_device) default_output = nullptr;
    decltype(&rtaudio_get_device_info) device_info = nullptr;
    decltype(&rtaudio_open_stream) open_stream = nullptr;
    decltype(&rtaudio_start_stream) start_stream = nullptr;
    decltype(&rtaudio_stop_stream) stop_stream = nullptr;
    decltype(&rtaudio_close_stream) close_stream = nullptr;
    decltype(&rtaudio_is_stream_open) is_open = nullptr;
    decltype(&rtaudio_is_stream_running) is_running = nullptr;
    decltype(&rtaudio_error) error = nullptr;
    decltype(&rtaudio_get_stream_latency) stream_latency = nullptr;
    decltype(&rtaudio_get_stream_sample_rate) stream_rate = nullptr;
};

namespace {

/// RtAudio's message about the last call on `audio`, without the name of
/// the function that raised it.
std::string error_text(const RtAudioOutput::Library& rt, rtaudio_t audio) {
    const char* text = rt.error(audio);
    std::string message = text != nullptr && text[0] != '\0' ? text : "it failed";
    const auto colon = message.find(": ");
    if (message.starts_with("RtApi") && colon != std::string::npos) message.erase(0, colon + 2);
    return message;
}

}  // namespace

RtAudioOutput::RtAudioOutput(bool skip_jack) : skip_jack_(skip_jack), library_(std::make_unique<Library>()) {}

RtAudioOutput::~RtAudioOutput() { close(); }

bool RtAudioOutput::open(std::string& error) {
    QuietStderr quiet;
    Library& rt = *library_;
    if (!rt.load()) {
        tried_ = "RtAudio (" ZIRVON_RTAUDIO_LIBRARY " is missing)";
        return false;
    }
    tried_.clear();
    const rtaudio_api_t* apis = rt.compiled_api();
    for (unsigned i = 0; i < rt.num_compiled_apis(); ++i) {
        const rtaudio_api_t api = apis[i];
        if (api == RTAUDIO_API_DUMMY || (skip_jack_ && api == RTAUDIO_API_UNIX_JACK)) continue;
        tried_ += (tried_.empty() ? "" : ", ") + service_name(api);
        rtaudio_t audio = rt.create(api);
        if (!audio) continue;
        rt.show_warnings(audio, 0);
        if (rt.device_count(audio) <= 0) {
            rt.destroy(audio);
            continue;
        }
        rtaudio_stream_parameters_t output{};
        output.device_id = rt.default_output(audio);
        output.num_channels = 2;
        const rtaudio_device_info_t info = rt.device_info(audio, static_cast<int>(output.device_id));
        if (!info.probed || info.output_channels < 2) {
            rt.destroy(audio);
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
        if (rt.open_stream(audio, &output, nullptr, RTAUDIO_FORMAT_FLOAT32, rate, &frames,
                           &RtAudioOutput::on_buffer, this, &options, nullptr) != 0) {
            if (error.empty()) {
                error = "cannot open the audio output (" + service_name(api) + ": " + error_text(rt, audio) + ")";
            }
            rt.destroy(audio);
            continue;
        }
        audio_ = audio;
        rate_ = rt.stream_rate(audio);
        buffer_frames_ = frames;
        name_.assign(1, '"').append(info.name).append("\" (").append(service_name(api)).append(")");
        error.clear();
        return true;
    }
    return false;
}

bool RtAudioOutput::start(LiveRenderer& renderer, std::string& error) {
    renderer_ = &renderer;
    QuietStderr quiet;
    const auto audio = static_cast<rtaudio_t>(audio_);
    // Its result says nothing; an error is kept for rtaudio_error.
    library_->start_stream(audio);
    if (library_->error(audio) != nullptr) {
        error = "cannot start the audio output " + name_ + ": " + error_text(*library_, audio);
        return false;
    }
    return true;
}

void RtAudioOutput::close() {
    if (!audio_) return;
    QuietStderr quiet;
    const auto audio = static_cast<rtaudio_t>(audio_);
    if (library_->is_running(audio)) library_->stop_stream(audio);
    if (library_->is_open(audio)) library_->close_stream(audio);
    library_->destroy(audio);
    audio_ = nullptr;
}

std::chrono::milliseconds RtAudioOutput::latency() const {
    if (!audio_ || rate_ == 0) return {};
    const long frames = std::min<long>(
        library_->stream_latency(static_cast<rtaudio_t>(audio_)) + long(buffer_frames_), rate_ / 10);
    return std::chrono::milliseconds(1 + frames * 1000 / rate_);
}

int RtAudioOutput::on_buffer(void* out, void*, unsigned int frames, double, unsigned int, void* self) {
    auto* output = static_cast<RtAudioOutput*>(self);
    if (output->renderer_) {
        output->renderer_->render(static_cast<float*>(out), frames);
    } else {
        std::memset(out, 0, frames * 2 * sizeof(float));
    }
    return 0;
}

}  // namespace zirvon::audio
