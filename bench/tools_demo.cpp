// Drives the real window with its service tools against whatever COM1 leads
// to (orn10sim), as an engineer at a calibration would: a read of address 7,
// then auto mode with the traffic view and the trend open and the readings
// recorded, a calibration at 25 %об part way, one automatic read of 7 and a
// zero later.  Then it saves screenshots into DIR: the window with its
// service menu open (menu.png), the traffic view (traffic.png), the trend
// (trend.png), and the traffic as text (traffic.txt).  Run it under Xvfb;
// the screenshots illustrate README, made with an instrument at 7 that
// answers too late:
//
//   orn10sim -i MB4@1 -i MB4@7 -f 7:slow=700 --freeze --link /tmp/orn10/com1
//   ORN10_COM1=/tmp/orn10/com1 xvfb-run -a -s "-screen 0 1280x900x24" tools_demo DIR
//
//   tools_demo DIR [--seconds S] [--record FILE]
#include "application.h"
#include "program.h"
#include "traffic_view.h"
#include "trend_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void RunFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [--seconds S] [--record FILE]\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    int seconds = 150;
    QString record = dir + QStringLiteral("/readings.csv");
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--seconds") seconds = std::atoi(argv[i + 1]);
        else if (a == "--record") record = QString::fromLocal8Bit(argv[i + 1]);
    }

    orn::TApplication app(argc, argv);
    orn::TProgram program;
    orn::TMForm& form = program.MForm;
    orn::TDlgForm& dlg = program.DlgForm;
    orn::TServiceTools& tools = program.tools;
    tools.ShowMessage = [](const QString& text) { std::printf("message: %s\n", text.toUtf8().constData()); };
    form.move(40, 40);
    form.show();
    tools.ShowTraffic();
    tools.Traffic()->move(40, 400);
    tools.ShowTrend();
    tools.Trend()->move(620, 40);
    RunFor(300);
    if (!tools.StartLog(record, true)) return 1;

    auto whenIdle = [&] {
        while (form.Waiting || form.MB->Busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    // Address 7: nobody, or an answer too late.
    form.CBAddr->setEditText(QStringLiteral("7"));
    form.SBtRead->click();
    RunFor(700);
    form.CBAddr->setEditText(QStringLiteral("1"));
    form.SBtRead->click();
    RunFor(700);

    // Auto mode; test gas at 25 %об part way, the zero later.
    form.BoxAuto->click();
    RunFor(seconds * 300);
    whenIdle();
    form.BtCalb->click();
    dlg.MEdit->setText(QStringLiteral("25") + QString::fromStdString(form.DecimalSeparator) + QStringLiteral("00"));
    dlg.OKBtnClick();
    // One automatic read of address 7.
    RunFor(2500);
    form.CBAddr->setEditText(QStringLiteral("7"));
    RunFor(2000);
    form.CBAddr->setEditText(QStringLiteral("1"));
    RunFor(seconds * 400 - 4500);
    whenIdle();
    form.BtZero->click();
    RunFor(seconds * 300);
    form.BoxAuto->click();
    RunFor(700);

    // The calibration's write in the middle of the traffic view, selected.
    orn::TTrafficView& traffic = *tools.Traffic();
    for (int row = 0; row < traffic.Log()->Count(); ++row) {
        if (!traffic.Log()->Text(row, orn::TTrafficLog::ColRequest).startsWith(QStringLiteral("01 06"))) continue;
        traffic.Table()->selectRow(row);
        traffic.Table()->scrollTo(traffic.Log()->index(row, 0), QAbstractItemView::PositionAtCenter);
        break;
    }
    bool ok = tools.Traffic()->SaveTo(dir + QStringLiteral("/traffic.txt"));
    ok = tools.Traffic()->grab().save(dir + QStringLiteral("/traffic.png")) && ok;
    ok = tools.Trend()->grab().save(dir + QStringLiteral("/trend.png")) && ok;
    // The service menu, open under its button, with the window around it.
    tools.Traffic()->hide();
    tools.Trend()->hide();
    QMenu& menu = *form.BtService->menu();
    menu.popup(form.BtService->mapToGlobal(QPoint(0, form.BtService->height())));
    RunFor(500);
    const QRect frame = form.frameGeometry().united(menu.geometry()).adjusted(-8, -8, 8, 8);
    ok = QGuiApplication::primaryScreen()
             ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
             .save(dir + QStringLiteral("/menu.png")) &&
         ok;
    menu.hide();
    tools.StopLog();   // every row on the medium before it is counted
    std::printf("traffic rows: %d, trend samples: %zu, rows recorded: %d\n", tools.Traffic()->Log()->Count(),
                tools.Trend()->Samples().size(), tools.Log().Rows());
    form.close();
    return ok ? 0 : 1;
}
