// POSIX twin of the console set-up: the streams already carry bytes.
#include "system/console.h"

namespace zirvon {

void prepare_console() {}

}  // namespace zirvon
