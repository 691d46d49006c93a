#include "net_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

#include <algorithm>

namespace orn {

namespace {

// The protocols in the order the dialog offers them: a gateway first, the
// most common set-up of a device server next.
constexpr NetProtocol Offered[] = {NetProtocol::ModbusTcp, NetProtocol::RtuOverTcp, NetProtocol::Rfc2217};

QSettings Settings() { return QSettings(QStringLiteral("ORN10"), QStringLiteral("orn10util")); }

} // namespace

QString NetProtocolName(NetProtocol protocol) {
    switch (protocol) {
    case NetProtocol::ModbusTcp: return TNetDialog::tr("MODBUS TCP");
    case NetProtocol::Rfc2217: return TNetDialog::tr("RFC 2217");
    default: return TNetDialog::tr("RTU через TCP");
    }
}

TNetDialog::TNetDialog(const NetEntry& proposal, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("NetDialog"));
    setWindowTitle(tr("Сеть"));
    auto* form = new QFormLayout(this);

    EditHost = new QLineEdit(QString::fromStdString(proposal.address.host), this);
    EditHost->setObjectName(QStringLiteral("EditHost"));
    EditHost->setToolTip(tr("Имя или IP-адрес шлюза MODBUS TCP или преобразователя интерфейсов"));
    form->addRow(tr("Узел:"), EditHost);

    EditPort = new QSpinBox(this);
    EditPort->setObjectName(QStringLiteral("EditPort"));
    EditPort->setRange(1, 65535);
    EditPort->setValue(proposal.address.port ? proposal.address.port : 502);
    form->addRow(tr("Порт TCP:"), EditPort);

    CBProtocol = new QComboBox(this);
    CBProtocol->setObjectName(QStringLiteral("CBProtocol"));
    CBProtocol->addItem(tr("MODBUS TCP (шлюз)"));
    CBProtocol->addItem(tr("RTU через TCP (преобразователь, режим TCP-сервера)"));
    CBProtocol->addItem(tr("RFC 2217 (преобразователь, скорость и чётность отсюда)"));
    CBProtocol->setCurrentIndex(int(std::find(std::begin(Offered), std::end(Offered), proposal.address.protocol) -
                                    std::begin(Offered)) %
                                int(std::size(Offered)));
    form->addRow(tr("Протокол:"), CBProtocol);

    EditAllowance = new QSpinBox(this);
    EditAllowance->setObjectName(QStringLiteral("EditAllowance"));
    EditAllowance->setRange(0, 60000);
    EditAllowance->setSingleStep(50);
    EditAllowance->setSuffix(tr(" мс"));
    EditAllowance->setValue(proposal.allowanceMs);
    EditAllowance->setToolTip(tr("Время, которое ответ прибора получает сверх обычного ожидания: на путь по сети "
                                 "и на части, которыми шлюз или преобразователь передаёт ответ"));
    form->addRow(tr("Запас на сеть:"), EditAllowance);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(EditHost, &QLineEdit::textChanged, this, [this] { Check(); });
    Check();
}

std::optional<NetEntry> TNetDialog::Entry() const {
    NetEntry e;
    e.address.protocol = Offered[std::clamp(CBProtocol->currentIndex(), 0, int(std::size(Offered)) - 1)];
    std::string host = EditHost->text().trimmed().toStdString();
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    e.address.host = host;
    e.address.port = uint16_t(EditPort->value());
    e.allowanceMs = EditAllowance->value();
    // The address as the link will read it.
    const std::optional<NetAddress> parsed = ParseNetAddress(e.address.url());
    if (!parsed || parsed->host != host) return std::nullopt;
    return e;
}

void TNetDialog::Check() { Buttons->button(QDialogButtonBox::Ok)->setEnabled(Entry().has_value()); }

std::vector<NetEntry> LoadNetEntries() {
    QSettings s = Settings();
    std::vector<NetEntry> entries;
    const int n = s.beginReadArray(QStringLiteral("network"));
    for (int i = 0; i < n && int(entries.size()) < MaxNetEntries; ++i) {
        s.setArrayIndex(i);
        const std::optional<NetAddress> a = ParseNetAddress(s.value(QStringLiteral("url")).toString().toStdString());
        bool ok = false;
        const int allowance = s.value(QStringLiteral("allowance")).toInt(&ok);
        if (!a) continue;
        entries.push_back(NetEntry{*a, ok ? std::clamp(allowance, 0, 60000) : int(DefaultNetAllowanceMs)});
    }
    s.endArray();
    return entries;
}

void SaveNetEntries(const std::vector<NetEntry>& entries) {
    QSettings s = Settings();
    s.beginWriteArray(QStringLiteral("network"), int(std::min<size_t>(entries.size(), MaxNetEntries)));
    for (int i = 0; i < int(entries.size()) && i < MaxNetEntries; ++i) {
        s.setArrayIndex(i);
        s.setValue(QStringLiteral("url"), QString::fromStdString(entries[size_t(i)].address.url()));
        s.setValue(QStringLiteral("allowance"), entries[size_t(i)].allowanceMs);
    }
    s.endArray();
}

void PutFirst(std::vector<NetEntry>& entries, const NetEntry& entry) {
    const std::string url = entry.address.url();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const NetEntry& e) { return e.address.url() == url; }),
                  entries.end());
    entries.insert(entries.begin(), entry);
    if (int(entries.size()) > MaxNetEntries) entries.resize(MaxNetEntries);
}

} // namespace orn
