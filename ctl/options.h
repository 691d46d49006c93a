// The command line of orn10ctl.
#pragma once

#include "line.h"
#include "texts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orn::ctl {

// Exit statuses.  0 only when everything asked for succeeded.
enum ExitStatus : int {
    exOk = 0,
    exBadAnswer = 1,     // the instrument answered, but with an exception or a damaged answer
    exUsage = 2,         // bad arguments
    exPort = 3,          // the port cannot be opened, or failed while in use
    exNoAnswer = 4,      // no answer in time (scan: no instrument found)
    exRefused = 5,       // a value or command refused before anything was sent
    exRecords = 6,       // the records could not be written (the command itself succeeded) or read
    exOutput = 7,        // the output could not be written (a full disk, a vanished medium)
    exInterrupted = 130, // SIGINT or SIGTERM ended a command that had not finished
};

enum class TCommand {
    Help, Version, Ports, Read, Watch, Scan,
    Write,       // a value: threshold 1 or 2, magnetic calibration gas, current output
    Calibrate, Zero, Reset, Fix, Release, Service,
    History, Export,   // the service records
};

enum class TFormat { Human, Json, Csv };

// The values that `write` sets, by the name given on the command line.
enum class TValue { Threshold1, Threshold2, Magnet, Current };

// One instrument of a watch.
struct TTarget {
    int address = 1;
    int devType = -1;        // -1: the model of -m
};

struct TOptions {
    TCommand command = TCommand::Help;
    TLineSettings line;
    int address = 1;         // 1 to 247
    int devType = 3;         // the model (TDevType); MB4 as the window starts
    // watch: the instruments, in the order given (-a 1,3:X-22,5-9); each
    // with its model (-m's unless given).  The one of -a for the others.
    std::vector<TTarget> targets = std::vector<TTarget>(1);
    bool addressGiven = false;   // -a / -m given (history and export filter by them only then)
    bool modelGiven = false;
    int timeoutMs = 0;       // until the answer begins; 0: the command's default
    TFormat format = TFormat::Human;
    bool verbose = false;
    // watch
    int intervalMs = 2000;
    int count = 0;           // reads; 0: until interrupted
    // write, calibrate
    TValue value = TValue::Threshold1;
    std::string text;        // the value as typed, in the shown units
    // fix
    int milliamps = 0;       // 4 or 20 to drive the fixed output; 0: leave it
    // scan
    int scanFrom = 1;
    int scanTo = 247;
    // The speeds and parities to try (--sweep), in the order tried; empty:
    // only those of -s and -P.
    std::vector<TLineSetting> sweep;
    // records: who and where, for the record of a write or command
    std::string technician;  // empty: the login name
    std::string site;
    std::string note;
    // history, export
    std::string serial;      // digits; empty: every instrument (export)
    std::string fromDate;    // local dates, "YYYY-MM-DD", inclusive
    std::string toDate;
};

// Parses the arguments after the program name; false with a message (in
// the language of the run).
bool ParseArgs(const std::vector<std::string>& args, TOptions& options, std::string& error);

// The language --lang names (en, ru); nullopt for another.
std::optional<TLanguage> ParseLanguage(const std::string& text);
// The language the arguments ask for with --lang, taken before the
// arguments are parsed so that what the parsing says is in it; nullopt
// without one (or with one that names none: ParseArgs says so).
std::optional<TLanguage> LanguageOption(const std::vector<std::string>& args);

// The model (DevType) named MB1..MB4, X-20, X-22 (any case, dash optional)
// or by its full name; -1 when none is.
int ParseModel(const std::string& text);
// A value typed in the shown units, with a comma or a point, in hundredths
// (ParseHundredths); nullopt when it is no number.
std::optional<int32_t> ParseShown(const std::string& text);

// The answer timeout a command uses when none is given: 500 ms as the
// window, and for a scan the request's wire time plus 40 ms.
int DefaultTimeoutMs(const TOptions& options);

std::string UsageText();
std::string VersionText();

} // namespace orn::ctl
