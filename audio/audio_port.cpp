#include "audio/audio_port.h"

#include <thread>

#include "system/interrupt.h"

namespace zirvon::audio {
namespace {

using namespace std::chrono_literals;

/// Longest a release lasts, and a little more.
constexpr auto kReleaseLimit = 400ms;
/// Longest a fade lasts, and a little more.
constexpr auto kFadeLimit = 50ms;
/// A device that takes no audio for this long has gone away.
constexpr auto kLostAfter = 1000ms;
constexpr std::string_view kInstead = "write the song as a WAV file with /wav instead";

}  // namespace

std::unique_ptr<AudioBackend> open_audio_backend(std::string_view instead, std::string& error, std::string& tried,
                                                 bool name_just_freed) {
    std::string failure;
    for (auto& backend : audio_backends(name_just_freed)) {
        std::string why;
        if (backend->open(why)) return std::move(backend);
        tried += (tried.empty() ? "" : ", ") + backend->tried();
        if (failure.empty()) failure = why;
    }
    error = failure.empty() ? "no audio output to play on (tried: " + tried + "); " + std::string(instead) : failure;
    if (!failure.empty()) tried.clear();
    return nullptr;
}

AudioPort::AudioPort() = default;

AudioPort::~AudioPort() {
    if (!backend_) return;
    if (started_) {
        renderer_->stop();
        wait_until_quiet(kReleaseLimit);
    }
    backend_->close();
}

bool AudioPort::open(std::string& error, std::string* none_tried, bool name_just_freed) {
    std::string tried;
    backend_ = open_audio_backend(kInstead, error, tried, name_just_freed);
    if (none_tried) *none_tried = tried;
    if (!backend_) return false;
    renderer_ = std::make_unique<LiveRenderer>(backend_->rate(), &interrupt_requested);
    if (!backend_->start(*renderer_, error)) {
        backend_.reset();
        return false;
    }
    return true;
}

std::string AudioPort::describe() {
    std::string error, tried;
    const auto backend = open_audio_backend(kInstead, error, tried, false);
    if (backend) return "built-in synthesizer on " + backend->name();
    return "built-in synthesizer; " + (tried.empty() ? error : "no audio output: tried " + tried);
}

bool AudioPort::start(Tick tick, std::string& error) {
    if (!backend_) {
        error = "the audio output is not open";
        return false;
    }
    renderer_->start(std::move(tick));
    started_ = true;
    seen_buffers_ = renderer_->buffers();
    seen_at_ = std::chrono::steady_clock::now();
    return true;
}

void AudioPort::stop() {
    if (backend_) renderer_->stop();
}

void AudioPort::silence() {
    if (!backend_) return;
    renderer_->fade_out();
    wait_until_quiet(kFadeLimit);
}

bool AudioPort::lost(std::string& why) const {
    if (!backend_ || !started_) return false;
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t buffers = renderer_->buffers();
    if (buffers != seen_buffers_) {
        seen_buffers_ = buffers;
        seen_at_ = now;
        return false;
    }
    if (now - seen_at_ < kLostAfter) return false;
    why = "the audio output " + name() + " stopped taking audio";
    return true;
}

void AudioPort::wait_until_quiet(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // The renderer reports on each buffer it renders; one more buffer after
    // it turns quiet makes sure the report is about the sound as it is now.
    while (!renderer_->quiet() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    const std::uint64_t quiet_at = renderer_->buffers();
    while (renderer_->buffers() < quiet_at + 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(backend_->latency());
}

}  // namespace zirvon::audio
