#include "tests/jack_test_support.h"

#include <RtMidi.h>
#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace zirvon::midi::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kStartupTimeout = 10s;

/// The one server of this test program.
struct ServerProcess {
    pid_t pid = -1;
    bool tried = false;
    bool killed = false;
    std::string failure;
};

ServerProcess& server() {
    static ServerProcess process;
    return process;
}

std::string server_name() { return "zirvon-test-" + std::to_string(getpid()); }

bool server_answers(const std::string& name) {
    jack_status_t status{};
    jack_client_t* client = jack_client_open(
        "zirvon-probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
        name.c_str());
    if (client == nullptr) return false;
    jack_client_close(client);
    return true;
}

/// Stops a server this program started: SIGTERM, then SIGKILL after 3 s.
void stop_jackd(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

bool start_server(std::string& why);

/// Stops the server when the test program ends. A killed server keeps its
/// slot in JACK's shared registry: a server started under the same name takes
/// it back and gives it up as it stops. Then the semaphores that the dead one
/// left for its clients go too.
class StopServerAtEnd : public ::testing::Environment {
public:
    void TearDown() override {
        std::string why;
        if (server().killed && server().pid <= 0) start_server(why);
        stop_jackd(server().pid);
        if (!server().killed) return;
        const std::string name = server_name();
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
            if (entry.path().filename().string().find("_" + name + "_") != std::string::npos)
                std::filesystem::remove(entry.path(), ignored);
        }
    }
};
[[maybe_unused]] const auto* const kStopAtEnd =
    ::testing::AddGlobalTestEnvironment(new StopServerAtEnd);

/// Starts jackd under `name` and waits until it answers; its process id, or
/// -1 with the reason.
pid_t start_jackd(const std::string& name, std::string& why) {
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    const pid_t pid = fork();
    if (pid < 0) {
        why = "cannot fork";
        return -1;
    }
    if (pid == 0) {
        // The server must not outlive a test program that crashes.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        // Real-time and synchronous, or the dummy driver drops messages.
        execlp("jackd", "jackd", "-n", name.c_str(), "-R", "-P", "70", "-S", "-d", "dummy", "-r",
               "48000", "-p", "32", static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + kStartupTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            why = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "jackd is not installed"
                                                                 : "jackd exited at start";
            return -1;
        }
        if (server_answers(name)) return pid;
        std::this_thread::sleep_for(50ms);
    }
    pid_t running = pid;
    stop_jackd(running);
    why = "jackd did not answer within 10 s";
    return -1;
}

bool start_server(std::string& why) {
    const std::string name = server_name();
    server().pid = start_jackd(name, why);
    if (server().pid <= 0) return false;
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    return true;
}

}  // namespace

bool JackServer::ensure(std::string& why) {
    ServerProcess& s = server();
    if (!s.tried) {
        s.tried = true;
        if (!start_server(s.failure)) s.pid = -1;
    }
    why = s.failure;
    return s.pid > 0;
}

void JackServer::kill() {
    ServerProcess& s = server();
    if (s.pid <= 0) return;
    ::kill(s.pid, SIGKILL);
    waitpid(s.pid, nullptr, 0);
    s = ServerProcess{};
    s.killed = true;
}

MidiRecorder::MidiRecorder() {
    static int serial = 0;
    const std::string client = "zirvon-rec-" + std::to_string(getpid()) + "-" +
                               std::to_string(++serial);
    try {
        input_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, client, 4096);
        input_->setErrorCallback(
            [](RtMidiError::Type, const std::string& text, void* self) {
                static_cast<MidiRecorder*>(self)->error_ = text;
            },
            this);
        input_->ignoreTypes(false, false, false);
        input_->setCallback(&MidiRecorder::on_message, this);
        input_->openVirtualPort("in");
        port_name_ = client + ":in";
    } catch (const RtMidiError& e) {
        error_ = e.getMessage();
    }
}

MidiRecorder::~MidiRecorder() {
    if (!input_) return;
    input_->closePort();
    // Same settling time as the output side before RtMidi frees its buffers.
    std::this_thread::sleep_for(20ms);
}

void MidiRecorder::on_message(double, std::vector<unsigned char>* bytes, void* self) {
    auto* recorder = static_cast<MidiRecorder*>(self);
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(recorder->mutex_);
    recorder->received_.push_back({now, *bytes});
}

MidiKeyboard::MidiKeyboard() {
    const std::string client = "keys-" + std::to_string(getpid());
    try {
        output_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, client);
        output_->openVirtualPort("out");
        port_name_ = client + ":out";
    } catch (const RtMidiError& e) {
        error_ = e.getMessage();
    }
}

MidiKeyboard::~MidiKeyboard() {
    if (!output_) return;
    // Let the last messages leave the ring buffer. Then the port is left
    // open until the program ends: RtMidi's JACK output unregisters its port
    // under a process callback that may be running, and frees its ring
    // buffer before it closes the client, and under load either crashed the
    // test now and then. One client per test that uses a keyboard is cheap;
    // a list that is never freed holds it, so that it is not taken for a leak.
    std::this_thread::sleep_for(20ms);
    static auto* const kept = new std::vector<RtMidiOut*>;
    kept->push_back(output_.release());
}

void MidiKeyboard::send(const Bytes& message) {
    output_->sendMessage(&message);
}

std::vector<Received> MidiRecorder::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool MidiRecorder::wait_for(std::size_t count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received().size() < count) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::vector<Bytes> bytes_of(const std::vector<Received>& received, std::size_t from,
                            std::size_t to) {
    std::vector<Bytes> out;
    for (std::size_t i = from; i < std::min(to, received.size()); ++i) out.push_back(received[i].bytes);
    return out;
}

std::string describe(const std::vector<Received>& received) {
    std::string text;
    char hex[4];
    for (std::size_t i = 0; i < received.size(); ++i) {
        text += std::to_string(i) + ":";
        for (const unsigned char b : received[i].bytes) {
            std::snprintf(hex, sizeof hex, " %02X", b);
            text += hex;
        }
        text += '\n';
    }
    return text;
}

std::vector<Bytes> all_notes_off_messages() {
    std::vector<Bytes> out;
    for (unsigned char channel = 0; channel < 16; ++channel) out.push_back({static_cast<unsigned char>(0xB0 + channel), 123, 0});
    return out;
}

std::vector<Bytes> reset_messages() {
    std::vector<Bytes> out;
    for (const Bytes& off : all_notes_off_messages()) {
        out.push_back({off[0], 121, 0});
        out.push_back(off);
    }
    return out;
}

std::string late_messages(const std::vector<Received>& received,
                          const std::vector<std::uint64_t>& ticks) {
    std::string report;
    for (std::size_t i = 0; i < received.size() && i < ticks.size(); ++i) {
        const double off =
            std::chrono::duration<double, std::milli>(received[i].time - received[0].time).count() -
            20.0 * static_cast<double>(ticks[i] - ticks[0]);
        if (std::abs(off) > 10.0) report += "message " + std::to_string(i) + " " + std::to_string(off) + " ms off\n";
    }
    return report;
}

}  // namespace zirvon::midi::testing
