// The live preview: the player driven by a live output's clock, until the
// song ends, the output goes away or the user presses Ctrl+C.
#pragma once

#include <string>

#include "play/live_output.h"
#include "song/song.h"

namespace zirvon::play {

enum class PreviewOutcome {
    finished,     // the song played to its end
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
};

/// Plays tracks 1 to 8 of `song` on `output`, a tick every 20 ms of its
/// clock, and returns when the song has ended, the output was lost or an
/// interrupt came. An interrupt or a lost output turns all notes off within
/// a tick. Meanwhile SIGINT and SIGTERM end the preview, not the process.
/// The caller owns `output` and closes it.
PreviewResult play_live(const Song& song, LiveOutput& output, const PreviewOptions& options);

}  // namespace zirvon::play
