// The thin shell around the server: a thread that reads standard input and
// cuts it into payloads, and the loop that hands them to the server and,
// once none waits, lets it publish diagnostics.
#include "lsp/stdio_loop.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "lsp/framing.h"
#include "midi/midi_input.h"
#include "lsp/live_playback.h"
#include "lsp/server.h"
#include "outputs/diagnostic_printer.h"
#include "system/console.h"
#include "system/interrupt.h"

namespace zirvon::lsp {
namespace {

/// The status of a run stopped by Ctrl+C or SIGTERM, as everywhere.
constexpr int kInterrupted = 130;

/// Frames written whole, one at a time: the player's thread writes too.
class StdoutOutbox : public Outbox {
public:
    void send(const json& message) override {
        const std::string bytes = frame(dump_message(message));
        std::lock_guard lock(mutex_);
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        std::fflush(stdout);
    }

private:
    std::mutex mutex_;
};

/// Payloads read so far, handed from the reading thread to the loop, and
/// the keyboard's messages, from the MIDI service's thread.
struct Inbox {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::string> payloads;
    std::deque<std::array<std::uint8_t, 3>> keys;
    bool ended = false;
};

/// The MIDI input of key entry, whose messages wait in the inbox.
class InboxKeyboard : public Keyboard {
public:
    explicit InboxKeyboard(std::shared_ptr<Inbox> inbox) : inbox_(std::move(inbox)) {}

    bool open(const std::string& choice, std::string& error) override {
        return input_.open(choice, [inbox = inbox_](const std::uint8_t* bytes, std::size_t size) {
            std::array<std::uint8_t, 3> message{};
            std::copy_n(bytes, std::min<std::size_t>(size, 3), message.begin());
            std::lock_guard lock(inbox->mutex);
            inbox->keys.push_back(message);
            inbox->ready.notify_one();
        }, error);
    }
    void close() override { input_.close(); }
    std::string name() const override { return input_.name(); }

private:
    std::shared_ptr<Inbox> inbox_;
    midi::MidiInput input_;
};

std::uint64_t now_ms() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void say(const std::string& text) {
    const std::string line = std::string(kProgram) + text + '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

/// Reads standard input until it ends. It holds the inbox by a shared
/// pointer: after `exit` the loop returns while this thread may still
/// wait for input that never comes.
void read_input(std::shared_ptr<Inbox> inbox) {
    FrameReader reader;
    std::string skipped;
    static thread_local char buffer[1 << 16];
    try {
        for (;;) {
            const std::size_t n = read_standard_input(buffer, sizeof buffer);
            if (n > 0) reader.feed(std::string_view(buffer, n));
            while (auto payload = reader.next(skipped)) {
                if (!skipped.empty()) say(skipped);
                std::lock_guard lock(inbox->mutex);
                inbox->payloads.push_back(std::move(*payload));
                inbox->ready.notify_one();
            }
            if (!skipped.empty()) say(skipped);
            if (n == 0) break;
        }
        if (reader.pending() > 0) say("the input ended inside a message (" + std::to_string(reader.pending()) + " bytes)");
    } catch (const std::bad_alloc&) {
        say("out of memory for a message of the size it announced; the input is left unread");
    }
    std::lock_guard lock(inbox->mutex);
    inbox->ended = true;
    inbox->ready.notify_one();
}

}  // namespace

int run_language_server() {
    // An editor that goes away, or kills the server, must not leave notes
    // sounding: the player is silenced on the way out.
    ignore_broken_pipe();
    const InterruptWatch interrupt;
    StdoutOutbox out;
    LivePlayback playback(out);
    auto inbox = std::make_shared<Inbox>();
    // Closed before the player, so that no key sounds into a closed output.
    InboxKeyboard keyboard(inbox);
    Server server(out, playback, &keyboard);
    std::thread(read_input, inbox).detach();
    for (;;) {
        std::optional<std::string> payload;
        std::deque<std::array<std::uint8_t, 3>> keys;
        {
            std::unique_lock lock(inbox->mutex);
            const auto waiting = [&] { return !inbox->payloads.empty() || !inbox->keys.empty() || inbox->ended; };
            for (;;) {
                // Keys pressed together are entered once their window has passed.
                auto wait = std::chrono::milliseconds(100);
                if (const auto due = server.due()) {
                    const std::uint64_t now = now_ms();
                    wait = std::min(wait, std::chrono::milliseconds(*due > now ? *due - now : 0));
                }
                if (inbox->ready.wait_for(lock, wait, waiting)) break;
                if (interrupt.requested()) return kInterrupted;
                if (server.due()) {
                    lock.unlock();
                    server.tick(now_ms());
                    lock.lock();
                }
            }
            keys.swap(inbox->keys);
            if (!inbox->payloads.empty()) {
                payload = std::move(inbox->payloads.front());
                inbox->payloads.pop_front();
            } else if (keys.empty()) {
                break;
            }
        }
        for (const auto& message : keys) server.key(message.data(), message.size(), now_ms());
        if (payload) server.handle(*payload);
        if (const auto due = server.due(); due && *due <= now_ms()) server.tick(now_ms());
        if (server.exited()) break;
        bool waiting = false;
        {
            std::lock_guard lock(inbox->mutex);
            waiting = !inbox->payloads.empty();
        }
        if (!waiting) server.idle();
    }
    server.idle();
    return server.exit_status();
}

}  // namespace zirvon::lsp
