#include "app/diagnostic_printer.h"

#include <algorithm>
#include <string_view>

#include "text/shift_jis.h"

namespace zirvon {
namespace {

/// Around a column of a very long line only this much is shown on each side.
constexpr std::size_t kContext = 80;

/// Whether a terminal draws the character two columns wide (the East Asian
/// wide and full-width ranges).
bool is_wide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
           (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

/// One character on screen: the bytes it takes and the columns it fills.
struct Glyph {
    std::size_t bytes;
    std::size_t columns;
};

/// The character that starts at byte `i` of `line`, read as UTF-8. A byte
/// that starts no valid character is one on its own: a terminal shows it as
/// one replacement character (sources written in Shift JIS look like that).
Glyph glyph_at(std::string_view line, std::size_t i) {
    const auto lead = static_cast<unsigned char>(line[i]);
    const std::size_t n = lead < 0x80            ? 1
                          : (lead & 0xE0) == 0xC0 ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                          : (lead & 0xF8) == 0xF0 ? 4
                                                  : 0;
    if (n <= 1 || i + n > line.size()) return {1, 1};
    char32_t c = lead & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(line[i + k]);
        if ((b & 0xC0) != 0x80) return {1, 1};
        c = c << 6 | (b & 0x3Fu);
    }
    constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kShortest[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {1, 1};
    return {n, is_wide(c) ? 2u : 1u};
}

bool continues(std::string_view line, std::size_t i) {
    return i < line.size() && (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80;
}

/// The part of `line` to show, made safe for a terminal, and a caret line
/// that points at byte `column` (from 1) of it, counted in the columns the
/// terminal draws.
void print_excerpt(std::ostream& out, std::string_view line, std::size_t column) {
    const std::size_t at = std::min(column - 1, line.size());
    std::size_t from = 0;
    std::size_t to = line.size();
    if (line.size() > 2 * kContext) {
        // Cut between characters, never inside one.
        from = at > kContext ? at - kContext : 0;
        while (from < at && continues(line, from)) ++from;
        to = std::min(line.size(), at + kContext);
        while (continues(line, to)) ++to;
    }
    std::string shown = from > 0 ? "..." : "";
    std::string caret(shown.size(), ' ');
    for (std::size_t i = from; i < to;) {
        const auto c = static_cast<unsigned char>(line[i]);
        Glyph glyph = glyph_at(line, i);
        const bool control = (c < 0x20 && c != '\t') || c == 0x7F;
        // A Shift-JIS character is one `?`: a terminal reading UTF-8 would
        // show its second byte, perhaps a letter, as if it stood alone.
        const bool shift_jis = c >= 0x80 && glyph.bytes == 1 && i + 1 < to &&
                               is_shift_jis_pair(c, static_cast<unsigned char>(line[i + 1]));
        if (shift_jis) glyph.bytes = 2;
        if (control || shift_jis) shown += '?';
        else shown.append(line.substr(i, glyph.bytes));
        if (i + glyph.bytes <= at) caret.append(glyph.columns, c == '\t' ? '\t' : ' ');
        i += glyph.bytes;
    }
    if (to < line.size()) shown += "...";
    caret += '^';
    out << shown << '\n' << caret << '\n';
}

}  // namespace

void print_diagnostic(std::ostream& out, const std::string& file, const SourceText& source,
                      const Diagnostic& d) {
    const char* severity = d.severity == Severity::error     ? "error"
                           : d.severity == Severity::warning ? "warning"
                                                             : "note";
    if (d.line <= 0) {
        out << file << ": " << severity << ": " << d.message << '\n';
        return;
    }
    out << file << ':' << d.line << ':' << d.column << ": " << severity << ": " << d.message
        << '\n';
    print_excerpt(out, source.line(d.line - 1), static_cast<std::size_t>(d.column));
}

void print_diagnostics(std::ostream& out, const std::string& file, const SourceText& source,
                       const std::vector<Diagnostic>& diagnostics) {
    for (const Diagnostic& d : diagnostics) print_diagnostic(out, file, source, d);
}

}  // namespace zirvon
