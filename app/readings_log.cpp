#include "readings_log.h"

#include "report.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orn {

namespace {

const char* const Bom = "\xEF\xBB\xBF";
// Why a recording stopped or could not start, besides an errno.
constexpr int ErrGone = -1;         // the file no longer has its name (deleted, renamed, the medium pulled)
constexpr int ErrNotRegular = -2;   // a FIFO, a device, a folder: no file to keep rows in
constexpr int ErrBacklog = -3;      // MaxPending rows waiting for a medium that does not answer

QString Tr(const char* text) { return QCoreApplication::translate("TReadingsLog", text); }

// The words for an errno of a failed open, write or sync, or one of the above.
std::string Reason(int err) {
    switch (err) {
    case ErrGone: return Tr("файл удалён или переименован").toStdString();
    case ErrNotRegular: return Tr("это не обычный файл").toStdString();
    case ErrBacklog: return Tr("носитель не отвечает").toStdString();
    case ENOSPC:
    case EDQUOT: return Tr("на диске нет места").toStdString();
    case EIO:
    case ENODEV:
    case ENXIO:
    case ESTALE: return Tr("носитель недоступен (извлечён?)").toStdString();
    case EROFS: return Tr("носитель только для чтения").toStdString();
    case EACCES:
    case EPERM: return Tr("нет права на запись").toStdString();
    case ENOENT:
    case ENOTDIR: return Tr("нет такой папки").toStdString();
    case EISDIR: return Tr("это папка").toStdString();
    case EFBIG: return Tr("файл слишком велик").toStdString();
    default: return std::strerror(err);
    }
}

// The file as the writer thread keeps it.
struct TLogFile {
    int fd = -1;
    std::string path;
    TReadingsLog::WriteFunction write;
    bool started = false;   // the first row has been written (the header decided)
};

// Whether the path still names the open file: not when it was deleted (or
// its folder, or the stick pulled) or another file took its name.
bool StillNamed(const TLogFile& f) {
    struct stat own {}, named {};
    return ::fstat(f.fd, &own) == 0 && own.st_nlink > 0 && ::stat(f.path.c_str(), &named) == 0 &&
           named.st_dev == own.st_dev && named.st_ino == own.st_ino;
}

// Appends one row (after the byte order mark and the header when the file
// is empty) and syncs it; 0, an errno or ErrGone.  What a failed write left
// of the row is taken back only while it is the end of the file: bytes
// another program appended after it stay, and so does the fragment then.
int WriteRow(TLogFile& f, const std::string& row) {
    std::string out;
    if (!f.started) {
        struct stat st {};
        if (::fstat(f.fd, &st) == 0 && st.st_size == 0) out = Bom + ReadingsCsvHeader();
        f.started = true;
    }
    out += row;
    off_t from = -1, to = -1;   // where our bytes are
    bool whole = true;          // in one piece, nobody else's between them
    auto fail = [&](int err) {
        struct stat st {};
        if (whole && from >= 0 && ::fstat(f.fd, &st) == 0 && st.st_size == to && ::ftruncate(f.fd, from) != 0) {
            // Nothing more can be done for a medium that is gone.
        }
        return err;
    };
    for (size_t done = 0; done < out.size();) {
        const long n = f.write(f.fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : EIO);
        // Each write lands at the end of the file, after anything another
        // program appended meanwhile.
        const off_t end = ::lseek(f.fd, 0, SEEK_CUR);
        if (end < 0 || (done > 0 && end - n != to)) whole = false;
        if (done == 0) from = end - n;
        to = end;
        done += size_t(n);
    }
    // On the medium before the row counts; a file system that cannot sync
    // has nothing to wait for.
    if (::fdatasync(f.fd) != 0 && errno != EINVAL && errno != EROFS) return fail(errno);
    return StillNamed(f) ? 0 : ErrGone;
}

} // namespace

bool HexReading(int row, const std::string& text, const std::string& sep) {
    return row == StatusRow || (row == GasRow && text.find(sep) == std::string::npos);
}

const std::vector<std::string>& ReadingColumns() {
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> out;
        for (int devType = 0; devType < DevTypeCount; ++devType)
            for (int row = 0; row < GridRowCount; ++row) {
                const std::string label = RowLabels(devType, row);
                bool known = label.empty();
                for (const std::string& c : out) known = known || c == label;
                if (!known) out.push_back(label);
            }
        return out;
    }();
    return columns;
}

std::string ReadingsCsvHeader() {
    std::vector<std::string> fields = {"Дата и время", "Порт", "Адрес", "Модель"};
    for (const std::string& c : ReadingColumns()) fields.push_back(c);
    return records::CsvLine(fields);
}

std::string ReadingsCsvRow(const std::string& when, const std::string& port, int address, int devType,
                           const TRegImage& image, const std::string& sep) {
    const TModelInfo* model = ModelOf(devType);
    std::vector<std::string> fields = {when, port, std::to_string(address), model ? model->ItemText : ""};
    for (const std::string& column : ReadingColumns()) {
        std::string value;
        for (int row = 0; row < GridRowCount; ++row) {
            if (column != RowLabels(devType, row)) continue;
            if (auto text = ReadingText(devType, row, image, sep))
                value = HexReading(row, *text, sep) ? "0x" + *text : *text;
            break;
        }
        fields.push_back(value);
    }
    return records::CsvLine(fields);
}

// ---------------------------------------------------------------- the file

