#include "cassette/cassette_pulses.h"

#include <bit>

namespace zirvon::cassette {
namespace {

constexpr std::size_t kHeaderBytes = 128;

class TrainBuilder {
public:
    explicit TrainBuilder(PulseTrain& train) : train_(train) {}

    void begin(std::string_view what) {
        train_.sections.push_back({what, train_.pulses.size(), 0});
    }
    void end() {
        PulseSection& s = train_.sections.back();
        s.pulses = train_.pulses.size() - s.first_pulse;
    }
    void run(int count, bool is_long) { train_.pulses.insert(train_.pulses.end(), count, is_long); }
    void byte(std::uint8_t value) {
        run(1, true);
        for (int bit = 7; bit >= 0; --bit) run(1, ((value >> bit) & 1) != 0);
    }
    /// A block as the monitor sends it: the bytes, their checksum high byte
    /// first, and one long pulse that closes it.
    void block(std::span<const std::uint8_t> bytes) {
        for (std::uint8_t b : bytes) byte(b);
        const std::uint16_t sum = block_checksum(bytes);
        byte(static_cast<std::uint8_t>(sum >> 8));
        byte(static_cast<std::uint8_t>(sum));
        run(1, true);
    }
    void section(std::string_view what, int shorts) {
        begin(what);
        run(shorts, false);
        end();
    }
    void tape_mark(int length) {
        begin("tape mark");
        run(length, true);
        run(length, false);
        run(1, true);
        end();
    }
    void blocks(std::string_view what, std::string_view copy, std::span<const std::uint8_t> bytes,
                bool twice) {
        begin(what);
        block(bytes);
        end();
        if (!twice) return;
        begin(copy);
        run(kCopySeparator, false);
        block(bytes);
        end();
    }

private:
    PulseTrain& train_;
};

}  // namespace

std::uint16_t block_checksum(std::span<const std::uint8_t> block) {
    unsigned sum = 0;
    for (std::uint8_t b : block) sum += static_cast<unsigned>(std::popcount(b));
    return static_cast<std::uint16_t>(sum);
}

PulseTrain tape_pulses(std::span<const std::uint8_t> image, const CassetteFormat& format) {
    const std::size_t header_size = image.size() < kHeaderBytes ? image.size() : kHeaderBytes;
    const auto header = image.first(header_size);
    const auto data = image.subspan(header_size);
    PulseTrain train;
    TrainBuilder b(train);
    const bool twice = !format.fast;
    b.section("gap", format.fast ? kFastLongGap : kLongGap);
    b.tape_mark(kLongTapeMark);
    b.blocks("header", "header copy", header, twice);
    b.section("gap", format.fast ? kFastShortGap : kShortGap);
    b.tape_mark(kShortTapeMark);
    b.blocks("data", "data copy", data, twice);
    return train;
}

}  // namespace zirvon::cassette
