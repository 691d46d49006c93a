#include "readings_log.h"

#include "report.h"
#include "texts.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>

namespace orn {

namespace {

const char* const Bom = "\xEF\xBB\xBF";
// Why a recording stopped or could not start, besides an errno.
constexpr int ErrGone = -1;         // the file no longer has its name (deleted, renamed, the medium pulled)
constexpr int ErrNotRegular = TLogFile::NotRegular;   // a FIFO, a device, a folder: no file to keep rows in
constexpr int ErrBacklog = -3;      // MaxPending rows waiting for a medium that does not answer

// The texts of the file and of its failures.
struct LogTexts {
    Q_DECLARE_TR_FUNCTIONS(orn::TReadingsLog)
};

// The words for an errno of a failed open, write or sync, or one of the above.
const char* Words(int err) {
    switch (err) {
    case ErrGone: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "файл удалён или переименован");
    case ErrNotRegular: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "это не обычный файл");
    case ErrBacklog: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "носитель не отвечает");
    case ENOSPC: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "на диске нет места");
    case EIO:
    case ENODEV:
    case ENXIO: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "носитель недоступен (извлечён?)");
    case EROFS: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "носитель только для чтения");
    case EACCES:
    case EPERM: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "нет права на запись");
    case ENOENT:
    case ENOTDIR: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "нет такой папки");
    case EISDIR: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "это папка");
    case EFBIG: return QT_TRANSLATE_NOOP("orn::TReadingsLog", "файл слишком велик");
    default: return nullptr;   // the system's own words
    }
}

std::string Reason(int err) {
    const char* words = Words(err);
    return words ? LogTexts::tr(words).toStdString() : std::strerror(err);
}

// The file as the writer thread keeps it.
struct TLogTarget {
    TLogFile file;
    TReadingsLog::WriteFunction write;
    bool started = false;   // the first row has been written (the header decided)
};

// Appends one row (after the byte order mark and the header when the file
// is empty) and syncs it; 0, an errno or ErrGone.  What a failed write left
// of the row is taken back only while it is the end of the file: bytes
// another program appended after it stay, and so does the fragment then.
int WriteRow(TLogTarget& f, const std::string& row) {
    std::string out;
    if (!f.started) {
        if (f.file.Size() == 0) out = Bom + ReadingsCsvHeader();
        f.started = true;
    }
    out += row;
    long long from = -1, to = -1;   // where our bytes are
    bool whole = true;              // in one piece, nobody else's between them
    auto fail = [&](int err) {
        if (whole && from >= 0) f.file.CutBack(from, to);
        return err;
    };
    for (size_t done = 0; done < out.size();) {
        const long n = f.write(f.file, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : EIO);
        // Each write lands at the end of the file, after anything another
        // program appended meanwhile.
        const long long end = f.file.Offset();
        if (end < 0 || (done > 0 && end - n != to)) whole = false;
        if (done == 0) from = end - n;
        to = end;
        done += size_t(n);
    }
    // On the medium before the row counts.
    if (const int err = f.file.Sync()) return fail(err);
    return f.file.StillNamed() ? 0 : ErrGone;
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
    std::vector<std::string> fields;
    for (const char* c : {QT_TRANSLATE_NOOP("orn::TReadingsLog", "Дата и время"), QT_TRANSLATE_NOOP("orn::TReadingsLog", "Порт"),
                          QT_TRANSLATE_NOOP("orn::TReadingsLog", "Адрес"), QT_TRANSLATE_NOOP("orn::TReadingsLog", "Модель")})
        fields.push_back(LogTexts::tr(c).toStdString());
    for (const std::string& c : ReadingColumns()) fields.push_back(InstrumentTr(c.c_str()).toStdString());
    return records::CsvLine(fields);
}

std::string ReadingsCsvRow(const std::string& when, const std::string& port, int address, int devType,
                           const TRegImage& image, const std::string& sep) {
    const TModelInfo* model = ModelOf(devType);
    std::vector<std::string> fields = {when, port, std::to_string(address), model ? InstrumentTr(model->ItemText).toStdString() : ""};
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
    TLogTarget target;        // the writer's alone
};

TReadingsLog::TReadingsLog(std::function<uint32_t()> nowMs) : nowMs_(std::move(nowMs)) {}

TReadingsLog::~TReadingsLog() { Stop(); }

bool TReadingsLog::Start(const std::string& path, bool replace) {
    Stop();
    session_.reset();
    path_ = path;
    startError_ = 0;
    session_ = std::make_shared<Session>();
    startError_ = session_->target.file.Open(path, replace);
    if (startError_) {
        session_.reset();
        return false;
    }
    session_->onChange = OnChange;
    session_->target.write = WriteFile ? WriteFile : [](TLogFile& file, const char* data, size_t size) {
        return file.Write(data, size);
    };
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
        const int err = WriteRow(s->target, row);
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
    lock.unlock();
    s->target.file.Close();
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
