// What orn10ctl asks of the system besides the serial port, one
// implementation per system (host_posix.cpp, host_win.cpp).
#pragma once

#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>

#include "texts.h"

namespace orn::ctl {

// Raises `flag` when the user asks the program to stop: SIGINT, SIGTERM,
// SIGHUP on POSIX systems; Ctrl+C, Ctrl+Break and a closed console window on
// Windows.  A wait in progress is cut short or ends within 10 ms.
void InstallStopHandlers(volatile std::sig_atomic_t* flag);

// Waits end when they are due: Linux's timer slack (up to 50 us) and
// Windows' default timer period (15.6 ms) would make every transaction late.
void TightenTimers();

// Lets the console show UTF-8 output (Windows; nothing elsewhere).
void PrepareConsole();

// A reader that closes the pipe is told by EPIPE, not by a signal that ends
// the program (SIGPIPE; Windows sends none).
void IgnoreBrokenPipe();

// The errno of a write to the output that has just failed: errno, but EPIPE
// for a pipe whose reader has gone, however the C runtime named that
// (Windows' gives ERROR_NO_DATA as EPIPE, ERROR_PIPE_NOT_CONNECTED as EINVAL).
int OutputErrno();

// Whether `f` goes to a terminal.
bool IsTerminal(std::FILE* f);

// The local time of `t`, and its offset from UTC as "+0300".
std::tm LocalTime(std::time_t t);
std::string UtcOffset(const std::tm& local);

// The language the user reads, when no --lang says it: the locale's
// variables (texts.h) where they are set; on Windows, without them, the
// user's interface language.
TLanguage SystemLanguage();
// The C library's own texts (strerror) in Russian too, where it has them
// (glibc by LC_MESSAGES; nothing to do on Windows).
void UseSystemMessages();

} // namespace orn::ctl
