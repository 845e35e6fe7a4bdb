// SPDX-License-Identifier: MIT
// The Windows side of the file seam, on the real system (under Wine in the
// build): UTF-16 and long folder names, whole records appended there, the
// reasons a refused open is given, and failed appends beside a second board.
#include <process.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "../fakes.h"
#include "platform/win32/win32_files.h"
#include "roundlog/roundlog.h"

namespace {

using platform::FileError;

// The reason an open of that path is refused; none if it opens.
std::optional<FileError> refusal(const platform::NativePath& path) {
    try {
        platform::Win32FileSystem().openForAppend(path);
    } catch (const platform::FileException& e) {
        return e.failure().reason;
    }
    return std::nullopt;
}

// The system's LockFileEx as this program calls it: through its import.
extern "C" decltype(&LockFileEx) importedLockFileEx __asm__("__imp__LockFileEx@24");
decltype(&LockFileEx) systemLockFileEx = nullptr;
HANDLE otherWaits = nullptr;  // set by the other board as it waits for the lock

// The other board's LockFileEx: tried first without waiting; if another
// holds the lock and the caller would wait, it says so, then waits.
BOOL WINAPI lockSayingWhenWaiting(HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high,
                                  LPOVERLAPPED at) {
    if (systemLockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, reserved, low, high, at) != 0) {
        return TRUE;
    }
    if ((flags & LOCKFILE_FAIL_IMMEDIATELY) == 0) SetEvent(otherWaits);
    return systemLockFileEx(file, flags, reserved, low, high, at);
}

// The other board: this program again, with the log's path in
// TABELLONE_OTHER_BOARD; it appends the record of 90 before any test runs,
// setting the event named in TABELLONE_OTHER_WAITS if it waits for the lock.
const bool kOtherBoard = [] {
    wchar_t log[4096];
    wchar_t waits[64];
    if (GetEnvironmentVariableW(L"TABELLONE_OTHER_BOARD", log, 4096) == 0 ||
        GetEnvironmentVariableW(L"TABELLONE_OTHER_WAITS", waits, 64) == 0) {
        return false;
    }
    otherWaits = OpenEventW(EVENT_MODIFY_STATE, FALSE, waits);
    DWORD was = 0;
    VirtualProtect(&importedLockFileEx, sizeof importedLockFileEx, PAGE_READWRITE, &was);
    systemLockFileEx = std::exchange(importedLockFileEx, lockSayingWhenWaiting);
    platform::Win32FileSystem().openForAppend(log)->append(fakes::record("90"));
    ExitProcess(0);
}();

