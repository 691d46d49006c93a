// Drives the real program's window once: start-up to the first shown
// window, one press of "Читать" against whatever COM1 leads to, the readings
// as text, and a screenshot.  Used by the demo on machines without a screen
// (under Xvfb) and by the benchmarks: start-up time, and the cost of the
// running program (CPU from /proc/self/stat, utime + stime over wall time;
// resident memory VmRSS and its peak VmHWM from /proc/self/status) while it
// sits idle (--idle) and while it reads every 2 s in auto mode (--auto).
// The service tools are attached as the program attaches them; --traffic
// opens the traffic view, --trend the trend, --record FILE records the
// readings, so that their cost can be measured too.  --shots DIR saves, after
// the read, the screenshots README shows: the window (window.png), its port
// list open (ports.png), the value
// dialog on threshold 1 as it opens and after a refused value (dialog.png,
// dialog-refused.png), the question before "Сброс" (confirm.png) and the grid
// after a read of an address where nobody answers (stale.png).
//
//   window_probe [--screenshot FILE] [--timeout MS] [--no-read]
//                [--idle SECONDS] [--auto SECONDS]
//                [--traffic] [--trend] [--record FILE] [--shots DIR]
//
// Exit status: 0 when the read was answered "Ok" (or --no-read), 1 otherwise.
#include "application.h"
#include "program.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// Milliseconds since the kernel started this process.
double MsSinceExec() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return -1;
    // Fields after the command name start at 3; the start time is field 22.
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) fields >> field;
    const unsigned long long start = std::strtoull(field.c_str(), nullptr, 10);
    double uptime = 0;
    std::ifstream("/proc/uptime") >> uptime;
    return uptime * 1000.0 - double(start) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// CPU seconds this process has used, user and system (utime + stime).
double CpuSeconds() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::strtoull(field.c_str(), nullptr, 10);
        if (i == 15) stime = std::strtoull(field.c_str(), nullptr, 10);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// A "Name:   1234 kB" line of /proc/self/status, in KiB; -1 when missing.
long StatusKiB(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, name.size() + 1, name + ":") == 0) return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
    return -1;
}

// Runs the event loop for `seconds` and prints what the process cost
// meanwhile, as one line starting with `label`.
void MeasureWhileRunning(const char* label, double seconds, const std::function<std::string()>& extra) {
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    std::printf("%s: seconds=%.1f cpu_seconds=%.2f cpu_percent=%.3f vmrss_kib=%ld vmhwm_kib=%ld%s\n", label, wallS, cpu,
                100.0 * cpu / wallS, StatusKiB("VmRSS"), StatusKiB("VmHWM"), extra ? extra().c_str() : "");
    std::fflush(stdout);
}

void RunFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The screen around `widgets`, as the user sees them.
bool GrabAround(std::initializer_list<const QWidget*> widgets, const QString& file) {
    QRect area;
    for (const QWidget* w : widgets) area = area.united(w->frameGeometry());
    return QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file);
}

