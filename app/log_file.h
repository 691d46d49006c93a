// A file that the readings log writes row by row and syncs, one
// implementation per system (log_file_posix.cpp, log_file_win.cpp).  Every
// failure is an errno value: ENOSPC (full; a quota too), EIO (the medium is
// gone), EROFS, EACCES, ENOENT, ...
#pragma once

#include <cstddef>
#include <string>

namespace orn {

class TLogFile {
public:
    TLogFile() = default;
    ~TLogFile() { Close(); }
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    // Creates the file at `path` (UTF-8), or empties it; 0 or the errno.
    int Open(const std::string& path);
    void Close();
    bool IsOpen() const { return handle_ != -1; }
    // Writes all n bytes at the end; 0 or the errno.
    int Write(const char* data, size_t n);
    // Puts what was written on the medium; 0 or the errno.  Files that
    // cannot be synced (a device, a pipe) have nothing to wait for: 0.
    int Sync();
    // Cuts the file to `size` bytes, as far as the medium lets it.
    void Truncate(long long size);

private:
    long long handle_ = -1;   // a descriptor, or a HANDLE
};

} // namespace orn
