// WAV files rendered from songs: the header, the length, where the notes
// start and where silence is; and a failing write.
#include "audio/wav_render.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/wav_file.h"
#include "mml/compiler.h"
#include "mml/source_text.h"

namespace zirvon::audio {
namespace {

Song compiled(const std::string& mml) {
    Song song;
    std::vector<Diagnostic> diagnostics;
    EXPECT_TRUE(compile(SourceText(mml), song, diagnostics));
    return song;
}

struct Rendered {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint64_t> note_on_ticks;
    std::uint64_t done_tick = 0;

    std::size_t frames() const { return (bytes.size() - kWavHeaderSize) / kWavBytesPerFrame; }
    /// Left and right of frame `i`, as the file holds them.
    std::pair<int, int> frame(std::size_t i) const {
        const auto sample = [&](std::size_t at) {
            return int(std::int16_t(std::uint16_t(bytes[at] | bytes[at + 1] << 8)));
        };
        const std::size_t at = kWavHeaderSize + i * kWavBytesPerFrame;
        return {sample(at), sample(at + 2)};
    }
    bool silent(std::size_t i) const { return frame(i) == std::pair(0, 0); }
};

Rendered render(const Song& song) {
    Rendered r;
    r.done_tick = play::play_through(song, nullptr).done_tick;
    WavRender wav(r.done_tick, [&](std::span<const std::uint8_t> piece) {
        r.bytes.insert(r.bytes.end(), piece.begin(), piece.end());
        return true;
    });
    play::play_through(song, [&](std::uint64_t tick, const play::MidiMessage& m) {
        if ((m.status & 0xF0) == 0x90) r.note_on_ticks.push_back(tick);
        wav.add(tick, m);
    });
    EXPECT_TRUE(wav.finish());
    return r;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

TEST(WavRender, CanonicalHeaderAndALengthThatFollowsTheDoneTick) {
    const Rendered r = render(compiled("1[C D8 E16]\n2[O3 C2]\n"));
    ASSERT_EQ(r.frames(), r.done_tick * 882 + 11025);
    const std::uint8_t fmt[] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,
                                4, 0, 16, 0, 'd', 'a', 't', 'a'};
    EXPECT_EQ(std::memcmp(r.bytes.data() + 8, fmt + 8, 32), 0);
    EXPECT_EQ(std::memcmp(r.bytes.data(), fmt, 4), 0);
    EXPECT_EQ(le32(r.bytes, 4), r.bytes.size() - 8);
    EXPECT_EQ(le32(r.bytes, 40), r.bytes.size() - 44);
}

TEST(WavRender, NotesStartOnTheirTicksAndTheEndIsSilent) {
    // Short notes with rests between them, so that each starts in silence.
    const Rendered r = render(compiled("1[R8 L16 Q2 C R8 E R4 G%7 R4 >C R2]\n"));
    ASSERT_EQ(r.note_on_ticks.size(), 4u);
    for (const std::uint64_t tick : r.note_on_ticks) {
        const std::size_t start = tick * 882;
        for (std::size_t i = start - 2 * 882; i <= start; ++i) {
            ASSERT_TRUE(r.silent(i)) << "frame " << i << ", before the note of tick " << tick;
        }
        std::size_t onset = start;
        while (onset < start + 300 && r.silent(onset)) ++onset;
        EXPECT_LE(onset, start + 132) << "the note of tick " << tick << " is not heard by 3 ms";
    }
    for (std::size_t i = r.frames() - 882; i < r.frames(); ++i) ASSERT_TRUE(r.silent(i)) << i;
}

TEST(WavRender, StopsWritingAtTheFirstFailure) {
    const Song song = compiled("1[C1 C1 C1 C1]\n");
    const std::uint64_t done = play::play_through(song, nullptr).done_tick;
    int calls = 0;
    WavRender wav(done, [&](std::span<const std::uint8_t>) { return ++calls < 2; });
    play::play_through(song, [&](std::uint64_t tick, const play::MidiMessage& m) { wav.add(tick, m); });
    EXPECT_FALSE(wav.finish());
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace zirvon::audio
