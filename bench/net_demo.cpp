// The real window on a line behind the network, for the screenshot in
// README: a network entry chosen and read through orn10sim's gateway at
// URL, the dialog of "Сеть…", and the port list with the entries, side by
// side in FILE.  Run it under Xvfb; it keeps the entries in
// a settings folder of its own.
//
//   net_demo URL FILE
#include "application.h"
#include "net_dialog.h"
#include "program.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdio>

namespace {

void RunFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s URL FILE\n", argv[0]);
        return 2;
    }
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    orn::TApplication app(argc, argv);
    const std::optional<orn::NetAddress> gateway = orn::ParseNetAddress(argv[1]);
    if (!gateway) {
        std::fprintf(stderr, "net_demo: %s is no network address\n", argv[1]);
        return 2;
    }
    orn::SaveNetEntries({{*gateway, 100},
                         {{orn::NetProtocol::RtuOverTcp, "10.20.0.31", 4001}, 150},
                         {{orn::NetProtocol::Rfc2217, "cabinet-3.plant.local", 2217}, 100}});

    orn::TProgram program;
    orn::TMForm& form = program.MForm;
    form.show();
    const int entry = form.CBPortNum->findText(QString::fromStdString(gateway->url().substr(6)) +
                                               QString::fromUtf8(" — MODBUS TCP"));
    form.CBPortNum->setCurrentIndex(entry);
    form.CBPortNumChange();
    form.SBtRead->click();
    RunFor(1500);
    const QString status = form.PanelText(3);
    std::printf("status: %s\n", status.toUtf8().constData());

    const QPixmap window = form.grab();
    form.CBPortNum->showPopup();
    RunFor(300);
    const QPixmap popup = form.CBPortNum->view()->window()->grab();
    form.CBPortNum->hidePopup();

    orn::TNetDialog dialog({{orn::NetProtocol::ModbusTcp, "192.168.1.20", 502}, 100}, &form);
    dialog.show();
    RunFor(300);
    const QPixmap dialogShot = dialog.grab();

    // The window with the entry chosen; beside it the dialog, and under
    // that the list as it opens.
    const int gap = 16;
    const int right = window.width() + gap;
    QPixmap canvas(right + std::max(dialogShot.width(), popup.width()),
                   std::max(window.height(), dialogShot.height() + gap + popup.height()));
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    p.drawPixmap(0, 0, window);
    p.drawPixmap(right, 0, dialogShot);
    p.drawPixmap(right, dialogShot.height() + gap, popup);
    p.end();
    const bool saved = canvas.save(QString::fromLocal8Bit(argv[2]));
    std::printf("%s: %s\n", saved ? "saved" : "not saved", argv[2]);
    return saved && status.endsWith(QStringLiteral("Ok")) ? 0 : 1;
}
