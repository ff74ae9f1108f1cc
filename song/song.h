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

/// Events of one track, never more than kTrackCapacity, each with the source
/// line it was compiled from (0 when it has none: end marks, images).
class Track {
public:
    Track() {
        events_.reserve(kTrackCapacity);
        lines_.reserve(kTrackCapacity);
    }

    /// Appends an event; false (and nothing stored) when the track is full.
    bool append_event(TrackEvent event, std::uint32_t line = 0) {
        if (events_.size() >= kTrackCapacity) return false;
        events_.push_back(event);
        lines_.push_back(line);
        return true;
    }
    const std::vector<TrackEvent>& events() const { return events_; }
    /// Source line (from 1) of event i, or 0.
    std::uint32_t line(std::size_t i) const { return i < lines_.size() ? lines_[i] : 0; }
    std::size_t count() const { return events_.size(); }
    bool full() const { return events_.size() >= kTrackCapacity; }

private:
    std::vector<TrackEvent> events_;
    std::vector<std::uint32_t> lines_;
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
