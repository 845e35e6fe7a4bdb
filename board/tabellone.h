// SPDX-License-Identifier: MIT
// The whole program without its backend: the board window, its round log
// and the rules of the game, wired to the platform services. The entry
// points, the picture tool, the benchmark and the tests all build it here.
#pragma once

#include <memory>

#include "board/board.h"
#include "forms/form.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "roundlog/roundlog.h"

namespace board {

// The platform services the program uses; each is created by the entry
// point (or by a test, as a fake) and outlives the Tabellone.
struct Services {
    platform::Question& question;
    platform::FatalReport& fatal;
    platform::Random& random;
    platform::Clock& clock;
    platform::AppFolder& folder;
    platform::FileSystem& files;
};

class Tabellone {
  public:
    explicit Tabellone(const Services& services);

    forms::Form& form() const { return *form_; }
    Board& board() { return board_; }

  private:
    std::unique_ptr<forms::Form> form_;
    roundlog::RoundLog log_;
    Board board_;
};

}  // namespace board
