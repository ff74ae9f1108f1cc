#include "web/wasm/calls.h"

#include <string>
#include <string_view>

#include "cassette/cassette_reader.h"
#include "cassette/cassette_writer.h"
#include "outputs/analysis.h"
#include "outputs/cassette_text.h"
#include "outputs/listing.h"
#include "outputs/output_table.h"
#include "outputs/song_build.h"
#include "outputs/summary.h"
#include "picture/roll.h"
#include "play/passage.h"
#include "web/wasm/request.h"

namespace zirvon::web {
namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

ByteSink sink_of(const DataSink& data) {
    return [&data](std::span<const std::uint8_t> piece) {
        data(piece);
        return true;
    };
}

void compile(const Request& request, Reply& reply, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, false);
    // A source that is not text has no summary: its one line says why.
    if (!song) {
        if (reply.summary.empty()) reply.summary = reply.message;
        return;
    }
    image_output().make(song->output_source(request), sink_of(data));
}

/// The listing, which alone of the calls that pick no passage needs the
/// song's map; for an image, the tape name goes after the reply.
void list(const Request& request, Reply& reply, WireWriter& extra, const DataSink& data) {
    Request plain = request;
    plain.output.clear();
    const std::optional<Prepared> song = prepare(plain, reply, false, "nothing listed");
    if (!song) return;
    std::vector<std::string> warnings;
    const std::string text = listed_header(song->build, request.name, warnings) + listing_text(song->song(), song->map());
    for (std::string& warning : warnings) reply.warn(std::move(warning), "tape-header");
    if (request.image) extra.text(song->build.image_tape_name);
    data(bytes_of(text));
}

/// The warnings of a run that sounds the passage, as the command line gives
/// them before it plays or writes.
void warn_about_sound(const Prepared& song, Reply& reply) {
    const bool tracks_chosen = song.options.solo || song.options.mute;
    for (SoundWarning& warning : sound_warnings(song.build, *song.passage, tracks_chosen)) {
        reply.warn(std::move(warning.text), warning.code);
    }
}

/// A file of the output table (a MIDI or WAV file, a picture) of the passage.
void file(const OutputKind& kind, const Request& request, Reply& reply, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, true);
    if (!song) return;
    if (kind.sounds) warn_about_sound(*song, reply);
    const OutputSource source = song->output_source(request);
    if (kind.refusal != nullptr) {
        if (std::string why = kind.refusal(source, request.output); !why.empty()) {
            reply.fail(std::move(why));
            return;
        }
    }
    kind.make(source, sink_of(data));
}

/// An image written back, with a new tape name or with its own.
void image(const Request& request, Reply& reply, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, false);
    if (song) image_output().make(song->output_source(request), sink_of(data));
}

/// The passage and the song's blocks, and as the data the image the player
/// loads: all that must be known before the first note, and no more.
void play(const Request& request, Reply& reply, WireWriter& extra, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, true, "nothing played", Errors::outside_passage);
    if (!song) return;
    warn_about_sound(*song, reply);
    const play::Passage& passage = *song->passage;
    extra.u32(static_cast<std::uint32_t>(passage.start));
    extra.u32(static_cast<std::uint32_t>(passage.end));
    extra.u32(passage.audible);
    extra.u32(static_cast<std::uint32_t>(song->map().block_starts.size()));
    for (const std::uint64_t start : song->map().block_starts) extra.u32(static_cast<std::uint32_t>(start));
    image_output().make(song->output_source(request, true), sink_of(data));
}

/// The picture of the passage, and every note in it with its place in the
/// source, for the page to follow what plays.
void roll(const Request& request, Reply& reply, WireWriter& extra, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, true, "nothing drawn", Errors::outside_passage);
    if (!song) return;
    const picture::Roll roll = picture::collect_roll(song->song(), song->map(), *song->passage);
    extra.u32(static_cast<std::uint32_t>(roll.notes.size()));
    for (const picture::RollNote& note : roll.notes) {
        extra.u8(static_cast<std::uint8_t>(note.track));
        extra.u32(static_cast<std::uint32_t>(note.on));
        extra.u32(static_cast<std::uint32_t>(note.off));
        extra.u32(note.place.line);
        extra.u32(note.place.column);
        extra.u32(note.place.end_column);
    }
    // What plays is the image as /play leaves it: renamed, when a name is given.
    write_roll_picture(roll, song->output_source(request, true), sink_of(data));
}

