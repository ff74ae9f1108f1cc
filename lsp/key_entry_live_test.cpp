// Entry from a keyboard through the real `zirvon --lsp`: a JACK MIDI output
// stands for the keyboard, a recorder for the preview's output, and the test
// plays the editor, answering the server's applyEdit requests and sending
// back the didChange an editor would.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lsp/framing.h"
#include "lsp/protocol.h"
#include "outputs/analysis.h"
#include "tests/jack_test_support.h"
#include "tests/test_support.h"

namespace zirvon::lsp {
namespace {

using namespace std::chrono_literals;
using midi::testing::Bytes;

/// The server over two pipes; what it says is kept in order.
class LspProcess {
public:
    explicit LspProcess(const std::string& err_path) {
        int to[2], from[2];
        if (pipe(to) != 0 || pipe(from) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(to[0], 0);
            dup2(from[1], 1);
            freopen(err_path.c_str(), "w", stderr);
            close(to[1]);
            close(from[0]);
            execl(ZIRVON_BINARY, ZIRVON_BINARY, "--lsp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(to[0]);
        close(from[1]);
        in_ = to[1];
        reader_ = std::thread([this, fd = from[0]] { read(fd); });
    }
    ~LspProcess() {
        if (in_ >= 0) close(in_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        if (reader_.joinable()) reader_.join();
    }

    void send(const json& message) {
        const std::string bytes = frame(message.dump());
        EXPECT_EQ(write(in_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    /// The first message not taken yet for which `wanted` holds; null after 20 s.
    json take(const std::function<bool(const json&)>& wanted) {
        std::unique_lock lock(mutex_);
        for (;;) {
            for (auto it = messages_.begin(); it != messages_.end(); ++it) {
                if (!wanted(*it)) continue;
                json found = std::move(*it);
                messages_.erase(it);
                return found;
            }
            if (!arrived_.wait_for(lock, 20s, [&, n = messages_.size()] { return messages_.size() != n; })) return nullptr;
        }
    }
    json take_method(const std::string& method) {
        return take([&](const json& m) { return m.value("method", "") == method; });
    }
    json response(int id) {
        return take([&](const json& m) { return m.contains("id") && m["id"] == id && !m.contains("method"); });
    }

private:
    void read(int fd) {
        FrameReader reader;
        std::string skipped;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
            reader.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
            while (auto payload = reader.next(skipped)) {
                std::lock_guard lock(mutex_);
                messages_.push_back(json::parse(*payload));
                arrived_.notify_all();
            }
        }
        close(fd);
    }

    pid_t pid_ = -1;
    int in_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<json> messages_;
};

/// `text` with the one edit of an applyEdit request made, as the editor
/// would; the edit's place and text go to `at` and `inserted`.
std::string applied(const std::string& text, const json& request, json& at, std::string& inserted) {
    const json& edit = request["params"]["edit"]["documentChanges"][0]["edits"][0];
    at = edit["range"]["start"];
    inserted = edit["newText"].get<std::string>();
    EXPECT_EQ(at["line"], 0);  // the song is one line of ASCII: characters are bytes
    return text.substr(0, at["character"].get<std::size_t>()) + inserted + text.substr(at["character"].get<std::size_t>());
}

TEST(KeyEntryLive, KeysBecomeNotesAtThePlaceAndSoundWhileHeld) {
    ZIRVON_REQUIRE_JACK();
    midi::testing::MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    midi::testing::MidiKeyboard keyboard;
    ASSERT_TRUE(keyboard.ok()) << keyboard.error();
    testing_support::TempDir dir;
    LspProcess server((dir / "err").string());
    const std::string uri = "file://" + (dir / "song.mml").string();
    std::string text = "1[O4 L8 C ]\n";
    int version = 1;
    server.send({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"},
                 {"params", {{"initializationOptions", {{"port", recorder.port_name()}}}}}});
    ASSERT_TRUE(server.response(1).contains("result"));
    server.send({{"jsonrpc", "2.0"}, {"method", "textDocument/didOpen"},
                 {"params", {{"textDocument", {{"uri", uri}, {"languageId", "mml"}, {"version", version}, {"text", text}}}}}});
    const auto entry = [&](int id, json argument) {
        argument["uri"] = uri;
        server.send({{"jsonrpc", "2.0"}, {"id", id}, {"method", "workspace/executeCommand"},
                     {"params", {{"command", "zirvon.entry"}, {"arguments", {argument}}}}});
        return server.response(id);
    };
    const json started = entry(2, {{"action", "start"}, {"position", {{"line", 0}, {"character", 10}}},
                                   {"port", keyboard.port_name()}});
    ASSERT_TRUE(started.contains("result")) << started.dump() << testing_support::read_bytes(dir / "err");
    EXPECT_EQ(started["result"]["port"], keyboard.port_name());
    EXPECT_EQ(server.take_method("zirvon/entry")["params"]["active"], true);

    // Each row: the keys pressed together, the length chosen before, what is
    // inserted and where (the place moves on after each).
    struct Row {
        std::vector<int> keys;
        const char* length;  ///< null: as before
        std::string text;
        int character;
    };
    const std::vector<Row> rows{
        {{64}, nullptr, "E", 10},
        {{67, 60}, nullptr, "C", 11},  // pressed together: the lowest
        {{84}, "16", ">>C16", 12},
        {{21}, nullptr, "R16", 17},    // the rest key
        {{59}, "8", "O3B", 20},  // three octaves down: `O3` is shorter
    };
    int id = 3;
    for (const Row& row : rows) {
        if (row.length) {
            ASSERT_TRUE(entry(id++, {{"action", "length"}, {"length", row.length}}).contains("result"));
        }
        const std::size_t heard = recorder.received().size();
        for (const int key : row.keys) keyboard.send({0x90, static_cast<unsigned char>(key), 100});
        const json request = server.take_method("workspace/applyEdit");
        ASSERT_FALSE(request.is_null()) << "no edit for key " << row.keys[0];
        json at;
        std::string inserted;
        text = applied(text, request, at, inserted);
        EXPECT_EQ(inserted, row.text);
        EXPECT_EQ(at["character"], row.character) << row.text;
        server.send({{"jsonrpc", "2.0"}, {"id", request["id"]}, {"result", {{"applied", true}}}});
        server.send({{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"},
                     {"params", {{"textDocument", {{"uri", uri}, {"version", ++version}}},
                                 {"contentChanges", {{{"range", {{"start", at}, {"end", at}}}, {"text", inserted}}}}}}});
        for (const int key : row.keys) keyboard.send({0x80, static_cast<unsigned char>(key), 0});
        // The keys sound on the track's channel while held; the rest key is silent.
        std::vector<Bytes> wanted;
        for (const int key : row.keys) wanted.push_back({0x91, static_cast<unsigned char>(key), 100});
        for (const int key : row.keys) wanted.push_back({0x81, static_cast<unsigned char>(key), 0});
        if (row.keys[0] == 21) wanted.clear();
        recorder.wait_for(heard + wanted.size(), 5s);
        std::vector<Bytes> got = midi::testing::bytes_of(recorder.received(), heard);
        std::erase_if(got, [](const Bytes& b) { return (b[0] & 0xE0) != 0x80; });
        EXPECT_EQ(got, wanted) << row.text << ": " << midi::testing::describe(recorder.received());
    }
    EXPECT_EQ(text, "1[O4 L8 C EC>>C16R16O3B]\n");
    // What was entered compiles to the keys pressed and the lengths chosen.
    const SourceAnalysis a = analyze_source(text, "song.mml");
    std::vector<std::pair<int, int>> events;
    for (const TrackEvent& e : a.song.tracks[1].events()) {
        if (e.note < SyncMark) events.emplace_back(e.gate ? e.note + kPitchToMidi : 0, e.length);
    }
    EXPECT_EQ(events, (std::vector<std::pair<int, int>>{{60, 12}, {64, 12}, {60, 12}, {84, 6}, {0, 6}, {59, 12}}));
    EXPECT_TRUE(a.ok());

    const json stopped = entry(id++, {{"action", "stop"}});
    EXPECT_EQ(stopped["result"]["active"], false);
    server.send({{"jsonrpc", "2.0"}, {"id", 99}, {"method", "shutdown"}});
    server.response(99);
    server.send({{"jsonrpc", "2.0"}, {"method", "exit"}});
}

}  // namespace
}  // namespace zirvon::lsp
