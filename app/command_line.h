// The command line, read into a plan of what this run does.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zirvon {

enum class SourceKind { none, mml, tape };

struct RunPlan {
    bool no_arguments = false;
    bool help = false;
    bool version = false;
    bool play = false;
    bool list = false;
    bool midi = false;
    bool wav = false;
    bool ports = false;
    std::optional<std::string> port;  ///< from /port=: a number or part of a name

    bool have_source = false;
    std::string typed_name;   ///< the source argument as typed
    std::string source_name;  ///< with its extension in upper case: song.MML
    std::string output_name;  ///< the image to write: song.MZT
    std::string tape_name;    ///< recorded in the image header
    SourceKind kind = SourceKind::none;
    bool bad_extension = false;  ///< a three-letter extension other than MML or MZT

    std::vector<std::string> warnings;  ///< about arguments that are ignored
};

/// Reads the arguments that follow the program name. Options start with `/`
/// or `-` and may stand anywhere; the first other argument names the source,
/// the second the tape. An argument that starts with `/` and holds another
/// `/` is an absolute path, not an option, and `--` ends the options.
RunPlan parse_command_line(const std::vector<std::string>& args);

}  // namespace zirvon
