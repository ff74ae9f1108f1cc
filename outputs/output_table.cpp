#include "outputs/output_table.h"

#include <array>
#include <optional>

#include "cassette/cassette_writer.h"

#include "mml/mml_writer.h"
#include "picture/piano_roll.h"
#include "play/player.h"
#include "smf/midi_file.h"
#include "smf/midi_import.h"
#include "synth/wav_file.h"
#include "synth/wav_render.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"
#include "text/format.h"
#include "text/words.h"

namespace zirvon {
namespace {

bool hand_on(const std::vector<std::uint8_t>& bytes, const ByteSink& sink) { return sink(bytes); }

bool make_image(const OutputSource& source, const ByteSink& sink) { return hand_on(image_bytes(source), sink); }

bool make_cassette(const OutputSource& source, const ByteSink& sink) {
    return cassette::write_cassette_wav(image_bytes(source), source.cassette, sink);
}

bool make_midi(const OutputSource& source, const ByteSink& sink) {
    return hand_on(smf::build_midi_file(*source.song, *source.passage, source.title_tape_name).bytes, sink);
}

std::string wav_refusal(const OutputSource& source, std::string_view name) {
    // The passage's length is known before it plays, so the header is right
    // from the start.
    const std::uint64_t done_tick = source.passage->length();
    if (synth::wav_frames(done_tick) <= synth::kMaxWavFrames) return {};
    const std::uint64_t longest = (synth::kMaxWavFrames - synth::kTailFrames) / synth::kFramesPerTick;
    return "cannot write '" + std::string(name) + "': the " + (source.passage_given ? "passage" : "song") +
           " lasts " + hours_minutes_seconds((done_tick + kTicksPerSecond - 1) / kTicksPerSecond) +
           " and a WAV file holds at most " + hours_minutes_seconds(longest / kTicksPerSecond) +
           "; choose a part of it with /from and /to";
}

bool make_wav(const OutputSource& source, const ByteSink& sink) {
    synth::WavRender render(source.passage->length(), sink);
    play::play_passage(*source.song, *source.passage,
                       [&](std::uint64_t tick, const play::MidiMessage& message) { render.add(tick, message); });
    return render.finish();
}

/// The file name without its folder: after the last '/', or '\\' as
/// Windows writes them, on every system, so that both builds title a song
/// alike.
std::string_view base_name(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool make_svg(const OutputSource& source, const ByteSink& sink) {
    return write_roll_picture(picture::collect_roll(*source.song, *source.map, *source.passage), source, sink);
}

/// The comments that open the MML: an image's tape name first, then where
/// the song came from.
std::vector<std::string> mml_header(const OutputSource& source) {
    const std::string from(base_name(source.file_name));
    if (!source.image.empty()) {
        return {"tape name " + std::string(source.tape_name), "written as MML by zirvon from " + from};
    }
    const std::string_view name = source.file_name;
    if (name.size() >= 4 && same_letters(name.substr(name.size() - 4), ".mid")) return {smf::import_comment(from)};
    return {"written again by zirvon from " + from};
}

bool make_mml(const OutputSource& source, const ByteSink& sink) {
    const auto hand_text = [&sink](const std::string& text) {
        return sink({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    };
    return source.mml != nullptr ? hand_text(source.mml->text) : hand_text(song_as_mml(source).text);
}

constexpr std::array<OutputKind, 6> kKinds{{
    {"", ".MZT", "a tape image", "", false, false, false, nullptr, make_image},
    {"midi", ".MID", "a MIDI file", "also write a Standard MIDI File beside the image (song.MID)", true, true,
     false, nullptr, make_midi},
    {"wav", ".WAV", "a WAV file", "also render the song with the built-in synthesizer, song.WAV", true, true,
     false, wav_refusal, make_wav},
    {"svg", ".SVG", "a picture", "also draw the song as a piano roll, song.SVG", true, false, true,
     nullptr, make_svg},
    {"mml", ".MML", "MML", "write the song as MML, song.MML (of an image or a MIDI file)", false, false,
     false, nullptr, make_mml},
    // Never song.WAV: the performance has that name.
    {"cassette", ".TAPE.WAV", "a cassette recording", "also write song.TAPE.WAV, the sound the machine loads",
     false, false, false, nullptr, make_cassette},
}};

}  // namespace

std::span<const OutputKind> output_kinds() { return kKinds; }

const OutputKind& image_output() { return kKinds[0]; }

const OutputKind* output_for_option(std::string_view option) {
    for (const OutputKind& kind : kKinds) {
        if (!kind.option.empty() && kind.option == option) return &kind;
    }
    return nullptr;
}

bool write_roll_picture(const picture::Roll& roll, const OutputSource& source, const ByteSink& sink) {
    picture::PictureTitle title;
    title.file_name = base_name(source.file_name);
    title.tape_name = source.title_tape_name;
    return picture::write_piano_roll(roll, title, [&](std::string_view piece) {
        return sink({reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()});
    });
}

WrittenMml song_as_mml(const OutputSource& source) { return write_mml(*source.song, mml_header(source)); }

std::vector<std::uint8_t> image_bytes(const OutputSource& source) {
    // An image read back keeps its own header, byte for byte, but for what
    // the run changes: other tools keep notes there.
    if (!source.image.empty()) {
        const std::optional<std::string_view> renamed =
            source.tape_name_given ? std::optional(source.tape_name) : std::nullopt;
        return rebuild_tape_image(*source.song, source.image, renamed);
    }
    return build_tape_image(*source.song, source.tape_name);
}

std::vector<std::uint8_t> output_bytes(const OutputKind& kind, const OutputSource& source) {
    std::vector<std::uint8_t> bytes;
    kind.make(source, [&](std::span<const std::uint8_t> piece) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
        return true;
    });
    return bytes;
}

std::string output_file_name(std::string_view image_name, const OutputKind& kind) {
    if (&kind == &image_output()) return std::string(image_name);
    const std::size_t folder_end = image_name.find_last_of("/\\:");
    const std::size_t name_start = folder_end == std::string_view::npos ? 0 : folder_end + 1;
    const std::size_t dot = image_name.rfind('.');
    // A leading dot, as in .hidden, starts a name rather than an extension.
    const bool has_extension = dot != std::string_view::npos && dot > name_start;
    return std::string(image_name.substr(0, has_extension ? dot : image_name.size())) + std::string(kind.extension);
}

}  // namespace zirvon
