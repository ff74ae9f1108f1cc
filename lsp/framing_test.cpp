#include "lsp/framing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zirvon::lsp {
namespace {

struct Read {
    std::vector<std::string> payloads;
    bool skipped = false;
    std::size_t pending = 0;
};

/// Feeds `stream` in pieces of `piece` bytes, taking payloads as they come.
Read read_all(const std::string& stream, std::size_t piece) {
    FrameReader reader;
    Read read;
    std::string skipped;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        reader.feed(std::string_view(stream).substr(at, piece));
        while (auto payload = reader.next(skipped)) {
            read.skipped = read.skipped || !skipped.empty();
            read.payloads.push_back(*payload);
        }
        read.skipped = read.skipped || !skipped.empty();
    }
    read.pending = reader.pending();
    return read;
}

TEST(Framing, CutsAStreamIntoPayloadsWhateverThePiecesAndSkipsWhatIsNoMessage) {
    struct Case {
        const char* name;
        std::string stream;
        std::vector<std::string> payloads;
        bool skipped;
        bool truncated;
    };
    const std::string a = frame("{\"a\":1}");
    const std::string b = frame("{\"b\":\"\xC3\xA9\"}");
    const std::vector<Case> cases{
        {"two frames", a + b, {"{\"a\":1}", "{\"b\":\"\xC3\xA9\"}"}, false, false},
        {"an empty payload", frame(""), {""}, false, false},
        {"fields in any case, other fields and blanks",
         "content-type: application/vscode-jsonrpc; charset=utf-8\r\nCONTENT-LENGTH:  3 \r\n\r\n[1]" + a,
         {"[1]", "{\"a\":1}"}, false, false},
        {"garbage before a frame", "hello\r\n\r\nworld" + a, {"{\"a\":1}"}, true, false},
        {"a header without a length", "Content-Type: x\r\n\r\n" + a, {"{\"a\":1}"}, true, false},
        {"a length that is no number", "Content-Length: 3x\r\n\r\nabc" + a, {"{\"a\":1}"}, true, false},
        {"a length too large to take", "Content-Length: 999999999999\r\n\r\n" + a, {"{\"a\":1}"}, true, false},
        {"garbage with no header end", std::string(10000, 'x') + a, {"{\"a\":1}"}, true, false},
        {"a frame cut short", a + "Content-Length: 10\r\n\r\n{\"", {"{\"a\":1}"}, false, true},
        {"a header cut short", a + "Content-Len", {"{\"a\":1}"}, false, true},
    };
    for (const Case& c : cases) {
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, c.stream.size()}) {
            const Read read = read_all(c.stream, piece);
            EXPECT_EQ(read.payloads, c.payloads) << c.name << ", pieces of " << piece;
            EXPECT_EQ(read.skipped, c.skipped) << c.name << ", pieces of " << piece;
            EXPECT_EQ(read.pending > 0, c.truncated) << c.name << ", pieces of " << piece;
        }
    }
}

}  // namespace
}  // namespace zirvon::lsp