// What the window's thread and the writer share, under `m`.
struct TReadingsLog::Session {
    std::mutex m;
    std::condition_variable wake;   // the writer: a row, or the end
    std::condition_variable idle;   // the window: no row waiting, or the writer gone
    // Rows not yet on the medium, with when each was handed over; the first
    // is the one being written.
    std::deque<std::pair<std::string, uint32_t>> rows;
    bool closing = false;     // no more rows: end once these are written
    bool abandoned = false;   // end after the row being written; the others were dropped
    bool finished = false;    // the writer has ended
    int written = 0;
    int lost = 0;
    int error = 0;            // why the recording stopped by itself
    std::function<void()> onChange;
    TLogFile file;            // the writer's alone
};

TReadingsLog::TReadingsLog(std::function<uint32_t()> nowMs) : nowMs_(std::move(nowMs)) {}

TReadingsLog::~TReadingsLog() { Stop(); }

bool TReadingsLog::Start(const std::string& path, bool replace) {
    Stop();
    session_.reset();
    path_ = path;
    startError_ = 0;
    // Not blocking: opening a FIFO for writing would wait for a reader.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    struct stat st {};
    if (fd < 0) {
        const int err = errno;
        // A FIFO without a reader refuses with ENXIO: say what it is instead.
        startError_ = ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) ? ErrNotRegular : err;
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) startError_ = ErrNotRegular;
    else if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) startError_ = errno;
    // Emptied only when the user confirmed replacing it.
    else if (replace && ::ftruncate(fd, 0) != 0) startError_ = errno;
    if (startError_) {
        ::close(fd);
        return false;
    }
    session_ = std::make_shared<Session>();
    session_->onChange = OnChange;
    session_->file.fd = fd;
    session_->file.path = path;
    session_->file.write = WriteFile ? WriteFile
                                     : [](int out, const char* data, size_t size) { return long(::write(out, data, size)); };
    writer_ = std::thread(Writer, session_);
    return true;
}

void TReadingsLog::Writer(std::shared_ptr<Session> s) {
    std::unique_lock<std::mutex> lock(s->m);
    for (;;) {
        s->wake.wait(lock, [&] { return !s->rows.empty() || s->closing || s->abandoned; });
        if (s->abandoned || s->rows.empty()) break;
        const std::string row = s->rows.front().first;
        lock.unlock();
        const int err = WriteRow(s->file, row);
        lock.lock();
        if (s->abandoned) break;
        s->rows.pop_front();
        if (err) {
            s->error = err;
            s->lost += 1 + int(s->rows.size());
            s->rows.clear();
        } else {
            ++s->written;
        }
        if (s->onChange) s->onChange();
        if (s->rows.empty()) s->idle.notify_all();
        if (err) break;
    }
    // Closing may wait for the medium too: not while the window may look.
    const int fd = s->file.fd;
    lock.unlock();
    ::close(fd);
    lock.lock();
    s->finished = true;
    s->idle.notify_all();
}

int TReadingsLog::Stop(int waitMs) {
    if (!writer_.joinable()) return 0;
    Session& s = *session_;
    std::unique_lock<std::mutex> lock(s.m);
    s.closing = true;
    s.onChange = nullptr;   // the caller looks at the state itself when this returns
    s.wake.notify_all();
    if (s.idle.wait_for(lock, std::chrono::milliseconds(std::max(waitMs, 0)), [&] { return s.finished; })) {
        lock.unlock();
        writer_.join();
        return 0;
    }
    // The medium does not answer: the writer is left with the row it is
    // writing (it keeps the session alive); the others are dropped.
    const int lost = int(s.rows.size());
    s.lost += lost;
    s.rows.clear();
    s.abandoned = true;
    s.wake.notify_all();
    lock.unlock();
    writer_.detach();
    return lost;
}

bool TReadingsLog::Recording() const { return Status().recording; }

bool TReadingsLog::Append(const std::string& row) {
    if (!writer_.joinable()) return false;
    Session& s = *session_;
    std::unique_lock<std::mutex> lock(s.m);
    if (s.closing || s.error) return false;
    if (int(s.rows.size()) >= MaxPending) {
        s.error = ErrBacklog;
        ++s.lost;
        lock.unlock();
        Stop(0);
        return false;
    }
    s.rows.emplace_back(row, nowMs_());
    s.wake.notify_one();
    return true;
}

bool TReadingsLog::Flush(int waitMs) {
    if (!session_) return true;
    Session& s = *session_;
    std::unique_lock<std::mutex> lock(s.m);
    return s.idle.wait_for(lock, std::chrono::milliseconds(std::max(waitMs, 0)),
                           [&] { return s.rows.empty() || s.finished; }) &&
           s.rows.empty();
}

TReadingsLog::TStatus TReadingsLog::Status() const {
    TStatus status;
    status.path = path_;
    if (!session_) {
        status.error = Error();
        return status;
    }
    Session& s = *session_;
    std::lock_guard<std::mutex> lock(s.m);
    status.recording = !s.closing && s.error == 0;
    status.rows = s.written;
    status.pending = int(s.rows.size());
    status.stalled = !s.rows.empty() && nowMs_() - s.rows.front().second >= StallMs;
    status.lost = s.lost;
    if (s.error) status.error = Reason(s.error);
    return status;
}

std::string TReadingsLog::Error() const {
    if (startError_ || !session_) return startError_ ? Reason(startError_) : std::string();
    return Status().error;
}

} // namespace orn