// The screenshots of --shots, after a read that was answered.
bool TakeShots(orn::TProgram& program, const QString& dir) {
    orn::TMForm& form = program.MForm;
    orn::TDlgForm& dlg = program.DlgForm;
    form.move(40, 40);
    RunFor(300);
    bool ok = form.grab().save(dir + QStringLiteral("/window.png"));
    form.CBPortNum->showPopup();
    RunFor(300);
    ok = GrabAround({&form}, dir + QStringLiteral("/ports.png")) && ok;
    form.CBPortNum->hidePopup();
    form.SBtWrLimit1->click();
    RunFor(300);
    ok = dlg.grab().save(dir + QStringLiteral("/dialog.png")) && ok;
    dlg.MEdit->setText(QStringLiteral("60"));
    dlg.OKBtn->click();
    RunFor(300);
    ok = dlg.grab().save(dir + QStringLiteral("/dialog-refused.png")) && ok;
    dlg.CancelBtnClick();
    // The question before the reset, grabbed while it is up and then
    // answered "Отмена".
    const auto ask = form.Ask;
    form.Ask = [&](const orn::TMForm::TQuestion& q) {
        QTimer::singleShot(500, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box) return;
            ok = GrabAround({&form, box}, dir + QStringLiteral("/confirm.png")) && ok;
            box->close();
        });
        return ask(q);
    };
    form.BtInit->click();
    form.Ask = ask;
    // Nobody at 7: the values of 1 stay, greyed, with where they came from.
    form.CBAddr->setEditText(QStringLiteral("7"));
    form.SBtRead->click();
    RunFor(800);
    return form.grab().save(dir + QStringLiteral("/stale.png")) && ok;
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    QString screenshot;
    int timeoutMs = 3000;
    bool read = true;
    double idleSeconds = 0;
    double autoSeconds = 0;
    bool traffic = false, trend = false;
    QString record;
    QString shots;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--screenshot" && i + 1 < argc) screenshot = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--timeout" && i + 1 < argc) timeoutMs = std::atoi(argv[++i]);
        else if (a == "--no-read") read = false;
        else if (a == "--idle" && i + 1 < argc) idleSeconds = std::atof(argv[++i]);
        else if (a == "--auto" && i + 1 < argc) autoSeconds = std::atof(argv[++i]);
        else if (a == "--traffic") traffic = true;
        else if (a == "--trend") trend = true;
        else if (a == "--record" && i + 1 < argc) record = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--shots" && i + 1 < argc) shots = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr,
                         "usage: %s [--screenshot FILE] [--timeout MS] [--no-read] [--idle SECONDS] "
                         "[--auto SECONDS] [--traffic] [--trend] [--record FILE] [--shots DIR]\n",
                         argv[0]);
            return 2;
        }
    }

    orn::TApplication app(argc, argv);
    orn::TProgram program;
    orn::TMForm& form = program.MForm;
    orn::TServiceTools& tools = program.tools;
    form.ShowPortErrorBox = [] { std::printf("port error box: the port cannot be opened\n"); };
    tools.ShowMessage = [](const QString& text) { std::printf("message: %s\n", text.toUtf8().constData()); };
    if (traffic) tools.ShowTraffic();
    if (trend) tools.ShowTrend();
    if (!record.isEmpty() && !tools.StartLog(record, true)) return 1;
    form.show();
    while (!form.windowHandle() || !form.windowHandle()->isExposed()) {
        if (sinceMain.elapsed() > 10000) return 1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    std::printf("startup_ms_since_main=%lld startup_ms_since_exec=%.0f\n", (long long)sinceMain.elapsed(),
                MsSinceExec());

    bool ok = !read;
    if (read) {
        QElapsedTimer wait;
        wait.start();
        const int sent = form.TxCount;
        form.SBtRead->click();
        while (form.TxCount > sent && (form.Waiting || form.PanelText(3).isEmpty()) && wait.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ok = form.PanelText(3).endsWith(QStringLiteral(": Ok"));
        std::printf("read_ms=%lld\n", (long long)wait.elapsed());
    }
    for (int i = 0; i < 4; ++i) std::printf("panel %d: %s\n", i, form.PanelText(i).toUtf8().constData());
    for (int r = 0; r < form.Grid->rowCount(); ++r) {
        const QString label = form.Grid->item(r, 0)->text();
        if (!label.isEmpty())
            std::printf("  %s %s\n", label.leftJustified(24).toUtf8().constData(),
                        form.Grid->item(r, 1)->text().toUtf8().constData());
    }
    if (!screenshot.isEmpty()) {
        QCoreApplication::processEvents();
        if (form.grab().save(screenshot)) std::printf("screenshot: %s\n", screenshot.toUtf8().constData());
    }
    if (!shots.isEmpty() && ok && !TakeShots(program, shots)) ok = false;
    std::fflush(stdout);
    if (idleSeconds > 0) MeasureWhileRunning("idle", idleSeconds, nullptr);
    if (autoSeconds > 0) {
        // As the user would: tick "Авто"; the window reads every 2 s.
        const int tx = form.TxCount, rx = form.RxCount, err = form.ErrCount;
        form.BoxAuto->click();
        MeasureWhileRunning("auto", autoSeconds, [&] {
            return " reads=" + std::to_string(form.TxCount - tx) + " ok=" + std::to_string(form.RxCount - rx) +
                   " errors=" + std::to_string(form.ErrCount - err) +
                   " in_flight=" + std::to_string(form.Waiting ? 1 : 0);
        });
        form.BoxAuto->click();
    }
    form.close();
    return ok ? 0 : 1;
}
