// The pieces of LSP's JSON that every handler shares: positions and ranges,
// the error codes, and reading JSON that may hold bytes that are not UTF-8.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

#include "lsp/line_index.h"

namespace zirvon::lsp {

using nlohmann::json;

/// JSON-RPC's and LSP's error codes.
enum ErrorCode : int {
    kParseError = -32700,
    kInvalidRequest = -32600,
    kMethodNotFound = -32601,
    kInvalidParams = -32602,
    kInternalError = -32603,
    kServerNotInitialized = -32002,
    kRequestFailed = -32803,
};

inline json to_json(Position p) { return {{"line", p.line}, {"character", p.character}}; }
inline json range_json(Position start, Position end) { return {{"start", to_json(start)}, {"end", to_json(end)}}; }

/// A whole number of a message; throws json's type_error for anything else,
/// a fraction or a number too large for 64 bits among them.
std::int64_t whole_number(const json& value);

/// A position from {line, character}; throws json's type_error when it is
/// not one (the handlers turn that into an error response).
Position position_from(const json& value);

/// The message as JSON. Some editors send a document's bytes as they are,
/// whether UTF-8 or not; such bytes come back out of the strings exactly.
/// Nothing (a discarded value) when it is not JSON at all.
json parse_message(std::string_view payload);

/// The JSON text of a message; bytes that are not UTF-8 in its strings
/// become U+FFFD, so that writing never fails.
std::string dump_message(const json& message);

}  // namespace zirvon::lsp
