// The output libraries (RtMidi, RtAudio, ALSA, the sound servers' clients)
// print to stderr, some of it before an error callback can be set. Their
// calls run inside a QuietStderr, so that only our own messages reach the
// user. POSIX only.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace zirvon {

/// Keeps stderr pointed at /dev/null for its lifetime.
class QuietStderr {
public:
    QuietStderr() {
        std::cerr.flush();
        std::fflush(stderr);
        saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~QuietStderr() {
        std::cerr.flush();
        std::fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

}  // namespace zirvon
