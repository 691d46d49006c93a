#include "log_file.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace orn {

namespace {

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295: return ENOSPC;   // ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: return ENOENT;
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

// Where the file is: its volume and its index there.
bool FileId(HANDLE h, BY_HANDLE_FILE_INFORMATION& info) { return GetFileInformationByHandle(h, &info) != 0; }

bool SetSize(HANDLE h, long long size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(h, FileEndOfFileInfo, &end, sizeof end) != 0;
}

// Others may read, append, rename and delete the file meanwhile, as on a
// POSIX system.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

int TLogFile::Open(const std::string& path, bool replace) {
    Close();
    const std::wstring name = Wide(path);
    // Write access to the data (not append alone) so that the file can be
    // emptied and a partial row cut back; every write goes to the end
    // (Write).  Opening a device or a pipe never waits here.
    const HANDLE h = CreateFileW(name.c_str(), FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                 ShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(name.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? NotRegular
                                                                                               : ErrnoOf(error);
    }
    int err = 0;
    BY_HANDLE_FILE_INFORMATION info{};
    // A disk file, not a device (NUL, COM1), a pipe or a console.
    if (GetFileType(h) != FILE_TYPE_DISK || !FileId(h, info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        err = NotRegular;
    // Emptied only when the user confirmed replacing it.
    else if (replace && !SetSize(h, 0))
        err = ErrnoOf(GetLastError());
    if (err) {
        CloseHandle(h);
        return err;
    }
    handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(h));
    path_ = path;
    return 0;
}

void TLogFile::Close() {
    if (handle_ != -1) CloseHandle(H(handle_));
    handle_ = -1;
}

long TLogFile::Write(const char* data, size_t n) {
    // Both offsets all ones: at the end of the file, decided by the file
    // system as the write happens (what FILE_APPEND_DATA alone does); the
    // file pointer is left at the end of what was written.
    OVERLAPPED atEnd{};
    atEnd.Offset = 0xFFFFFFFF;
    atEnd.OffsetHigh = 0xFFFFFFFF;
    DWORD k = 0;
    if (!WriteFile(H(handle_), data, DWORD(std::min<size_t>(n, 1u << 20)), &k, &atEnd)) {
        errno = ErrnoOf(GetLastError());
        return -1;
    }
    return long(k);
}

long long TLogFile::Offset() const {
    LARGE_INTEGER zero{}, at{};
    return SetFilePointerEx(H(handle_), zero, &at, FILE_CURRENT) ? at.QuadPart : -1;
}

long long TLogFile::Size() const {
    LARGE_INTEGER size{};
    return GetFileSizeEx(H(handle_), &size) ? size.QuadPart : -1;
}

int TLogFile::Sync() {
    if (!FlushFileBuffers(H(handle_))) {
        const DWORD error = GetLastError();
        if (error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED) return ErrnoOf(error);
    }
    return 0;
}

void TLogFile::CutBack(long long size, long long end) {
    // Nothing more can be done for a medium that is gone.
    if (Size() == end) (void)SetSize(H(handle_), size);
}

bool TLogFile::StillNamed() const {
    // Deleted: gone from its folder, or going once the last program that
    // has it open closes it (the name stays taken until then).
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(H(handle_), FileStandardInfo, &standard, sizeof standard) ||
        standard.DeletePending || standard.NumberOfLinks == 0)
        return false;
    BY_HANDLE_FILE_INFORMATION own{}, named{};
    const HANDLE other = CreateFileW(Wide(path_).c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (other == INVALID_HANDLE_VALUE) return false;
    const bool same = FileId(H(handle_), own) && FileId(other, named) &&
                      own.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
                      own.nFileIndexHigh == named.nFileIndexHigh && own.nFileIndexLow == named.nFileIndexLow;
    CloseHandle(other);
    return same;
}

} // namespace orn
