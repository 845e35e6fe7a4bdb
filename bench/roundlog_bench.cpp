// SPDX-License-Identifier: MIT
// The cost of one durable append to the round log on this machine: the
// board's own RoundLog, one call record (write + fsync) at a time, in a
// fresh log in the folder given.
//
//   bench_roundlog FOLDER [COUNT]
//
// Prints "append_us p50 X p99 Y max Z n N" and the same for a header.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_files.h"
#include "roundlog/roundlog.h"

namespace {

void report(const char* what, std::vector<double> us) {
    std::sort(us.begin(), us.end());
    auto rank = [&](double q) {
        const auto k = static_cast<std::size_t>(std::ceil(q * static_cast<double>(us.size())));
        return us.at(std::max<std::size_t>(k, 1) - 1);
    };
    std::printf("%s p50 %.1f p99 %.1f max %.1f n %zu\n", what, rank(0.5), rank(0.99), us.back(),
                us.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_roundlog FOLDER [COUNT]\n");
        return 2;
    }
    struct Folder : platform::AppFolder {
        platform::NativePath folder;
        platform::NativePath path() override { return folder; }
    } folder;
    folder.folder = argv[1];
    const int count = argc > 2 ? std::stoi(argv[2]) : 500;
    const platform::NativePath path = roundlog::pathIn(folder.folder);
    std::filesystem::remove(path);

    platform::PosixClock clock;
    platform::PosixFileSystem files;
    roundlog::RoundLog log(folder, files, clock);
    log.open();
    using Clock = std::chrono::steady_clock;
    std::vector<double> calls;
    std::vector<double> headers;
    for (int k = 0; k < count; ++k) {
        auto t0 = Clock::now();
        if (k % 90 == 0) {
            log.appendHeader();
            headers.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
            t0 = Clock::now();
        }
        log.appendCall(std::to_string(k % 90 + 1));
        calls.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    log.close();
    report("append_us", calls);
    report("header_us", headers);
    std::filesystem::remove(path);
    return 0;
}
