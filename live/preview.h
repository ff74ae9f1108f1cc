// The live preview: a passage of a song played on a live output's clock,
// until it ends, the output goes away or the user presses Ctrl+C.
#pragma once

#include <string>

#include "live/progress.h"
#include "play/live_output.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon::live {

enum class PreviewOutcome {
    finished,     // the passage played to its end
    interrupted,  // Ctrl+C or SIGTERM; the output was silenced
    lost,         // the output went away during the preview; see the message
    failed,       // nothing played; see the message
};

struct PreviewResult {
    PreviewOutcome outcome = PreviewOutcome::failed;
    std::string error;  // for lost and failed
};

struct PreviewOptions {
    /// Name on the progress line, usually the file that was read; the
    /// line adds the output's name: "Playing song.MML on FLUID Synth".
    std::string title;
    /// Whether to keep a progress line on stderr.
    bool show_progress = false;
    /// Play the passage again and again, until Ctrl+C.
    bool loop = false;
};

/// Plays `passage` of `song` (whose blocks `map` gives, for the progress
/// line) on `output`, a tick every 20 ms of its clock, and returns when the
/// passage has ended, the output was lost or an interrupt came. An
/// interrupt or a lost output turns all notes off within a tick. Meanwhile
/// SIGINT and SIGTERM end the preview, not the process. The caller owns
/// `output` and closes it.
PreviewResult play_live(const Song& song, const play::SongMap& map, const play::Passage& passage, play::LiveOutput& output,
                        const PreviewOptions& options);

/// The progress line's text for a position of a passage.
ProgressText progress_text(const std::string& title, const play::SongMap& map, const play::Passage& passage,
                          std::uint64_t ticks, std::uint64_t song_tick);

}  // namespace zirvon::live
