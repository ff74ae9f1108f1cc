// Keyboard entry in process: the keys, the clock and the editor's answers
// given by hand, in the orders an editor may give them.
#include "lsp/key_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lsp/server.h"

namespace zirvon::lsp {
namespace {

class Editor : public Outbox, public Playback, public Keyboard {
public:
    void send(const json& message) override { sent.push_back(message); }
    bool play(const PlayRequest&, std::string&) override { return true; }
    void stop() override {}
    void edited(const std::string&) override {}
    bool open_output(const std::optional<std::string>&, std::string&) override { return true; }
    void send(const play::MidiMessage& m) override { heard.push_back({m.status, m.data1, m.data2}); }
    bool open(const std::string&, std::string&) override { return true; }
    void close() override {}
    std::string name() const override { return "keys:out"; }

    /// The edit requests sent since the last call, as "character:text".
    std::vector<std::string> edits() {
        std::vector<std::string> out;
        for (const json& m : sent) {
            if (m.value("method", "") != "workspace/applyEdit") continue;
            const json& e = m["params"]["edit"]["documentChanges"][0]["edits"][0];
            out.push_back(std::to_string(e["range"]["start"]["character"].get<int>()) + ":" + e["newText"].get<std::string>());
            ids.push_back(m["id"]);
        }
        sent.clear();
        return out;
    }

    std::vector<json> sent;
    std::vector<std::vector<int>> heard;
    std::vector<json> ids;
};

const std::string kUri = "file:///song.mml";

struct Harness {
    Editor editor;
    Server server{editor, editor, &editor};
    int version = 1;

    void handle(json message) {
        message["jsonrpc"] = "2.0";
        server.handle(message.dump());
    }
    /// The editor inserts `text` at `character` of the first line.
    void insert(int character, const std::string& text) {
        const json at = {{"line", 0}, {"character", character}};
        handle({{"method", "textDocument/didChange"},
                {"params", {{"textDocument", {{"uri", kUri}, {"version", ++version}}},
                            {"contentChanges", {{{"range", {{"start", at}, {"end", at}}}, {"text", text}}}}}}});
    }
    /// Opens `text` and starts entry at `character` of its first line.
    void start(const std::string& text, int character) {
        handle({{"id", 1}, {"method", "initialize"}, {"params", json::object()}});
        handle({{"method", "textDocument/didOpen"},
                {"params", {{"textDocument", {{"uri", kUri}, {"languageId", "mml"}, {"version", 1}, {"text", text}}}}}});
        handle({{"id", 2}, {"method", "workspace/executeCommand"},
                {"params", {{"command", "zirvon.entry"},
                            {"arguments", {{{"action", "start"}, {"uri", kUri}, {"position", {{"line", 0}, {"character", character}}}}}}}}});
    }
    void answer(bool applied) { handle({{"id", editor.ids.back()}, {"result", {{"applied", applied}}}}); }
    void press(int key, std::uint64_t ms) {
        const std::uint8_t on[3] = {0x90, static_cast<std::uint8_t>(key), 90};
        server.key(on, 3, ms);
    }
};

TEST(KeyEntry, FollowsTheEditorsChangesAndAnswersInEitherOrder) {
    Harness h;
    h.start("1[O4 ]", 5);
    EXPECT_EQ(h.editor.sent.back()["result"]["port"], "keys:out");
    h.editor.sent.clear();

    // Two keys within the window are one: nothing before it ends.
    h.press(67, 0);
    h.press(60, 30);
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{});
    EXPECT_EQ(h.server.due(), std::optional<std::uint64_t>(50));
    h.server.tick(50);
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{"5:C"});
    EXPECT_EQ(h.editor.heard, (std::vector<std::vector<int>>{{0x91, 67, 90}, {0x91, 60, 90}}));
    // The next key waits for the first edit, answered then seen.
    h.press(62, 100);
    h.server.tick(150);
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{});
    h.answer(true);
    h.insert(5, "C");
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{"6:D"});
    // Seen, then answered; then the user types before the place, which moves it.
    h.insert(6, "D");
    h.answer(true);
    h.insert(2, "L8 ");
    h.press(64, 200);
    h.server.tick(250);
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{"10:E"});
    // Refused because the user typed meanwhile: entered again after that change.
    h.insert(2, "Q7 ");
    h.answer(false);
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{"13:E"});
    h.answer(true);
    h.insert(13, "E");
    // A key MML cannot write is said, and nothing is sent.
    h.editor.sent.clear();
    h.press(12, 300);
    h.server.tick(350);
    ASSERT_EQ(h.editor.sent.size(), 1u);
    EXPECT_EQ(h.editor.sent[0]["params"]["message"],
              "zirvon: MIDI note 12 is outside what MML writes, MIDI 24 (C in O1) to 127");
}

// An editor may answer applied: true to an edit of a text the user has
// changed since, and drop it: the didChange then lacks the text.
TEST(KeyEntry, AnEditSaidToBeMadeButMissingFromTheTextIsEnteredAgainThenSaid) {
    Harness h;
    h.start("1[O4 C]", 5);
    // An editor that compares texts reports the C put before a C one later:
    // the text holds it all the same, and the place goes after it.
    h.press(60, 0);
    h.server.tick(50);
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{"5:C"});
    h.insert(6, "C");
    h.answer(true);
    h.press(62, 100);
    h.server.tick(150);
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{"6:D"});
    // Answered, then a didChange of the user's alone; then the other order.
    h.answer(true);
    h.insert(2, " ");
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{"7:D"});
    h.insert(0, " ");
    h.answer(true);
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{"8:D"});
    // The third time it is said, naming the key, and the next key is entered.
    h.press(64, 200);
    h.answer(true);
    h.insert(8, "R");
    ASSERT_EQ(h.editor.sent.size(), 1u);
    EXPECT_EQ(h.editor.sent[0]["params"]["message"],
              "zirvon: MIDI note 62 (`D`) was not entered: the editor said it made the edit, but its "
              "text does not hold it");
    h.editor.sent.clear();
    h.server.tick(250);
    EXPECT_EQ(h.editor.edits(), std::vector<std::string>{"9:E"});
}

}  // namespace
}  // namespace zirvon::lsp
