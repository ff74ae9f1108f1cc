// /watch: the composer's loop. Builds the MML source once, then again on
// every save, until Ctrl+C: without /play it writes the image (and the MIDI
// file with /midi) each time; with /play it stops what plays and plays the
// passage of the new song from its start.
#pragma once

#include <ostream>
#include <string>

#include "app/command_line.h"

namespace zirvon {

/// Runs /watch for `plan`, an MML source, following the file at `path` (the
/// one a run would read). Every message goes to `err`, each build's result
/// as one line that starts with the time of day. Returns only on Ctrl+C
/// (status 130), or when the preview's output cannot be had or goes away
/// (status 1).
int watch_source(const RunPlan& plan, const std::string& path, std::ostream& err);

}  // namespace zirvon
