// The MML side of a run: /mml, which writes the song as MML without ever
// replacing someone's source.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/pipeline.h"

namespace zirvon {

/// The refusal of MML written to `name`, before anything is read: a file
/// that exists there, or a song.mml beside it, and that -o did not name, is
/// someone's work.
std::optional<int> check_mml_file(const RunPlan& plan, const std::string& name, const OutputKind& kind,
                                  std::ostream& err);

/// What the MML will not give back of an image: one warning for each event
/// and each header field.
std::vector<std::string> mml_warnings(const RunPlan& plan, const Build& build);

/// The line after the MML is written: its name and the command that builds
/// the image (with its tape name) again, or compiles it.
std::string mml_written_message(const RunPlan& plan, const Build& build, const std::string& name);

}  // namespace zirvon
