// The guided calibration, the history and the certificate as an engineer
// meets them, for the screenshots in README: the real window and its tools
// on a virtual clock with the simulated instruments (the calibration's
// minutes pass in a moment), the records in a temporary folder.  Saves into
// DIR: menu.png (the window's context menu), calibration-setup.png,
// calibration.png (waiting for a stable reading on the test gas),
// calibration-done.png, history.png, certificate.pdf and certificate.png
// (with pdftoppm).  Run it under Xvfb (on Qt's offscreen platform the menu
// cannot be taken).
//
//   records_demo DIR
// (The simulator first: Qt's "emit" would spell its method otherwise.)
#include "sim_backend.h"
#include "virtual_scheduler.h"

#include "application.h"
#include "calibration_dialog.h"
#include "history_view.h"
#include "records_tools.h"
#include "service_tools.h"
#include "ueditdialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>

using namespace orn;
using namespace orn::records;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    // Russian regional settings, as the program is made for.
    qunsetenv("LC_ALL");
    qputenv("LC_NUMERIC", "ru_RU.UTF-8");
    qputenv("LANG", "ru_RU.UTF-8");
    TApplication app(argc, argv);

    VirtualScheduler clock;
    sim::SimLine line;
    line.freezeDrift();
    sim::SimBackend backend(clock);
    backend.attach(1, line);
    sim::Instrument& mb4 = line.add(sim::Model::MB4, 1);
    TMForm form(clock, backend, [] { return PortScan{}; });
    TDlgForm dlg(&form);
    form.DlgForm = &dlg;
    TServiceTools tools(form, clock);
    TRecordsTools records(form, clock);
    auto settle = [&](auto pred) {
        for (int i = 0; i < 3000 && !pred(); ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
    };

    // Some history: this instrument checked before, and another one whose
    // calibration is overdue.
    const int64_t now = *UtcMs(NowUtc());
    auto past = [&](int days, const char* model, int64_t serial, TKind kind, TResult result, const char* site) {
        TServiceRecord r = NewRecord();
        r.atUtc = UtcText(now - int64_t(days) * 86400000);
        r.model = model;
        r.serial = serial;
        r.address = model[0] == 'X' ? 5 : 1;
        r.port = "COM1";
        r.kind = kind;
        r.result = result;
        r.action = kind == TKind::ZeroSpan ? "zero+span" : "";
        r.gasConcentration = 25;
        r.zeroBefore = 0.4;
        r.gasBefore = kind == TKind::Bump ? 14.2 : 24.1;
        if (kind == TKind::ZeroSpan) {
            r.zeroAfter = 0.0;
            r.gasAfter = 25.0;
        }
        r.cylinderLot = "ПГС 16/11-087";
        r.cylinderExpiry = "2026-11-30";
        r.technician = "Петров А. В.";
        r.site = site;
        r.program = "orn10util 2.2.0";
        records.Link().Submit(r);
    };
    const int64_t serial = mb4.serialNumber();
    past(190, "MB4", serial, TKind::ZeroSpan, TResult::Pass, "Котельная, линия 2");
    past(40, "MB4", serial, TKind::Bump, TResult::Pass, "Котельная, линия 2");
    past(214, "X-22", 2650005, TKind::ZeroSpan, TResult::Pass, "Склад ГСМ");
    past(120, "X-22", 2650005, TKind::Bump, TResult::Fail, "Склад ГСМ");

    form.move(40, 40);
    form.show();
    form.SBtRead->click();
    clock.advance(600);
    // The context menu over the status bar, with the window around it.
    QMenu menu;
    menu.addActions(form.actions());
    menu.popup(form.StBar->mapToGlobal(QPoint(300, 24)));
    settle([&] { return menu.isVisible(); });
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    const QRect frame = form.frameGeometry().united(menu.geometry()).adjusted(-8, -8, 8, 8);
    bool ok = QGuiApplication::primaryScreen()
                  ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                  .save(dir + QStringLiteral("/menu.png"));
    menu.hide();

    TCalibrationDialog& d = *records.Calibration();
    d.OpenFile = [](const QString&) {};
    d.show();
    d.Kind->setCurrentIndex(int(TSessionKind::ZeroSpan));
    d.Gas->setText(QStringLiteral("25,00"));
    d.Lot->setText(QStringLiteral("ПГС 17/3-214"));
    d.Expiry->setDate(QDate::currentDate().addMonths(9));
    d.Technician->setEditText(QStringLiteral("Иванов И. И."));
    d.Site->setText(QStringLiteral("Котельная, линия 2"));
    QCoreApplication::processEvents();
    ok = d.grab().save(dir + QStringLiteral("/calibration-setup.png")) && ok;

    if (!d.Start()) return 1;
    clock.runUntil([&] { return d.BtZero->isEnabled(); }, 300000, 100);
    d.BtZero->click();
    clock.runUntil([&] { return d.Session()->Step() == TStep::SpanGas; }, 300000, 100);
    // 23,6 of the 25 %об applied: a span to correct.
    mb4.applyGas(23.6, 15, 0.03);
    clock.runUntil([&] { return d.Session()->StableMs() >= 18000 && clock.nowMs() > 150000; }, 300000, 2000);
    QCoreApplication::processEvents();
    ok = d.grab().save(dir + QStringLiteral("/calibration.png")) && ok;
    clock.runUntil([&] { return d.BtSpan->isEnabled(); }, 300000, 100);
    d.BtSpan->click();
    clock.runUntil([&] { return d.Session()->Step() == TStep::Done; }, 300000, 100);
    QCoreApplication::processEvents();
    ok = d.grab().save(dir + QStringLiteral("/calibration-done.png")) && ok;

    const QString made = d.MakeCertificate();
    const QString pdf = dir + QStringLiteral("/certificate.pdf");
    QFile::remove(pdf);
    ok = !made.isEmpty() && QFile::copy(made, pdf) && ok;
    ok = std::system(("pdftoppm -png -r 72 -singlefile '" + pdf + "' '" + dir + "/certificate'").toLocal8Bit()) == 0 &&
         ok;

    records.Link().Recorder().WaitWritten(30000);
    THistoryView& h = *records.History();
    h.show();
    h.Refresh();
    settle([&] { return !h.Loading() && h.Instruments->rowCount() == 2; });
    h.Instruments->selectRow(0);
    QCoreApplication::processEvents();
    ok = h.grab().save(dir + QStringLiteral("/history.png")) && ok;
    std::printf("session: %s, record %s; instruments %d, services shown %d\n",
                d.Session()->Record().result == TResult::Pass ? "pass" : "fail", d.Session()->Record().uuid.c_str(),
                h.Instruments->rowCount(), h.Services->rowCount());
    return ok ? 0 : 1;
}
