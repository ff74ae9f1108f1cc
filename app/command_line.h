// The command line, read into a plan of what this run does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cassette/cassette_format.h"
#include "outputs/output_table.h"
#include "outputs/song_build.h"
#include "play/passage_options.h"
#include "text/format.h"

namespace zirvon {

struct RunPlan {
    bool no_arguments = false;
    bool usage = false;  ///< /?: the original usage text
    bool help = false;   ///< -h, --help: the full help
    bool version = false;
    bool play = false;
    bool play_cassette = false;  ///< /cassette /play: the signal, not the music
    bool list = false;
    bool ports = false;
    /// The rows of the output table that options ask for, a bit each.
    std::uint32_t outputs_asked = 0;
    std::optional<std::string> port;  ///< from /port=: a number or part of a name
    bool loop = false;                ///< /loop: play the passage again and again
    bool watch = false;               ///< /watch: rebuild or replay on every save
    bool lsp = false;                 ///< --lsp: the language server for editors
    PassageOptions passage;           ///< /from=, /to=, /solo=, /mute=
    cassette::CassetteFormat cassette;  ///< /cassette=: how the recording is made
    std::optional<std::size_t> file_number;  ///< /file=N: the file of a recording worked on

    bool have_source = false;
    std::string typed_name;   ///< the source argument as typed
    std::string source_name;  ///< with its extension in upper case: song.MML
    std::string output_name;  ///< the image to write: song.MZT, or the -o PATH
    bool output_given = false;  ///< output_name comes from -o or /out=
    std::string tape_name;    ///< recorded in the image header; at most 15 bytes, cut as it is read
    bool tape_name_given = false;  ///< false: the default, MUSICDATA
    SourceKind kind = SourceKind::none;
    bool bad_extension = false;  ///< a three-letter extension other than MML, MZT, MID or a recording's

    std::vector<std::string> errors;    ///< the command line cannot be carried out
    std::vector<std::string> warnings;  ///< about arguments that are odd but used

    /// Whether an option asks for `kind` (/midi for the MIDI file).
    bool asks_for(const OutputKind& kind) const;
    void ask_for(const OutputKind& kind);
    /// The files besides the image that options ask for, in the table's order.
    std::vector<const OutputKind*> extra_outputs() const;
    /// Whether one of them records a passage of the song.
    bool asks_for_a_passage() const;
    /// Whether an output or a passage bound reads the places of the events
    /// in the source, so that the compile must record them.
    bool reads_places() const;
};

/// Reads the arguments that follow the program name. Options start with `/`
/// or `-` and may stand anywhere; the first other argument names the source,
/// the second the tape. An argument that starts with `/` and holds another
/// `/` before any `=` is an absolute path, not an option, and `--` ends the
/// options. An
/// unknown option or a third name is an error in `errors`.
RunPlan parse_command_line(const std::vector<std::string>& args);

/// The files beside the image that the plan asks for, named after the image
/// (output_file_name): the MIDI file, the WAV file, the picture.
std::vector<std::string> extra_output_names(const RunPlan& plan);

/// What can be done with a tape image: "/play", "/list" and the options of
/// the outputs ("/midi"...).
std::vector<std::string> image_actions();

/// The text of -h and --help: usage, one line per option, exit statuses,
/// the environment and where the manual is.
std::string help_text();

}  // namespace zirvon
