#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "tests/test_support.h"

extern char** environ;

namespace zirvon::testing_support {

namespace {

bool can_write(const std::filesystem::path& folder) { return ::access(folder.c_str(), W_OK) == 0; }

int shell(const std::string& command) { return std::system(command.c_str()); }

}  // namespace

UnwritableFolder::UnwritableFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_read |
                                              std::filesystem::perms::owner_exec);
    if (!can_write(folder_)) {
        ok_ = true;
        return;
    }
    // Root may write anywhere, except into an immutable folder.
    if (shell("chattr +i '" + folder_.string() + "' 2>/dev/null") == 0) {
        undo_ = [folder = folder_] { shell("chattr -i '" + folder.string() + "' 2>/dev/null"); };
        ok_ = true;
    }
}

UnwritableFolder::~UnwritableFolder() {
    if (undo_) undo_();
    std::error_code ec;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zirvon-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may take write permission away; give it back so all can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

namespace {

/// Starts the binary with `args` in `cwd`, input from /dev/null and output to
/// the named files (/dev/null when empty), the environment extended by `env`.
pid_t spawn_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                   const std::vector<std::string>& env, const std::string& out_path,
                   const std::string& err_path) {
    std::vector<std::string> argv_store{ZIRVON_BINARY};
    argv_store.insert(argv_store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_store) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_store(env);  // first, so that getenv finds them
    for (char** e = environ; *e; ++e) env_store.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env_store) envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const auto output = [](const std::string& path) {
            return ::open(path.empty() ? "/dev/null" : path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                          0600);
        };
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = output(out_path);
        const int err = output(err_path);
        if (in < 0 || out < 0 || err < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

}  // namespace

RunResult run_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                     const std::vector<std::string>& env) {
    // Output goes to files, so that a lot of it on both streams cannot block.
    TempDir capture;
    const std::string out_path = (capture / "out").string();
    const std::string err_path = (capture / "err").string();
    RunResult result;
    result.status = wait_zirvon(spawn_zirvon(args, cwd, env, out_path, err_path));
    result.out = read_bytes(out_path);
    result.err = read_bytes(err_path);
    return result;
}

int start_zirvon(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                 const std::string& err_path) {
    return spawn_zirvon(args, cwd, {}, "", err_path);
}

int wait_zirvon(int pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool interrupt_self() { return ::raise(SIGINT) == 0; }

bool interrupt_zirvon(int pid) { return ::kill(pid, SIGINT) == 0; }

void kill_zirvon(int pid) { ::kill(pid, SIGKILL); }

std::string null_device() { return "/dev/null"; }

}  // namespace zirvon::testing_support
