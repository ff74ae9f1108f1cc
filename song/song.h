// The song: ten tracks of three-byte note events, the one data model that the
// compiler and the tape reader fill and the tape writer, the listing and the
// preview read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zirvon {

/// One event as the target machine stores it: note byte, length in ticks,
/// gate in ticks. The same three bytes in memory and on tape.
struct TrackEvent {
    std::uint8_t note = 0;
    std::uint8_t length = 0;
    std::uint8_t gate = 0;

    friend bool operator==(const TrackEvent&, const TrackEvent&) = default;
};

/// Note byte of the barrier that ends an MML block.
inline constexpr std::uint8_t SyncMark = 253;
/// Note byte of the event that ends a track.
inline constexpr std::uint8_t EndMark = 254;
/// Highest note byte that is a note rather than a mark.
inline constexpr int kHighestPitch = 252;

inline constexpr TrackEvent kSyncEvent{SyncMark, 0, 0};
inline constexpr TrackEvent kEndEvent{EndMark, 0, 0};

inline constexpr int kTrackCount = 10;
/// Room of one track on the target, its EndMark included.
inline constexpr std::size_t kTrackCapacity = 10'000;
/// Ticks in a whole note; one tick lasts 20 ms in the preview.
inline constexpr int kTicksPerWhole = 96;

// --- The unit and its preview ---

/// First and last played track; track k plays on MIDI channel k (from 0).
/// Tracks 0 and 9 are kept in the image but never played.
inline constexpr int kFirstPlayedTrack = 1;
inline constexpr int kLastPlayedTrack = 8;
/// Length of one tick of the preview, and ticks in a second.
inline constexpr int kTickMicroseconds = 20'000;
inline constexpr int kTicksPerSecond = 1'000'000 / kTickMicroseconds;
/// MIDI note number of a pitch code: code + 24.
inline constexpr int kPitchToMidi = 24;
/// The highest MIDI note number; notes above it are left out of the preview.
inline constexpr int kHighestMidiNote = 127;

/// Whether an event sounds a note: a pitch code with a gate.
constexpr bool sounds_note(const TrackEvent& e) { return e.note < SyncMark && e.gate != 0; }
/// Whether an event is a rest as MML writes one: pitch code 0 with no gate.
constexpr bool is_rest(const TrackEvent& e) { return e.note == 0 && e.gate == 0; }
/// Whether an event is a note as MML writes one: a pitch code, not a rest
/// (its gate may be 0, as a gate cut to 8 bits leaves it).
constexpr bool is_note(const TrackEvent& e) { return e.note <= kHighestPitch && !is_rest(e); }
/// Whether a note is above the highest MIDI note: kept in the image, never heard.
constexpr bool above_midi(const TrackEvent& e) { return e.note + kPitchToMidi > kHighestMidiNote; }
/// The General MIDI program (numbered from 1, as the General MIDI list
/// counts them) of each played track, 1 to 8: the sound the built-in
/// synthesizer gives the track comes nearest to it, and a MIDI file asks a
/// player for it. General MIDI has one square lead for all three pulse leads.
inline constexpr std::array<int, kLastPlayedTrack - kFirstPlayedTrack + 1> kTrackPrograms{
    81,  // Lead 1 (square): a bright 25 % pulse
    39,  // Synth Bass 1
    81,  // Lead 1 (square)
    63,  // Synth Brass 1
    90,  // Pad 2 (warm)
    51,  // SynthStrings 1
    74,  // Flute
    81,  // Lead 1 (square): a thin 12.5 % pulse
};
/// Status bytes of note-on and note-off on channel 0, and the velocity of both.
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kVelocity = 127;

// --- The tape image ---

/// The target loads the data at this address and starts at the other.
inline constexpr std::uint16_t kLoadAddress = 0x315A;
inline constexpr std::uint16_t kExecAddress = 0x1200;
/// A tape name is at most this many bytes.
inline constexpr std::size_t kLongestTapeName = 15;

/// Where an event comes from in an MML source: the line (from 1) and the
/// byte columns (from 1) of the note, rest or `]` that made it, its end
/// column just past it. All 0 for an event with no source: end marks,
/// events read from an image.
struct EventPlace {
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::uint32_t end_column = 0;

    friend bool operator==(const EventPlace&, const EventPlace&) = default;
};

/// Events of one track, never more than kTrackCapacity, each with its
/// place in the source when the compile recorded places.
class Track {
public:
    Track() { events_.reserve(kTrackCapacity); }

    /// Appends an event with no place; false (and nothing stored) when the
    /// track is full.
    bool append_event(TrackEvent event) {
        if (events_.size() >= kTrackCapacity) return false;
        events_.push_back(event);
        return true;
    }
    /// Appends an event and its place.
    bool append_event(TrackEvent event, EventPlace place) {
        if (events_.size() >= kTrackCapacity) return false;
        // Events appended before without a place have none.
        if (places_.size() < events_.size()) places_.resize(events_.size());
        events_.push_back(event);
        places_.push_back(place);
        return true;
    }
    /// Makes room for the place of every event the track can hold, so that
    /// recording them never moves them.
    void reserve_places() { places_.reserve(kTrackCapacity); }
    const std::vector<TrackEvent>& events() const { return events_; }
    /// Place in the source of event i; all 0 when it has none.
    EventPlace place(std::size_t i) const { return i < places_.size() ? places_[i] : EventPlace{}; }
    /// Source line (from 1) of event i, or 0.
    std::uint32_t line(std::size_t i) const { return place(i).line; }
    std::size_t count() const { return events_.size(); }
    bool full() const { return events_.size() >= kTrackCapacity; }

private:
    std::vector<TrackEvent> events_;
    std::vector<EventPlace> places_;
};

/// The ten tracks, numbered 0 to 9. Tracks 1 to 8 are the ones previewed.
struct Song {
    std::array<Track, kTrackCount> tracks;

    /// Total number of events over all tracks.
    std::size_t event_count() const {
        std::size_t n = 0;
        for (const Track& t : tracks) n += t.count();
        return n;
    }
};

}  // namespace zirvon
