#include "lsp/document.h"

#include <algorithm>
#include <tuple>

namespace zirvon::lsp {
namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string percent_decoded(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_digit(text[i + 1]) >= 0 && hex_digit(text[i + 2]) >= 0) {
            bytes += static_cast<char>(hex_digit(text[i + 1]) * 16 + hex_digit(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

namespace {

/// The name messages give a document: the last part of its URI, decoded.
std::string document_name(std::string_view uri) {
    const std::size_t slash = uri.find_last_of('/');
    if (slash != std::string_view::npos) uri.remove_prefix(slash + 1);
    return percent_decoded(uri);
}

bool before(const EventPlace& a, const EventPlace& b) {
    return std::tie(a.line, a.column) < std::tie(b.line, b.column);
}

}  // namespace

Snapshot::Snapshot(std::string document_uri, std::string_view text)
    : uri(std::move(document_uri)), analysis(analyze_source(std::string(text), document_name(uri))) {
    for (int k = 0; k < kTrackCount; ++k) {
        const Track& track = analysis.song.tracks[k];
        for (std::size_t i = 0; i < track.count(); ++i) {
            if (track.place(i).line != 0) events.push_back({track.place(i), k, i});
        }
    }
    // Events of one place (a note longer than an event holds) by track and
    // index, so that every library finds the same one there.
    std::sort(events.begin(), events.end(), [](const PlacedEvent& a, const PlacedEvent& b) {
        return std::tie(a.place.line, a.place.column, a.track, a.index) <
               std::tie(b.place.line, b.place.column, b.track, b.index);
    });
}

const PlacedEvent* Snapshot::event_at(Place at) const {
    const EventPlace key{at.line, at.column, 0};
    auto it = std::upper_bound(events.begin(), events.end(), key,
                               [](const EventPlace& k, const PlacedEvent& e) { return before(k, e.place); });
    if (it == events.begin()) return nullptr;
    --it;
    const bool holds = it->place.line == at.line && it->place.column <= at.column && at.column < it->place.end_column;
    return holds ? &*it : nullptr;
}

const PlacedEvent* Snapshot::last_played_before(Place at) const {
    const EventPlace key{at.line, at.column, 0};
    auto it = std::lower_bound(events.begin(), events.end(), key,
                               [](const PlacedEvent& e, const EventPlace& k) { return before(e.place, k); });
    while (it != events.begin()) {
        --it;
        if (it->track >= kFirstPlayedTrack && it->track <= kLastPlayedTrack) return &*it;
    }
    return nullptr;
}

void Document::change(const std::optional<std::pair<Position, Position>>& range, std::string_view text) {
    snapshot_.reset();
    if (!range) {
        lines_ = LineIndex(std::string(text));
        return;
    }
    std::size_t from = lines_.offset_of(range->first);
    std::size_t to = lines_.offset_of(range->second);
    if (to < from) std::swap(from, to);
    lines_.replace(from, to, text);
}

std::shared_ptr<const Snapshot> Document::snapshot() {
    if (!snapshot_) {
        auto made = std::make_shared<Snapshot>(uri_, lines_.text());
        made->version = version_;
        snapshot_ = std::move(made);
    }
    return snapshot_;
}

}  // namespace zirvon::lsp