// Our write stops 3 bytes in (failing 1), or our flush fails (2), as the
// other board starts, and goes on once the other waits for our lock or has
// ended (the lock broken); not within a minute: `otherStuck`. Or our write
// stops 3 bytes in as a program that takes no lock appends a line after
// them (3), or it takes 3 bytes and reports no error (4).
int failing = 0;
intptr_t other = -1;
bool otherStuck = false;
platform::NativePath watched;
BOOL fails(DWORD error) {
    const platform::NativePath exe = platform::Win32AppFolder().path() / L"core_tests.exe";
    other = _wspawnl(_P_NOWAIT, exe.c_str(), L"core_tests", nullptr);
    const HANDLE either[] = {otherWaits, reinterpret_cast<HANDLE>(other)};
    otherStuck = otherStuck || other == -1 ||
                 WaitForMultipleObjects(2, either, FALSE, 60000) == WAIT_TIMEOUT;
    SetLastError(error);
    return FALSE;
}
BOOL WINAPI flakyWrite(HANDLE h, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED at) {
    const bool torn = failing == 1 || failing >= 3;
    const BOOL ok = WriteFile(h, data, torn ? 3 : size, written, at);
    if (failing == 3) {
        const HANDLE plain =
            CreateFileW(watched.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD n = 0;
        WriteFile(plain, "altro\r\n", 7, &n, nullptr);
        CloseHandle(plain);
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return failing == 1 ? fails(ERROR_DISK_FULL) : ok;
}
BOOL WINAPI flakyFlush(HANDLE h) {
    return failing == 2 ? fails(ERROR_IO_DEVICE) : FlushFileBuffers(h);
}

TEST(Win32Files, WholeRecordsInADeepFolderNamedInAnyScript) {
    fakes::TempDir dir;
    const platform::NativePath folder = platform::NativePath(dir.path) /
                                        L"citt\u00E0 \u6771\u4EAC" / std::wstring(130, L'd') /
                                        std::wstring(130, L'e');
    std::filesystem::create_directories(folder);
    const platform::NativePath log = folder / L"logSorvina.txt";
    ASSERT_GT(log.native().size(), 300U);
    for (int run = 0; run < 2; ++run) {
        fakes::FixedFolder place(folder);
        platform::Win32FileSystem files;
        fakes::FixedClock clock;  // 2026-03-07 09:05:03
        roundlog::RoundLog round(place, files, clock);
        round.open();
        round.appendHeader();
        round.appendCall("5");
        round.appendCall("42");
        round.close();
    }
    const std::string once = fakes::kMorningHeader + fakes::record("5") + fakes::record("42");
    EXPECT_EQ(fakes::readFile(log), once + once);  // the second run appends after it
}

TEST(Win32Files, PathsOfTheExecutableAndTheLog) {
    EXPECT_EQ(platform::folderOf(L"C:\\Giochi\\Tombola\\tabellone.exe"), L"C:\\Giochi\\Tombola");
    // A drive's root keeps its backslash, so the log's path has two in a row.
    EXPECT_EQ(platform::folderOf(L"E:\\tabellone.exe"), L"E:\\");
    EXPECT_EQ(roundlog::pathIn(platform::folderOf(L"E:\\tabellone.exe")).native(),
              L"E:\\\\logSorvina.txt");
    // The form that opens a long path: a drive's, a share's, or as it is.
    EXPECT_EQ(platform::longPathForm(L"C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(platform::longPathForm(L"\\\\sala\\giochi\\x"), L"\\\\?\\UNC\\sala\\giochi\\x");
    for (const wchar_t* kept : {L"\\\\?\\C:\\x", L"\\\\?\\UNC\\s\\g", L"x"})
        EXPECT_EQ(platform::longPathForm(kept), kept);
    const platform::NativePath here = platform::Win32AppFolder().path();
    EXPECT_TRUE(std::filesystem::is_regular_file(here / L"core_tests.exe")) << here.string();
}

TEST(Win32Files, RefusedOpensSayWhy) {
    fakes::TempDir dir;
    const platform::NativePath folder(dir.path);
    EXPECT_EQ(refusal(folder / L"assente" / L"logSorvina.txt"), FileError::NotFound);
    std::filesystem::create_directory(folder / L"logSorvina.txt");
    EXPECT_EQ(refusal(folder / L"logSorvina.txt"), FileError::IsADirectory);
    EXPECT_EQ(refusal(L"NUL"), FileError::NotRegular);

    // Held by a program that shares nothing: in use. Once let go, it opens.
    const platform::NativePath held = folder / L"tenuto.txt";
    const HANDLE other = CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(refusal(held), FileError::Busy);
    CloseHandle(other);
    EXPECT_EQ(refusal(held), std::nullopt);
    EXPECT_EQ(refusal(folder / L"sala?" / L"logSorvina.txt"), FileError::InvalidName);
}

TEST(Win32Files, TwoBoardsOnOneLogOneFailing) {
    fakes::TempDir dir;
    const platform::NativePath log = watched = dir.logPath();
    const auto file = platform::Win32FileSystem({flakyWrite, flakyFlush}).openForAppend(log);
    SetEnvironmentVariableW(L"TABELLONE_OTHER_BOARD", log.c_str());
    const std::wstring waits = L"tabellone-other-waits-" + std::to_wstring(GetCurrentProcessId());
    otherWaits = CreateEventW(nullptr, FALSE, FALSE, waits.c_str());
    otherStuck = false;
    SetEnvironmentVariableW(L"TABELLONE_OTHER_WAITS", waits.c_str());
    const auto fails = [&](int call) {
        failing = call;
        EXPECT_THROW(file->append(fakes::record("42")), platform::FileException);
        failing = 0;
        _cwait(nullptr, other, 0);  // its record is in
        file->append(fakes::record("5"));
    };
    file->append(fakes::kMorningHeader);
    fails(1);
    fails(2);
    SetEnvironmentVariableW(L"TABELLONE_OTHER_BOARD", nullptr);
    // Our 3 bytes stay rather than cut the other program's line.
    failing = 3;
    EXPECT_THROW(file->append(fakes::record("42")), platform::FileException);
    failing = 4;  // a short write is a failure, and taken back
    EXPECT_THROW(file->append(fakes::record("42")), platform::FileException);
    failing = 0;
    CloseHandle(otherWaits);
    EXPECT_FALSE(otherStuck) << "the other board neither waited for our lock nor ended";
    const std::string turn = fakes::record("90") + fakes::record("5");
    EXPECT_EQ(fakes::readFile(log), fakes::kMorningHeader + turn + turn + "\"42altro\r\n");
}

}  // namespace
