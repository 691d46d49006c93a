// The file the readings log appends to, one implementation per system
// (log_file_posix.cpp, log_file_win.cpp).  Used by the log's writer thread
// alone.  Failures are errno values on every system: ENOSPC (full; a quota
// too), EIO (the medium is gone, a network share lost), EROFS, EACCES,
// ENOENT, ...
#pragma once

#include <cstddef>
#include <string>

namespace orn {

class TLogFile {
public:
    // Why Open refused: the path names no regular file (a FIFO, a device,
    // a folder), where rows could not be kept.
    static constexpr int NotRegular = -2;

    TLogFile() = default;
    ~TLogFile() { Close(); }
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    // Opens the file at `path` (UTF-8) for appending, creating it if needed,
    // without ever waiting for it (a FIFO without a reader, a device); with
    // `replace` it is emptied.  Other programs may go on reading, appending
    // to, renaming and deleting it.  0, an errno or NotRegular.
    int Open(const std::string& path, bool replace);
    void Close();
    bool IsOpen() const { return handle_ != -1; }

    // Writes up to n bytes at the end of the file, after whatever another
    // program appended meanwhile: the bytes written, or -1 with errno set.
    long Write(const char* data, size_t n);
    // The end of what the last write wrote; -1 when it cannot be told.
    long long Offset() const;
    // The file's size; -1 when it cannot be told.
    long long Size() const;
    // Puts what was written on the medium: 0 or the errno.  A file system
    // that cannot sync has nothing to wait for: 0.
    int Sync();
    // Cuts the file back to `size` bytes, only while it is still `end` bytes
    // long: what another program appended stays.
    void CutBack(long long size, long long end);
    // Whether its path still names the open file: not once it was deleted
    // (its folder too, the stick pulled) or another file took the name.
    bool StillNamed() const;

private:
    long long handle_ = -1;   // a descriptor, or a HANDLE
    std::string path_;
};

} // namespace orn
