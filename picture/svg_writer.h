// Writing an SVG document: markup, numbers, note names and times, and text
// from outside escaped, handed on in pieces as it grows.
#pragma once

#include <array>
#include <charconv>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "picture/xml_text.h"

namespace zirvon::picture {

/// Takes the next piece of a document; false when it cannot.
using TextSink = std::function<bool(std::string_view)>;

/// A note's name: C4 is MIDI note 60.
struct NoteName {
    int midi;
};

/// "m:ss.cc" of a passage tick: one tick is two hundredths of a second.
struct ExactTime {
    std::uint64_t tick;
};

/// Appends markup and numbers; text from outside goes through text().
/// Hands the document to its sink in pieces of about kPiece bytes, so a
/// large one is never held whole.
class SvgWriter {
  public:
    static constexpr std::size_t kPiece = 64 * 1024;

    explicit SvgWriter(const TextSink& sink) : sink_(sink) { out_.reserve(kPiece + 4096); }

    template <std::size_t N>
    SvgWriter& operator<<(const char (&literal)[N]) {
        out_.append(literal, N - 1);
        return *this;
    }
    SvgWriter& operator<<(std::string_view s) {
        out_ += s;
        return *this;
    }
    SvgWriter& operator<<(char c) {
        out_ += c;
        return *this;
    }
    template <std::integral T>
    SvgWriter& operator<<(T value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out_.append(digits, end);
        return *this;
    }
    SvgWriter& operator<<(NoteName name) {
        static constexpr std::array<std::string_view, 12> kNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                                 "F#", "G",  "G#", "A",  "A#", "B"};
        return *this << kNames[static_cast<std::size_t>(name.midi % 12)] << name.midi / 12 - 1;
    }
    SvgWriter& operator<<(ExactTime time) {
        const std::uint64_t hundredths = time.tick * 2;
        const std::uint64_t seconds = hundredths / 100 % 60;
        const std::uint64_t cs = hundredths % 100;
        return *this << hundredths / 6000 << (seconds < 10 ? ":0" : ":") << seconds
                     << (cs < 10 ? ".0" : ".") << cs;
    }
    /// A pixel's centre: crisp one-pixel lines.
    SvgWriter& half(int pixel) { return *this << pixel << ".5"; }
    SvgWriter& text(std::string_view s) {
        append_xml_text(out_, s);
        return *this;
    }
    /// Passes on what is written once it makes a piece, or everything when
    /// `all`; false from the first piece the sink refused.
    bool flush(bool all = false) {
        if (ok_ && (all || out_.size() >= kPiece) && !out_.empty()) ok_ = sink_(out_);
        if (all || out_.size() >= kPiece) out_.clear();
        return ok_;
    }

  private:
    const TextSink& sink_;
    std::string out_;
    bool ok_ = true;
};

}  // namespace zirvon::picture
