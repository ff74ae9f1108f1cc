// The command line, read into a plan of what this run does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "play/passage_options.h"
#include "text/format.h"

namespace zirvon {

enum class SourceKind { none, mml, tape };

struct RunPlan {
    bool no_arguments = false;
    bool usage = false;  ///< /?: the original usage text
    bool help = false;   ///< -h, --help: the full help
    bool version = false;
    bool play = false;
    bool list = false;
    bool midi = false;
    bool svg = false;
    bool wav = false;
    bool ports = false;
    std::optional<std::string> port;  ///< from /port=: a number or part of a name
    bool loop = false;                ///< /loop: play the passage again and again
    bool watch = false;               ///< /watch: rebuild or replay on every save
    bool lsp = false;                 ///< --lsp: the language server for editors
    PassageOptions passage;           ///< /from=, /to=, /solo=, /mute=

    bool have_source = false;
    std::string typed_name;   ///< the source argument as typed
    std::string source_name;  ///< with its extension in upper case: song.MML
    std::string output_name;  ///< the image to write: song.MZT, or the -o PATH
    bool output_given = false;  ///< output_name comes from -o or /out=
    std::string tape_name;    ///< recorded in the image header
    bool tape_name_given = false;  ///< false: the default, MUSICDATA
    SourceKind kind = SourceKind::none;
    bool bad_extension = false;  ///< a three-letter extension other than MML or MZT

    std::vector<std::string> errors;    ///< the command line cannot be carried out
    std::vector<std::string> warnings;  ///< about arguments that are odd but used
};

/// Reads the arguments that follow the program name. Options start with `/`
/// or `-` and may stand anywhere; the first other argument names the source,
/// the second the tape. An argument that starts with `/` and holds another
/// `/` before any `=` is an absolute path, not an option, and `--` ends the
/// options. An
/// unknown option or a third name is an error in `errors`.
RunPlan parse_command_line(const std::vector<std::string>& args);

/// The name of an output of this run other than the image: the image's name
/// with its extension replaced, so song.MZT gives song.MID and -o out/tune
/// gives out/tune.MID. `extension` includes its dot.
std::string output_name_for(const RunPlan& plan, std::string_view extension);

/// The files beside the image that the plan asks for, named as
/// output_name_for names them: the MIDI file, the WAV file, the picture.
std::vector<std::string> extra_output_names(const RunPlan& plan);

/// The text of -h and --help: usage, one line per option, exit statuses,
/// the environment and where the manual is.
std::string help_text();

}  // namespace zirvon
