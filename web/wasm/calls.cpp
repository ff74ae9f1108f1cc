#include "web/wasm/calls.h"

#include <string>
#include <string_view>

#include "mml/analysis.h"
#include "outputs/listing.h"
#include "outputs/messages.h"
#include "outputs/summary.h"
#include "picture/piano_roll.h"
#include "picture/roll.h"
#include "smf/midi_file.h"
#include "synth/wav_render.h"
#include "tape/tape_header.h"
#include "tape/tape_image.h"
#include "web/wasm/request.h"

namespace zirvon::web {
namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void compile(const Request& request, Reply& reply, const DataSink& data) {
    SourceAnalysis analysis = analyze_source(request.source, request.name);
    reply.diagnostics = std::move(analysis.diagnostics);
    std::vector<std::string> unwritten;
    if (!request.output.empty()) unwritten.push_back(request.output);
    reply.summary = problem_summary(analysis.counts, "", unwritten);
    if (!analysis.ok()) {
        reply.fail(reply.summary);
        return;
    }
    data(build_tape_image(analysis.song, tape_name_of(request)));
}

/// The listing; for an image, the tape name goes after the reply.
void list(const Request& request, Reply& reply, WireWriter& extra, const DataSink& data) {
    Request plain = request;
    plain.output.clear();
    const std::optional<Prepared> song = prepare(plain, reply, false, "nothing listed");
    if (!song) return;
    std::string text;
    if (request.image) {
        text = tape_header_text(read_tape_header(song->image));
        for (const std::string& problem : tape_header_problems(song->image, song->song)) {
            reply.warn(request.name + ": " + problem, "tape-header");
        }
        extra.text(song->tape_name);
    }
    text += listing_text(song->song, song->map);
    data(bytes_of(text));
}

void warn_about_left_out_notes(const Prepared& song, Reply& reply) {
    const int count = play::left_out_notes(song.song, song.map, song.passage);
    if (count > 0) reply.warn(left_out_notes_warning(count), "left-out");
}

void midi(const Request& request, Reply& reply, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, true);
    if (!song) return;
    warn_about_left_out_notes(*song, reply);
    data(smf::build_midi_file(song->song, song->passage).bytes);
}

void wav(const Request& request, Reply& reply, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, true);
    if (!song) return;
    warn_about_left_out_notes(*song, reply);
    const std::uint64_t done_tick = song->passage.length();
    if (!fits_wav_file(done_tick)) {
        reply.fail(wav_too_long_error(request.output, song->passage_given, done_tick));
        return;
    }
    synth::WavRender render(done_tick, [&](std::span<const std::uint8_t> piece) {
        data(piece);
        return true;
    });
    play::play_passage(song->song, song->passage,
                       [&](std::uint64_t tick, const play::MidiMessage& m) { render.add(tick, m); });
    render.finish();
}

void write_roll(const Prepared& song, const Request& request, const picture::Roll& roll,
                const DataSink& data) {
    // The title names the file without its folder, as the command line's does.
    const std::size_t slash = request.name.find_last_of("/\\");
    const picture::PictureTitle title{
        slash == std::string::npos ? request.name : request.name.substr(slash + 1), song.tape_name};
    picture::write_piano_roll(roll, title, [&](std::string_view piece) {
        data(bytes_of(piece));
        return true;
    });
}

void svg(const Request& request, Reply& reply, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, true);
    if (!song) return;
    write_roll(*song, request, picture::collect_roll(song->song, song->map, song->passage), data);
}

void image(const Request& request, Reply& reply, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, false);
    if (!song) return;
    data(request.tape_name ? build_tape_image(song->song, *request.tape_name)
                           : rebuild_tape_image(song->song, song->image));
}

/// The passage, the song's blocks and the image the player loads: all that
/// must be known before the first note, and no more.
void play(const Request& request, Reply& reply, WireWriter& extra) {
    const std::optional<Prepared> song = prepare(request, reply, true, "nothing played");
    if (!song) return;
    warn_about_left_out_notes(*song, reply);
    const play::Passage& passage = song->passage;
    extra.u32(static_cast<std::uint32_t>(passage.start));
    extra.u32(static_cast<std::uint32_t>(passage.end));
    extra.u32(passage.audible);
    extra.u32(static_cast<std::uint32_t>(song->map.block_starts.size()));
    for (const std::uint64_t start : song->map.block_starts) extra.u32(static_cast<std::uint32_t>(start));
    extra.bytes(request.image ? song->image : build_tape_image(song->song, song->tape_name));
}

/// The picture of the passage, and every note in it with its place in the
/// source, for the page to follow what plays.
void roll(const Request& request, Reply& reply, WireWriter& extra, const DataSink& data) {
    const std::optional<Prepared> song = prepare(request, reply, true);
    if (!song) return;
    const picture::Roll roll = picture::collect_roll(song->song, song->map, song->passage);
    extra.u32(static_cast<std::uint32_t>(roll.notes.size()));
    for (const picture::RollNote& note : roll.notes) {
        extra.u8(static_cast<std::uint8_t>(note.track));
        extra.u32(static_cast<std::uint32_t>(note.on));
        extra.u32(static_cast<std::uint32_t>(note.off));
        extra.u32(note.place.line);
        extra.u32(note.place.column);
        extra.u32(note.place.end_column);
    }
    write_roll(*song, request, roll, data);
}

}  // namespace

bool run_call(int call, WireReader& in, WireWriter& out, const DataSink& data) {
    Request request;
    if (!read_request(in, request)) return false;
    Reply reply;
    WireWriter extra;
    switch (static_cast<Call>(call)) {
        case Call::compile: compile(request, reply, data); break;
        case Call::list: list(request, reply, extra, data); break;
        case Call::midi: midi(request, reply, data); break;
        case Call::wav: wav(request, reply, data); break;
        case Call::svg: svg(request, reply, data); break;
        case Call::image: image(request, reply, data); break;
        case Call::play: play(request, reply, extra); break;
        case Call::roll: roll(request, reply, extra, data); break;
        default: return false;
    }
    reply.write(out);
    const std::vector<std::uint8_t>& more = extra.data();
    for (const std::uint8_t b : more) out.u8(b);
    return true;
}

}  // namespace zirvon::web
