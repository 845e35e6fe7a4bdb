// SPDX-License-Identifier: MIT
// The side effects the program needs from its platform, each behind one
// narrow interface. The entry point creates the real ones; tests use fakes.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace platform {

// A failure nothing in the program traps. It travels up to event dispatch,
// which reports it once and ends the program. what() is the message shown
// to the user, in Italian.
class FatalError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The words of the platform's own boxes, which the program gives in its own
// language whatever the system's: the buttons, and the error box's title.
struct BoxTexts {
    std::string yes;
    std::string no;
    std::string ok;
    std::string errorTitle;
};

// The modal Yes/No question (no icon, Yes the default button).
class Question {
  public:
    enum class Answer { Yes, No };
    virtual ~Question() = default;
    virtual Answer ask(const std::string& prompt, const std::string& title) = 0;
};

// Shows an untrapped failure to the user. The caller ends the program after.
class FatalReport {
  public:
    virtual ~FatalReport() = default;
    virtual void report(const std::string& message) = 0;
};

// Single-precision values uniform in [0, 1): 1.0 is never returned.
class Random {
  public:
    virtual ~Random() = default;
    virtual float next() = 0;
};

// Local date and time, to the second.
struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime now() = 0;
};

}  // namespace platform
