// What a run decides from a source's bytes and its options, before any file
// is read or written: the source made into a song (MML compiled, an image
// loaded, a MIDI file imported), the passage the options pick, the names the
// outputs give the tape, and the warnings about what is heard. The command
// line, /watch and the page all decide here, so they cannot drift apart;
// only reading and writing files is left to each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mml/mml_writer.h"
#include "outputs/analysis.h"
#include "outputs/output_table.h"
#include "play/passage.h"
#include "play/passage_options.h"

namespace zirvon {

/// What a source is, by its file name's extension.
enum class SourceKind { none, mml, tape, midi, recording };

/// A source made into a song.
struct Build {
    /// The compiled MML, or for an image its song alone.
    SourceAnalysis analysis;
    /// An image's bytes; empty for MML.
    std::vector<std::uint8_t> image;
    /// The name in an image's header; empty for MML.
    std::string image_tape_name;
    /// What reading it has to say besides the MML's problems: the summary
    /// of a MIDI file's import.
    std::vector<std::string> messages;
    /// The song as /mml writes it, made once when the run asks for /mml
    /// (its warnings and its file read it) or when the source is a MIDI
    /// file (the MML that was compiled).
    std::optional<WrittenMml> mml;
    /// A recording's music images, every one, in the order it holds them,
    /// with their numbers among the files found (from 1).
    std::vector<std::vector<std::uint8_t>> recorded;
    std::vector<std::size_t> recorded_file;

    bool from_image() const { return !image.empty(); }
    /// Whether the compile found nothing to hear in the whole song.
    bool nothing_to_hear() const;
};

/// Makes `bytes`, the source called `name`, into a build: compiles MML
/// (refusing bytes that are not text), loads an image (read no further
/// than kTapeFileReadLimit) or imports a MIDI file. False, with the
/// message a front end prints after the program's name. A recording is
/// decoded from samples, not bytes, and is not made here.
bool make_build(SourceKind kind, const std::string& name, std::string bytes, EventPlaces places, Build& build,
                std::string& error);

/// A MIDI file made into the MML that /mml writes of it, and the lines that
/// say what the import kept and left out (the last one a warning when it
/// held no notes).
struct ImportedMml {
    WrittenMml mml;
    std::vector<std::string> lines;
    bool no_notes = false;
};

/// Imports the MIDI file `bytes` called `name`. False, with a message
/// naming it, for a file that is not a MIDI file or is damaged.
bool import_midi_source(const std::string& name, std::span<const std::uint8_t> bytes, ImportedMml& imported,
                        std::string& error);

/// Reads /from=, /to=, /solo= or /mute= (`option` without its slash) into
/// `options`. False, with a message, for a value it cannot take; a track
/// listed twice adds a warning.
bool read_passage_option(std::string_view option, std::string_view value, PassageOptions& options,
                         std::vector<std::string>& warnings, std::string& error);

/// A tape name as given: refused (false, with the message) when the header
/// cannot hold it, else cut to the longest the header holds, with the
/// warning that says so in `cut` (empty when it fitted).
bool take_tape_name(std::string& name, std::string& cut, std::string& error);

/// The passage `options` pick in the build's song. Nothing, with a message,
/// when the song has no such place.
std::optional<play::Passage> build_passage(const PassageOptions& options, const Build& build, std::string& error);

/// What the outputs of `build` are made from, without the passage: the
/// source's name, and the tape name, `tape_name` (given or the default one)
/// for MML. An image keeps its own name unless one is given; its picture and
/// MIDI file show the name the image has after the run, which is the new
/// one only when `image_written` (the run writes the image back).
OutputSource build_output_source(const Build& build, std::string_view name, std::string_view tape_name,
                                 bool tape_name_given, bool image_written);

/// What /list shows of an image before its events: its header. A warning
/// naming `name` for each place where the header disagrees with the data
/// goes to `warnings`. Empty for MML.
std::string listed_header(const Build& build, std::string_view name, std::vector<std::string>& warnings);

/// A warning about what a run sounds, with the page's code for it.
struct SoundWarning {
    std::string text;
    std::string_view code;
};

/// For a run that sounds `passage`: that the tracks it sounds hold no note
/// there (unless the song has nothing to hear at all, which its compile
/// said), and for an image the notes MIDI cannot carry (a source's compile
/// warns about them where they stand). `tracks_chosen`: /solo or /mute
/// chose the tracks.
std::vector<SoundWarning> sound_warnings(const Build& build, const play::Passage& passage, bool tracks_chosen);

}  // namespace zirvon
