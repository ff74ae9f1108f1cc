// The files a run can write, one row each: the image, the MIDI file, the WAV
// file, the picture, the MML and the cassette recording. A row says which option asks for it, its extension,
// whether it plays a passage, and how its bytes are made. The command line's
// options, its help, its messages and /watch's status lines are made from
// this table, and the browser makes the same bytes with the same rows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cassette/cassette_format.h"
#include "mml/mml_writer.h"
#include "song/byte_sink.h"
#include "picture/roll.h"
#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

/// What an output is made from.
struct OutputSource {
    const Song* song = nullptr;
    /// The song's map and the passage played: set for the rows that play one.
    const play::SongMap* map = nullptr;
    const play::Passage* passage = nullptr;
    /// Whether /from, /to, /solo or /mute chose the passage.
    bool passage_given = false;
    /// The source as it was read; the picture's title names it.
    std::string_view file_name;
    /// The name the image's header gets, and whether the user gave it.
    std::string_view tape_name;
    bool tape_name_given = false;
    /// The name the picture's title and the MIDI file's sequence name show.
    std::string_view title_tape_name;
    /// The bytes of the image the song was read from; empty for MML.
    std::span<const std::uint8_t> image;
    /// The song as MML (song_as_mml) when the front end has it already, for
    /// its warnings or from an import: /mml writes it rather than write the
    /// song again.
    const WrittenMml* mml = nullptr;
    /// How the cassette recording is made: layout, polarity, samples.
    cassette::CassetteFormat cassette;
};

struct OutputKind {
    /// The option that asks for it ("midi" for /midi); empty for the image,
    /// which every compile writes.
    std::string_view option;
    /// Its extension, which replaces the image's: song.MZT gives song.MID.
    std::string_view extension;
    /// What it is, for messages: "a MIDI file".
    std::string_view noun;
    /// Its line in the help.
    std::string_view help;
    /// Whether it records a passage of the song (as /play would play it).
    bool plays_passage = false;
    /// Whether it sounds that passage, which leaves out the notes above
    /// MIDI 127 (a picture shows them).
    bool sounds = false;
    /// Whether it reads where in the source each event stands (the
    /// picture's notes link to their text), which a compile then records.
    bool reads_places = false;
    /// Why it cannot be made, to be said before anything is written; empty
    /// when it can. `name` is the file it would go to.
    std::string (*refusal)(const OutputSource& source, std::string_view name) = nullptr;
    /// Hands its bytes to `sink` piece by piece; false once the sink
    /// refused one.
    bool (*make)(const OutputSource& source, const ByteSink& sink) = nullptr;
};

/// The rows: the image first, then the files that options ask for.
std::span<const OutputKind> output_kinds();
/// The image's row.
const OutputKind& image_output();
/// The row of an option ("midi"), or nothing.
const OutputKind* output_for_option(std::string_view option);

/// The picture of `roll`, collected from `source`'s passage, with the
/// title the picture's row gives it: that row's bytes, for a front end
/// that wants the roll's notes as well as its picture.
bool write_roll_picture(const picture::Roll& roll, const OutputSource& source, const ByteSink& sink);

/// The song as /mml writes it, with the comments that open it: an image's
/// tape name and where the song came from.
WrittenMml song_as_mml(const OutputSource& source);

/// The image the song makes with this source's name: the image's row's
/// bytes, which the cassette recording carries. A tape name given for an
/// image that is not written back still names the recording: it is a new
/// tape, and the name typed is the one the machine should show.
std::vector<std::uint8_t> image_bytes(const OutputSource& source);

/// The bytes of an output, whole.
std::vector<std::uint8_t> output_bytes(const OutputKind& kind, const OutputSource& source);

/// The name of the file `kind` goes to when the image goes to `image_name`:
/// its extension replaced, so song.MZT gives song.MID and out/tune gives
/// out/tune.MID.
std::string output_file_name(std::string_view image_name, const OutputKind& kind);

}  // namespace zirvon
