// Windows twin of the console set-up. The C runtime opens the standard
// streams in text mode, which would turn every "\n" into CR LF; binary mode
// passes the bytes through as they are.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "system/console.h"

namespace zirvon {

void prepare_console() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace zirvon
