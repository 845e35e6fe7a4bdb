// The local clock on POSIX systems: the time zone is the system's, or TZ.
#pragma once

#include "forms/platform.h"

namespace forms {

class PosixClock : public Clock {
  public:
    LocalTime now() override;
};

}  // namespace forms
