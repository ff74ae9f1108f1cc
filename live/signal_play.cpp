#include "live/signal_play.h"

#include <chrono>
#include <optional>
#include <thread>

#include "audio/audio_backend.h"
#include "audio/signal_renderer.h"
#include "live/live_loop.h"
#include "system/interrupt.h"
#include "text/format.h"

namespace zirvon::live {
namespace {

using namespace std::chrono_literals;

/// A device that takes no audio for this long has gone away.
constexpr auto kLostAfter = 1000ms;
/// Silence before the signal, a quarter of a second: an output that has
/// just opened (a phone's amplifier, a sound server connecting its ports)
/// often loses its first moments, and the machine's loader waits through it.
constexpr unsigned kLeadDivisor = 4;

}  // namespace

ProgressText signal_progress_text(const std::string& title, const cassette::CassetteSignal& signal,
                                  std::uint64_t sent) {
    std::string_view what = "end";
    for (const cassette::CassetteSection& section : signal.sections()) {
        if (sent >= section.first_frame && sent < section.first_frame + section.frames) what = section.what;
    }
    const double rate = static_cast<double>(signal.frames()) / std::max(signal.seconds(), 1e-9);
    const std::uint64_t left = sent >= signal.frames() ? 0 : signal.frames() - sent;
    // Rounded up, so that 0:00 left means it has all gone out.
    const auto seconds_left = static_cast<std::uint64_t>((static_cast<double>(left) + rate - 1) / rate);
    return {"Sending ", title, "  " + std::string(what) + "  " + minutes_seconds(seconds_left * kTicksPerSecond) +
                                   " left"};
}

PreviewResult play_signal(std::span<const std::uint8_t> image, const cassette::CassetteFormat& format,
                          const std::string& title, bool show_progress) {
    InterruptWatch interrupt;
    if (interrupt.requested()) return {PreviewOutcome::interrupted, {}};
    std::string error, tried;
    const std::unique_ptr<audio::AudioBackend> backend =
        audio::open_audio_backend("write it as a file with /cassette instead", error, tried);
    if (!backend) return {PreviewOutcome::failed, error};
    cassette::CassetteFormat at_device = format;
    at_device.sample_rate = static_cast<int>(backend->rate());
    cassette::CassetteSignal signal(image, at_device);
    audio::SignalRenderer renderer(signal, backend->rate() / kLeadDivisor, &interrupt_requested);
    if (!backend->start(renderer, error)) {
        backend->close();
        return {PreviewOutcome::failed, error};
    }

    std::optional<ProgressLine> progress;
    if (show_progress) progress.emplace(stderr);
    const std::string name = title + " on " + backend->name();
    const auto text = [&] { return signal_progress_text(name, signal, renderer.frames_sent()); };
    std::uint64_t seen_buffers = renderer.buffers();
    auto seen_at = LoopHooks::Clock::now();
    bool lost = false;
    LoopHooks hooks;
    hooks.step = [&](LoopHooks::Clock::time_point now) {
        if (renderer.done()) return false;
        if (renderer.buffers() != seen_buffers) {
            seen_buffers = renderer.buffers();
            seen_at = now;
        } else if (now - seen_at >= kLostAfter) {
            lost = true;
            return false;
        }
        return true;
    };
    hooks.progress = text;
    std::string why;
    const LoopEnd end = run_live_loop(interrupt, nullptr, progress ? &*progress : nullptr, hooks, why);
    // What the device still holds goes out before it closes; after an
    // interrupt that is silence.
    if (!lost) std::this_thread::sleep_for(backend->latency());
    backend->close();
    if (progress) {
        if (end == LoopEnd::finished && !lost) progress->show(text());
        progress->clear();
    }
    if (lost) return {PreviewOutcome::lost, "the audio output " + backend->name() + " stopped taking audio"};
    if (end == LoopEnd::interrupted || interrupt.requested()) return {PreviewOutcome::interrupted, {}};
    return {PreviewOutcome::finished, {}};
}

}  // namespace zirvon::live
