// The road from a source to its outputs, which a run walks once and /watch
// on every save: the rules about what the command line asks for, the source
// found and read, and the files of the output table written. What needs no
// file (the song made of the bytes, the passage, the tape's names, the
// warnings) is decided in the core, outputs/song_build.h, which the page
// shares; nothing else decides these things, so a run, /watch and the page
// cannot drift apart.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "outputs/analysis.h"
#include "outputs/output_table.h"
#include "outputs/song_build.h"
#include "play/passage.h"

namespace zirvon {

enum ExitStatus : int {
    kExitSuccess = 0,
    kExitFailure = 1,      ///< unreadable source, MML errors, unwritable output...
    kExitUsage = 2,        ///< the command line asks for something impossible
    kExitInterrupted = 130 ///< a preview stopped by Ctrl+C
};

/// The file to read: the name with its extension normalised (song.MML)
/// when it exists, else the name as typed (song.mml), which matters where
/// case does. Warns on `err` when both exist as different files. A MIDI
/// file is read by the name as typed when it exists, as song.MID is what
/// /midi writes; its twin is read, with a warning, only in its place. When
/// neither exists: with `must_exist`, false after a message naming both;
/// without it (/watch waits for the file), the name as typed.
bool find_source(const RunPlan& plan, bool must_exist, std::string& path, std::ostream& err);

/// The rules that refuse a run, or warn about it, once the source is found:
/// -o naming the source (or a name that a later run would read as the
/// source), -o where no file is written, two files of the run on one name,
/// a file on the source, MML over someone's work. (What the command line alone
/// tells is refused as it is read: see check_options.) The
/// exit status after one message, or nothing to go on.
std::optional<int> check_run(const RunPlan& plan, const std::string& path, std::ostream& err);

/// Makes `bytes`, the file at `path`, into a build: compiles MML, or loads
/// an image. False, with a message, for an image that is broken; MML always
/// builds (its problems are in the analysis).
bool make_build(const RunPlan& plan, const std::string& path, std::string bytes, Build& build,
                std::string& error);

/// Reads the file at `path` and makes it into a build. False, with a message.
bool read_build(const RunPlan& plan, const std::string& path, Build& build, std::string& error);

/// Whether the run writes the image: a compile does, and playing an image
/// writes it back; /list and playing MML do not.
bool writes_image(const RunPlan& plan);

/// The files this run writes, in the order it writes them: those the
/// options ask for, then the image, which is written last so that a failure
/// leaves it as it was.
std::vector<const OutputKind*> files_to_write(const RunPlan& plan);

/// Where `kind` goes: the image to -o PATH or beside the source (an image
/// played is written back in place), the others named after it.
std::string file_name(const RunPlan& plan, const std::string& path, const OutputKind& kind);

/// What writing one file came to.
struct FileResult {
    const OutputKind* kind = nullptr;
    std::string name;
    bool ok = false;
    /// False when the file already held these bytes and was left alone.
    bool written = false;
    std::size_t size = 0;
    std::string error;
    /// The output refused to be made (a WAV file too long): no file was tried.
    bool refused = false;
};

/// Writes `kinds` of the build, each atomically, in order. First asks each
/// whether it can be made at all (a WAV file too long), so that a refusal
/// comes before anything is written. With `stop_at_failure` nothing is
/// written after the first failure. `passage` may be null when no kind
/// plays one.
std::vector<FileResult> write_files(const RunPlan& plan, const std::string& path, const Build& build,
                                    const std::vector<const OutputKind*>& kinds,
                                    const play::Passage* passage, bool stop_at_failure);

/// The image /cassette carries: the run's song with the tape name given,
/// else the one it has.
std::vector<std::uint8_t> run_image(const RunPlan& plan, const std::string& path, const Build& build);

/// For a run that sounds `passage` (plays it, or writes it as MIDI or
/// audio): the warnings about what is heard there (sound_warnings); none for
/// a run that sounds nothing.
std::vector<SoundWarning> run_sound_warnings(const RunPlan& plan, const Build& build, const play::Passage& passage);

}  // namespace zirvon
