// Windows twin of the test helpers: temporary folders, a folder made
// unwritable through its access list, and running zirvon.exe with
// CreateProcessA and redirected standard handles.
#include <aclapi.h>
#include <windows.h>

#include <cctype>
#include <cstring>
#include <map>
#include <stdexcept>

#include "tests/test_support.h"

namespace zirvon::testing_support {

namespace {

/// Owns one handle.
class Handle {
  public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ && h_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE h_;
};

/// True when a new file can be made in `folder` (and is removed again).
bool can_write(const std::filesystem::path& folder) {
    const std::string probe = (folder / "probe.tmp").string();
    const HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    DeleteFileA(probe.c_str());
    return true;
}

/// An argument quoted so that the C runtime's command-line parser gives it
/// back unchanged: backslashes count only before a quote.
std::string quote_argument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');  // before the closing quote
    return out + '"';
}

std::string variable_name(const std::string& entry) {
    // Entries such as "=C:=C:\dir" have a name that starts with '='.
    const auto eq = entry.find('=', 1);
    std::string name = entry.substr(0, eq);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

/// This process's environment with `extra` "NAME=value" entries put in, as
/// the NUL-separated block CreateProcessA takes.
std::string environment_block(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    char* const block = GetEnvironmentStringsA();
    for (const char* e = block; *e; e += std::strlen(e) + 1) entries.emplace_back(e);
    FreeEnvironmentStringsA(block);
    for (const std::string& add : extra) {
        std::erase_if(entries,
                      [&](const std::string& e) { return variable_name(e) == variable_name(add); });
        entries.push_back(add);
    }
    std::string out;
    for (const std::string& e : entries) out += e + '\0';
    return out + '\0';
}

Handle inheritable_file(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return Handle(CreateFileA(
        path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

// Windows has no write bit on folders: a folder becomes unwritable through an
// entry in its access list that denies everyone the right to add or remove
// files. Not every system enforces it (Wine keeps the list but does not), so
// the result is checked by trying.
UnwritableFolder::UnwritableFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
    const std::string name = folder_.string();
    PACL old_dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(name.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &old_dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return;
    }
    char everyone[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof everyone;
    EXPLICIT_ACCESS_A deny{};
    deny.grfAccessPermissions = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = NO_INHERITANCE;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    deny.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    deny.Trustee.ptstrName = everyone;
    PACL new_dacl = nullptr;
    if (CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sid_size) &&
        SetEntriesInAclA(1, &deny, old_dacl, &new_dacl) == ERROR_SUCCESS &&
        SetNamedSecurityInfoA(const_cast<char*>(name.c_str()), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION, nullptr, nullptr, new_dacl,
                              nullptr) == ERROR_SUCCESS) {
        undo_ = [name, old_dacl, descriptor] {
            SetNamedSecurityInfoA(const_cast<char*>(name.c_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, old_dacl, nullptr);
            LocalFree(descriptor);
        };
        descriptor = nullptr;
        ok_ = !can_write(folder_);
    }
    if (new_dacl) LocalFree(new_dacl);
    if (descriptor) LocalFree(descriptor);
}

UnwritableFolder::~UnwritableFolder() {
    if (undo_) undo_();
}

TempDir::TempDir() {
    char base[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof base, base);
    if (n == 0 || n > MAX_PATH) throw std::runtime_error("GetTempPathA failed");
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const std::string name =
            std::string(base) + "zirvon-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount() % 100000) + "-" + std::to_string(attempt);
        if (CreateDirectoryA(name.c_str(), nullptr)) {
            path_ = name;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may make files read-only; take that back so all can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        SetFileAttributesA(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(path_, ec);
}

namespace {

/// Starts the binary with `args` in `cwd`, input from NUL and output to the
/// named files, the environment extended by `env`. The process handle, or
/// nullptr when it cannot be started.
HANDLE spawn_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                    const std::vector<std::string>& env, const std::string& out_path,
                    const std::string& err_path, DWORD flags) {
    const Handle in = inheritable_file("NUL", false);
    const Handle out = inheritable_file(out_path, true);
    const Handle err = inheritable_file(err_path, true);
    if (!in.valid() || !out.valid() || !err.valid()) return nullptr;

    std::string command_line = quote_argument(ZIRVON_BINARY);
    for (const std::string& a : args) command_line += ' ' + quote_argument(a);
    std::string environment = environment_block(env);
    const std::string folder = cwd.string();

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.get();
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(ZIRVON_BINARY, command_line.data(), nullptr, nullptr, TRUE, flags,
                        environment.data(), folder.c_str(), &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

int wait_for(HANDLE process) {
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}

/// Processes from start_zirvon, by id, until wait_zirvon.
std::map<int, HANDLE> g_started;

/// Gives this process a console of its own, hidden, so that console events
/// reach it and the programs it starts and nobody else. False when that
/// cannot be had.
bool own_console() {
    static const bool ok = [] {
        FreeConsole();
        if (!AllocConsole()) return false;
        if (HWND window = GetConsoleWindow()) ShowWindow(window, SW_HIDE);
        // Ctrl+C is sent to this process too: let it pass to the handlers.
        SetConsoleCtrlHandler(nullptr, FALSE);
        return true;
    }();
    return ok;
}

}  // namespace

RunResult run_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                     const std::vector<std::string>& env) {
    // Output goes to files, so that a lot of it on both streams cannot block.
    TempDir capture;
    const std::string out_path = (capture / "out").string();
    const std::string err_path = (capture / "err").string();
    RunResult result;
    if (const HANDLE process = spawn_zirvon(args, cwd, env, out_path, err_path, 0)) {
        result.status = wait_for(process);
    }
    result.out = read_bytes(out_path);
    result.err = read_bytes(err_path);
    return result;
}

// Each in a process group of its own, so that interrupt_zirvon can aim a
// console event at it alone.
int start_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                 const std::string& err_path) {
    own_console();
    const HANDLE process = spawn_zirvon(args, cwd, {}, "NUL", err_path.empty() ? "NUL" : err_path,
                                        CREATE_NEW_PROCESS_GROUP);
    if (!process) return -1;
    const int pid = static_cast<int>(GetProcessId(process));
    g_started[pid] = process;
    return pid;
}

int wait_zirvon(int pid) {
    const auto it = g_started.find(pid);
    if (it == g_started.end()) return -1;
    const HANDLE process = it->second;
    g_started.erase(it);
    return wait_for(process);
}

bool interrupt_self() {
    return own_console() && GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
}

bool interrupt_zirvon(int pid) {
    return own_console() &&
           GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(pid)) != 0;
}

void kill_zirvon(int pid) {
    const auto it = g_started.find(pid);
    if (it != g_started.end()) TerminateProcess(it->second, 1);
}

std::string null_device() {
    return "NUL";
}

}  // namespace zirvon::testing_support