/// The recording for the machine's tape input, as /cassette writes it; after
/// the reply the lines the command line says once it is written and once it
/// is sent, and its parts, for the page to say what is sent.
void cassette_recording(const Request& request, Reply& reply, WireWriter& extra, const DataSink& data) {
    cassette::CassetteFormat format;
    std::string error;
    if (request.cassette && !parse_cassette_choices(*request.cassette, format, error)) {
        reply.fail(error);
        return;
    }
    const std::optional<Prepared> song = prepare(request, reply, false);
    if (!song) return;
    // The image as the page's .MZT gives it: with the tape name in the field.
    OutputSource source = song->output_source(request, true);
    source.cassette = format;
    const std::vector<std::uint8_t> image = image_bytes(source);
    extra.text(cassette_written_message(request.output, image, format));
    extra.text(cassette_sent_message(request.name, image, format));
    const cassette::CassetteSignal signal(image, format);
    extra.u32(static_cast<std::uint32_t>(signal.sections().size()));
    for (const cassette::CassetteSection& section : signal.sections()) {
        extra.text(section.what);
        extra.u32(static_cast<std::uint32_t>(section.first_frame));
        extra.u32(static_cast<std::uint32_t>(section.frames));
    }
    output_for_option("cassette")->make(source, sink_of(data));
}

/// A MIDI file (the request's source) made into MML as /mml writes it;
/// after the reply the lines that say what the import kept and left out.
void import_midi_file(const Request& request, Reply& reply, WireWriter& extra, const DataSink& data) {
    ImportedMml imported;
    std::string error;
    if (!import_midi_source(request.name, bytes_of(request.source), imported, error)) {
        reply.fail(error);
        return;
    }
    data(bytes_of(imported.mml.text));
    extra.u32(static_cast<std::uint32_t>(imported.lines.size()));
    for (const std::string& line : imported.lines) extra.text(line);
}

}  // namespace

void read_recording(const float* samples, std::size_t frames, unsigned channels, unsigned rate,
                    std::string_view name, WireWriter& out) {
    std::vector<std::vector<float>> planar(channels);
    for (unsigned c = 0; c < channels; ++c) planar[c].assign(samples + c * frames, samples + (c + 1) * frames);
    const cassette::CassetteReading reading = cassette::read_cassette(planar, static_cast<int>(rate));
    const RecordingLines said = recording_lines(name, reading, "nothing opened");
    const bool ok = said.refusal.empty();
    out.u8(ok ? 1 : 0);
    out.text(said.refusal);
    out.u32(static_cast<std::uint32_t>(said.lines.size()));
    for (const std::string& line : said.lines) out.text(line);
    out.text(said.no_music);
    std::uint32_t music = 0;
    for (const cassette::TapeFileFound& file : reading.files) music += is_music_file(file) ? 1 : 0;
    out.u32(ok ? music : 0);
    for (std::size_t i = 0; ok && i < reading.files.size(); ++i) {
        if (!is_music_file(reading.files[i])) continue;
        out.u32(static_cast<std::uint32_t>(i + 1));
        out.bytes(found_image(reading.files[i]));
    }
}

bool run_call(int call, WireReader& in, WireWriter& out, const DataSink& data) {
    Request request;
    if (!read_request(in, request)) return false;
    Reply reply;
    WireWriter extra;
    switch (static_cast<Call>(call)) {
        case Call::compile: compile(request, reply, data); break;
        case Call::list: list(request, reply, extra, data); break;
        case Call::midi: file(*output_for_option("midi"), request, reply, data); break;
        case Call::wav: file(*output_for_option("wav"), request, reply, data); break;
        case Call::svg: file(*output_for_option("svg"), request, reply, data); break;
        case Call::image: image(request, reply, data); break;
        case Call::play: play(request, reply, extra, data); break;
        case Call::roll: roll(request, reply, extra, data); break;
        case Call::cassette: cassette_recording(request, reply, extra, data); break;
        case Call::import: import_midi_file(request, reply, extra, data); break;
        default: return false;
    }
    reply.write(out);
    for (const std::uint8_t b : extra.data()) out.u8(b);
    return true;
}

}  // namespace zirvon::web
