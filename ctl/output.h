// What orn10ctl prints: for people (aligned, the window's labels and texts
// in the language of the run, the locale's decimal separator), as JSON, or
// as CSV (keys and numbers the same in every language).
#pragma once

#include "instruments.h"
#include "line_events.h"
#include "line_scan.h"
#include "options.h"
#include "port_list.h"

#include <cstdio>
#include <string>
#include <vector>

namespace orn::ctl {

// One read of one instrument.
struct TReadOut {
    std::string time;     // local time of the read
    int address = 1;
    int devType = 3;
    int code = 0;         // 0: answered; else the master's error code
    double ms = 0;        // request to answer
    TRegImage image;      // the registers read (valid when code is 0)
};

// One register written by a command.
struct TWriteStep {
    int reg = 0;
    uint16_t value = 0;
    int code = 0;         // 0: the instrument echoed it
    int row = -1;         // the readings row that shows the register, -1: none
    TRegImage image;      // the registers after the echo, which that row shows
};

// A write or command: what was done, or why nothing was.
struct TWriteOut {
    std::string time;
    int address = 1;
    int devType = 3;
    std::string command;  // as given: "write threshold1", "zero", "fix 20", ...
    int readCode = 0;     // the read before the writes
    std::vector<TWriteStep> steps;
    std::string refused;  // the reason nothing (more) was sent; empty: not refused
    std::string note;     // why nothing needed to be sent
};

class TOutput {
public:
    // `sep`: the decimal separator for people.
    TOutput(TFormat format, std::FILE* out, std::FILE* err, std::string sep);

    // The separator of the chosen format: the locale's for people, else ".".
    const std::string& Sep() const { return sep_; }
    // The locale's, whatever the format (CSV for spreadsheets).
    const std::string& LocaleSep() const { return localeSep_; }
    TFormat Format() const { return format_; }
    std::FILE* Stream() const { return out_; }

    // read: the readings of one instrument, or its error.
    void Reading(const std::string& port, const TReadOut& r);
    // watch: the models watched, before the first line: the columns are
    // the readings any of them shows.
    void WatchModels(const std::vector<int>& devTypes);
    // watch: one line per read (a header before the first).
    void WatchLine(const std::string& port, const TReadOut& r);
    void Write(const std::string& port, const TWriteOut& w);
    // scan: what a sweep may take (before it starts), each address as it is
    // found (with the settings it answered at when sweeping), then the summary.
    void ScanStart(const TScanPlan& plan);
    void ScanHit(const TScanHit& hit, bool sweep);
    void ScanProgress(int address, const std::string& setting);
    void ScanEnd(const std::string& port, const TScanPlan& plan, double seconds, const std::vector<TScanHit>& hits,
                 bool interrupted);
    // ports: the items of the port list.
    void Ports(const PortList& list);
    // Text as it stands (the help, the version).
    void Text(const std::string& text);
    // A message for people on standard error, "orn10ctl: " first.
    void Error(const std::string& text);
    // The line traffic (-v), on standard error.
    void Traffic(const LineEvent& e, double ms);

    // Why the output could not be written, as an errno; 0 while it could.
    int OutputError() const { return outError_; }
    // The status to end with after a command that ended with `status`: the
    // output's failure is told and makes it exOutput.  A reader that closed
    // the pipe (EPIPE: `| head -1`) stopped on purpose: `status` stands.
    int Finish(int status);

private:
    void Flush();
    void ReadingCsvHeader();
    std::string Json(const std::string& port, const TReadOut& r) const;

    TFormat format_;
    std::FILE* out_;
    std::FILE* err_;
    std::string sep_;
    std::string localeSep_;
    bool headerDone_ = false;
    std::vector<std::string> columns_;   // watch: the keys of the readings shown
    bool progress_ = false;
    int outError_ = 0;
};

// Closes the program's output `out` at its exit, after TOutput::Finish gave
// `status`; a failure to close (other than EPIPE) is told on `err` and makes
// the status exOutput.
int CloseOutput(std::FILE* out, std::FILE* err, int status);

// Local time now: "12:00:01" for people, ISO 8601 with milliseconds otherwise.
std::string TimeNow(TFormat format);

// The window's text for a transaction's end ("Ok", "Нет связи", ...), in
// the language of the run.
std::string OutcomeText(int code);

} // namespace orn::ctl
