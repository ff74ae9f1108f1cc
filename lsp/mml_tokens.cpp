#include "lsp/mml_tokens.h"

#include <cctype>

namespace zirvon::lsp {
namespace {

bool continues_command(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '#' || c == '-' ||
           c == '.' || c == '%';
}

Token::Kind kind_of(char upper) {
    if (upper == 'R') return Token::Kind::rest;
    if (upper == 'L' || upper == 'O' || upper == 'Q') return Token::Kind::setting;
    return Token::Kind::note;
}

}  // namespace

std::vector<Token> line_tokens(std::string_view line) {
    std::vector<Token> tokens;
    bool in_block = false;
    int track = -1;
    int digits_from = 0;  ///< column of the first digit since the last block, 0: none
    std::size_t value = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        const int column = static_cast<int>(i) + 1;
        if (c == ';') break;
        if (std::isdigit(static_cast<unsigned char>(c)) && !in_block) {
            if (digits_from == 0) digits_from = column;
            value = value > 100 ? value : value * 10 + static_cast<std::size_t>(c - '0');
            continue;
        }
        if (c == '[') {
            // No digits at all is track 0, as the compiler takes it.
            track = value <= 9 ? static_cast<int>(value) : -1;
            tokens.push_back({Token::Kind::open, '[', digits_from != 0 ? digits_from : column,
                              column + 1, track});
            in_block = true;
            digits_from = 0;
            value = 0;
            continue;
        }
        if (c == ']') {
            if (in_block) tokens.push_back({Token::Kind::close, ']', column, column + 1, track});
            in_block = false;
            digits_from = 0;
            value = 0;
            continue;
        }
        if (!in_block) {
            // Text between blocks is a comment; a letter there breaks a
            // run of digits only for the reader, not for the compiler.
            continue;
        }
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (c == '<' || c == '>' || c == '&') {
            tokens.push_back(
                {c == '&' ? Token::Kind::tie : Token::Kind::octave, c, column, column + 1, track});
        } else if (std::string_view("CDEFGABRLOQ").find(upper) != std::string_view::npos &&
                   c < 0x7F) {
            std::size_t end = i + 1;
            while (end < line.size() && continues_command(line[end])) ++end;
            tokens.push_back({kind_of(upper), upper, column, static_cast<int>(end) + 1, track});
            i = end - 1;
        }
    }
    return tokens;
}

bool read_note_text(std::string_view text, NoteText& note) {
    static constexpr int kSemitones[7] = {9, 11, 0, 2, 4, 5, 7};
    note = {};
    if (text.empty()) return false;
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (upper != 'R' && (upper < 'A' || upper > 'G')) return false;
    note.letter = upper;
    note.lower = text[0] != upper;
    note.semitones = upper == 'R' ? 0 : kSemitones[upper - 'A'];
    std::size_t digits_begin = std::string_view::npos;
    std::size_t digits_end = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            // Digits apart from each other make one number: not rewritten.
            if (digits_begin != std::string_view::npos && digits_end != i) return false;
            if (digits_begin == std::string_view::npos) digits_begin = i;
            digits_end = i + 1;
        } else if (c == '+' || c == '#' || c == '-') {
            note.semitones += c == '-' ? -1 : 1;
            note.sharp_sign = note.sharp_sign || c == '#';
        } else if (c == '.') {
            ++note.dots;
        } else if (c == '%') {
            note.raw = true;
        } else {
            return false;
        }
    }
    if (digits_begin != std::string_view::npos)
        note.digits = text.substr(digits_begin, digits_end - digits_begin);
    return true;
}

}  // namespace zirvon::lsp
