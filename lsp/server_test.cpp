// The server in process: requests and the responses and notifications they
// give, with a player that only records what it is asked to play.
#include "lsp/server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lsp/features.h"
#include "lsp/framing.h"
#include "play/passage_options.h"
#include "tests/test_support.h"

namespace zirvon::lsp {
namespace {

class Recorder : public Outbox, public Playback {
public:
    void send(const json& message) override { sent.push_back(message); }
    bool play(const PlayRequest& request, std::string&) override {
        played.push_back(request.passage);
        snapshot = request.snapshot;
        return true;
    }
    void stop() override { ++stops; }
    void edited(const std::string& uri) override { edits.push_back(uri); }

    std::vector<json> sent;
    std::vector<play::Passage> played;
    std::shared_ptr<const Snapshot> snapshot;  ///< of the last play
    int stops = 0;
    std::vector<std::string> edits;
};

const std::string kUri = "file:///songs/song%20one.mml";

struct Harness {
    Recorder recorder;
    Server server{recorder, recorder};
    int next_id = 1;

    /// The response to a request (the notifications before it are kept).
    json call(const std::string& method, json params = json::object()) {
        const int id = next_id++;
        server.handle(dump_message({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}));
        for (const json& m : recorder.sent) {
            if (m.contains("id") && m["id"] == id) return m;
        }
        return nullptr;
    }
    void notify(const std::string& method, json params) {
        server.handle(dump_message({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}}));
    }
    /// The diagnostics published once the server is idle.
    json diagnostics() {
        recorder.sent.clear();
        server.idle();
        return recorder.sent.empty() ? json(nullptr) : recorder.sent.back()["params"]["diagnostics"];
    }
    void open(const std::string& text) {
        call("initialize", {{"initializationOptions", {{"port", 3}}}});
        notify("textDocument/didOpen", {{"textDocument", {{"uri", kUri}, {"languageId", "mml"}, {"version", 1}, {"text", text}}}});
    }
    json play(json argument) {
        argument["uri"] = kUri;
        return call("workspace/executeCommand", {{"command", "zirvon.play"}, {"arguments", {argument}}});
    }
};

TEST(LspServer, AnswersEveryRequestAsLspAsksEvenBadOnes) {
    struct Case {
        const char* name;
        std::string payload;
        int error;  ///< the error code, or 0 for a result
    };
    const auto request = [](const char* method, json params = json::object()) {
        return json{{"jsonrpc", "2.0"}, {"id", 7}, {"method", method}, {"params", params}}.dump();
    };
    const json doc = {{"textDocument", {{"uri", kUri}}}, {"position", {{"line", 0}, {"character", 0}}}};
    const std::vector<Case> before{
        {"a request before initialize", request("textDocument/hover", doc), kServerNotInitialized},
    };
    const std::vector<Case> after{
        {"not JSON", "{\"id\": 7, \"method\":", kParseError},
        {"not an object", "[1, 2]", kInvalidRequest},
        {"an id that is an object", R"({"id": {}, "method": "shutdown"})", kInvalidRequest},
        {"an unknown method", request("textDocument/formatting", doc), kMethodNotFound},
        {"a document that is not open", request("textDocument/hover", doc), kInvalidParams},
        {"params of the wrong shape", request("textDocument/hover", {{"textDocument", 5}}), kInvalidParams},
        {"a second initialize", request("initialize"), kInvalidRequest},
        {"an unknown command", request("workspace/executeCommand", {{"command", "x"}}), kInvalidParams},
        {"play without its argument", request("workspace/executeCommand", {{"command", "zirvon.play"}}), kInvalidParams},
        {"shutdown", request("shutdown"), 0},
        {"a request after shutdown", request("textDocument/hover", doc), kInvalidRequest},
    };
    Harness h;
    const auto check = [&](const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            h.recorder.sent.clear();
            h.server.handle(c.payload);
            ASSERT_EQ(h.recorder.sent.size(), 1u) << c.name;
            const json& reply = h.recorder.sent[0];
            if (c.error == 0) {
                EXPECT_TRUE(reply.contains("result")) << c.name << ": " << reply;
            } else {
                EXPECT_EQ(reply["error"]["code"], c.error) << c.name << ": " << reply;
            }
        }
    };
    check(before);
    EXPECT_TRUE(h.call("initialize")["result"]["capabilities"]["hoverProvider"]);
    check(after);
    // Notifications are never answered, not even bad ones.
    h.recorder.sent.clear();
    h.server.handle(R"({"method": "textDocument/didChange", "params": {"textDocument": {"uri": "x"}}})");
    h.server.handle(R"({"method": "$/cancelRequest", "params": {"id": 7}})");
    EXPECT_TRUE(h.recorder.sent.empty());
    EXPECT_FALSE(h.server.exited());
    h.server.handle(R"({"jsonrpc": "2.0", "method": "exit"})");
    EXPECT_TRUE(h.server.exited());
    EXPECT_EQ(h.server.exit_status(), 0);
}

