#include "lsp/play_request.h"

#include <vector>

#include "outputs/passage_errors.h"
#include "play/passage_options.h"

namespace zirvon::lsp {
namespace {

/// A bound written as LSP gives it: a position, a line alone ({line}: its
/// blocks, as line:L), a block number or the text of /from= (a time such
/// as "1:05.25", or anything /from= takes).
bool read_bound(const char* option, const json& value, const Snapshot& s, play::Bound& bound,
                std::string& error) {
    // A place in the text is always on a line and a column from 1.
    if (value.is_object() && !value.contains("character")) {
        const Place at = s.place({whole_number(value.at("line")), 0});
        bound = {play::Bound::Kind::line, at.line, {}, 0};
        return true;
    }
    if (value.is_object()) {
        const Place at = s.place(position_from(value));
        bound = {play::Bound::Kind::position, at.line, {}, at.column};
        return true;
    }
    if (value.is_number_unsigned() || value.is_number_integer()) {
        return parse_bound(option, std::to_string(value.get<std::int64_t>()), bound, error);
    }
    if (value.is_string()) return parse_bound(option, value.get<std::string>(), bound, error);
    error = std::string("'") + option + "' is a position {line, character}, a block number or a time";
    return false;
}

/// The tracks of an array as /solo= lists them ("1,3"), read by its rules.
bool read_tracks(const char* option, const json& value, play::TrackMask& tracks, std::string& error) {
    std::string list;
    for (const json& item : value) {
        if (!item.is_number_integer()) {
            error = std::string("'") + option + "' is an array of track numbers";
            return false;
        }
        if (!list.empty()) list += ',';
        list += std::to_string(item.get<std::int64_t>());
    }
    std::vector<std::string> warnings;  // a track listed twice does no harm
    return parse_track_list(option, list, tracks, warnings, error);
}

/// `until`, the end of a selection ({line, character}, the character after
/// it), as `to`: the last note, rest or ']' that starts inside it.
bool until(const json& argument, const Snapshot& s, std::optional<play::Bound>& to, std::string& error) {
    if (!argument.contains("until") || argument["until"].is_null()) return true;
    const json& value = argument["until"];
    if (to) {
        error = "'to' and 'until' do not go together: 'until' ends a selection, 'to' plays to a note";
        return false;
    }
    if (!value.is_object() || !value.contains("character")) {
        error = "'until' is a position {line, character}";
        return false;
    }
    const Position end = position_from(value);
    const PlacedEvent* last = s.last_played_before(s.place(end));
    if (last == nullptr) {
        error = "no note, rest or ']' of tracks 1 to 8 stands before line " + std::to_string(end.line + 1) +
                ", character " + std::to_string(end.character + 1);
        return false;
    }
    to = play::Bound{play::Bound::Kind::position, last->place.line, {}, last->place.column};
    return true;
}

}  // namespace

std::optional<play::Passage> requested_passage(const json& argument, const Snapshot& s, std::string& error) {
    PassageOptions options;
    const auto bound = [&](const char* name, std::optional<play::Bound>& into) {
        if (!argument.contains(name) || argument[name].is_null()) return true;
        into.emplace();
        return read_bound(name, argument[name], s, *into, error);
    };
    const auto tracks = [&](const char* name, std::optional<play::TrackMask>& into) {
        if (!argument.contains(name) || argument[name].is_null()) return true;
        into.emplace();
        if (argument[name].is_array()) return read_tracks(name, argument[name], *into, error);
        error = std::string("'") + name + "' is an array of track numbers";
        return false;
    };
    if (!bound("from", options.from) || !bound("to", options.to) || !tracks("solo", options.solo) ||
        !tracks("mute", options.mute) || !until(argument, s, options.to, error) ||
        !check_passage_options(options, false, error)) {
        return std::nullopt;
    }
    std::optional<play::Passage> passage =
        play::resolve_passage(options.request(), s.analysis.song, s.analysis.map(), error);
    if (!passage) return std::nullopt;
    if (PassageVerdict verdict = play_around_errors(s.analysis, *passage, "nothing played", {}); !verdict.plays) {
        error = std::move(verdict.summary);
        return std::nullopt;
    }
    return passage;
}

}  // namespace zirvon::lsp
