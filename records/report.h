// The records as people read them: names of kinds, results and actions
// (Russian, as the window shows them; the window passes them through its
// translations), and the CSV for the customer, made like the readings log:
// UTF-8 with a byte order mark, ";" between fields, the given decimal
// separator, local date and time as "01.02.2027 10:00:00", CRLF.
#pragma once

#include "records.h"
#include "store.h"

#include <string>
#include <vector>

namespace orn::records {

// One CSV line: fields joined by ";", each quoted when it holds ";", a
// quote, a comma or a line break, CRLF at the end.
std::string CsvLine(const std::vector<std::string>& fields);

// The context of these names in the window's translations.
constexpr const char* TextContext = "orn::records";

const char* KindName(TKind kind);
const char* ResultName(TResult result);
// "zero+span" -> "ноль + градуировка"; unknown keys are shown as they are.
std::string ActionName(const std::string& action);

// A register value of a write as people read it: hundredths with `sep`
// ("12,50") for values, the code in hexadecimal ("0xBBBB") for commands and
// the status word.  `written`: the value sent (else the one before it).
std::string ValueText(const std::string& action, int value, bool written, const std::string& sep);

// A record's UTC time as local time the Russian way: "01.03.2026 11:15:30";
// a date "2027-05-31" as "31.05.2027".  Texts that are neither come back
// as they are.
std::string ShownTime(const std::string& utc);
std::string ShownDate(const std::string& date);

// A number in %об as the readings table writes it: two decimals, `sep`.
std::string Concentration(double v, const std::string& sep);

// The export of services: a header line and a line per record.
std::string ServicesCsv(const std::vector<TServiceRecord>& services, const std::string& sep);
// The instruments with their due dates (local `today` marks the overdue).
std::string InstrumentsCsv(const std::vector<TInstrumentDue>& instruments, const std::string& today);

// The due date of an instrument ("YYYY-MM-DD", local), empty when it was
// never calibrated; and whether it is overdue on `today`.
std::string DueOf(const TInstrumentDue& d);
bool Overdue(const TInstrumentDue& d, const std::string& today);

} // namespace orn::records