TEST(LspServer, EditsInPiecesGiveTheDiagnosticsOfTheWholeText) {
    Harness h;
    h.open("1[C D]\n");
    EXPECT_EQ(h.diagnostics(), json::array());
    // "1[C D]" becomes "1[C é V D]": é and V are unknown, in UTF-16 columns.
    const auto insert = [&](int character, const std::string& text) {
        const json at = {{"line", 0}, {"character", character}};
        h.notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", 2}}},
                                            {"contentChanges", {{{"range", {{"start", at}, {"end", at}}}, {"text", text}}}}});
    };
    insert(3, " \xC3\xA9");
    insert(5, " V");
    const json d = h.diagnostics();
    ASSERT_EQ(d.size(), 2u) << d;
    EXPECT_EQ(d[0]["code"], "unknown-character");
    EXPECT_EQ(d[0]["range"], range_json({0, 4}, {0, 5}));
    EXPECT_EQ(d[1]["message"], "unknown command 'V' is ignored");
    EXPECT_EQ(d[1]["range"], range_json({0, 6}, {0, 7}));
    EXPECT_EQ(d[1]["severity"], 2);
    EXPECT_EQ(d[1]["source"], "zirvon");
    // A whole new text; then one with nothing to hear: at line 0, character 0.
    h.notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}}}, {"contentChanges", {{{"text", "\n\n12[C]"}}}}});
    EXPECT_EQ(h.diagnostics()[0]["range"], range_json({2, 2}, {2, 3}));
    h.notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}}}, {"contentChanges", {{{"text", ""}}}}});
    EXPECT_EQ(h.diagnostics()[0]["range"], range_json({0, 0}, {0, 0}));
    // Closing clears them.
    h.notify("textDocument/didClose", {{"textDocument", {{"uri", kUri}}}});
    EXPECT_EQ(h.recorder.sent.back()["params"]["diagnostics"], json::array());
}

TEST(LspServer, PlayingFromAPositionIsPlayingFromItsLineAndColumnOnTheCommandLine) {
    // Each example, at every note, rest and ']' of tracks 1 to 8, as `from`
    // and as `to`; the examples are ASCII, so a column is a character + 1.
    for (const char* example : {"canon.mml", "bells.mml", "scale.mml"}) {
        Harness h;
        h.open(testing_support::read_bytes(testing_support::source_dir() / "examples" / example));
        const std::shared_ptr<const Snapshot> s = [&] {
            Document d(kUri, testing_support::read_bytes(testing_support::source_dir() / "examples" / example));
            return d.snapshot();
        }();
        for (const PlacedEvent& e : s->events) {
            if (e.track < kFirstPlayedTrack || e.track > kLastPlayedTrack) continue;
            const std::string where = "line:" + std::to_string(e.place.line) + ":" + std::to_string(e.place.column + 1);
            const json position = {{"line", e.place.line - 1}, {"character", e.place.column}};
            for (const char* option : {"from", "to"}) {
                PassageOptions options;
                play::Bound bound;
                std::string error;
                ASSERT_TRUE(parse_bound(option, where, bound, error));
                (std::string(option) == "from" ? options.from : options.to) = bound;
                const auto wanted = play::resolve_passage(options.request(), s->analysis.song, s->analysis.map(), error);
                h.recorder.played.clear();
                const json reply = h.play({{option, position}});
                if (!wanted) {
                    EXPECT_EQ(reply["error"]["message"], error) << example << " " << option << "=" << where;
                    continue;
                }
                ASSERT_EQ(h.recorder.played.size(), 1u) << example << " " << option << "=" << where << ": " << reply;
                EXPECT_EQ(h.recorder.played[0].start, wanted->start) << example << " " << option << "=" << where;
                EXPECT_EQ(h.recorder.played[0].end, wanted->end) << example << " " << option << "=" << where;
            }
        }
    }
}

