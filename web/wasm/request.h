// What the page asks of the core, and what it gets back: the source (MML
// or a tape image) with the command line's options as text, and the ok,
// the messages and the problems of a run, as the command line gives them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mml/diagnostic.h"
#include "outputs/analysis.h"
#include "outputs/output_table.h"
#include "outputs/song_build.h"
#include "play/passage.h"
#include "song/song.h"
#include "web/wasm/wire.h"

namespace zirvon::web {

struct Request {
    bool image = false;  ///< the source is a tape image, not MML
    std::string source;
    /// The file name that messages and the picture's title give the source.
    std::string name;
    /// Cut between two characters to the longest the header holds, as the
    /// command line cuts it; `tape_name_cut` is then the warning that says so.
    /// A name the command line refuses is refused with `tape_name_refused`.
    std::optional<std::string> tape_name;
    std::string tape_name_cut;
    std::string tape_name_refused;
    /// /from=, /to=, /solo= and /mute= as the command line takes them.
    std::optional<std::string> from, to, solo, mute;
    /// The file this request makes, named in the summary when errors stop it.
    std::string output;
    /// /cassette='s choices, for the cassette recording.
    std::optional<std::string> cassette;
};

/// Reads a request as web/src/wire.js writes it. False when it is cut short.
bool read_request(WireReader& in, Request& request);

/// What a run tells the user, besides the bytes it makes.
struct Reply {
    bool ok = true;
    /// The command line's one-line error when ok is false, without the
    /// program's name in front.
    std::string message;
    /// The line that counts a compile's problems; empty when it had none.
    std::string summary;
    std::vector<Diagnostic> diagnostics;

    /// Ends the run with `error`; returns false for the caller to return.
    bool fail(std::string error);
    /// A warning about the whole run rather than a place in the source.
    void warn(std::string text, std::string_view code);
    /// ok, message, summary and the problems, as wire.js reads them.
    void write(WireWriter& out) const;
};

/// What a call does with a source that has errors: refuse it, as files and
/// the listing do, or go on with the passage when none of its blocks holds
/// one, as playing and the picture that follows what plays do.
enum class Errors { refuse, outside_passage };

/// A song ready to play, draw or write: a source loaded or compiled, and the
/// passage the options pick.
struct Prepared {
    /// The source made into a song; its analysis keeps a compile's errors
    /// that went on, to tell whether they lie in the passage.
    Build build;
    /// Picked only when asked for: a plain compile never maps the song.
    std::optional<play::Passage> passage;
    PassageOptions options;

    const Song& song() const { return build.analysis.song; }
    const play::SongMap& map() const { return build.analysis.map(); }
    /// What the output table makes a file of, for `request`. With
    /// `image_written`, a renamed image's picture shows its new name, as the
    /// command line's does where it writes the image back (/play).
    OutputSource output_source(const Request& request, bool image_written = false) const;
};

/// Reads the passage options, warns of a tape name that was cut, loads or
/// compiles the source and, with `pick_passage`, maps the song and picks
/// the passage, in the command line's order and with its messages; without,
/// the options are not looked at. Nothing, with `reply` saying why, when
/// one of them fails; `not_done` is what the summary says is not done
/// besides the output ("nothing played"). With `errors` at
/// Errors::outside_passage, a source with errors is refused only when a block
/// of the passage holds one.
std::optional<Prepared> prepare(const Request& request, Reply& reply, bool pick_passage,
                                std::string_view not_done = {}, Errors errors = Errors::refuse);

}  // namespace zirvon::web
