#include "cassette/cassette_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace zirvon::cassette {
namespace {

/// Nearly full scale: room for a player's rounding, none for a weak signal.
constexpr float kLevel = 0.95f;
constexpr std::uint64_t kMicros = 1'000'000;

std::uint64_t pulse_us(bool is_long) { return is_long ? kLongUs : kShortUs; }
std::uint64_t high_us(bool is_long) { return is_long ? kLongHighUs : kShortHighUs; }

void put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t bytes_per_frame(const CassetteFormat& format) { return format.sample_bits == 8 ? 1 : 2; }

std::vector<std::uint8_t> wav_header(const CassetteSignal& signal, const CassetteFormat& format) {
    const std::uint32_t bytes_per_frame = cassette::bytes_per_frame(format);
    const auto data_bytes = static_cast<std::uint32_t>(signal.frames() * bytes_per_frame);
    const auto rate = static_cast<std::uint32_t>(signal.rate());
    std::vector<std::uint8_t> h;
    const auto text = [&h](const char* s) { h.insert(h.end(), s, s + 4); };
    text("RIFF");
    put(h, 36 + data_bytes, 4);
    text("WAVE");
    text("fmt ");
    put(h, 16, 4);  // size of the format chunk
    put(h, 1, 2);   // PCM
    put(h, 1, 2);   // mono
    put(h, rate, 4);
    put(h, rate * bytes_per_frame, 4);  // bytes a second
    put(h, bytes_per_frame, 2);         // block align
    put(h, static_cast<std::uint32_t>(bytes_per_frame * 8), 2);
    text("data");
    put(h, data_bytes, 4);
    return h;
}

}  // namespace

CassetteSignal::CassetteSignal(std::span<const std::uint8_t> image, const CassetteFormat& format)
    : rate_(format.sample_rate > 0 ? format.sample_rate : 44100),
      high_(format.inverted ? -kLevel : kLevel) {
    PulseTrain train = tape_pulses(image, format);
    pulses_ = std::move(train.pulses);
    std::uint64_t us = 0;
    std::size_t pulse = 0;
    for (const PulseSection& s : train.sections) {
        for (; pulse < s.first_pulse; ++pulse) us += pulse_us(pulses_[pulse]);
        const std::uint64_t first = frame_at(us);
        for (; pulse < s.first_pulse + s.pulses; ++pulse) us += pulse_us(pulses_[pulse]);
        sections_.push_back({s.what, first, frame_at(us) - first});
    }
    frames_ = frame_at(us);
    rewind();
}

std::uint64_t CassetteSignal::frame_at(std::uint64_t us) const {
    return (us * static_cast<std::uint64_t>(rate_) + kMicros / 2) / kMicros;
}

void CassetteSignal::rewind() {
    pulse_ = 0;
    pulse_us_ = 0;
    frame_ = 0;
    start_pulse();
}

void CassetteSignal::start_pulse() {
    if (pulse_ >= pulses_.size()) {
        fall_frame_ = end_frame_ = frames_;
        return;
    }
    const bool is_long = pulses_[pulse_];
    fall_frame_ = frame_at(pulse_us_ + high_us(is_long));
    end_frame_ = frame_at(pulse_us_ + pulse_us(is_long));
}

std::size_t CassetteSignal::render(std::span<float> out) {
    std::size_t n = 0;
    while (n < out.size() && frame_ < frames_) {
        while (frame_ >= end_frame_) {
            pulse_us_ += pulse_us(pulses_[pulse_]);
            ++pulse_;
            start_pulse();
        }
        const std::uint64_t until = frame_ < fall_frame_ ? fall_frame_ : end_frame_;
        const float level = frame_ < fall_frame_ ? high_ : -high_;
        const auto count = static_cast<std::size_t>(
            std::min<std::uint64_t>(until - frame_, out.size() - n));
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(n), count, level);
        n += count;
        frame_ += count;
    }
    return n;
}

std::uint64_t cassette_wav_size(std::span<const std::uint8_t> image, const CassetteFormat& format) {
    const CassetteSignal signal(image, format);
    return 44 + signal.frames() * bytes_per_frame(format);
}

bool write_cassette_wav(std::span<const std::uint8_t> image, const CassetteFormat& format,
                        const ByteSink& sink) {
    CassetteSignal signal(image, format);
    if (!sink(wav_header(signal, format))) return false;
    std::array<float, 8192> samples;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (std::size_t n; (n = signal.render(samples)) != 0;) {
        bytes.clear();
        for (std::size_t i = 0; i < n; ++i) {
            if (format.sample_bits == 8) {
                bytes.push_back(static_cast<std::uint8_t>(std::lround(128.0f + samples[i] * 127.0f)));
            } else {
                const auto v = static_cast<std::int16_t>(std::lround(samples[i] * 32767.0f));
                bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
            }
        }
        if (!sink(bytes)) return false;
    }
    return true;
}

}  // namespace zirvon::cassette
