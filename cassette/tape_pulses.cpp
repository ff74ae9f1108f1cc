#include "cassette/tape_pulses.h"

#include <algorithm>

#include "cassette/cassette_pulses.h"

namespace zirvon::cassette {
namespace {

/// The monitor finds a gap in 100 short pulses; a block never holds more
/// than 8 in a row, since every byte starts with a long one. A few less
/// will do, for the first pulses after noise that the speed is not yet
/// followed on.
constexpr std::size_t kGapPulses = 80;
/// Tape marks are 40 or 20 long pulses, then as many short ones; a block can
/// hold many long pulses in a row but never more than 8 short ones.
constexpr std::size_t kMarkPulses = 10;
/// How far past the end of a block its copy or the next gap is looked for.
constexpr std::size_t kCopySearch = 2000;

}  // namespace

TapePulses::TapePulses(std::span<const double> edges, double rate) : short_frames_(kShortUs * 1e-6 * rate) {
    const double long_frames = kLongUs * 1e-6 * rate;
    const double split = (kShortUs + kLongUs) * 0.5e-6 * rate;
    double speed = 1;  // a period's length against the nominal one
    pulses_.reserve(edges.size());
    for (std::size_t i = 0; i + 1 < edges.size();) {
        // Edges too close to be a pulse are noise: the pulse goes on.
        std::size_t j = i + 1;
        while (j + 1 < edges.size() && edges[j] - edges[i] < 0.5 * short_frames_ * speed) ++j;
        const double period = edges[j] - edges[i];
        const double r = period / speed;
        PulseKind kind = PulseKind::Lost;  // and so are periods far too long
        double nominal = 0;
        if (r >= 0.5 * short_frames_ && r < split) {
            kind = PulseKind::Short;
            nominal = short_frames_;
        } else if (r >= split && r < 1.5 * long_frames) {
            kind = PulseKind::Long;
            nominal = long_frames;
        }
        speed = kind == PulseKind::Lost ? 1 : std::clamp(speed + (period / nominal - speed) / 16, 0.7, 1.4);
        pulses_.push_back({kind, edges[i], period});
        i = j;
    }
}

double TapePulses::frame(std::size_t i) const {
    return i < pulses_.size() ? pulses_[i].at : pulses_.empty() ? 0 : pulses_.back().at;
}

std::optional<std::size_t> TapePulses::pulse_at(double frame) const {
    const auto after = std::lower_bound(pulses_.begin(), pulses_.end(), frame,
                                        [](const Pulse& p, double f) { return p.at < f; });
    std::optional<std::size_t> best;
    double distance = 0.3 * short_frames_;
    for (auto it : {after, after == pulses_.begin() ? after : after - 1}) {
        if (it != pulses_.end() && std::abs(it->at - frame) < distance) {
            distance = std::abs(it->at - frame);
            best = static_cast<std::size_t>(it - pulses_.begin());
        }
    }
    return best;
}

std::size_t TapePulses::run(std::size_t i, PulseKind kind) const {
    while (i < pulses_.size() && pulses_[i].kind == kind) ++i;
    return i;
}

std::optional<std::pair<std::size_t, std::size_t>> TapePulses::gap(std::size_t from, std::size_t before) const {
    for (std::size_t i = from; i < std::min(before, pulses_.size());) {
        if (pulses_[i].kind != PulseKind::Short) {
            ++i;
            continue;
        }
        const std::size_t end = run(i, PulseKind::Short);
        if (end - i >= kGapPulses) return std::pair{i, end};
        i = end;
    }
    return std::nullopt;
}

std::optional<TapeMark> TapePulses::mark_at(std::size_t gap_start, std::size_t i) const {
    const std::size_t longs = run(i, PulseKind::Long);
    const std::size_t shorts = run(longs, PulseKind::Short);
    if (longs - i < kMarkPulses || shorts - longs < kMarkPulses || shorts - longs >= kGapPulses ||
        shorts >= pulses_.size() || pulses_[shorts].kind != PulseKind::Long) {
        return std::nullopt;
    }
    return TapeMark{gap_start, i, longs - i, shorts};
}

BlockCopy TapePulses::read_copy(std::size_t at, std::size_t size) const {
    BlockCopy copy;
    copy.present = true;
    std::size_t i = at;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size + 2);
    for (std::size_t n = 0; n < size + 2; ++n, i += 9) {
        if (i + 9 > pulses_.size()) {
            copy.problem = "signal lost";
            return copy;
        }
        // The start pulse is not looked at, as the monitor does not: the
        // checksum says whether the bytes held together.
        std::uint8_t byte = 0;
        for (std::size_t k = i; k < i + 9; ++k) {
            if (pulses_[k].kind == PulseKind::Lost) {
                copy.problem = "signal lost";
                return copy;
            }
            byte = static_cast<std::uint8_t>(byte << 1 | (pulses_[k].kind == PulseKind::Long ? 1 : 0));
        }
        bytes.push_back(byte);
    }
    const std::uint16_t counted = block_checksum(std::span(bytes).first(size));
    const auto expected = static_cast<std::uint16_t>(bytes[size] << 8 | bytes[size + 1]);
    copy.end = i + 1;
    bytes.resize(size);
    copy.bytes = std::move(bytes);
    copy.ok = counted == expected;
    if (!copy.ok) {
        copy.problem = "checksum counted " + std::to_string(counted) + ", expected " + std::to_string(expected);
    }
    return copy;
}

std::pair<BlockCopy, BlockCopy> TapePulses::read_block(std::size_t block, std::size_t size) const {
    // One long pulse follows the tape mark, or two; then the first byte's start.
    BlockCopy first = read_copy(block + 1, size);
    if (!first.ok && block + 2 < pulses_.size() && pulses_[block + 2].kind == PulseKind::Long) {
        BlockCopy other = read_copy(block + 2, size);
        if (other.ok) first = std::move(other);
    }
    const std::size_t expected_end = block + 1 + (size + 2) * 9 + 1;
    const std::size_t from = first.end != 0 ? first.end : block + 1;
    BlockCopy second;
    // The copy follows 256 short pulses; a tape mark after a gap is the next
    // block instead, and no copy was written.
    if (const auto g = gap(from, std::max(expected_end, from) + kCopySearch)) {
        if (!mark_at(g->first, g->second) && g->second < pulses_.size()) second = read_copy(g->second, size);
    }
    if (first.end == 0) first.end = from;
    return {std::move(first), std::move(second)};
}

}  // namespace zirvon::cassette
