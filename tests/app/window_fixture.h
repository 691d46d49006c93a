// The main window under test: real widgets on the offscreen platform, a
// virtual clock, and a simulated line with instruments as COM1.
#pragma once

#include "sim_backend.h"
#include "ueditdialog.h"
#include "umain.h"
#include "virtual_scheduler.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace orn::test {

// A request without its CRC: "01 06 00 08 04 E2" of a write.
inline std::string Head(const std::string& frame) { return frame.substr(0, 17); }

class WindowTest : public ::testing::Test {
protected:
    VirtualScheduler clock;
    sim::SimLine line;   // 19200 bit/s, even parity, like the window's defaults
    sim::SimBackend backend{clock};
    sim::SimPort* com1 = nullptr;
    std::unique_ptr<TMForm> form;
    std::unique_ptr<TDlgForm> dlg;
    // The ports the port box finds: none, so it offers COM1 to COM10.
    PortScan ports;
    int portErrorBoxes = 0;
    QString portErrorText;
    // Runs while the port error box is "open", like its nested event loop.
    std::function<void()> whilePortErrorBox;
    // The questions asked and the button each is answered with (by default
    // the first: go ahead).
    std::vector<TMForm::TQuestion> asked;
    std::function<int(const TMForm::TQuestion&)> answer = [](const TMForm::TQuestion&) { return 0; };

    void SetUp() override {
        line.freezeDrift();
        com1 = &backend.attach(1, line);
        form = std::make_unique<TMForm>(clock, backend, [this] { return ports; });
        dlg = std::make_unique<TDlgForm>(form.get());
        form->DlgForm = dlg.get();
        form->ShowPortErrorBox = [this] {
            ++portErrorBoxes;
            portErrorText = form->PortErrorMessage;
            if (whilePortErrorBox) whilePortErrorBox();
        };
        form->Ask = [this](const TMForm::TQuestion& q) {
            asked.push_back(q);
            return answer(q);
        };
    }
    void TearDown() override {
        dlg.reset();
        form.reset();
    }

    sim::Instrument& Add(sim::Model model, uint8_t address) { return line.add(model, address); }

    // The user's actions.
    void ClickRead() { form->SBtRead->click(); }
    void ChooseModel(int devType) {
        form->CBDev->setCurrentIndex(devType);
        form->CBDevChange();
    }
    void TypeAddress(const QString& text) { form->CBAddr->setEditText(text); }
    void SetAuto(bool on) { form->BoxAuto->setChecked(on); }

    // Reads once and lets the answer (or the timeout) be handled.
    void ReadOnce() {
        ClickRead();
        clock.advance(600);
    }

    QString Panel(int i) const { return form->PanelText(i); }
    QString Cell(int row, int column = 1) const { return form->Grid->item(row, column)->text(); }
    // A value shown greyed: not confirmed by a reading since.
    bool Grey(int row) const {
        return form->Grid->item(row, 1)->foreground().color() != form->palette().color(QPalette::Text);
    }
    // Requests the master wrote, as "01 03 00 01 00 0D ..." texts.
    std::vector<std::string> Sent() const {
        std::vector<std::string> out;
        for (const auto& r : com1->requests()) out.push_back(sim::HexText(r.bytes));
        return out;
    }
    std::string LastSent() const { return com1->requests().empty() ? "" : sim::HexText(com1->requests().back().bytes); }
    bool AddressMarkedRed() const {
        return form->CBAddr->lineEdit()->palette().color(QPalette::Base) == QColor(255, 0, 0);
    }

    // The window on screen and active, so that focus changes reach its controls.
    void ShowActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
    }
    // A key pressed and released on `target`, as the keyboard delivers it
    // (unhandled presses travel on to the parent).
    static void Press(QWidget* target, int key, const QString& text = QString()) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &release);
    }
    // The regional decimal separator, and a number written with it: Dec("12", "50").
    QString Sep() const { return QString::fromStdString(form->DecimalSeparator); }
    QString Dec(const char* whole, const char* fraction) const {
        return QString::fromLatin1(whole) + Sep() + QString::fromLatin1(fraction);
    }
};

} // namespace orn::test
