// The live preview: the player driven by the tick timer, sending to a MIDI
// output port, until the song ends or the user presses Ctrl+C.
#pragma once

#include <string>

#include "song/song.h"

namespace zirvon::midi {

enum class PreviewOutcome {
    finished,     // the song played to its end
    interrupted,  // Ctrl+C or SIGTERM; the synthesizer was silenced
    failed,       // nothing played; see the message
};

struct PreviewResult {
    PreviewOutcome outcome = PreviewOutcome::failed;
    std::string error;  // for failed
};

struct PreviewOptions {
    /// Which output port, as for /port= ("" for the default one).
    std::string port_choice;
    /// Name on the progress line, usually the source file's.
    std::string title;
    /// Whether to keep a progress line on stderr.
    bool show_progress = false;
};

/// Plays tracks 1 to 8 of `song` on a MIDI output port, a tick every 20 ms,
/// and returns when the song has ended or an interrupt came. The port is
/// reset before the first tick and reset and closed before this returns,
/// whatever the outcome; an interrupt first turns all notes off, within a
/// tick. Meanwhile SIGINT and SIGTERM end the preview, not the process.
PreviewResult play_live(const Song& song, const PreviewOptions& options);

}  // namespace zirvon::midi
