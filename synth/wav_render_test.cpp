// WAV files rendered from songs: where the notes start and where silence
// is, and a failing write. (The command-line tests check the header and the
// length of the files /wav writes.)
#include "synth/wav_render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "mml/compiler.h"
#include "mml/source_text.h"
#include "outputs/analysis.h"
#include "synth/wav_file.h"

namespace zirvon::synth {
namespace {

Song compiled(const std::string& mml) {
    SourceAnalysis a = analyze_source(mml, "t.mml");
    EXPECT_TRUE(a.ok());
    return std::move(a.song);
}

struct Rendered {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint64_t> note_on_ticks;
    std::uint64_t done_tick = 0;

    std::size_t frames() const { return (bytes.size() - kWavHeaderSize) / kWavBytesPerFrame; }
    /// Whether both samples of frame `i` are zero.
    bool silent(std::size_t i) const {
        const auto frame = bytes.begin() + std::ptrdiff_t(kWavHeaderSize + i * kWavBytesPerFrame);
        return std::all_of(frame, frame + kWavBytesPerFrame, [](std::uint8_t b) { return b == 0; });
    }
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
}  // namespace zirvon::synth
