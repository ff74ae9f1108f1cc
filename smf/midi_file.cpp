#include "smf/midi_file.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>

namespace zirvon::smf {
namespace {

constexpr std::uint8_t kProgramChange = 0xC0;

using Bytes = std::vector<std::uint8_t>;

void put_u16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void put_u32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

/// Variable-length quantity: 7 bits a byte, most significant first, the high
/// bit set on all bytes but the last. The longest song (8 tracks of 10,000
/// events of 256 ticks) stays far below the format's limit of 2^28 ticks.
void put_vlq(Bytes& out, std::uint32_t v) {
    std::array<std::uint8_t, 5> groups{};
    int n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v != 0);
    while (n > 1) out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

void put_chunk(Bytes& out, const char* id, const Bytes& body) {
    out.insert(out.end(), id, id + 4);
    put_u32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

void put_end_of_track(Bytes& body, std::uint64_t delta) {
    put_vlq(body, static_cast<std::uint32_t>(delta));
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
}

/// A text meta event (`kind` 0x03: a sequence or track name) on tick 0,
/// at most 127 bytes long so that its length is one byte.
void put_name(Bytes& body, std::string_view name) {
    body.insert(body.end(), {0x00, 0xFF, 0x03, static_cast<std::uint8_t>(name.size())});
    body.insert(body.end(), name.begin(), name.end());
}

/// The first track: the song's name, its tape name, and the tempo.
Bytes tempo_track(std::string_view tape_name, std::uint64_t end_tick) {
    Bytes body;
    if (!tape_name.empty()) put_name(body, tape_name.substr(0, kLongestTapeName));
    body.insert(body.end(), {0x00, 0xFF, 0x51, 0x03});
    body.push_back(static_cast<std::uint8_t>(kFileTempo >> 16));
    body.push_back(static_cast<std::uint8_t>(kFileTempo >> 8));
    body.push_back(static_cast<std::uint8_t>(kFileTempo));
    put_end_of_track(body, end_tick);
    return body;
}

/// Track k on channel k (from 0), named "Track k", with the program of the
/// built-in synthesizer's voice for it, so that a General MIDI player
/// sounds like the preview.
Bytes note_track(int k, const std::vector<TimedMessage>& messages, std::uint64_t end_tick) {
    Bytes body;
    put_name(body, "Track " + std::to_string(k));
    std::uint64_t now = 0;
    for (const TimedMessage& t : messages) {
        put_vlq(body, static_cast<std::uint32_t>(t.tick - now));
        body.insert(body.end(), {t.message.status, t.message.data1});
        if ((t.message.status & 0xF0) != kProgramChange) body.push_back(t.message.data2);
        now = t.tick;
    }
    put_end_of_track(body, end_tick - now);
    return body;
}

}  // namespace

std::vector<TimedMessage> passage_messages(const Song& song, const play::Passage& passage, play::PassageRun& run) {
    std::vector<TimedMessage> sent;
    play::TrackMask sending = 0;
    run = play::play_passage(song, passage, [&](std::uint64_t tick, const play::MidiMessage& m) {
        sent.push_back({tick, m});
        sending = static_cast<play::TrackMask>(sending | (1u << (m.status & 0x0F)));
    });
    std::vector<TimedMessage> messages;
    messages.reserve(kLastPlayedTrack - kFirstPlayedTrack + 1 + sent.size());
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (((sending >> k) & 1u) == 0) continue;
        const auto program = static_cast<std::uint8_t>(kTrackPrograms[static_cast<std::size_t>(k - kFirstPlayedTrack)] - 1);
        messages.push_back({0, {static_cast<std::uint8_t>(kProgramChange | k), program, 0}});
    }
    messages.insert(messages.end(), sent.begin(), sent.end());
    return messages;
}

MidiFileBytes build_midi_file(const Song& song, std::string_view tape_name) {
    return build_midi_file(song, play::whole_song(play::map_song(song)), tape_name);
}

MidiFileBytes build_midi_file(const Song& song, const play::Passage& passage, std::string_view tape_name) {
    // Messages go to the file track of their channel, which is the song's
    // track number.
    std::array<std::vector<TimedMessage>, kTrackCount> by_track;
    play::PassageRun run;
    for (const TimedMessage& t : passage_messages(song, passage, run)) by_track[t.message.status & 0x0F].push_back(t);

    std::vector<Bytes> tracks;
    tracks.push_back(tempo_track(tape_name, run.done_tick));
    for (int k = kFirstPlayedTrack; k <= kLastPlayedTrack; ++k) {
        if (!by_track[k].empty()) tracks.push_back(note_track(k, by_track[k], run.done_tick));
    }

    MidiFileBytes file{{}, run};
    Bytes header;
    put_u16(header, 1);  // format 1: tracks played together
    put_u16(header, static_cast<std::uint16_t>(tracks.size()));
    put_u16(header, kFileDivision);
    put_chunk(file.bytes, "MThd", header);
    for (const Bytes& body : tracks) put_chunk(file.bytes, "MTrk", body);
    return file;
}

}  // namespace zirvon::smf