TEST(LspServer, PlayTakesPositionsInUtf16BlocksTimesAndTracksWithTheCommandLinesMessages) {
    // "é😀 1[C D] 2[E F]": C is at byte column 10 and character 6, D at 12 and 8.
    Harness h;
    h.open("\xC3\xA9\xF0\x9F\x98\x80 1[C D] 2[E F]\n1[G] 2[A]\n");
    struct Case {
        json argument;
        std::uint64_t start, end;
        std::string error;
    };
    const json d = {{"line", 0}, {"character", 8}};
    const std::vector<Case> cases{
        {{{"from", d}}, 25, 78, ""},
        {{{"from", {{"line", 0}, {"character", 7}}}}, 25, 78, ""},  // the blank before D
        {{{"to", d}}, 0, 50, ""},
        {{{"until", {{"line", 0}, {"character", 9}}}}, 0, 50, ""},  // a selection that ends with D
        {{{"until", {{"line", 1}, {"character", 0}}}}, 0, 51, ""},  // the whole first line
        {{{"until", {{"line", 0}, {"character", 3}}}}, 0, 0,
         "no note, rest or ']' of tracks 1 to 8 stands before line 1, character 4"},
        {{{"to", d}, {"until", d}}, 0, 0,
         "'to' and 'until' do not go together: 'until' ends a selection, 'to' plays to a note"},
        {{{"from", {{"line", 1}}}, {"to", {{"line", 1}}}}, 51, 78, ""},
        {{{"from", 2}, {"loop", true}}, 51, 78, ""},
        {{{"from", "0:00.50"}, {"to", "0:01.00"}}, 25, 50, ""},
        {{{"from", 3}}, 0, 0, "/from=3: there is no block 3; the song has 2 blocks"},
        {{{"from", {{"line", 5}, {"character", 0}}}}, 0, 0,
         "/from=line:3:1: no note, rest or ']' of tracks 1 to 8 stands at line 3, column 1 or after it"},
        {{{"solo", {1, 9}}}, 0, 0, "/solo=1,9: track 9 is not played; only tracks 1 to 8 are"},
        {{{"solo", {1}}, {"mute", {2}}}, 0, 0,
         "/solo and /mute do not go together: /solo plays only the tracks it lists, /mute all others"},
        {{{"from", true}}, 0, 0, "'from' is a position {line, character}, a block number or a time"},
        // A number too large for 64 bits reads as a fraction: refused, not converted.
        {{{"from", {{"line", 1e300}, {"character", 0}}}}, 0, 0,
         "invalid params: [json.exception.type_error.302] a whole number was expected"},
    };
    for (const Case& c : cases) {
        h.recorder.played.clear();
        const json reply = h.play(c.argument);
        if (!c.error.empty()) {
            EXPECT_EQ(reply["error"]["message"], c.error) << c.argument;
            EXPECT_TRUE(h.recorder.played.empty()) << c.argument;
            continue;
        }
        ASSERT_EQ(h.recorder.played.size(), 1u) << c.argument << ": " << reply;
        EXPECT_EQ(h.recorder.played[0].start, c.start) << c.argument;
        EXPECT_EQ(h.recorder.played[0].end, c.end) << c.argument;
        EXPECT_EQ(reply["result"]["start"], c.start) << c.argument;
    }
    h.call("workspace/executeCommand", {{"command", "zirvon.stop"}});
    EXPECT_EQ(h.recorder.stops, 1);
    // The playhead names the version it plays, so a client drops it once
    // the text has moved on.
    EXPECT_EQ(playing_params(*h.recorder.snapshot, play::kAllPlayedTracks, 0)["version"], 1);
    h.notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", 7}}},
                                        {"contentChanges", {{{"text", "1[C]"}}}}});
    h.play(json::object());
    EXPECT_EQ(playing_params(*h.recorder.snapshot, play::kAllPlayedTracks, 0)["version"], 7);
    // An error no block can be given plays nothing, as on the command line.
    h.notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}}}, {"contentChanges", {{{"text", "12[C]"}}}}});
    EXPECT_EQ(h.recorder.edits, (std::vector<std::string>{kUri, kUri}));
    EXPECT_EQ(h.play(json::object())["error"]["message"],
              "1 error; nothing played: the error at line 1, column 3 lies in no block, so it may be in any");
}

