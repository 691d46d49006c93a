#include "log_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace orn {

namespace {

int Errno() {
    switch (errno) {
    case EDQUOT: return ENOSPC;
    case ESTALE: return EIO;
    default: return errno;
    }
}

} // namespace

int TLogFile::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Errno();
    handle_ = fd;
    return 0;
}

void TLogFile::Close() {
    if (handle_ != -1) ::close(int(handle_));
    handle_ = -1;
}

int TLogFile::Write(const char* data, size_t n) {
    for (size_t done = 0; done < n;) {
        const ssize_t k = ::write(int(handle_), data + done, n - done);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return k < 0 ? Errno() : EIO;
        done += size_t(k);
    }
    return 0;
}

int TLogFile::Sync() {
    if (::fdatasync(int(handle_)) != 0 && errno != EINVAL && errno != EROFS) return Errno();
    return 0;
}

void TLogFile::Truncate(long long size) {
    if (::ftruncate(int(handle_), off_t(size)) != 0) {
        // Nothing more can be done for a medium that is gone.
    }
}

} // namespace orn
