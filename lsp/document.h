// The documents the editor has open: their text as the editor holds it,
// edited in place, and a compiled snapshot of each version, made when
// something first asks for it. Pure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/line_index.h"
#include "outputs/analysis.h"

namespace zirvon::lsp {

/// `text` with its %XX escapes decoded into the bytes they stand for, as
/// URIs write them.
std::string percent_decoded(std::string_view text);

/// An event of the source at its place: what a position in the text finds.
struct PlacedEvent {
    EventPlace place;
    int track = 0;
    std::size_t index = 0;  ///< in its track
};

/// One version of a document, compiled. Shared with the player, which
/// keeps the version it plays while the text is edited.
struct Snapshot {
    /// Compiles a copy of `text`, the one text the snapshot holds.
    Snapshot(std::string uri, std::string_view text);
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;

    std::string uri;
    /// The editor's version of the text, so that a client can tell what
    /// the server says of an older one.
    std::int64_t version = 0;
    SourceAnalysis analysis;
    /// LSP positions in the analysis's source, through its lines.
    SourcePositions positions{analysis.source};
    /// Every event that has a place, sorted by it.
    std::vector<PlacedEvent> events;

    /// The text, as compiled.
    std::string_view text() const { return analysis.source.text(); }
    /// The LSP position of a compiler place.
    Position position(Place place) const { return positions.position_of(offset_of(place)); }
    /// The compiler place of an LSP position.
    Place place(Position position) const {
        const auto [line, column] = analysis.source.place_of(positions.offset_of(position));
        return {line, column};
    }
    /// The byte offset of a compiler place.
    std::size_t offset_of(Place place) const { return analysis.source.offset_of(place.line, place.column); }
    /// The event whose text holds a place, if any.
    const PlacedEvent* event_at(Place place) const;
    /// The last event of tracks 1 to 8 whose text starts before a place:
    /// the last one a selection that ends there holds.
    const PlacedEvent* last_played_before(Place place) const;
};

class Document {
public:
    Document(std::string uri, std::string text) : uri_(std::move(uri)), lines_(std::move(text)) {}

    const std::string& uri() const { return uri_; }
    const LineIndex& lines() const { return lines_; }
    std::int64_t version() const { return version_; }
    void set_version(std::int64_t version) { version_ = version; }

    /// One change of didChange: the text of `range` replaced, or with no
    /// range the whole text.
    void change(const std::optional<std::pair<Position, Position>>& range, std::string_view text);
    /// The current version, compiled.
    std::shared_ptr<const Snapshot> snapshot();

private:
    std::string uri_;
    LineIndex lines_;
    std::int64_t version_ = 0;
    std::shared_ptr<const Snapshot> snapshot_;
};

}  // namespace zirvon::lsp
