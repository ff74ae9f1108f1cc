#include "picture/xml_text.h"

#include <gtest/gtest.h>

namespace zirvon::picture {
namespace {

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    const std::string r = "\xEF\xBF\xBD";  // U+FFFD
    const struct {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"plain", "song.MML", "song.MML"},
        {"markup", "a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d&#39;"},
        {"two, three and four bytes", "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xB5",
         "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xB5"},
        {"control bytes, tab and line ends",
         std::string("a\x01\t\r\n\x7F", 6) + std::string(1, '\0') + "b",
         "a" + r + r + r + r + r + r + "b"},
        {"C1 control", "\xC2\x85", r},
        {"Shift_JIS bytes", "\x81\x41", r + "A"},
        {"lone continuation byte", "a\x80z", "a" + r + "z"},
        {"cut at the end", "a\xE6\x97", "a" + r + r},
        {"overlong", "\xC0\xAF", r + r},
        {"surrogate", "\xED\xA0\x80", r + r + r},
        {"past U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r},
        {"non-character", "\xEF\xBF\xBE", r},
        {"U+FFFD itself", r, r},
    };
    for (const auto& c : cases) EXPECT_EQ(xml_text(c.in), c.out) << c.name;
}

}  // namespace
}  // namespace zirvon::picture