// A composer listens to one bar while fixing another: the map of what
// compiled still gives the outline, lenses and hints, and a passage plays
// unless one of its blocks holds an error.
TEST(LspServer, ErrorsRefuseOnlyThePassagesWhoseBlocksHoldThem) {
    struct Case {
        std::string text;
        json argument;
        std::string error;  ///< after "1 error; nothing played: "; empty when it plays
    };
    const std::string slip = "1[C]\n1[O D]\n1[E]\n";  // every later note of track 1 is out of range
    const std::vector<Case> cases{
        {slip, {{"to", 1}}, ""},
        {slip, {{"from", 2}, {"to", 2}}, "block 2 holds the error at line 2, column 3"},
        {slip, {{"from", 3}}, "block 3 holds the error at line 2, column 3"},
        {"1[C]\n1[O D]\n1[O4 E]\n", {{"from", 3}}, ""},
        {"1[C] 12[D]\n1[E]\n", {{"from", 2}}, ""},
        {"1[C] 12[D]\n1[E]\n", {{"to", 1}}, "block 1 holds the error at line 1, column 8"},
        {"1[C]\n12[D]\n1[E]\n", {{"from", 2}}, "the error at line 2, column 3 lies in no block, so it may be in any"},
        {"1[C] 0[O D]\n", json::object(), ""},  // track 0 is never heard
    };
    for (const Case& c : cases) {
        Harness h;
        h.open(c.text);
        const json reply = h.play(c.argument);
        if (c.error.empty()) EXPECT_EQ(h.recorder.played.size(), 1u) << c.text << c.argument << reply;
        else EXPECT_EQ(reply["error"]["message"], "1 error; nothing played: " + c.error) << c.text << c.argument;
    }
    Harness h;
    h.open(slip);
    const json symbols = h.call("textDocument/documentSymbol", {{"textDocument", {{"uri", kUri}}}})["result"];
    EXPECT_EQ(symbols.size(), 3u);
    EXPECT_EQ(h.call("textDocument/codeLens", {{"textDocument", {{"uri", kUri}}}})["result"].size(), 3u);
    EXPECT_EQ(h.call("textDocument/inlayHint", {{"textDocument", {{"uri", kUri}}}})["result"].size(), 3u);
    const json hover = h.call("textDocument/hover",
                              {{"textDocument", {{"uri", kUri}}}, {"position", {{"line", 2}, {"character", 0}}}});
    EXPECT_EQ(hover["result"]["contents"]["value"], "**track 1** · block 3  \nthe block starts at 0:00.54 (tick 27)");
}

