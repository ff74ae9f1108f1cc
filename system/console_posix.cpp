// POSIX twin of the console set-up: the streams already carry bytes.
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "system/console.h"

namespace zirvon {

void prepare_console() {}

std::size_t read_standard_input(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, size);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) return 0;
    }
}

void ignore_broken_pipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace zirvon
