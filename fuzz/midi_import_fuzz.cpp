// Arbitrary bytes read as a MIDI file and imported: refused with a message,
// or made into a song that fits an image, whose MML compiles back to it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/song_invariants.h"
#include "mml/mml_writer.h"
#include "mml/song_checks.h"
#include "outputs/analysis.h"
#include "smf/midi_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zirvon;
    smf::ImportedSong imported;
    std::string error;
    if (!smf::import_midi(std::span<const std::uint8_t>(data, size), imported, error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(imported.notes.empty());
        return 0;
    }
    const Song& song = imported.song;
    check_tracks_end_once(song);
    FUZZ_CHECK(3 * song.event_count() <= kMaxLoadableData);
    const smf::ImportSummary& s = imported.summary;
    FUZZ_CHECK(s.kept + s.dropped_crowded + s.dropped_no_room + s.dropped_percussion +
                   s.dropped_past_end ==
               s.notes_in_file);
    FUZZ_CHECK(s.kept + s.restruck_at_bars == imported.notes.size());
    FUZZ_CHECK(!smf::summary_lines(s, "f.mid").empty());

    const WrittenMml mml = write_mml(song);
    FUZZ_CHECK(mml.changes.empty());
    const SourceAnalysis back = analyze_source(mml.text, "f.MML");
    FUZZ_CHECK(back.ok());
    for (int k = 0; k < kTrackCount; ++k)
        FUZZ_CHECK(back.song.tracks[k].events() == song.tracks[k].events());
    return 0;
}
