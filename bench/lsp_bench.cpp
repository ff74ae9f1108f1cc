// The language server's latencies, in process, on a five-minute song of
// eight voices (nearly 10,000 notes and rests):
//   - diagnostics: from a didChange to its publishDiagnostics (the server
//     compiles the new text, maps it and turns every message into LSP's);
//   - hover: right after an edit (the hover compiles the text) and on a
//     text already compiled;
//   - play: from the zirvon.play request to the first note-on the player
//     hands to its output, on a 20 ms clock like the preview's (a MIDI port
//     adds its own driver's latency to that).
// Each is measured many times; the table shows the median, the 90th
// percentile and the worst.
//
// Usage: zirvon_lsp_bench [repetitions]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "live/live_session.h"
#include "lsp/server.h"
#include "system/tick_timer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace zirvon;
using namespace zirvon::lsp;

const std::string kUri = "file:///bench/five-minutes.mml";

/// Eight voices, 144 lines of one block each, about 2.1 s a block: five minutes.
std::string five_minute_song() {
    std::string text = "Five minutes for the benchmark; a bar a line\n";
    const char* const kVoices[] = {"O5 L16 CDEFGAB>C<BAGFEDC", "O4 L8 E G >C< G E G >C< G",
                                   "O4 L8 C E G E C E G E",     "O3 L4 C G E G",
                                   "O3 L8 R C R C R C R C",      "O4 L16 GFEDEFGAGFEDEFGA",
                                   "O2 L2 C G",                  "O5 L8 Q4 C R E R G R E R"};
    for (int bar = 0; bar < 36; ++bar) {
        for (int repeat = 0; repeat < 4; ++repeat) {
            for (int k = 0; k < 8; ++k) text += std::to_string(k + 1) + "[" + kVoices[k] + "] ";
            text += "; bar " + std::to_string(bar * 4 + repeat + 1) + "\n";
        }
    }
    return text;
}

class Sink : public Outbox {
public:
    void send(const json& message) override {
        if (message.value("method", "") == "textDocument/publishDiagnostics") ++published;
    }
    int published = 0;
};

/// A clock like the MIDI preview's that notes when the first note-on comes.
class TimedOutput : public play::LiveOutput, play::MidiSink {
public:
    bool start(Tick tick, std::string&) override {
        tick_ = std::move(tick);
        return timer_.start(std::chrono::microseconds(kTickMicroseconds), [this](std::uint64_t n) { tick_(n, *this); });
    }
    void stop() override { timer_.stop(); }
    void silence() override {}
    bool lost(std::string&) const override { return false; }
    std::string name() const override { return "timed"; }
    void send(const play::MidiMessage& m) override {
        if ((m.status & 0xF0) == kNoteOn && first_note_.load() == Clock::time_point{}) first_note_ = Clock::now();
    }
    std::atomic<Clock::time_point> first_note_{};

private:
    TickTimer timer_;
    Tick tick_;
};

class TimedPlayback : public Playback {
public:
    explicit TimedPlayback(TimedOutput& output) : session_(output) {
        std::string error;
        session_.start(error);
    }
    bool play(const PlayRequest& r, std::string&) override {
        session_.play(std::shared_ptr<const Song>(r.snapshot, &r.snapshot->analysis.song), r.passage, false);
        return true;
    }
    void stop() override { session_.hush(); }
    void edited(const std::string&) override {}

private:
    live::LiveSession session_;
};

json message(const std::string& method, json params, int id = 0) {
    json m = {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
    if (id != 0) m["id"] = id;
    return m;
}

json edit(int line) {
    const json at = {{"line", line}, {"character", 0}};
    return message("textDocument/didChange", {{"textDocument", {{"uri", kUri}}},
                                              {"contentChanges", {{{"range", {{"start", at}, {"end", at}}}, {"text", " "}}}}});
}

json hover(int line, int id) {
    return message("textDocument/hover", {{"textDocument", {{"uri", kUri}}}, {"position", {{"line", line}, {"character", 3}}}}, id);
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-44s %8.2f %8.2f %8.2f ms\n", what, v[v.size() / 2], v[v.size() * 9 / 10], v.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(std::atoi(argv[1]), 10) : 100;
    const std::string song = five_minute_song();
    TimedOutput output;
    TimedPlayback playback(output);
    Sink sink;
    Server server(sink, playback);
    server.handle(message("initialize", json::object(), 1).dump());
    server.handle(message("textDocument/didOpen", {{"textDocument", {{"uri", kUri}, {"languageId", "mml"}, {"version", 1}, {"text", song}}}}).dump());
    server.idle();
    std::printf("song: %zu bytes, %d lines\n\n%-44s %8s %8s %8s\n", song.size(), 36 * 4 + 1, "", "median", "p90", "max");

    std::vector<double> diagnostics, hover_after_edit, hover_again, first_note;
    int id = 10;
    for (int r = 0; r < repetitions; ++r) {
        const int line = 1 + r % 144;
        auto t0 = Clock::now();
        server.handle(edit(line).dump());
        server.idle();
        diagnostics.push_back(ms(Clock::now() - t0));

        server.handle(edit(line).dump());
        t0 = Clock::now();
        server.handle(hover(line, ++id).dump());
        hover_after_edit.push_back(ms(Clock::now() - t0));
        t0 = Clock::now();
        server.handle(hover(line + 1, ++id).dump());
        hover_again.push_back(ms(Clock::now() - t0));
        server.idle();

        output.first_note_ = Clock::time_point{};
        t0 = Clock::now();
        server.handle(message("workspace/executeCommand",
                              {{"command", "zirvon.play"}, {"arguments", {{{"uri", kUri}, {"from", {{"line", line}, {"character", 3}}}}}}},
                              ++id).dump());
        while (output.first_note_.load() == Clock::time_point{} && Clock::now() - t0 < std::chrono::seconds(2)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        first_note.push_back(ms(output.first_note_.load() - t0));
    }
    report("diagnostics after an edit", diagnostics);
    report("hover right after an edit", hover_after_edit);
    report("hover on a compiled text", hover_again);
    report("zirvon.play to the first note-on", first_note);
    return 0;
}
