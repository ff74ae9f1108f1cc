#include "outputs/diagnostic_printer.h"

#include <algorithm>
#include <string_view>

#include "text/utf8.h"

namespace zirvon {
namespace {

/// Around a column of a very long line only this much is shown on each side.
constexpr std::size_t kContext = 80;

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
        while (from < at && continues_utf8(line, from)) ++from;
        to = std::min(line.size(), at + kContext);
        while (continues_utf8(line, to)) ++to;
    }
    std::string shown = from > 0 ? "..." : "";
    std::string caret(shown.size(), ' ');
    for (std::size_t i = from; i < to;) {
        const auto c = static_cast<unsigned char>(line[i]);
        const Utf8Char glyph = decode_utf8(line, i);
        // A Shift-JIS character is one `?`: a terminal reading UTF-8 would
        // show its second byte, perhaps a letter, as if it stood alone.
        const bool shift_jis = glyph.length == 0 && c >= 0x80 && i + 1 < to &&
                               is_shift_jis_pair(c, static_cast<unsigned char>(line[i + 1]));
        const std::size_t bytes = shift_jis ? 2 : glyph.length == 0 ? 1 : glyph.length;
        const std::size_t columns = glyph.length == 0 ? 1 : display_width(glyph.code);
        const bool control = (c < 0x20 && c != '\t') || c == 0x7F;
        if (control || shift_jis) shown += '?';
        else shown.append(line.substr(i, bytes));
        if (i + bytes <= at) caret.append(columns, c == '\t' ? '\t' : ' ');
        i += bytes;
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
