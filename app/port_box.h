// The port box and the ports of this machine.
#pragma once

#include "ports.h"

#include <QComboBox>

#include <functional>

namespace orn {

// A drop-down list of ports that is filled anew each time it is opened, so
// that adapters plugged in meanwhile appear.  The open list shows each port
// by its full name; the closed box, narrow as it is, shows the short name
// kept in the item's Qt::UserRole.
class TPortBox : public QComboBox {
public:
    explicit TPortBox(QWidget* parent = nullptr) : QComboBox(parent) {}
    // Runs before the list opens.
    std::function<void()> OnPopup;

    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orn
