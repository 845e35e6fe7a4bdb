// SPDX-License-Identifier: MIT
// What the program says to the user, in Italian whatever the system's
// language, written once: the window's title, the words of the boxes, the
// question, what screen readers are told, and how a failure is worded. The
// layout's captions and tooltips are in the layout; the round log's reasons
// for a file that fails are the log's (roundlog/).
#pragma once

#include <array>
#include <exception>
#include <string>

#include "platform/platform.h"
#include "window/layout.h"

namespace window {

inline constexpr const char* kTitle = "TABELLONE DELLA SORVINA";

// The platform's own boxes: Sì, No, OK, and the error box titled as the
// window.
inline const platform::BoxTexts kBoxTexts{"Sì", "No", "OK", kTitle};

inline constexpr const char* kNewRoundPrompt = "SICURO DI VOLER COMINCIARE UNA NUOVA SORVINATA?";
inline constexpr const char* kNewRoundTitle = "Nuovo giro di sorvina";

// Announced as a number is called, and as a call is cancelled.
inline constexpr const char* kCalledAnnouncement = "Numero chiamato: ";
inline constexpr const char* kCancelledAnnouncement = "Numero annullato: ";
// A called cell's description, and the strip's slots, the newest first,
// with what an empty one holds.
inline constexpr const char* kCalledDescription = "chiamato";
inline constexpr std::array<const char*, kSlots> kSlotNames{
    "Ultimo numero chiamato", "Penultimo numero chiamato", "Terzultimo numero chiamato"};
inline constexpr const char* kNoNumber = "nessuno";

// The program's name and version, "Tabellone 1.0": Label4 shows it and
// --version prints it. The version is the project's, from the build.
std::string programTitle();

// The message for a failure that reached the top of the program: a
// platform::FatalError's own; for anything else, which the program did not
// foresee, "Errore imprevisto: " and what the failure says of itself.
std::string fatalMessage(const std::exception_ptr& failure);

}  // namespace window
