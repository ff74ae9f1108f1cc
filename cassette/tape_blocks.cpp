#include "cassette/tape_blocks.h"

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>

#include "cassette/cassette_pulses.h"
#include "cassette/tape_pulses.h"
#include "tape/tape_image.h"
#include "text/format.h"

namespace zirvon::cassette {
namespace {

/// The header's tape mark is the long one.
constexpr std::size_t kLongMarkPulses = 30;
/// The speed is measured on the last pulses of a gap, nearest the header.
constexpr std::size_t kSpeedPulses = 2000;

/// Reads the files along one list of pulses, and each block that fails
/// there along the others too.
class Reader {
public:
    Reader(std::span<const TapePulses> all, std::size_t main, double rate, bool inverted)
        : all_(all), pulses_(all[main]), rate_(rate), inverted_(inverted) {}

    CassetteReading read();

private:
    std::string at_time(double frame) const {
        return minutes_seconds(static_cast<std::uint64_t>(std::max(0.0, frame / rate_) * 50));
    }
    std::optional<TapeMark> next_mark(std::size_t from);
    std::pair<BlockCopy, BlockCopy> read_block(const TapeMark& mark, std::size_t size) const;
    double speed(const TapeMark& mark) const;
    bool take(const char* what, double at, const std::pair<BlockCopy, BlockCopy>& copies, BlockCheck& check,
              std::vector<std::uint8_t>& bytes);
    static std::string failure(const std::string& where, const std::pair<BlockCopy, BlockCopy>& copies);

    std::span<const TapePulses> all_;
    const TapePulses& pulses_;
    double rate_;
    bool inverted_;
    CassetteReading reading_;
    std::optional<double> gap_without_mark_;
    /// Why the first block that was skipped could not be read.
    std::string skipped_;
};

std::optional<TapeMark> Reader::next_mark(std::size_t from) {
    while (const auto g = pulses_.gap(from, pulses_.size())) {
        if (auto mark = pulses_.mark_at(g->first, g->second)) return mark;
        if (!gap_without_mark_) gap_without_mark_ = pulses_.frame(g->second);
        from = g->second;
    }
    return std::nullopt;
}

std::pair<BlockCopy, BlockCopy> Reader::read_block(const TapeMark& mark, std::size_t size) const {
    auto copies = pulses_.read_block(mark.block, size);
    auto& [first, second] = copies;
    // Where the pulses are found otherwise, a copy that failed here may hold;
    // the reading goes on from where this list has it.
    for (const TapePulses& other : all_) {
        if (&other == &pulses_ || (first.ok && (second.ok || !second.present))) continue;
        const auto block = other.pulse_at(pulses_.frame(mark.block));
        if (!block) continue;
        auto [first_there, second_there] = other.read_block(*block, size);
        for (auto [mine, theirs] : {std::tie(first, first_there), std::tie(second, second_there)}) {
            if (!mine.ok && theirs.ok) {
                mine.present = mine.ok = true;
                mine.bytes = std::move(theirs.bytes);
                mine.problem.clear();
            }
        }
    }
    return copies;
}

double Reader::speed(const TapeMark& mark) const {
    const std::size_t from = std::max(mark.gap_start, mark.gap_end - std::min(mark.gap_end, kSpeedPulses));
    double sum = 0;
    for (std::size_t i = from; i < mark.gap_end; ++i) sum += pulses_[i].period;
    return kShortUs * 1e-6 * rate_ * static_cast<double>(mark.gap_end - from) / sum;
}

bool Reader::take(const char* what, double at, const std::pair<BlockCopy, BlockCopy>& copies, BlockCheck& check,
                  std::vector<std::uint8_t>& bytes) {
    const auto& [first, second] = copies;
    check = {first.ok, second.present, second.ok};
    const std::string where = std::string(what) + " at " + at_time(at);
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
    reading_.error = failure(where, copies);
    return false;
}

std::string Reader::failure(const std::string& where, const std::pair<BlockCopy, BlockCopy>& copies) {
    const auto& [first, second] = copies;
    std::string text = "the " + where + " cannot be read: " + first.problem;
    if (second.present) text += " in the first copy, " + second.problem + " in the second";
    return text;
}

CassetteReading Reader::read() {
    std::size_t pos = 0;
    while (const auto mark = next_mark(pos)) {
        TapeFileFound file;
        file.seconds = pulses_.frame(mark->gap_start) / rate_;
        file.inverted = inverted_;
        file.speed = speed(*mark);

        const auto header = read_block(*mark, kTapeHeaderSize);
        pos = std::max(header.first.end, header.second.end);
        if (!header.first.ok && !header.second.ok && mark->marks < kLongMarkPulses) {
            // A data block whose header is not on the recording: the tape
            // was started late.
            const std::string at = at_time(pulses_.frame(mark->block));
            reading_.warnings.push_back("a block at " + at + " has no header before it and was skipped");
            if (skipped_.empty()) skipped_ = failure("header at " + at, header);
            continue;
        }
        std::vector<std::uint8_t> bytes;
        if (!take("header", pulses_.frame(mark->block), header, file.header_check, bytes)) return reading_;
        std::copy(bytes.begin(), bytes.end(), file.header.begin());

        const std::size_t size = file.header[kSizeField] | file.header[kSizeField + 1] << 8;
        const auto data_mark = next_mark(pos);
        if (!data_mark) {
            reading_.error = "the data block after " + at_time(pulses_.frame(pos)) +
                             " cannot be read: no tape mark found";
            reading_.files.push_back(std::move(file));
            return reading_;
        }
        const auto data = read_block(*data_mark, size);
        const bool ok = take("data block", pulses_.frame(data_mark->block), data, file.data_check, file.data);
        reading_.files.push_back(std::move(file));
        if (!ok) return reading_;
        pos = std::max(data.first.end, data.second.end);
    }
    if (reading_.files.empty() && reading_.error.empty()) {
        reading_.error = !skipped_.empty()    ? skipped_
                         : gap_without_mark_ ? "the header at " + at_time(*gap_without_mark_) +
                                                   " cannot be read: no tape mark found"
                                             : "the recording holds no tape signal";
    }
    return reading_;
}

int blocks_read(const CassetteReading& reading) {
    int n = 0;
    for (const TapeFileFound& f : reading.files) {
        n += (f.header_check.first_ok || f.header_check.second_ok) ? 1 : 0;
        n += (f.data_check.first_ok || f.data_check.second_ok) ? 1 : 0;
    }
    return n;
}

}  // namespace

CassetteReading read_tape_pulses(std::span<const std::vector<double>> edge_lists, int sample_rate,
                                 bool inverted) {
    std::vector<TapePulses> all;
    for (const auto& edges : edge_lists) all.emplace_back(edges, sample_rate);
    // Each list in turn leads: the gaps and marks are found along it.
    CassetteReading best;
    for (std::size_t main = 0; main < all.size(); ++main) {
        CassetteReading reading = Reader(all, main, sample_rate, inverted).read();
        if (main == 0 || better_reading(reading, best)) best = std::move(reading);
    }
    return best;
}

bool better_reading(const CassetteReading& a, const CassetteReading& b) {
    const auto rank = [](const CassetteReading& r) {
        return std::tuple(blocks_read(r), r.error.empty(), -static_cast<int>(r.warnings.size()));
    };
    return rank(a) > rank(b);
}

}  // namespace zirvon::cassette
