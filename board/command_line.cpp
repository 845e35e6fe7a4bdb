// SPDX-License-Identifier: MIT
#include "board/command_line.h"

#include "window/texts.h"

namespace board {

namespace {

constexpr const char* kUsage =
    "Uso: tabellone [--help | --version]\n"
    "Il tabellone della sorvina (tombola): i novanta numeri in una finestra.\n"
    "Ogni giro e ogni numero chiamato vanno nel registro logSorvina.txt,\n"
    "nella cartella del programma.\n"
    "\n"
    "  --help     mostra questo aiuto ed esce\n"
    "  --version  mostra la versione ed esce\n";

}  // namespace

CommandLine readCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return {};
    }
    if (arguments.size() == 1 && arguments.front() == "--version") {
        return {CommandLine::Action::Print, window::programTitle() + "\n", 0};
    }
    if (arguments.size() == 1 && arguments.front() == "--help") {
        return {CommandLine::Action::Print, kUsage, 0};
    }
    // The first argument that is not an option of the board; with none, an
    // option that came with others.
    std::string text = "tabellone: ";
    const std::string* odd = nullptr;
    for (const std::string& argument : arguments) {
        if (argument != "--version" && argument != "--help") {
            odd = &argument;
            break;
        }
    }
    if (odd != nullptr) {
        text += "opzione non riconosciuta: \xC2\xAB" + *odd + "\xC2\xBB\n";
    } else {
        text += "una sola opzione alla volta\n";
    }
    text += "Per le opzioni: tabellone --help\n";
    return {CommandLine::Action::Refuse, text, 2};
}

}  // namespace board
