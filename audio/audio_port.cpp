// The parts of AudioPort that are the same on every platform.
#include "audio/audio_port.h"

#include <thread>

namespace zirvon::audio {
namespace {

using namespace std::chrono_literals;

/// Longest a release lasts, and a little more.
constexpr auto kReleaseLimit = 400ms;
/// Longest a fade lasts, and a little more.
constexpr auto kFadeLimit = 50ms;
/// A device that takes no audio for this long has gone away.
constexpr auto kLostAfter = 1000ms;

}  // namespace

std::string AudioPort::no_output_message() {
    return "no audio output to play on; write the song as a WAV file with /wav instead";
}

void AudioPort::finish() {
    if (!renderer_) return;
    if (started_) {
        renderer_->stop();
        wait_until_quiet(kReleaseLimit);
    }
    close_device();
}

bool AudioPort::open(std::string& error) { return open_device(error); }

bool AudioPort::start(Tick tick, std::string& error) {
    if (!renderer_) {
        error = no_output_message();
        return false;
    }
    renderer_->start(std::move(tick));
    started_ = true;
    seen_buffers_ = renderer_->buffers();
    seen_at_ = std::chrono::steady_clock::now();
    return true;
}

void AudioPort::stop() {
    if (renderer_) renderer_->stop();
}

void AudioPort::silence() {
    if (!renderer_) return;
    renderer_->fade_out();
    wait_until_quiet(kFadeLimit);
}

bool AudioPort::lost(std::string& why) const {
    if (!renderer_ || !started_) return false;
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t buffers = renderer_->buffers();
    if (buffers != seen_buffers_) {
        seen_buffers_ = buffers;
        seen_at_ = now;
        return false;
    }
    if (now - seen_at_ < kLostAfter) return false;
    why = "the audio output " + name_ + " stopped taking audio";
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
    std::this_thread::sleep_for(device_latency());
}

}  // namespace zirvon::audio
