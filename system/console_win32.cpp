// Windows twin of the console set-up. The C runtime opens the standard
// streams in text mode, which would turn every "\n" into CR LF (and CR LF
// read into "\n"); binary mode passes the bytes through as they are.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "system/console.h"

namespace zirvon {

void prepare_console() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::size_t read_standard_input(char* buffer, std::size_t size) {
    const int n = _read(_fileno(stdin), buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void ignore_broken_pipe() {}

}  // namespace zirvon