TEST(LspServer, HoverSymbolsAndLensesTellWhereEachPartIsHeard) {
    Harness h;
    h.open("; \xC3\xA9\n1[C8 R D%200] 2[E]\n1[G] 9[A]\n");
    const auto hover = [&](int line, int character) {
        const json r = h.call("textDocument/hover", {{"textDocument", {{"uri", kUri}}},
                                                     {"position", {{"line", line}, {"character", character}}}})["result"];
        return r.is_null() ? std::string() : r["contents"]["value"].get<std::string>();
    };
    EXPECT_EQ(hover(1, 2), "**C4** · MIDI 60 · track 1, event 0  \nlength 12 ticks, lasts 13 ticks · gate 10 ticks  \n"
                           "block 1 · first heard at 0:00.00 (tick 0)");
    EXPECT_EQ(hover(1, 5), "**rest** · track 1, event 1  \nlength 24 ticks, lasts 25 ticks  \nblock 1 · starts at 0:00.26 (tick 13)");
    EXPECT_EQ(hover(1, 7), "**D4** · MIDI 62 · track 1, event 2  \nlength 200 ticks, lasts 201 ticks · gate 175 ticks  \n"
                           "block 1 · first heard at 0:00.76 (tick 38)");
    EXPECT_EQ(hover(1, 9), hover(1, 7) + "  \n`%200` · a length in ticks, not a note length: 200 ticks, whatever `L` says");
    EXPECT_EQ(hover(1, 12), "**`]`** · track 1, event 3  \ntrack 1 waits here for the others; block 1 ends on 0:04.80 (tick 240)");
    EXPECT_EQ(hover(1, 15), "**track 2** · block 1  \nthe block starts at 0:00.00 (tick 0)");
    EXPECT_EQ(hover(2, 7), "**A4** · MIDI 69 · track 9, event 0  \nlength 24 ticks, lasts 25 ticks · gate 21 ticks  \n"
                           "track 9 is kept in the image but never played");
    EXPECT_EQ(hover(1, 14), hover(1, 15));  // the track number
    EXPECT_EQ(hover(1, 4), "");
    EXPECT_EQ(hover(0, 2), "");

    const json symbols = h.call("textDocument/documentSymbol", {{"textDocument", {{"uri", kUri}}}})["result"];
    ASSERT_EQ(symbols.size(), 2u);
    EXPECT_EQ(symbols[1]["name"], "Block 2 · 0:04.80");
    EXPECT_EQ(symbols[1]["range"], range_json({2, 0}, {2, 9}));
    const json lenses = h.call("textDocument/codeLens", {{"textDocument", {{"uri", kUri}}}})["result"];
    ASSERT_EQ(lenses.size(), 2u);
    EXPECT_EQ(lenses[0]["command"]["title"], "▶ Block 1");
    EXPECT_EQ(lenses[0]["command"]["arguments"][0], (json{{"uri", kUri}, {"from", 1}}));

    // The playhead: C sounds on ticks 0 to 9 (its gate), E on 0 to 20, the
    // rest nothing, D from 38; tracks left out are not shown.
    Document doc(kUri, "; \xC3\xA9\n1[C8 R D%200] 2[E]\n1[G] 9[A]\n");
    const auto s = doc.snapshot();
    const auto sounding = [&](std::uint64_t tick, play::TrackMask audible = play::kAllPlayedTracks) {
        std::vector<std::string> notes;
        const json playing = playing_params(*s, audible, tick);
        for (const json& n : playing["notes"]) {
            notes.push_back(std::to_string(n["track"].get<int>()) + "@" + std::to_string(n["line"].get<int>()) + ":" +
                            std::to_string(n["character"].get<int>()) + "-" + std::to_string(n["endCharacter"].get<int>()));
        }
        return notes;
    };
    using Notes = std::vector<std::string>;
    EXPECT_EQ(sounding(0), (Notes{"1@1:2-4", "2@1:16-17"}));
    EXPECT_EQ(sounding(9), (Notes{"1@1:2-4", "2@1:16-17"}));
    EXPECT_EQ(sounding(10), (Notes{"2@1:16-17"}));
    EXPECT_EQ(sounding(13, 1u << 1), (Notes{}));
    EXPECT_EQ(sounding(38), (Notes{"1@1:7-12"}));
    EXPECT_EQ(playing_params(*s, play::kAllPlayedTracks, 240)["block"], 2);
}

