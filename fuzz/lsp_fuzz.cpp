// Arbitrary bytes to the language server: as a stream for the framing, and
// line by line as payloads for the request handling, after an editor has
// opened a song. Every message out must be a JSON-RPC object, and every
// passage handed to the player a real one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "lsp/framing.h"
#include "lsp/server.h"

namespace {

using namespace zirvon::lsp;

class Checker : public Outbox, public Playback, public Keyboard {
public:
    void send(const json& message) override {
        FUZZ_CHECK(message.is_object() && message.contains("jsonrpc"));
        // A response has an id, a notification a method, and the two
        // requests the server makes (asking for inlay hints again, and
        // keyboard entry's edit) both.
        FUZZ_CHECK(message.contains("id") || message.contains("method"));
        if (message.contains("id") && message.contains("method"))
            FUZZ_CHECK(message["method"] == "workspace/inlayHint/refresh" || message["method"] == "workspace/applyEdit");
        FUZZ_CHECK(!dump_message(message).empty());
    }
    // Keyboard entry opens this one; its keys are the stream's bytes.
    bool open(const std::string&, std::string&) override { return true; }
    void close() override {}
    std::string name() const override { return "fuzz"; }
    bool play(const PlayRequest& request, std::string&) override {
        FUZZ_CHECK(request.passage.start < request.passage.end);
        FUZZ_CHECK(request.passage.end <= request.snapshot->analysis.map().done_tick);
        return true;
    }
    void stop() override {}
    void edited(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Checker checker;
    Server server(checker, checker, &checker);
    server.handle(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{}})");
    server.handle(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":)"
                  R"({"uri":"file:///f.mml","languageId":"mml","version":1,"text":"1[C D] 2[E F]\n1[G] 2[A]\n"}}})");

    // The stream, in pieces whose size the first byte chooses.
    FrameReader reader;
    const std::size_t piece = size > 0 ? data[0] % 64 + 1 : 1;
    std::string skipped;
    for (std::size_t at = 0; at < size; at += piece) {
        reader.feed(bytes.substr(at, piece));
        while (auto payload = reader.next(skipped)) server.handle(*payload);
    }
    // Each line a payload.
    for (std::size_t at = 0; at < size;) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos) end = size;
        server.handle(bytes.substr(at, end - at));
        server.idle();
        at = end + 1;
    }
    // Then each three bytes a key, a millisecond apart, for the keyboard
    // entry those payloads may have started.
    for (std::size_t at = 0; at + 3 <= size; at += 3) {
        server.key(data + at, 3, at);
        if (const auto due = server.due(); due && *due <= at) server.tick(at);
    }
    server.tick(UINT64_MAX);
    return 0;
}
