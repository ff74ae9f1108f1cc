// The passage options, /from=, /to=, /solo= and /mute=: their values read
// from the command line, and the passage they pick in a song.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "play/passage.h"
#include "song/song.h"

namespace zirvon {

struct PassageOptions {
    std::optional<play::Bound> from;
    std::optional<play::Bound> to;
    std::optional<play::TrackMask> solo;  ///< the tracks listed
    std::optional<play::TrackMask> mute;

    bool given() const { return from || to || solo || mute; }
    /// Whether a bound is a source line or place, which only a song that
    /// knows the places of its events can find.
    bool reads_places() const;
    /// "/from and /solo": the options given, for messages.
    std::string names() const;
    play::PassageRequest request() const;
};

/// Reads the value of /from= or /to=: a block number ("12"), a time
/// ("1:05", "1:05.2", "1:05.25": seconds two digits below 60, tenths or
/// hundredths) or a source line ("line:40"). Numbers of any length saturate
/// instead of overflowing. False, with a message naming `option` ("from"),
/// when it is none of these, or block or line 0.
bool parse_bound(std::string_view option, std::string_view value, play::Bound& bound,
                 std::string& error);

/// Reads the value of /solo= or /mute=: tracks 1 to 8, comma-separated,
/// with ranges ("1,3-5"). A track listed twice adds a warning. False, with
/// a message, for anything else: an empty list, blanks, a stray comma, a
/// track that is not played.
bool parse_track_list(std::string_view option, std::string_view value, play::TrackMask& tracks,
                      std::vector<std::string>& warnings, std::string& error);

/// What can be told wrong about the options before any song is read: /solo
/// with /mute, a source line on an image, a passage empty whatever the song.
/// False, with a message.
bool check_passage_options(const PassageOptions& options, bool image, std::string& error);

}  // namespace zirvon
