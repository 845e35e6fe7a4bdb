// SPDX-License-Identifier: MIT
// The board's own options, the same on every platform: --version and
// --help, each alone. Anything else on the command line is refused before
// a window or the log is made. The entry points only print what this says
// and end with its status.
#pragma once

#include <string>
#include <vector>

namespace board {

struct CommandLine {
    enum class Action {
        Run,     // no arguments: the board starts
        Print,   // `text` goes to standard output, then the program ends
        Refuse,  // `text` goes to standard error, then the program ends
    };
    Action action = Action::Run;
    std::string text;
    int status = 0;  // the program's exit status when it does not run
};

// The arguments after the program's name, in UTF-8.
CommandLine readCommandLine(const std::vector<std::string>& arguments);

}  // namespace board
