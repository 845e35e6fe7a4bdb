// SPDX-License-Identifier: MIT
// The local clock on POSIX systems: the time zone is the system's, or TZ.
#pragma once

#include "platform/platform.h"

namespace platform {

class PosixClock : public Clock {
  public:
    LocalTime now() override;
};

}  // namespace platform
