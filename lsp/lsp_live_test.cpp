// Playing from a position in the editor, heard on a JACK MIDI input: from a
// client that writes LSP frames down a pipe, and from Neovim with the
// plugin of editors/nvim, which also shows the song's mistake, its block
// lenses and a hover, and plays one track soloed in a loop.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lsp/framing.h"
#include "lsp/protocol.h"
#include "outputs/analysis.h"
#include "play/passage_options.h"
#include "tests/jack_test_support.h"
#include "tests/test_support.h"

namespace zirvon::lsp {
namespace {

using namespace std::chrono_literals;
using midi::testing::Bytes;
using midi::testing::MidiRecorder;
using testing_support::TempDir;

// "é 1[C8 D8 E8 V F8]": E8 is at byte column 12, character 10; the unknown
// V at byte column 15.
const std::string kSong = "Trois notes\n\xC3\xA9 1[C8 D8 E8 V F8] 2[E8 F8 G8 A8]\n1[G4] 2[B4]\n";
const std::string kFrom = "line:2:12";

/// The messages /midi /from=line:2:12 has on its first tick.
std::vector<Bytes> first_tick() {
    const SourceAnalysis a = analyze_source(kSong, "song.mml");
    PassageOptions options;
    std::string error;
    options.from.emplace();
    EXPECT_TRUE(parse_bound("from", kFrom, *options.from, error)) << error;
    const auto passage = play::resolve_passage(options.request(), a.song, a.map(), error);
    std::vector<Bytes> out;
    play::play_passage(a.song, *passage, [&](std::uint64_t tick, const play::MidiMessage& m) {
        if (tick == 0) out.push_back({m.status, m.data1, m.data2});
    });
    return out;
}

std::string frames(const std::vector<json>& messages) {
    std::string out;
    for (const json& m : messages) out += frame(m.dump());
    return out;
}

TEST(LspLive, PlayingFromAPositionSoundsItsFirstNotesOnThePort) {
    ZIRVON_REQUIRE_JACK();
    MidiRecorder recorder;
    ASSERT_TRUE(recorder.ok()) << recorder.error();
    TempDir dir;
    testing_support::write_bytes(dir / "song.mml", kSong);
    const std::string uri = "file://" + (dir / "song.mml").string();
    testing_support::write_bytes(dir / "start", frames({
        {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", {{"initializationOptions", {{"port", recorder.port_name()}}}}}},
        {{"jsonrpc", "2.0"}, {"method", "textDocument/didOpen"}, {"params", {{"textDocument", {{"uri", uri}, {"languageId", "mml"}, {"version", 1}, {"text", kSong}}}}}},
        {{"jsonrpc", "2.0"}, {"id", 2}, {"method", "workspace/executeCommand"}, {"params", {{"command", "zirvon.play"},
            {"arguments", {{{"uri", uri}, {"from", {{"line", 1}, {"character", 10}}}}}}}}},
    }));
    testing_support::write_bytes(dir / "end", frames({{{"jsonrpc", "2.0"}, {"id", 3}, {"method", "shutdown"}},
                                                      {{"jsonrpc", "2.0"}, {"method", "exit"}}}));
    const std::string d = dir.path().string();
    struct Client {
        const char* name;
        std::string command;
        int status = 0;
    };
    const bool have_nvim = std::system("command -v nvim >/dev/null 2>&1") == 0;
    std::vector<Client> clients{
        {"a pipe", "(cat '" + d + "/start'; sleep 3; cat '" + d + "/end') | '" ZIRVON_BINARY "' --lsp > '" + d + "/out' 2>&1"},
        // Killed while it plays: it silences the port on its way out.
        {"a pipe, then SIGTERM", "(cat '" + d + "/start'; sleep 3) | '" ZIRVON_BINARY "' --lsp > '" + d +
                                     "/out' 2>&1 & sleep 0.5; kill -TERM $!; wait $!; exit $?",
         130},
    };
    // Entry listens to a keyboard; Neovim's row enters a rest (keys are the server test's).
    midi::testing::MidiKeyboard keyboard;
    ASSERT_TRUE(keyboard.ok()) << keyboard.error();
    if (have_nvim) {
        clients.push_back({"Neovim", "cd '" + d + "' && ZIRVON='" ZIRVON_BINARY "' ZIRVON_TEST_PORT='" + recorder.port_name() +
                                         "' ZIRVON_TEST_KEYS='" + keyboard.port_name() + "' timeout 60 nvim --headless --clean --cmd 'set rtp^=" ZIRVON_SOURCE_DIR "/editors/nvim'"
                                         " -c 'luafile " ZIRVON_SOURCE_DIR "/tests/nvim/play_test.lua' > out 2>&1"});
    }
    const std::vector<Bytes> wanted = first_tick();
    ASSERT_FALSE(wanted.empty());
    for (const Client& client : clients) {
        const std::size_t before = recorder.received().size();
        const int status = std::system(client.command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), client.status) << client.name << ": " << testing_support::read_bytes(dir / "out");
        // The port resets every channel as it opens (32 messages), then the first tick.
        const std::size_t resets = midi::testing::reset_messages().size();
        recorder.wait_for(before + resets + wanted.size(), 2s);
        const std::vector<Bytes> got = midi::testing::bytes_of(recorder.received(), before + resets,
                                                               before + resets + wanted.size());
        EXPECT_EQ(got, wanted) << client.name << ": " << midi::testing::describe(recorder.received());
        // Whatever ends it, the port is reset as it closes: no note is left on.
        const std::vector<Bytes> all = midi::testing::bytes_of(recorder.received());
        const std::size_t n = all.size();
        EXPECT_GE(n, before + 2 * resets + wanted.size()) << client.name;
        if (n >= resets) {
            EXPECT_EQ(std::vector<Bytes>(all.end() - static_cast<std::ptrdiff_t>(resets), all.end()),
                      midi::testing::reset_messages()) << client.name;
        }
    }
    ZIRVON_NEEDS(have_nvim, "Neovim (package neovim)");
}

}  // namespace
}  // namespace zirvon::lsp
