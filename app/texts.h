// The texts of the Qt-free libraries (the instruments' names, row labels and
// error texts, the port reasons, the records' names) in the language shown:
// they are Russian there, marked for the translations in their own contexts.
#pragma once

#include <QString>

#include <string>

namespace orn {

QString InstrumentTr(const char* text);
QString RecordsTr(const char* text);
// The same as UTF-8, for records::ActionName and the exports.
std::string RecordsTrUtf8(const char* text);
// Why a port cannot be opened (errno `error`) and what to do; empty for 0.
QString PortReason(int error);

} // namespace orn
