#include "log_file.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>

namespace orn {

namespace {

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return ENOENT;
    case ERROR_DIRECTORY: return EISDIR;
    case ERROR_FILE_TOO_LARGE: return EFBIG;
    default: return EIO;   // a medium pulled out, a network share gone
    }
}

HANDLE H(long long handle) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle)); }

std::wstring Wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
    return w;
}

} // namespace

int TLogFile::Open(const std::string& path) {
    Close();
    // Others may read the file while it is written (a spreadsheet, a copy).
    const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder by that name.
        return error == ERROR_ACCESS_DENIED && GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES &&
                       (GetFileAttributesW(Wide(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY)
                   ? EISDIR
                   : ErrnoOf(error);
    }
    handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(h));
    return 0;
}

void TLogFile::Close() {
    if (handle_ != -1) CloseHandle(H(handle_));
    handle_ = -1;
}

int TLogFile::Write(const char* data, size_t n) {
    for (size_t done = 0; done < n;) {
        DWORD k = 0;
        const DWORD ask = DWORD(std::min<size_t>(n - done, 1u << 20));
        if (!WriteFile(H(handle_), data + done, ask, &k, nullptr)) return ErrnoOf(GetLastError());
        if (k == 0) return EIO;
        done += k;
    }
    return 0;
}

int TLogFile::Sync() {
    if (!FlushFileBuffers(H(handle_))) {
        const DWORD error = GetLastError();
        if (error != ERROR_INVALID_FUNCTION && error != ERROR_INVALID_HANDLE) return ErrnoOf(error);
    }
    return 0;
}

void TLogFile::Truncate(long long size) {
    LARGE_INTEGER at;
    at.QuadPart = size;
    // Nothing more can be done for a medium that is gone.
    if (SetFilePointerEx(H(handle_), at, nullptr, FILE_BEGIN)) (void)SetEndOfFile(H(handle_));
}

} // namespace orn
