#include "port_box.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <cstdlib>

namespace orn {

void TPortBox::showPopup() {
    if (OnPopup) OnPopup();
    // The full names are wider than the box: the list takes their width.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 8);
    QComboBox::showPopup();
}

void TPortBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QVariant shortText = itemData(currentIndex(), Qt::UserRole);
    if (shortText.isValid()) option.currentText = shortText.toString();
    // A network address may be wider than the box: it ends in "…" (the box's
    // tool tip has it whole).
    const QRect label = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideRight, label.width());
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

namespace {

// The kernel's UART type of an on-board port (serial core), -1 when the port
// has none or it cannot be read.  Qt leaves out 8250 ports without a UART
// only while the tty's parent device is driven by "serial8250"; since Linux
// 6.3 a serial-core port device stands between the two, so Qt lists every
// /dev/ttyS the kernel reserved.  The type the kernel found when it probed
// the port (0: no UART) is readable by everyone and needs no open of the
// device.
int UartType(const QString& portName) {
    QFile file(QStringLiteral("/sys/class/tty/%1/type").arg(portName));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    bool ok = false;
    const int type = file.readAll().trimmed().toInt(&ok);
    return ok ? type : -1;
}

std::string Canonical(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return (canonical.isEmpty() ? path : canonical).toStdString();
}

} // namespace

PortScan SystemPorts() {
    PortScan scan;

    // The by-id links are symbolic links to the devices: resolved, they name
    // the device they stand for.
    QHash<QString, QString> byId;
    const QDir links(QStringLiteral("/dev/serial/by-id"));
    const auto filter = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& link : links.entryInfoList(filter, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty() && !byId.contains(target)) byId.insert(target, link.absoluteFilePath());
    }

    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortRecord r;
        r.name = info.portName().toStdString();
        r.location = info.systemLocation().toStdString();
        r.byId = byId.value(QString::fromStdString(Canonical(info.systemLocation()))).toStdString();
        r.product = info.description().toStdString();
        r.maker = info.manufacturer().toStdString();
        r.serialNumber = info.serialNumber().toStdString();
        r.uartType = UartType(info.portName());
        scan.found.push_back(std::move(r));
    }

    // Port numbers are one byte: COM1 to COM256.
    for (int n = 1; n <= 256; ++n) {
        const char* target = std::getenv(("ORN10_COM" + std::to_string(n)).c_str());
        if (target && *target) scan.variables.push_back({n, Canonical(QString::fromLocal8Bit(target))});
    }
    return scan;
}

} // namespace orn
