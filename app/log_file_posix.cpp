#include "log_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orn {

namespace {

// The errno as the log tells it: a quota is a full disk, a lost network
// share a medium gone.
int Errno() {
    switch (errno) {
    case EDQUOT: return ENOSPC;
    case ESTALE: return EIO;
    default: return errno;
    }
}

} // namespace

int TLogFile::Open(const std::string& path, bool replace) {
    Close();
    // Not blocking: opening a FIFO for writing would wait for a reader.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    struct stat st {};
    if (fd < 0) {
        const int err = Errno();
        // A FIFO without a reader refuses with ENXIO: say what it is instead.
        return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) ? NotRegular : err;
    }
    int err = 0;
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) err = NotRegular;
    else if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) err = Errno();
    // Emptied only when the user confirmed replacing it.
    else if (replace && ::ftruncate(fd, 0) != 0) err = Errno();
    if (err) {
        ::close(fd);
        return err;
    }
    handle_ = fd;
    path_ = path;
    return 0;
}

void TLogFile::Close() {
    if (handle_ != -1) ::close(int(handle_));
    handle_ = -1;
}

long TLogFile::Write(const char* data, size_t n) {
    const long k = long(::write(int(handle_), data, n));
    if (k < 0) errno = Errno();
    return k;
}

long long TLogFile::Offset() const { return ::lseek(int(handle_), 0, SEEK_CUR); }

long long TLogFile::Size() const {
    struct stat st {};
    return ::fstat(int(handle_), &st) == 0 ? st.st_size : -1;
}

int TLogFile::Sync() {
    if (::fdatasync(int(handle_)) != 0 && errno != EINVAL && errno != EROFS) return Errno();
    return 0;
}

void TLogFile::CutBack(long long size, long long end) {
    if (Size() == end && ::ftruncate(int(handle_), off_t(size)) != 0) {
        // Nothing more can be done for a medium that is gone.
    }
}

bool TLogFile::StillNamed() const {
    struct stat own {}, named {};
    return ::fstat(int(handle_), &own) == 0 && own.st_nlink > 0 && ::stat(path_.c_str(), &named) == 0 &&
           named.st_dev == own.st_dev && named.st_ino == own.st_ino;
}

} // namespace orn
