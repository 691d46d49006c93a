// Service records: what was done to an instrument, written once and never
// changed.  An instrument is known by its model and serial number; each
// service (a bump test, a zero, a span calibration, a zero and span, or a
// single write or command sent from the window or orn10ctl) is one record
// with the readings before and after, the test gas, the result, who did it,
// where and with which program.
//
// Plain C++ on the standard library: the window and orn10ctl share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orn::records {

enum class TKind { Bump, Zero, Span, ZeroSpan, Write, Command };
enum class TResult {
    Pass,         // the check passed
    Fail,         // the check failed
    Done,         // a write or command the instrument confirmed
    Unconfirmed,  // sent, but no valid answer came: it may have been carried out
    Cancelled,    // a session ended by the user after something was sent
};

// The words stored in the database ("bump", "zero_span", "pass", ...).
const char* KindKey(TKind kind);
const char* ResultKey(TResult result);
std::optional<TKind> KindFromKey(const std::string& key);
std::optional<TResult> ResultFromKey(const std::string& key);
// A session of the guided calibration (not a single write or command).
inline bool IsSession(TKind kind) { return kind != TKind::Write && kind != TKind::Command; }

struct TServiceRecord {
    std::string uuid;          // set by NewRecord; the record's identity everywhere
    std::string atUtc;         // "2026-03-01T08:15:30.250Z"
    std::string model;         // short model name: "MB4", "X-22"
    std::optional<int64_t> serial;   // unknown when the instrument was not read first
    int address = 0;
    std::string port;
    TKind kind = TKind::Command;
    // What was sent: "zero", "span", "zero+span", "threshold1", "fix", ...
    // (for a session, what of it reached the instrument).
    std::string action;
    // A single write: the register, its value as last read and as echoed.
    std::optional<int> reg;
    std::optional<int> valueBefore;
    std::optional<int> valueAfter;
    // Gas readings in %об: on zero gas and on the test gas, as found (before
    // any adjustment) and as left (after it).  A bump test's response is its
    // highest reading with the gas, as found.
    std::optional<double> zeroBefore;
    std::optional<double> zeroAfter;
    std::optional<double> gasBefore;
    std::optional<double> gasAfter;
    // Test gas.
    std::optional<double> gasConcentration;
    std::string cylinderLot;
    std::string cylinderExpiry;   // "2027-05-31"; empty: none given
    TResult result = TResult::Done;
    std::string criteria;         // the pass criteria as the user saw them
    std::string technician;
    std::string site;             // site / line, free text
    std::string notes;
    std::string program;          // "orn10util 2.2.0"
    std::string sessionUuid;      // a write made by a guided session: the session's record
};

// A per-instrument calibration interval, set at a time (the latest wins).
struct TIntervalRecord {
    std::string uuid;
    std::string atUtc;
    std::string model;
    int64_t serial = 0;
    int months = 6;
    std::string technician;
};

constexpr int DefaultIntervalMonths = 6;

// A random (version 4) UUID: "1b4e28ba-2fa1-4d2e-883f-0016d3cca427".
std::string NewUuid();
// Now, in UTC with milliseconds: "2026-03-01T08:15:30.250Z".
std::string NowUtc();
// Milliseconds since 1970-01-01 UTC in that form, and back (nullopt for a
// text that is none; a date alone is its midnight).
std::string UtcText(int64_t ms);
std::optional<int64_t> UtcMs(const std::string& utc);
// A record with a fresh UUID and the present time.
TServiceRecord NewRecord();

// "YYYY-MM-DD" parts; false for anything else (also an impossible date).
bool ParseDate(const std::string& text, int& year, int& month, int& day);
// The date `months` after a "YYYY-MM-DD..." date (the day clamped to the
// month's last: 31 August + 6 months is 28 or 29 February); empty for a
// date that does not parse.
std::string AddMonths(const std::string& date, int months);
// The date `days` after a "YYYY-MM-DD" date; empty for one that does not parse.
std::string AddDays(const std::string& date, int days);

// Numbers as stored: the shortest text that reads back the same, with a
// point whatever the locale; and back (nullopt for no number).
std::string NumberText(double v);
std::optional<double> ParseNumber(const std::string& text);
std::optional<int64_t> ParseInteger(const std::string& text);

} // namespace orn::records
