// Drives the real program's window once: start-up to the first shown
// window, one press of "Читать" against whatever COM1 leads to, the readings
// as text, and a screenshot.  Used by the demo on machines without a screen
// (under Xvfb) and by the start-up benchmark.
//
//   window_probe [--screenshot FILE] [--timeout MS] [--no-read]
//
// Exit status: 0 when the read was answered "Ok" (or --no-read), 1 otherwise.
#include "application.h"
#include "posix_serial.h"
#include "qt_scheduler.h"
#include "ueditdialog.h"
#include "umain.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QTableWidget>
#include <QToolButton>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <fstream>
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

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    QString screenshot;
    int timeoutMs = 3000;
    bool read = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--screenshot" && i + 1 < argc) screenshot = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--timeout" && i + 1 < argc) timeoutMs = std::atoi(argv[++i]);
        else if (a == "--no-read") read = false;
        else {
            std::fprintf(stderr, "usage: %s [--screenshot FILE] [--timeout MS] [--no-read]\n", argv[0]);
            return 2;
        }
    }

    orn::TApplication app(argc, argv);
    orn::QtScheduler scheduler;
    orn::PosixSerialBackend backend;
    orn::TMForm form(scheduler, backend);
    orn::TDlgForm dlg(&form);
    form.DlgForm = &dlg;
    form.ShowPortErrorBox = [] { std::printf("port error box: the port cannot be opened\n"); };
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
    form.close();
    return ok ? 0 : 1;
}
