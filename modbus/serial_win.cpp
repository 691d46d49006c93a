#include "serial_win.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace orn {

namespace {

// How long one read, write or wait may take before it is abandoned.  A read
// returns at once by its timeouts and a write is queued in the time its
// bytes take on the line; a driver that takes longer is treated as failed
// rather than allowed to hold the thread.
constexpr DWORD ReadLimitMs = 1000;
constexpr DWORD WriteSlackMs = 1000;

std::string Utf8Of(const wchar_t* w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 1 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
    return w;
}

bool IsComName(const std::string& s) {
    if (s.size() < 4 || s.size() > 6) return false;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(s[size_t(i)])) != "COM"[i]) return false;
    return std::all_of(s.begin() + 3, s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class Event {
public:
    Event() : h_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (h_) CloseHandle(h_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// One open port.  Opened by this backend the handle is overlapped: reads and
// writes wait for their own completion (bounded), and a WaitCommEvent for
// received characters can be kept pending beside them, signalling an event
// that a real-time loop waits on.
class WinSerialDevice : public SerialDevice {
public:
    WinSerialDevice(HANDLE h, bool overlapped, std::string identity = {})
        : h_(h), overlapped_(overlapped), identity_(std::move(identity)) {
        readOv_.hEvent = readDone_.get();
        writeOv_.hEvent = writeDone_.get();
        waitOv_.hEvent = readable_.get();
    }
    ~WinSerialDevice() override {
        if (h_ == INVALID_HANDLE_VALUE) return;
        endWait();
        CloseHandle(h_);
    }
    WinSerialDevice(const WinSerialDevice&) = delete;
    WinSerialDevice& operator=(const WinSerialDevice&) = delete;

    void configure(const LineSettings& s) override {
        if (h_ == INVALID_HANDLE_VALUE) return;
        settings_ = s;
        // Every field is set: flags taken over from the port's previous
        // owner (XON/XOFF, say) would silently eat 0x11 and 0x13 from answers.
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = s.baudRate;
        dcb.fBinary = TRUE;
        // The parity bit is generated on transmit but not checked on receive:
        // a damaged byte reaches the CRC check as it came.
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = s.rtsCts ? TRUE : FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = s.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fTXContinueOnXoff = FALSE;
        dcb.fOutX = s.xonXoff ? TRUE : FALSE;
        dcb.fInX = s.xonXoff ? TRUE : FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = s.rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
        dcb.fAbortOnError = FALSE;
        dcb.XonLim = WORD(s.inBufferSize / 4);
        dcb.XoffLim = 1;
        dcb.ByteSize = BYTE(s.dataBits);
        dcb.Parity = BYTE(s.parity);       // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
        dcb.StopBits = BYTE(s.stopBits);   // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        // Results are not examined: a device keeps working with what it took.
        (void)SetCommState(h_, &dcb);
        (void)SetupComm(h_, s.inBufferSize, s.outBufferSize);
    }

    void purge(bool rx, bool tx) override {
        if (h_ == INVALID_HANDLE_VALUE) return;
        DWORD flags = 0;
        if (tx) flags |= PURGE_TXABORT | PURGE_TXCLEAR;
        if (rx) flags |= PURGE_RXABORT | PURGE_RXCLEAR;
        (void)PurgeComm(h_, flags);
    }

    int outQueued() override {
        COMSTAT stat{};
        // A port that cannot answer holds nothing back; the write that
        // follows then reports the failure.
        return status(stat) ? int(std::min<DWORD>(stat.cbOutQue, 0x7fffffff)) : 0;
    }

    int inQueued() override {
        COMSTAT stat{};
        return status(stat) ? int(std::min<DWORD>(stat.cbInQue, 0x7fffffff)) : 0;
    }

    long read(uint8_t* buf, size_t n) override {
        if (gone_ || h_ == INVALID_HANDLE_VALUE) return -1;
        collectWait();
        // The queue's fill first: a device that is gone (the adapter pulled,
        // the line hung up) cannot report it, and a read is made only of
        // bytes that are there, so it completes at once whatever the driver
        // does with an empty queue.
        COMSTAT stat{};
        if (!status(stat)) return lost();
        DWORD got = 0;
        if (n > 0 && stat.cbInQue > 0) {
            const DWORD ask = DWORD(std::min<size_t>({n, stat.cbInQue, 0x10000}));
            ResetEvent(readOv_.hEvent);
            const BOOL done = ReadFile(h_, buf, ask, nullptr, &readOv_);
            if (!finish(done, readOv_, ReadLimitMs, got)) return lost();
        }
        if (watching_) arm();
        return long(got);
    }

    long write(const uint8_t* buf, size_t n) override {
        if (gone_ || h_ == INVALID_HANDLE_VALUE) return -1;
        if (n == 0) return 0;
        const DWORD ask = DWORD(std::min<size_t>(n, 0x10000));
        ResetEvent(writeOv_.hEvent);
        const BOOL done = WriteFile(h_, buf, ask, nullptr, &writeOv_);
        DWORD put = 0;
        // The bytes' time on the line, twice, and a second on top: a write
        // that takes longer went nowhere (a stalled or vanished device).
        const double wireMs =
            double(ask) * bitsPerCharacter(settings_) * 1000.0 / double(std::max<uint32_t>(settings_.baudRate, 1));
        if (!finish(done, writeOv_, DWORD(2 * wireMs) + WriteSlackMs, put)) {
            if (put == 0) return lost();
        }
        return long(put);
    }

    bool waitWritable(int ms) override {
        if (gone_ || h_ == INVALID_HANDLE_VALUE) return false;
        COMSTAT stat{};
        if (!status(stat)) {
            lost();
            return false;
        }
        // The driver tells no moment when its queue drains; the caller asks
        // again after this pause, which keeps its loop from spinning.
        if (ms > 0) Sleep(1);
        return true;
    }

    // A failure of a port that was open is the device's: gone (ENODEV),
    // or EBADF for a handle that is no longer one.
    int lastError() const override { return lastError_; }
    // The device instance the port belongs to (SetupAPI), else the device
    // object its DOS name leads to: every name of the port gives the same,
    // another adapter under the same COM number another.
    std::string identity() const override { return identity_; }

    int nativeHandle() const override { return h_ == INVALID_HANDLE_VALUE ? -1 : int(HandleToLong(h_)); }

    int readableHandle() override {
        if (!overlapped_ || h_ == INVALID_HANDLE_VALUE) return -1;
        if (!watching_) {
            watching_ = true;
            // Received characters complete the wait; an error on the line
            // (or a vanished device) too, so that a reader learns of it.
            (void)SetCommMask(h_, EV_RXCHAR | EV_ERR);
            arm();
        }
        return int(HandleToLong(readable_.get()));
    }

    void release() override {
        endWait();
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    bool status(COMSTAT& stat) {
        DWORD errors = 0;
        return ClearCommError(h_, &errors, &stat) != 0;
    }

    // Waits up to limitMs for an overlapped operation that ReadFile or
    // WriteFile started (`started`: it completed at once); `count` gets the
    // bytes it moved.  A late one is cancelled.  False when it failed.
    bool finish(BOOL started, OVERLAPPED& ov, DWORD limitMs, DWORD& count) {
        count = 0;
        if (!started && GetLastError() != ERROR_IO_PENDING) return false;
        if (WaitForSingleObject(ov.hEvent, limitMs) != WAIT_OBJECT_0) {
            CancelIoEx(h_, &ov);
            (void)GetOverlappedResult(h_, &ov, &count, TRUE);
            return false;
        }
        return GetOverlappedResult(h_, &ov, &count, FALSE) != 0;
    }

    long lost() {
        lastError_ = GetLastError() == ERROR_INVALID_HANDLE ? EBADF : ENODEV;
        gone_ = true;
        // The event is never signalled again: a loop waiting on it goes on
        // by its timers, and the master ends the transaction by its timeout.
        endWait();
        ResetEvent(readable_.get());
        return -1;
    }

    // Takes the result of a wait that has completed.
    void collectWait() {
        if (!waitPending_ || !HasOverlappedIoCompleted(&waitOv_)) return;
        DWORD dummy = 0;
        (void)GetOverlappedResult(h_, &waitOv_, &dummy, FALSE);
        waitPending_ = false;
    }

    // Keeps the readable event true to the queue: signalled while bytes wait
    // (or a wait for them has completed), else reset with a WaitCommEvent
    // pending that signals it when the next character arrives.
    void arm() {
        collectWait();
        if (waitPending_ || gone_) return;
        COMSTAT stat{};
        if (!status(stat)) {
            SetEvent(readable_.get());   // the reader finds out what happened
            return;
        }
        if (stat.cbInQue > 0) {
            SetEvent(readable_.get());
            return;
        }
        ResetEvent(readable_.get());
        waitMask_ = 0;
        if (WaitCommEvent(h_, &waitMask_, &waitOv_)) {
            SetEvent(readable_.get());
        } else if (GetLastError() == ERROR_IO_PENDING) {
            waitPending_ = true;
        } else {
            SetEvent(readable_.get());
        }
    }

    // Ends a pending wait; its OVERLAPPED must not be in use when the device
    // goes.
    void endWait() {
        if (!waitPending_) return;
        (void)SetCommMask(h_, 0);   // completes the pending WaitCommEvent
        CancelIoEx(h_, &waitOv_);
        DWORD dummy = 0;
        (void)GetOverlappedResult(h_, &waitOv_, &dummy, TRUE);
        waitPending_ = false;
    }

    HANDLE h_;
    bool overlapped_;
    bool gone_ = false;
    bool watching_ = false;      // someone waits on readable_
    bool waitPending_ = false;   // a WaitCommEvent is outstanding
    DWORD waitMask_ = 0;
    int lastError_ = 0;
    std::string identity_;
    LineSettings settings_;
    Event readDone_, writeDone_, readable_;
    OVERLAPPED readOv_{}, writeOv_{}, waitOv_{};
};

} // namespace

int PortErrnoOf(unsigned long win32Error) {
    switch (win32Error) {
    case ERROR_SUCCESS: return 0;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return EBUSY;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_REMOVED:
        return ENODEV;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_HANDLE:
        return ENOTTY;
    default:
        return EIO;
    }
}

std::string DevicePathOf(const std::string& path) { return IsComName(path) ? "\\\\.\\" + path : path; }

std::string PortIdentity(const std::string& devicePath) {
    const std::string name = devicePath.rfind("\\\\.\\", 0) == 0 ? devicePath.substr(4) : devicePath;
    std::string id = PortInstanceId(name);
    if (!id.empty()) return "instance " + id;
    wchar_t target[1024];
    if (QueryDosDeviceW(Wide(name).c_str(), target, 1023)) return "device " + Utf8Of(target);
    return devicePath;
}

std::string PortPath(int portNumber) {
    const std::string var = "ORN10_COM" + std::to_string(portNumber);
    const char* path = std::getenv(var.c_str());
    if (path && *path) return DevicePathOf(path);
    return "\\\\.\\COM" + std::to_string(portNumber);
}

std::unique_ptr<SerialBackend> MakeSystemSerialBackend() { return std::make_unique<WinSerialBackend>(); }

std::unique_ptr<SerialDevice> WinSerialBackend::open(int portNumber) { return openPath(PortPath(portNumber)); }

std::unique_ptr<SerialDevice> WinSerialBackend::openPath(const std::string& path) {
    lastOpenError_ = 0;
    // Share mode 0: no other program may have the port while it is open.
    const HANDLE h = CreateFileW(Wide(DevicePathOf(path)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastOpenError_ = PortErrnoOf(GetLastError());
        return nullptr;
    }
    // A file or a device that is no serial port has no communications
    // properties.  (GetCommState is no test: it fails on a port whose line
    // speed the driver cannot name until the speed is set.)
    COMMPROP properties{};
    if (!GetCommProperties(h, &properties)) {
        const DWORD err = GetLastError();
        CloseHandle(h);
        lastOpenError_ = err == ERROR_INVALID_FUNCTION || err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_HANDLE ||
                                 err == ERROR_INVALID_PARAMETER || err == ERROR_SUCCESS
                             ? ENOTTY
                             : PortErrnoOf(err);
        return nullptr;
    }
    // Reads return at once with what has arrived, possibly nothing; writes
    // have no driver timeout (the device bounds its own wait).
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    (void)SetCommTimeouts(h, &timeouts);
    (void)PurgeComm(h, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
    return std::make_unique<WinSerialDevice>(h, true, PortIdentity(DevicePathOf(path)));
}

std::unique_ptr<SerialDevice> WinSerialBackend::adopt(int handle) {
    const HANDLE h = LongToHandle(handle);
    DWORD flags = 0;
    if (handle == 0 || handle == -1 || !GetHandleInformation(h, &flags)) return nullptr;
    return std::make_unique<WinSerialDevice>(h, false);
}

} // namespace orn
