// The window's lines behind the network: an entry added through "Сеть…",
// picked like any port, remembered for the next session, and the reason a
// connection failed in the port error box.
#include "window_fixture.h"

#include "net_dialog.h"
#include "net_link.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

using namespace orn;
using namespace orn::test;
using sim::Model;

namespace {

class Net : public WindowTest {
protected:
    sim::SimNet net{clock};
    NetBackend netBackend{clock, net};
    LinkBackend links{backend, netBackend};
    std::vector<NetEntry> answers;   // what "Сеть…" is answered, in turn; empty: cancel

    void SetUp() override {
        SaveNetEntries({});
        WindowTest::SetUp();
        Add(Model::MB4, 1);
        net.attach("gw", 4001, line);
        StartSession();
    }
    void TearDown() override {
        WindowTest::TearDown();
        SaveNetEntries({});
    }
    // The window as the program starts it, on the serial ports and the network.
    void StartSession() {
        dlg.reset();
        form = std::make_unique<TMForm>(clock, links, [this] { return ports; });
        dlg = std::make_unique<TDlgForm>(form.get());
        form->DlgForm = dlg.get();
        form->ShowPortErrorBox = [this] {
            ++portErrorBoxes;
            portErrorText = form->PortErrorMessage;
        };
        form->AskNetEntry = [this](const NetEntry&) -> std::optional<NetEntry> {
            if (answers.empty()) return std::nullopt;
            const NetEntry e = answers.front();
            answers.erase(answers.begin());
            return e;
        };
    }
    QStringList Items() const {
        QStringList items;
        for (int i = 0; i < form->CBPortNum->count(); ++i) items << form->CBPortNum->itemText(i);
        return items;
    }
    void Pick(const QString& text) {
        const int i = form->CBPortNum->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        form->CBPortNum->setCurrentIndex(i);
        form->CBPortNumChange();
    }
    static NetEntry Entry(NetProtocol p, const char* host, uint16_t port, int allowance = DefaultNetAllowanceMs) {
        return NetEntry{NetAddress{p, host, port}, allowance};
    }
};

const QString Gateway = QString::fromUtf8("gw:502 — MODBUS TCP");
const QString Raw = QString::fromUtf8("gw:4001 — RTU через TCP");
const QString NetItem = QString::fromUtf8("Сеть…");

} // namespace

TEST_F(Net, AddedPickedAndRememberedLikeAnyPort) {
    EXPECT_EQ(Items().last(), NetItem) << "after the serial ports";
    EXPECT_EQ(form->CBPortNum->currentText(), "COM1");

    // Cancelled: COM1 stays chosen.
    Pick(NetItem);
    EXPECT_EQ(form->CBPortNum->currentText(), "COM1");
    EXPECT_EQ(form->MB->PortName(), "COM1");

    // Added: chosen at once, and a read goes through the network.
    answers = {Entry(NetProtocol::RtuOverTcp, "gw", 4001, 150)};
    Pick(NetItem);
    EXPECT_EQ(form->CBPortNum->currentText(), Raw);
    EXPECT_EQ(form->MB->PortName(), "rtu+tcp://gw:4001");
    EXPECT_EQ(form->MB->NetAllowance(), 150);
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok"));
    EXPECT_EQ(Cell(0), "2630001");
    EXPECT_EQ(com1->opens(), 0);
    // Speed and parity do not reach a raw device server: disabled, saying why.
    EXPECT_FALSE(form->CBPortSpeed->isEnabled());
    EXPECT_FALSE(form->CBParity->isEnabled());
    EXPECT_TRUE(form->CBPortSpeed->toolTip().contains(QString::fromUtf8("RFC 2217")));

    // A second entry, an RFC 2217 device server: the boxes apply again.
    answers = {Entry(NetProtocol::Rfc2217, "gw", 2217)};
    Pick(NetItem);
    EXPECT_TRUE(form->CBPortSpeed->isEnabled());
    EXPECT_TRUE(form->CBPortSpeed->toolTip().isEmpty());
    Pick("COM1");
    EXPECT_TRUE(form->CBParity->isEnabled());

    // The next session offers both, the one used last first; the first port
    // of the list is chosen at start, as always.
    Pick(Raw);
    answers = {Entry(NetProtocol::ModbusTcp, "gw", 502)};
    Pick(NetItem);
    StartSession();
    const QStringList items = Items();
    ASSERT_GE(items.size(), 4);
    EXPECT_EQ(items.mid(items.size() - 4),
              (QStringList{Gateway, Raw, QString::fromUtf8("gw:2217 — RFC 2217"), NetItem}));
    EXPECT_EQ(form->CBPortNum->currentText(), "COM1");
    Pick(Raw);
    EXPECT_EQ(form->MB->NetAllowance(), 150) << "its allowance remembered with it";
    ReadOnce();
    EXPECT_EQ(Panel(1), "Rx: 1");
    StartSession();
    EXPECT_EQ(Items().mid(Items().size() - 4, 1), QStringList{Raw}) << "picked last, first now";
}

TEST_F(Net, ConnectionFailuresSayWhy) {
    const struct { NetEntry entry; const char* reason; } cases[] = {
        {Entry(NetProtocol::ModbusTcp, "nowhere", 502), "Имя узла не найдено: проверьте адрес."},
        {Entry(NetProtocol::ModbusTcp, "gw", 502), "Соединение отвергнуто"},
    };
    for (const auto& c : cases) {
        answers = {c.entry};
        Pick(NetItem);
        portErrorText.clear();
        ReadOnce();
        EXPECT_TRUE(portErrorText.startsWith(QString::fromUtf8("Ошибка:\n Не могу открыть порт!\n ") +
                                             QString::fromUtf8(c.reason)))
            << portErrorText.toStdString();
        EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ошибка 11 (порт не инициирован)"));
    }
    EXPECT_EQ(portErrorBoxes, 2);
    // The connection is given each request a new chance, and fails again:
    // in auto mode that is one outage, with one box.
    SetAuto(true);
    clock.advance(6100);
    EXPECT_EQ(portErrorBoxes, 2);
    SetAuto(false);
    // The entry that works still does, without the user doing more.
    answers = {Entry(NetProtocol::RtuOverTcp, "gw", 4001)};
    Pick(NetItem);
    ReadOnce();
    EXPECT_EQ(Panel(3), QString::fromUtf8("№1: Ok — порт снова доступен"));
}

TEST_F(Net, DialogGivesOnlyAnAddressTheLinkCanUse) {
    TNetDialog d(Entry(NetProtocol::ModbusTcp, "", 502), form.get());
    QPushButton* ok = d.Buttons->button(QDialogButtonBox::Ok);
    EXPECT_FALSE(ok->isEnabled()) << "no host yet";
    d.EditHost->setText("10.0.0.5");
    d.EditPort->setValue(4001);
    d.CBProtocol->setCurrentIndex(1);
    d.EditAllowance->setValue(300);
    ASSERT_TRUE(ok->isEnabled());
    EXPECT_EQ(d.Entry(), Entry(NetProtocol::RtuOverTcp, "10.0.0.5", 4001, 300));
    d.EditHost->setText("10.0.0.5:99");
    EXPECT_FALSE(ok->isEnabled()) << "the port has its own field";
    d.EditHost->setText("[fe80::1]");
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(d.Entry()->address.url(), "rtu+tcp://[fe80::1]:4001");
}