TEST(LspServer, SettingsTellWhatTheySetFromWhereAndBlocksWhenTheyStart) {
    Harness h;
    h.open("1[O5 L8 C Q4 D] 2[E]\n9[Q8 A] 1[G o3 F] 2[L3 E]\n3[C] [O2]\n");
    struct Case {
        int line, character;
        std::string hover;
    };
    const std::vector<Case> cases{
        {0, 2, "**`O5`** · track 1's octave: `C` is C5, MIDI 72  \n"
               "holds from block 1 · 0:00.00 (tick 0) until the next `O`, `<` or `>`"},
        {0, 6, "**`L8`** · track 1's default length: a note without one lasts 12 ticks  \n"
               "holds from block 1 · 0:00.00 (tick 0) until the next `L`"},
        {0, 11, "**`Q4`** · track 1's gate, 4/8 of each length: a quarter note (24 ticks) sounds for 12 ticks  \n"
                "holds from block 1 · 0:00.26 (tick 13) until the next `Q`"},
        {1, 3, "**`Q8`** · track 9's gate, 8/8 of each length: a quarter note (24 ticks) sounds for 24 ticks  \n"
               "track 9 is kept in the image but never played"},
        {1, 12, "**`o3`** · track 1's octave: `C` is C3, MIDI 48  \n"
                "holds from block 2 · 0:00.80 (tick 40) until the next `O`, `<` or `>`"},
        {2, 7, "**`O2`** · track 0's octave: `C` is C2, MIDI 36  \ntrack 0 is kept in the image but never played"},
        {1, 21, "**`L3`** · track 2's default length, which is no note length (1, 2, 4, 8, 16 or 32): "
                "a note without one lasts 0 ticks  \nholds from block 2 · 0:00.54 (tick 27) until the next `L`"},
    };
    for (const Case& c : cases) {
        const json r = h.call("textDocument/hover", {{"textDocument", {{"uri", kUri}}},
                                                     {"position", {{"line", c.line}, {"character", c.character}}}})["result"];
        EXPECT_EQ(r.is_null() ? "" : r["contents"]["value"], c.hover) << c.line << ":" << c.character;
    }
    // The hints name each block and its start at its first group (track 3's
    // plays in block 1); a client
    // setting turns them off.
    const json hints = h.call("textDocument/inlayHint", {{"textDocument", {{"uri", kUri}}},
                                                         {"range", range_json({0, 0}, {9, 0})}})["result"];
    std::vector<std::string> shown;
    for (const json& hint : hints) {
        shown.push_back(hint["label"].get<std::string>() + "@" + std::to_string(hint["position"]["line"].get<int>()) +
                        ":" + std::to_string(hint["position"]["character"].get<int>()));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"1 · 0:00.00@0:0", "2 · 0:00.54@1:8"}));
    h.notify("workspace/didChangeConfiguration", {{"settings", {{"zirvon", {{"inlayHints", false}}}}}});
    EXPECT_EQ(h.call("textDocument/inlayHint", {{"textDocument", {{"uri", kUri}}}})["result"], json::array());
}

TEST(LspServer, AFileNotUtf8OnDiskHasTheDiagnosticsOfItsBytesUntilEdited) {
    // On disk in Latin-1; the editor decoded its é into UTF-8.
    testing_support::TempDir dir;
    const std::string bytes = "1[C \xE9 D]\n";
    testing_support::write_bytes(dir / "latin.mml", bytes);
    // file:///tmp/x on POSIX, file:///C:/x on Windows.
    const std::string path = (dir / "latin.mml").generic_string();
    const std::string uri = (path.front() == '/' ? "file://" : "file:///") + path;
    Harness h;
    h.call("initialize");
    h.recorder.sent.clear();
    h.notify("textDocument/didOpen", {{"textDocument", {{"uri", uri}, {"version", 1}, {"text", "1[C \xC3\xA9 D]\n"}}}});
    ASSERT_EQ(h.recorder.sent.size(), 1u);
    EXPECT_EQ(h.recorder.sent[0]["method"], "window/showMessage");
    const json disk = diagnostics_params(*Document(uri, bytes).snapshot())["diagnostics"];
    const json editor = diagnostics_params(*Document(uri, "1[C \xC3\xA9 D]\n").snapshot())["diagnostics"];
    ASSERT_NE(disk, editor);
    EXPECT_EQ(h.diagnostics(), disk);
    // Saved unchanged: the same again, and nothing said twice.
    h.recorder.sent.clear();
    h.notify("textDocument/didSave", {{"textDocument", {{"uri", uri}}}});
    EXPECT_TRUE(h.recorder.sent.empty());
    EXPECT_EQ(h.diagnostics(), disk);
    // Once edited, the editor's text is what counts.
    h.notify("textDocument/didChange", {{"textDocument", {{"uri", uri}, {"version", 2}}},
                                        {"contentChanges", {{{"text", "1[C \xC3\xA9 D]\n"}}}}});
    EXPECT_EQ(h.diagnostics(), editor);
}

}  // namespace
}  // namespace zirvon::lsp
