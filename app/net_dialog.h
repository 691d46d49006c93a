// Lines behind the network in the window: the dialog that sets one up
// ("Сеть…" in the port box) and the list of them kept between sessions.
#pragma once

#include "port_list.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QSpinBox;

namespace orn {

// Host, TCP port, protocol and network allowance of one entry.
class TNetDialog : public QDialog {
    Q_OBJECT

public:
    explicit TNetDialog(const NetEntry& proposal, QWidget* parent = nullptr);
    // What the fields say; nullopt while they name no address.
    std::optional<NetEntry> Entry() const;

    QLineEdit* EditHost;
    QSpinBox* EditPort;
    QComboBox* CBProtocol;
    QSpinBox* EditAllowance;
    QDialogButtonBox* Buttons;

private:
    void Check();
};

// The protocol as the window names it.
QString NetProtocolName(NetProtocol protocol);

// The network entries kept between sessions (QSettings), most recently used
// first; at most MaxNetEntries.
constexpr int MaxNetEntries = 8;
std::vector<NetEntry> LoadNetEntries();
void SaveNetEntries(const std::vector<NetEntry>& entries);
// `entry` first, the others after it without a second of its address.
void PutFirst(std::vector<NetEntry>& entries, const NetEntry& entry);

} // namespace orn
