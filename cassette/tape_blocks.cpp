#include "cassette/tape_blocks.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cassette/cassette_pulses.h"
#include "tape/tape_image.h"
#include "text/format.h"

namespace zirvon::cassette {
namespace {

/// The monitor finds a gap in 100 short pulses; a block never holds more
/// than 8 in a row, since every byte starts with a long one. A few less
/// will do, for the first pulses after noise that the speed is not yet
/// followed on.
constexpr std::size_t kGapPulses = 80;
/// The speed is measured on the last pulses of a gap, nearest the header.
constexpr std::size_t kSpeedPulses = 2000;
/// Tape marks are 40 or 20 long pulses, then as many short ones; a block can
/// hold many long pulses in a row but never more than 8 short ones.
constexpr std::size_t kMarkPulses = 10;
/// The header's tape mark is the long one.
constexpr std::size_t kLongMarkPulses = 30;
/// How far past the end of a block its copy or the next gap is looked for.
constexpr std::size_t kCopySearch = 2000;

enum class Kind : std::uint8_t { Short, Long, Lost };

struct Pulse {
    Kind kind;
    double at;      ///< frame of its rising edge
    double period;  ///< in frames
};

/// Sorts pulses into short and long by their periods against the tape's
/// speed, which is followed as it drifts; edges too close to be a pulse are
/// taken as noise, periods far too long as the signal lost.
std::vector<Pulse> classify(std::span<const double> edges, double rate) {
    const double short_frames = kShortUs * 1e-6 * rate;
    const double long_frames = kLongUs * 1e-6 * rate;
    const double split = (kShortUs + kLongUs) * 0.5e-6 * rate;
    double speed = 1;  // a period's length against the nominal one
    std::vector<Pulse> pulses;
    pulses.reserve(edges.size());
    for (std::size_t i = 0; i + 1 < edges.size();) {
        std::size_t j = i + 1;
        while (j + 1 < edges.size() && edges[j] - edges[i] < 0.5 * short_frames * speed) ++j;
        const double period = edges[j] - edges[i];
        const double r = period / speed;
        Kind kind = Kind::Lost;
        double nominal = 0;
        if (r < 0.5 * short_frames) {
            kind = Kind::Lost;
        } else if (r < split) {
            kind = Kind::Short;
            nominal = short_frames;
        } else if (r < 1.5 * long_frames) {
            kind = Kind::Long;
            nominal = long_frames;
        }
        if (kind == Kind::Lost) {
            speed = 1;
        } else {
            speed = std::clamp(speed + (period / nominal - speed) / 16, 0.7, 1.4);
        }
        pulses.push_back({kind, edges[i], period});
        i = j;
    }
    return pulses;
}

std::string at_time(double frame, double rate) {
    return minutes_seconds(static_cast<std::uint64_t>(std::max(0.0, frame / rate) * 50));
}

/// One copy of a block as read.
struct Copy {
    bool present = false;
    bool ok = false;
    std::vector<std::uint8_t> bytes;
    std::string problem;
    std::size_t end = 0;  ///< the pulse after its closing long pulse
};

class Reader {
public:
    Reader(std::span<const double> edges, int rate, bool inverted)
        : pulses_(classify(edges, rate)), rate_(rate), inverted_(inverted) {}

    CassetteReading read();

private:
    struct Mark {
        std::size_t gap_start;
        std::size_t gap_end;
        std::size_t marks;       ///< long pulses of the tape mark
        std::size_t block;       ///< the first pulse after the mark's shorts
    };

