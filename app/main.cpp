// zirvon: compiles CMU800 MML into an MZT tape image, and previews it.
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "system/console.h"
#include "app/run.h"

int main(int argc, char** argv) {
    zirvon::prepare_console();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = zirvon::run(zirvon::parse_command_line(args), std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "zirvon: cannot write to standard output\n";
        return zirvon::kExitFailure;
    }
    return status;
}
