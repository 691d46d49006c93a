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
// Each row is written and synced to the medium before Append returns.  When
// a write fails the recording stops, the file is cut back to its last whole
// row and Error() tells why; the caller goes on reading.
#pragma once

#include "instruments.h"
#include "log_file.h"

#include <string>
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
    TReadingsLog() = default;
    ~TReadingsLog();
    TReadingsLog(const TReadingsLog&) = delete;
    TReadingsLog& operator=(const TReadingsLog&) = delete;

    // Creates the file, or empties it; false (and Error() set) when it cannot
    // be opened for writing.  The header goes in with the first row.
    bool Start(const std::string& path);
    void Stop();
    bool Recording() const { return file_.IsOpen(); }

    // Writes one row (with the byte order mark and the header first into an
    // empty file) and syncs it.  False when it failed: the recording has
    // stopped and Error() says why.
    bool Append(const std::string& row);

    const std::string& Path() const { return path_; }
    int Rows() const { return rows_; }
    // Why the last Start or Append failed, in words for the user.
    const std::string& Error() const { return error_; }

private:
    bool Fail(int err);

    TLogFile file_;
    std::string path_;
    long long size_ = 0;   // bytes of whole rows in the file
    int rows_ = 0;
    std::string error_;
};

} // namespace orn
