// SPDX-License-Identifier: MIT
// What both entry points share before and around the board: its options,
// the one version it shows, and the message of a failure nothing foresaw.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "board/command_line.h"
#include "platform/platform.h"
#include "window/layout.h"
#include "window/texts.h"

namespace {

using Action = board::CommandLine::Action;

const std::string kTitle = "Tabellone " TABELLONE_VERSION;

TEST(CommandLine, TheBoardsOwnOptionsAloneAndNothingElse) {
    struct Case {
        std::vector<std::string> arguments;
        Action action;
        int status;
        std::string says;  // in what the program prints
    };
    const std::vector<Case> cases = {
        {{}, Action::Run, 0, ""},
        {{"--version"}, Action::Print, 0, kTitle + "\n"},
        {{"--help"}, Action::Print, 0, "Uso: tabellone [--help | --version]\n"},
        // Qt's own options are not the board's.
        {{"-qwindowtitle", "Foo"}, Action::Refuse, 2, "opzione non riconosciuta: «-qwindowtitle»"},
        {{"--style=fusion"}, Action::Refuse, 2, "«--style=fusion»"},
        {{"--VERSION"}, Action::Refuse, 2, "«--VERSION»"},
        {{""}, Action::Refuse, 2, "«»"},
        {{"--version", "x"}, Action::Refuse, 2, "«x»"},
        {{"--help", "--version"}, Action::Refuse, 2, "una sola opzione alla volta"},
        {{"--help", "--help"}, Action::Refuse, 2, "una sola opzione alla volta"},
    };
    for (const Case& c : cases) {
        const board::CommandLine got = board::readCommandLine(c.arguments);
        const std::string line = c.arguments.empty() ? "" : c.arguments.front();
        EXPECT_EQ(got.action, c.action) << line;
        EXPECT_EQ(got.status, c.status) << line;
        EXPECT_NE(got.text.find(c.says), std::string::npos) << got.text;
        if (c.action == Action::Refuse) {  // and where to find what is taken
            EXPECT_NE(got.text.find("tabellone --help\n"), std::string::npos) << got.text;
        }
    }
    EXPECT_EQ(board::readCommandLine({"--version"}).text, kTitle + "\n");
    // The usage names both options with what each does.
    const std::string usage = board::readCommandLine({"--help"}).text;
    EXPECT_NE(usage.find("  --help     mostra questo aiuto"), std::string::npos) << usage;
    EXPECT_NE(usage.find("  --version  mostra la versione"), std::string::npos) << usage;
}

TEST(CommandLine, TheWindowShowsTheVersionItPrints) {
    EXPECT_EQ(window::makeTabellone()->control("Label4").caption(), kTitle);
}

TEST(CommandLine, AFailureNothingForesawIsUnexpected) {
    const auto message = [](auto failure) {
        return window::fatalMessage(std::make_exception_ptr(failure));
    };
    EXPECT_EQ(message(platform::FatalError("Impossibile scrivere")), "Impossibile scrivere");
    EXPECT_EQ(message(std::runtime_error("bad_alloc")), "Errore imprevisto: bad_alloc");
    EXPECT_EQ(message(42), "Errore imprevisto.");
}

}  // namespace
