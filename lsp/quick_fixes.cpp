// Quick fixes for the problems that have one obvious repair: a letter
// written for a block's track digit, a block left open, a length that is
// no note length.
#include <cmath>

#include "lsp/features.h"
#include "lsp/mml_tokens.h"
#include "lsp/text_edits.h"

namespace zirvon::lsp {
namespace {

/// The digit a letter before `[` stands for, or 0.
char digit_for(char letter) {
    switch (letter) {
        case 'l':
        case 'I':
        case '|':
            return '1';
        case 'o':
        case 'O':
            return '0';
        default:
            return 0;
    }
}

/// The note length whose ticks are nearest those `value` would mean.
std::uint64_t nearest_length(double value) {
    std::uint64_t best = 1;
    for (std::uint64_t m : {1, 2, 4, 8, 16, 32}) {
        if (std::abs(96.0 / value - 96.0 / static_cast<double>(m)) <
            std::abs(96.0 / value - 96.0 / static_cast<double>(best)))
            best = m;
    }
    return best;
}

json fix(const Snapshot& s, json diagnostic, std::string title,
         const std::vector<TextEdit>& edits) {
    return {{"title", std::move(title)},
            {"kind", "quickfix"},
            {"diagnostics", json::array({std::move(diagnostic)})},
            {"isPreferred", true},
            {"edit", workspace_edit(s, edits)}};
}

}  // namespace

json quick_fixes(const Snapshot& s, std::size_t from, std::size_t to) {
    json fixes = json::array();
    for (const Diagnostic& d : s.analysis.diagnostics) {
        if (d.line <= 0) continue;
        const auto line = static_cast<std::uint32_t>(d.line);
        const std::size_t begin = offset_of(s, line, static_cast<std::uint32_t>(d.column));
        const std::size_t end = offset_of(s, line, static_cast<std::uint32_t>(d.token_end()));
        if (begin > to || end < from) continue;
        const std::string_view text = s.analysis.source.line(d.line - 1);
        const auto at = [&](std::size_t index) {
            return offset_of(s, line, static_cast<std::uint32_t>(index + 1));
        };
        const auto column = static_cast<std::size_t>(d.column - 1);
        if (d.code == "no-track-number" && column >= 1 && column <= text.size() &&
            digit_for(text[column - 1])) {
            const char digit = digit_for(text[column - 1]);
            fixes.push_back(fix(s, diagnostic_json(s, d),
                                std::string("Write track ") + digit + ": " + digit + "[",
                                {{at(column - 1), at(column), std::string(1, digit)}}));
        } else if (d.code == "unclosed-block") {
            std::size_t close = text.find(';', column);
            if (close == std::string_view::npos) close = text.size();
            while (close > column + 1 &&
                   (text[close - 1] == ' ' || text[close - 1] == '\t' || text[close - 1] == '\r'))
                --close;
            fixes.push_back(fix(s, diagnostic_json(s, d), "Close the block with ]",
                                {{at(close), at(close), "]"}}));
        } else if (d.code == "note-length") {
            const std::string_view token =
                text.substr(column, static_cast<std::size_t>(d.token_end() - d.column));
            NoteText note;
            if (!read_note_text(token, note) || note.raw || note.digits.empty()) continue;
            const double value =
                note.digits.size() > 12 ? 1e12 : std::stod(std::string(note.digits));
            if (value == 0) continue;
            const std::size_t digits =
                column + static_cast<std::size_t>(note.digits.data() - token.data());
            const std::string length = std::to_string(nearest_length(value));
            fixes.push_back(fix(s, diagnostic_json(s, d),
                                "Use length " + length + ", the nearest note length",
                                {{at(digits), at(digits + note.digits.size()), length}}));
        }
    }
    return fixes;
}

}  // namespace zirvon::lsp
