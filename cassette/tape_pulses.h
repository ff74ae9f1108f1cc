// The pulses of a recording, sorted into short and long, and what the
// monitor looks for in them: gaps, tape marks, and the bytes of a block.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zirvon::cassette {

enum class PulseKind : std::uint8_t { Short, Long, Lost };

struct Pulse {
    PulseKind kind;
    double at;      ///< frame of the edge that starts it
    double period;  ///< in frames
};

/// One copy of a block as read.
struct BlockCopy {
    bool present = false;
    bool ok = false;
    std::vector<std::uint8_t> bytes;
    std::string problem;   ///< why it failed: "signal lost", "checksum counted ..."
    std::size_t end = 0;   ///< the pulse after its closing long pulse
};

/// Where a tape mark was found, in pulses.
struct TapeMark {
    std::size_t gap_start;
    std::size_t gap_end;
    std::size_t marks;  ///< long pulses of the tape mark
    std::size_t block;  ///< the first pulse after the mark's shorts
};

class TapePulses {
public:
    /// Sorts the pulses that start at `edges` (frames at `rate`) by their
    /// periods against the tape's speed, which is followed as it drifts.
    TapePulses(std::span<const double> edges, double rate);

    std::size_t size() const { return pulses_.size(); }
    const Pulse& operator[](std::size_t i) const { return pulses_[i]; }
    /// The frame pulse `i` starts on; past the end, the last pulse's.
    double frame(std::size_t i) const;
    /// The pulse that starts nearest `frame`, if one starts close enough
    /// that it must be the same pulse.
    std::optional<std::size_t> pulse_at(double frame) const;

    /// The first run of short pulses long enough for a gap that starts from
    /// `from` on and before `before`: its first pulse and the one after it.
    std::optional<std::pair<std::size_t, std::size_t>> gap(std::size_t from, std::size_t before) const;
    /// The tape mark that starts at pulse `i`, after a gap from `gap_start`.
    std::optional<TapeMark> mark_at(std::size_t gap_start, std::size_t i) const;
    /// Both copies of a block of `size` bytes whose first copy starts after
    /// the one or two long pulses from `block` on (see TapeMark::block).
    std::pair<BlockCopy, BlockCopy> read_block(std::size_t block, std::size_t size) const;

private:
    std::size_t run(std::size_t i, PulseKind kind) const;
    BlockCopy read_copy(std::size_t at, std::size_t size) const;

    std::vector<Pulse> pulses_;
    double short_frames_;
};

}  // namespace zirvon::cassette
