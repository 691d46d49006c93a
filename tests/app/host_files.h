// What the readings log's tests need of the system's files, one
// implementation per system (host_files_posix.cpp, host_files_win.cpp).
#pragma once

#include <string>

namespace orn::test {

// A device that takes writes: /dev/full; NUL on Windows.
std::string DeviceFile();

// A path in `dir` whose opening for writing could wait for a reader: a FIFO
// there; on Windows, where a folder holds no FIFO, a named pipe this process
// serves.  Empty when it cannot be made.
std::string MakeFifo(const std::string& dir);
// Opens the FIFO for reading and closes it, which ends a writer's wait.
void OpenFifoReader(const std::string& fifo);

// Whether a file deleted while a program has it open is seen to be deleted
// by that program: not under Wine, which marks nothing (Windows marks it
// delete-pending or takes its name at once).
bool DeletionSeenWhileOpen();
// Whether the name of such a file is free for another file at once: not on
// Windows, which keeps it taken until the last handle is closed (except on
// NTFS with POSIX semantics).
bool DeletedNameIsFree();

// Whether the offscreen platform measures texts with the fonts the window's
// widths were checked against (Linux's); elsewhere it falls back to other
// fonts, in which even the Russian labels measure wider than they draw.
bool TextWidthsComparable();

} // namespace orn::test
