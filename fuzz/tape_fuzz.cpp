// Arbitrary bytes read as a tape image, and written again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/song_invariants.h"
#include "mml/mml_writer.h"
#include "outputs/analysis.h"
#include "tape/tape_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zirvon;
    const std::span<const std::uint8_t> input(data, size);
    Song song;
    std::string error;
    if (!load_tape_image(input, song, error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(song.event_count() == 0);
        return 0;
    }
    check_tracks_end_once(song);

    // The name our writer would have put in this header: up to the first CR.
    std::string name;
    for (std::size_t i = 1; i < 16 && data[i] != 0x0D; ++i) name += static_cast<char>(data[i]);
    const std::vector<std::uint8_t> image = build_tape_image(song, name);
    FUZZ_CHECK(image.size() <= size);  // nothing invented, the tail dropped

    // When the input is an image we would write, writing it again gives it back.
    const TapeHeader header = make_tape_header(name, image.size() - kTapeHeaderSize);
    if (image.size() == size && std::equal(header.begin(), header.end(), data)) {
        FUZZ_CHECK(std::equal(image.begin(), image.end(), data));
    }

    Song again;
    FUZZ_CHECK(load_tape_image(image, again, error));
    FUZZ_CHECK(build_tape_image(again, name) == image);

    // Written as MML, it compiles back to every event but those reported.
    const WrittenMml mml = write_mml(song);
    const SourceAnalysis back = analyze_source(mml.text, "t.MML");
    for (int k = 0; k < kTrackCount; ++k) {
        const auto& want = song.tracks[k].events();
        const auto& got = back.song.tracks[k].events();
        bool reported = false;
        for (const MmlChange& c : mml.changes) reported = reported || c.track == k;
        if (!reported) FUZZ_CHECK(got == want);
    }
    return 0;
}
