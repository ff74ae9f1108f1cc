#include "play/passage_options.h"

#include <cctype>
#include <limits>

#include "text/format.h"
#include "text/words.h"

namespace zirvon {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

/// The number a run of digits stands for, or the largest one when it is
/// larger than that.
std::uint64_t saturating_number(std::string_view digits) {
    std::uint64_t value = 0;
    for (const char c : digits) {
        const auto d = static_cast<std::uint64_t>(c - '0');
        if (value > (kMax - d) / 10) return kMax;
        value = value * 10 + d;
    }
    return value;
}

std::uint64_t saturating_sum(std::uint64_t a, std::uint64_t b) {
    return a > kMax - b ? kMax : a + b;
}

std::uint64_t saturating_product(std::uint64_t a, std::uint64_t b) {
    return b != 0 && a > kMax / b ? kMax : a * b;
}

bool starts_with_letters(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

/// "M:SS", "M:SS.s" or "M:SS.ss" in hundredths of a second.
bool parse_time(std::string_view text, std::uint64_t& hundredths) {
    const std::size_t colon = text.find(':');
    const std::string_view minutes = text.substr(0, colon);
    std::string_view rest = text.substr(colon + 1);
    std::string_view fraction;
    if (const std::size_t dot = rest.find('.'); dot != std::string_view::npos) {
        fraction = rest.substr(dot + 1);
        rest = rest.substr(0, dot);
        if (fraction.empty() || fraction.size() > 2 || !all_digits(fraction)) return false;
    }
    if (!all_digits(minutes) || rest.size() != 2 || !all_digits(rest) || rest[0] > '5') {
        return false;
    }
    std::uint64_t cs = fraction.empty() ? 0 : saturating_number(fraction);
    if (fraction.size() == 1) cs *= 10;
    hundredths = saturating_sum(saturating_product(saturating_number(minutes), 6000),
                                saturating_number(rest) * 100 + cs);
    return true;
}

std::string quoted(std::string_view option, std::string_view value) {
    std::string text(1, '/');
    text.append(option).append(1, '=').append(value);
    return text;
}

}  // namespace

std::string PassageOptions::names() const {
    std::vector<std::string> given;
    if (from) given.emplace_back("/from");
    if (to) given.emplace_back("/to");
    if (solo) given.emplace_back("/solo");
    if (mute) given.emplace_back("/mute");
    return joined(given);
}

bool PassageOptions::reads_places() const {
    const auto by_source = [](const std::optional<play::Bound>& b) {
        return b && (b->kind == play::Bound::Kind::line || b->kind == play::Bound::Kind::position);
    };
    return by_source(from) || by_source(to);
}

play::PassageRequest PassageOptions::request() const {
    play::PassageRequest request;
    request.from = from;
    request.to = to;
    if (solo) request.audible = *solo;
    if (mute) request.audible = static_cast<play::TrackMask>(play::kAllPlayedTracks & ~*mute);
    return request;
}

bool parse_bound(std::string_view option, std::string_view value, play::Bound& bound,
                 std::string& error) {
    using Kind = play::Bound::Kind;
    const std::string what = quoted(option, value);
    bound.text = std::string(value);
    if (value.empty()) {
        error.assign(1, '/').append(option);
        error += " needs a block number, a time such as 1:05, or line:N (line:N:C for a column)";
        return false;
    }
    if (starts_with_letters(value, "line:")) {
        // line:L, or line:L:C for the note at byte column C of line L.
        std::string_view digits = value.substr(5);
        const std::size_t colon = digits.find(':');
        const std::string_view column = colon == std::string_view::npos ? "" : digits.substr(colon + 1);
        digits = digits.substr(0, colon);
        if (!all_digits(digits) || (colon != std::string_view::npos && !all_digits(column))) {
            error = what + ": line: needs a line number, such as line:40, and may add a column, line:40:7";
            return false;
        }
        bound.kind = colon == std::string_view::npos ? Kind::line : Kind::position;
        bound.value = saturating_number(digits);
        bound.column = colon == std::string_view::npos ? 0 : saturating_number(column);
        if (bound.value == 0 || (bound.kind == Kind::position && bound.column == 0)) {
            error = what + (bound.value == 0 ? ": there is no line 0; lines count from 1"
                                             : ": there is no column 0; columns count from 1");
            return false;
        }
        return true;
    }
    if (value.find(':') != std::string_view::npos) {
        bound.kind = Kind::time;
        if (!parse_time(value, bound.value)) {
            error = what +
                    ": not a time; write minutes and two digits of seconds below 60, such as "
                    "1:05 or 1:05.25";
            return false;
        }
        return true;
    }
    if (!all_digits(value)) {
        error = what + ": not a block number, a time (M:SS or M:SS.ss) or line:N";
        return false;
    }
    bound.kind = Kind::block;
    bound.value = saturating_number(value);
    if (bound.value == 0) {
        error = what + ": there is no block 0; blocks count from 1";
        return false;
    }
    return true;
}

bool parse_track_list(std::string_view option, std::string_view value, play::TrackMask& tracks,
                      std::vector<std::string>& warnings, std::string& error) {
    const std::string what = quoted(option, value);
    if (value.empty()) {
        error.assign(1, '/').append(option);
        error += " needs a list of tracks 1 to 8, such as " + quoted(option, "1,3-5");
        return false;
    }
    tracks = 0;
    for (std::size_t at = 0; at <= value.size();) {
        std::size_t comma = value.find(',', at);
        if (comma == std::string_view::npos) comma = value.size();
        const std::string_view item = value.substr(at, comma - at);
        const std::size_t dash = item.find('-');
        const std::string_view first = item.substr(0, dash);
        const std::string_view last =
            dash == std::string_view::npos ? first : item.substr(dash + 1);
        if (!all_digits(first) || !all_digits(last)) {
            error = what + ": not a list of tracks; write them like 1,3-5, with no blanks";
            return false;
        }
        for (const std::string_view number : {first, last}) {
            const std::uint64_t n = saturating_number(number);
            if (n < kFirstPlayedTrack || n > kLastPlayedTrack) {
                error = what + ": track " + std::string(number) +
                        " is not played; only tracks 1 to 8 are";
                return false;
            }
        }
        const std::uint64_t low = saturating_number(first);
        const std::uint64_t high = saturating_number(last);
        if (high < low) {
            error = what + ": the range " + std::string(item) + " runs backwards";
            return false;
        }
        for (std::uint64_t k = low; k <= high; ++k) {
            const auto bit = static_cast<play::TrackMask>(1u << k);
            if (tracks & bit)
                warnings.push_back(what + ": track " + std::to_string(k) + " is listed twice");
            tracks = static_cast<play::TrackMask>(tracks | bit);
        }
        at = comma + 1;
    }
    return true;
}

bool check_passage_options(const PassageOptions& options, bool image, std::string& error) {
    using Kind = play::Bound::Kind;
    if (options.solo && options.mute) {
        error =
            "/solo and /mute do not go together: /solo plays only the tracks it lists, /mute all "
            "others";
        return false;
    }
    for (const auto& [name, bound] :
         {std::pair{"from", &options.from}, std::pair{"to", &options.to}}) {
        if (image && *bound && ((*bound)->kind == Kind::line || (*bound)->kind == Kind::position)) {
            error = quoted(name, (*bound)->text) +
                    ": an image has no source lines; line:N works with MML sources";
            return false;
        }
    }
    // Two blocks or two times tell an empty passage without the song.
    if (options.from && options.to && options.from->kind == options.to->kind) {
        const std::uint64_t from = options.from->value;
        const std::uint64_t to = options.to->value;
        const bool empty = options.from->kind == Kind::block ? to < from
                           : options.from->kind == Kind::time
                               ? to / 2 + to % 2 <= from / 2 + from % 2
                               : false;
        if (empty) {
            error = quoted("to", options.to->text) + " is at or before " +
                    quoted("from", options.from->text) + ": the passage would be empty";
            return false;
        }
    }
    return true;
}

}  // namespace zirvon
