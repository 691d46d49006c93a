// The readings log: one CSV row per successful read of the selected
// instrument, written to a file the user chose.
//
// The file is made for spreadsheets under Russian regional settings:
// UTF-8 with a byte order mark (so Excel and LibreOffice Calc recognise the
// encoding), ";" between fields (the list separator there; "," is the
// decimal mark), the window's decimal separator in numbers, CRLF line ends.
// Hexadecimal readings (status word, a gas value of 9999 or more) carry a
// "0x" prefix so that no spreadsheet takes "0400" for 400 or "1E05" for
// 100000.
//
// Rows are handed to a writer thread, which appends them to the file in
// order and syncs each to the medium, so that a slow or stalled medium (a
// network share, a failing stick) never holds up the window.  The file is
// opened for appending: a line another program adds meanwhile stays, and a
// failed write takes back only our own partial row, and only while it is
// still the end of the file.  When a write fails, or the file is deleted or
// renamed, the recording stops and Error() tells why; the caller goes on
// reading.
#pragma once

#include "instruments.h"
#include "log_file.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orn {

// Rows of the readings table that mean the same on every model that has them.
constexpr int GasRow = 1;
constexpr int TemperatureRow = 2;
constexpr int StatusRow = 3;
constexpr int Limit1Row = 5;
constexpr int Limit2Row = 6;

// Whether the text the table shows in `row` is hexadecimal: the status
// word, and a gas value of 9999 or more (no decimal separator).
bool HexReading(int row, const std::string& text, const std::string& sep);

// The readings columns: every row label some model shows, in the order the
// models show them (the MB rows, then those only the X-22 has).
const std::vector<std::string>& ReadingColumns();

// The header line: date and time, port, address, model, the readings columns.
std::string ReadingsCsvHeader();

// One row for a read of `devType` at `address` on `port` at `when`, with the
// image as the table shows it (decimal separator `sep`); columns the model
// does not have stay empty.
std::string ReadingsCsvRow(const std::string& when, const std::string& port, int address, int devType,
                           const TRegImage& image, const std::string& sep);

class TReadingsLog {
public:
    // A row not on the medium this long after it was handed over (one
    // automatic read's interval) means the medium stalls.
    static constexpr uint32_t StallMs = 2000;
    // Rows waiting for the medium at most (an hour of automatic reads); one
    // more stops the recording.
    static constexpr int MaxPending = 1800;
    // How long stopping waits for the rows still waiting.
    static constexpr int FlushMs = 5000;

    // How a row reaches the file: file.Write(), unless a test replaces it.
    using WriteFunction = std::function<long(TLogFile& file, const char* data, size_t size)>;

    // What the log is doing, for the window's status.
    struct TStatus {
        bool recording = false;   // rows are taken
        std::string path;
        int rows = 0;             // rows on the medium in this recording
        int pending = 0;          // rows taken and not yet on the medium
        bool stalled = false;     // the oldest of them has waited StallMs or more
        int lost = 0;             // rows taken that never reached the file
        std::string error;        // why the recording stopped by itself; empty: it did not
    };

    // `nowMs` dates the rows handed over (the window's clock).
    explicit TReadingsLog(std::function<uint32_t()> nowMs);
    ~TReadingsLog();   // stops as Stop(FlushMs) does
    TReadingsLog(const TReadingsLog&) = delete;
    TReadingsLog& operator=(const TReadingsLog&) = delete;

    // Opens the file for appending, creating it if needed; with `replace`
    // (the user confirmed replacing it) it is emptied first.  Anything but a
    // regular file (a FIFO, a device) is refused without waiting for it.
    // False (and Error() set) when it cannot be written.  The byte order
    // mark and the header go in with the first row, into an empty file.
    bool Start(const std::string& path, bool replace);
    // Ends the recording once the rows still waiting are on the medium,
    // waiting at most waitMs for them.  Returns how many never got there
    // (0: all did).
    int Stop(int waitMs = FlushMs);
    bool Recording() const;

    // Hands one row over to the writer.  False when the recording has
    // stopped (Error() says why when it stopped by itself).
    bool Append(const std::string& row);
    // Waits at most waitMs until no row is waiting; true when none is.
    bool Flush(int waitMs);

    TStatus Status() const;
    const std::string& Path() const { return path_; }
    int Rows() const { return Status().rows; }
    // Why the last Start failed or the recording stopped by itself, in
    // words for the user.
    std::string Error() const;

    // Called on the writer thread after each row and when the recording
    // fails.  Set before Start.
    std::function<void()> OnChange;
    WriteFunction WriteFile;

private:
    struct Session;
    static void Writer(std::shared_ptr<Session> s);

    std::function<uint32_t()> nowMs_;
    std::shared_ptr<Session> session_;
    std::thread writer_;
    std::string path_;
    int startError_ = 0;   // why Start failed
};

} // namespace orn
