// A recording of a cassette as a source: the files decoded from it, listed,
// its music images written, and one of them worked on as an image would be.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/pipeline.h"

namespace zirvon {

/// Reads the recording at `path`, decodes it, lists every file found in
/// `build.messages` and makes the music image that /file=N or the first
/// chooses into the build's song and image. False, with one message that
/// names the file, when it cannot be read or decoded, or holds no file the
/// run can work on.
bool make_recording_build(const RunPlan& plan, const std::string& path, Build& build, std::string& error);

/// The names a recording's `count` music images are written to: the image's
/// name for one (tape.MZT), numbered for several (tape-1.MZT, tape-2.MZT).
std::vector<std::string> recorded_image_names(const RunPlan& plan, std::size_t count);

/// Writes every music image of `build`, each atomically, and stops at the
/// first that cannot be written.
std::vector<FileResult> write_recorded_images(const RunPlan& plan, const Build& build);

}  // namespace zirvon
