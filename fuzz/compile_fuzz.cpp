// Arbitrary bytes compiled as MML, through to the image bytes and back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/song_invariants.h"
#include "outputs/analysis.h"
#include "tape/tape_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zirvon;
    const SourceAnalysis analysis = analyze_source(std::string(reinterpret_cast<const char*>(data), size), "f");
    const SourceText& source = analysis.source;
    const Song& song = analysis.song;
    const bool ok = analysis.ok();

    // Every message and every event points into its line.
    const auto within = [&](int line, int column, int end) {
        if (line == 0) return column == 0;
        const int length = line <= source.count_lines() ? static_cast<int>(source.line(line - 1).size()) : -1;
        return column >= 1 && column < end && end <= length + 1;
    };
    int errors = 0;
    for (const Diagnostic& d : analysis.diagnostics) {
        if (d.severity == Severity::error) ++errors;
        FUZZ_CHECK(!d.code.empty());
        FUZZ_CHECK(within(d.line, d.column, d.line == 0 ? 0 : d.token_end()));
    }
    FUZZ_CHECK(errors <= analysis.counts.errors);
    FUZZ_CHECK(ok == (errors == 0));
    check_tracks_end_once(song);
    for (const Track& track : song.tracks) {
        for (std::size_t i = 0; i + 1 < track.count(); ++i) {
            const EventPlace at = track.place(i);
            FUZZ_CHECK(within(static_cast<int>(at.line), static_cast<int>(at.column), static_cast<int>(at.end_column)));
        }
    }
    for (const SourceGroup& g : analysis.groups) {
        FUZZ_CHECK(g.first_event <= g.end_event && g.end_event < song.tracks[g.track].count());
    }
    if (!ok) return 0;
    for (const SourceBlock& block : analysis.blocks()) {
        for (std::size_t g : block.groups) FUZZ_CHECK(analysis.block_of_group(g) == block.number);
        FUZZ_CHECK(block.start_tick < block.end_tick);
    }

    // A compiled track holds notes, sync marks and its end mark: no note byte
    // that a player would take for a mark.
    for (const Track& track : song.tracks) {
        const auto& events = track.events();
        for (std::size_t i = 0; i + 1 < events.size(); ++i) {
            const TrackEvent& e = events[i];
            FUZZ_CHECK(e.note <= kHighestPitch || e == kSyncEvent);
        }
    }
    const std::vector<std::uint8_t> image = build_tape_image(song, "FUZZ");
    FUZZ_CHECK(image.size() <= kMaxTapeImage);
    FUZZ_CHECK(image[18] + 256u * image[19] == image.size() - kTapeHeaderSize);

    Song loaded;
    std::string error;
    FUZZ_CHECK(load_tape_image(image, loaded, error));
    for (int k = 0; k < kTrackCount; ++k) FUZZ_CHECK(loaded.tracks[k].events() == song.tracks[k].events());
    return 0;
}
