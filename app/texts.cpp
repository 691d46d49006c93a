#include "texts.h"

#include "instruments.h"
#include "port_list.h"
#include "report.h"

#include <QCoreApplication>

#include <cstring>

namespace orn {

QString InstrumentTr(const char* text) { return QCoreApplication::translate(TextContext, text); }

QString RecordsTr(const char* text) { return QCoreApplication::translate(records::TextContext, text); }

std::string RecordsTrUtf8(const char* text) { return RecordsTr(text).toStdString(); }

QString PortReason(int error) {
    // The system's own description stands where the advice has none.
    return QCoreApplication::translate(PortTextContext, PortErrorAdvice(error))
        .replace(QLatin1String("%1"), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace orn
