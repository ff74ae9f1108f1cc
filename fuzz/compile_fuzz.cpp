// Arbitrary bytes compiled as MML, through to the image bytes and back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/song_invariants.h"
#include "mml/compiler.h"
#include "tape/tape_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zirvon;
    const SourceText source(std::string(reinterpret_cast<const char*>(data), size));
    Song song;
    std::vector<Diagnostic> diagnostics;
    const bool ok = compile(source, song, diagnostics);

    int errors = 0;
    for (const Diagnostic& d : diagnostics) {
        if (d.severity == Severity::error) ++errors;
        FUZZ_CHECK(d.line >= 0 && d.line <= source.count_lines());
        if (d.line > 0) FUZZ_CHECK(d.column >= 1 && d.column <= static_cast<int>(source.line_length(d.line - 1)) + 1);
    }
    FUZZ_CHECK(ok == (errors == 0));
    check_tracks_end_once(song);
    if (!ok) return 0;

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