    std::size_t run(std::size_t i, Kind kind) const {
        while (i < pulses_.size() && pulses_[i].kind == kind) ++i;
        return i;
    }
    double frame(std::size_t i) const {
        return i < pulses_.size() ? pulses_[i].at : pulses_.empty() ? 0 : pulses_.back().at;
    }
    /// The first run of short pulses long enough for a gap, from `from` on.
    std::optional<std::pair<std::size_t, std::size_t>> gap(std::size_t from, std::size_t before) const;
    /// The tape mark that starts at `i`, if one does.
    std::optional<Mark> mark_at(std::size_t gap_start, std::size_t i) const;
    std::optional<Mark> next_mark(std::size_t from);
    Copy read_copy(std::size_t at, std::size_t size) const;
    /// Both copies of a block whose first copy follows `mark`.
    std::pair<Copy, Copy> read_block(const Mark& mark, std::size_t size) const;
    bool take(const char* what, double at, const std::pair<Copy, Copy>& copies, BlockCheck& check,
              std::vector<std::uint8_t>& bytes);

    std::vector<Pulse> pulses_;
    double rate_;
    bool inverted_;
    CassetteReading reading_;
    std::optional<double> gap_without_mark_;
};

std::optional<std::pair<std::size_t, std::size_t>> Reader::gap(std::size_t from, std::size_t before) const {
    for (std::size_t i = from; i < std::min(before, pulses_.size());) {
        if (pulses_[i].kind != Kind::Short) {
            ++i;
            continue;
        }
        const std::size_t end = run(i, Kind::Short);
        if (end - i >= kGapPulses) return std::pair{i, end};
        i = end;
    }
    return std::nullopt;
}

std::optional<Reader::Mark> Reader::mark_at(std::size_t gap_start, std::size_t i) const {
    const std::size_t longs = run(i, Kind::Long);
    const std::size_t shorts = run(longs, Kind::Short);
    if (longs - i < kMarkPulses || shorts - longs < kMarkPulses || shorts - longs >= kGapPulses ||
        shorts >= pulses_.size() || pulses_[shorts].kind != Kind::Long) {
        return std::nullopt;
    }
    return Mark{gap_start, i, longs - i, shorts};
}

std::optional<Reader::Mark> Reader::next_mark(std::size_t from) {
    while (const auto g = gap(from, pulses_.size())) {
        if (auto mark = mark_at(g->first, g->second)) return mark;
        if (!gap_without_mark_) gap_without_mark_ = frame(g->second);
        from = g->second;
    }
    return std::nullopt;
}

Copy Reader::read_copy(std::size_t at, std::size_t size) const {
    Copy copy;
    copy.present = true;
    std::size_t i = at;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size + 2);
    for (std::size_t n = 0; n < size + 2; ++n) {
        if (i + 9 > pulses_.size()) {
            copy.problem = "signal lost";
            return copy;
        }
        std::uint8_t byte = 0;
        // The start pulse is skipped, as the monitor does: the checksum
        // says whether the bytes held together.
        for (std::size_t k = i + 1; k < i + 9; ++k) {
            if (pulses_[k].kind == Kind::Lost || pulses_[i].kind == Kind::Lost) {
                copy.problem = "signal lost";
                return copy;
            }
            byte = static_cast<std::uint8_t>(byte << 1 | (pulses_[k].kind == Kind::Long ? 1 : 0));
        }
        bytes.push_back(byte);
        i += 9;
    }
    const std::uint16_t counted = block_checksum(std::span(bytes).first(size));
    const std::uint16_t expected = static_cast<std::uint16_t>(bytes[size] << 8 | bytes[size + 1]);
    copy.end = i + 1;
    bytes.resize(size);
    copy.bytes = std::move(bytes);
    copy.ok = counted == expected;
    if (!copy.ok) {
        copy.problem = "checksum counted " + std::to_string(counted) + ", expected " + std::to_string(expected);
    }
    return copy;
}

std::pair<Copy, Copy> Reader::read_block(const Mark& mark, std::size_t size) const {
    // One long pulse follows the tape mark, or two; then the first byte's start.
    Copy first = read_copy(mark.block + 1, size);
    if (!first.ok && mark.block + 2 < pulses_.size() && pulses_[mark.block + 2].kind == Kind::Long) {
        Copy other = read_copy(mark.block + 2, size);
        if (other.ok) first = std::move(other);
    }
    const std::size_t expected_end = mark.block + 1 + (size + 2) * 9 + 1;
    const std::size_t from = first.present && first.end != 0 ? first.end : mark.block + 1;
    Copy second;
    // The copy follows 256 short pulses; a tape mark after a gap is the next
    // block instead, and no copy was written.
    if (const auto g = gap(from, std::max(expected_end, from) + kCopySearch)) {
        if (!mark_at(g->first, g->second) && g->second < pulses_.size()) {
            second = read_copy(g->second, size);
        }
    }
    if (first.end == 0) first.end = from;
    return {std::move(first), std::move(second)};
}

bool Reader::take(const char* what, double at, const std::pair<Copy, Copy>& copies, BlockCheck& check,
                  std::vector<std::uint8_t>& bytes) {
    const auto& [first, second] = copies;
    check = {first.ok, second.present, second.ok};
    const std::string where = std::string(what) + " at " + at_time(at, rate_);
    if (first.ok) {
        bytes = first.bytes;
        return true;
    }
    if (second.ok) {
        bytes = second.bytes;
        reading_.warnings.push_back("the first copy of the " + where + " failed (" + first.problem +
                                    "); the second copy was used");
        return true;
    }
    reading_.error = "the " + where + " cannot be read: " + first.problem;
    if (second.present) reading_.error += " in the first copy, " + second.problem + " in the second";
    return false;
}

CassetteReading Reader::read() {
    std::size_t pos = 0;
    while (const auto mark = next_mark(pos)) {
        TapeFileFound file;
        file.seconds = frame(mark->gap_start) / rate_;
        file.inverted = inverted_;
        const std::size_t from = std::max(mark->gap_start, mark->gap_end - std::min(mark->gap_end, kSpeedPulses));
        double sum = 0;
        for (std::size_t i = from; i < mark->gap_end; ++i) sum += pulses_[i].period;
        file.speed = kShortUs * 1e-6 * rate_ * static_cast<double>(mark->gap_end - from) / sum;

        const auto header = read_block(*mark, kTapeHeaderSize);
        std::vector<std::uint8_t> bytes;
        if (!header.first.ok && !header.second.ok && mark->marks < kLongMarkPulses) {
            // A data block whose header is not on the recording: the tape
            // was started late.
            reading_.warnings.push_back("a block at " + at_time(frame(mark->block), rate_) +
                                        " has no header before it and was skipped");
            pos = std::max(header.first.end, header.second.end);
            continue;
        }
        if (!take("header", frame(mark->block), header, file.header_check, bytes)) return reading_;
        std::copy(bytes.begin(), bytes.end(), file.header.begin());
        pos = std::max(header.first.end, header.second.end);

        const std::size_t size = file.header[kSizeField] | file.header[kSizeField + 1] << 8;
        const auto data_mark = next_mark(pos);
        if (!data_mark) {
            reading_.error = "the data block after " + at_time(frame(pos), rate_) +
                             " cannot be read: no tape mark found";
            reading_.files.push_back(std::move(file));
            return reading_;
        }
        const auto data = read_block(*data_mark, size);
        const bool ok = take("data block", frame(data_mark->block), data, file.data_check, file.data);
        reading_.files.push_back(std::move(file));
        if (!ok) return reading_;
        pos = std::max(data.first.end, data.second.end);
    }
    if (reading_.files.empty() && reading_.error.empty()) {
        reading_.error = gap_without_mark_ ? "the header at " + at_time(*gap_without_mark_, rate_) +
                                                 " cannot be read: no tape mark found"
                                           : "the recording holds no tape signal";
    }
    return reading_;
}

}  // namespace

CassetteReading read_tape_pulses(std::span<const double> edges, int sample_rate, bool inverted) {
    return Reader(edges, sample_rate, inverted).read();
}

int blocks_read(const CassetteReading& reading) {
    int n = 0;
    for (const TapeFileFound& f : reading.files) {
        n += (f.header_check.first_ok || f.header_check.second_ok) ? 1 : 0;
        n += (f.data_check.first_ok || f.data_check.second_ok) ? 1 : 0;
    }
    return n;
}

}  // namespace zirvon::cassette
