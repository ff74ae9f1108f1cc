// Text for an XML document: escaped markup characters, and U+FFFD for
// whatever XML cannot hold (control characters, bytes that are not UTF-8).
#pragma once

#include <string>
#include <string_view>

namespace zirvon::picture {

/// Appends `text` to `out` as XML character data, fit for element content
/// and for attribute values in either kind of quotes: `&`, `<`, `>`, `"`
/// and `'` become references. Valid UTF-8 passes unchanged; each byte that
/// does not belong to a well-formed UTF-8 sequence, each control character
/// (C0, DEL and C1, tab and line ends included) and the non-characters
/// U+FFFE and U+FFFF become U+FFFD.
void append_xml_text(std::string& out, std::string_view text);

/// The same, as a new string.
std::string xml_text(std::string_view text);

}  // namespace zirvon::picture
