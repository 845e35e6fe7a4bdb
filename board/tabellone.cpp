// SPDX-License-Identifier: MIT
#include "board/tabellone.h"

#include "window/layout.h"
#include "window/texts.h"

namespace board {

Tabellone::Tabellone(const Services& services)
    : form_(window::makeTabellone()),
      log_(services.folder, services.files, services.clock),
      board_(*form_, log_, services.question, services.random) {
    form_->setFatalReport(&services.fatal);
    form_->explain = window::fatalMessage;
}

}  // namespace board
