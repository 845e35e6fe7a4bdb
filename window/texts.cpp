// SPDX-License-Identifier: MIT
#include "window/texts.h"

#include <stdexcept>

namespace window {

std::string programTitle() {
    return "Tabellone " TABELLONE_VERSION;
}

std::string fatalMessage(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const platform::FatalError& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("Errore imprevisto: ") + e.what();
    } catch (...) {
        return "Errore imprevisto.";
    }
}

}  // namespace window
