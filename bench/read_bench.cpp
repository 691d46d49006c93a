// Read reliability and latency of the real program against the instrument
// simulator on a pseudo-terminal.
//
// The real main window (TMForm, on the Qt event loop through QtScheduler,
// with the POSIX serial link) presses "Читать" over and over against an
// orn10sim subprocess that paces its answers at the line speed.  For every
// speed and instrument turnaround it counts the reads answered "Ok" and
// measures the time from the click to the table being updated (Waiting
// cleared after ShowReadings), beside the wire time of the request and the
// answer.  A second part injects noise bytes, split answers and random
// faults and checks that every read ends with exactly one answer or error.
// A third part reproduces what real RS-485 lines and adapters do (stray
// bytes at the turnaround, an adapter that echoes the request, another
// slave's frame first) and counts reads and writes answered "Ok", false
// ones included.
//
//   read_bench --sim PATH [--reads N] [--fault-reads N] [--speeds LIST]
//              [--no-sweep] [--no-faults] [--no-quirks]
//
// Prints markdown tables on standard output and progress on standard error.
// Runs on the offscreen Qt platform unless QT_QPA_PLATFORM says otherwise.
#include "application.h"
#include "instruments.h"
#include "posix_serial.h"
#include "qt_scheduler.h"
#include "umain.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int AnswerTimeoutMs = 500;   // what the window sets for every read
constexpr int PollMs = 100;            // the master's receive poll
constexpr int HangMs = 3000;           // a read still waiting after this has hung
constexpr int RequestBytes = 8;        // function 3 request
constexpr int AnswerBytes = 5 + 2 * 13;   // 13 registers
constexpr int BitsPerChar = 11;        // start, 8 data, parity, stop

const int AllSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

double WireMs(int speed) { return (RequestBytes + AnswerBytes) * BitsPerChar * 1000.0 / speed; }

// ---------------------------------------------------------------- simulator

// One orn10sim subprocess serving a pseudo-terminal.
class Simulator {
public:
    Simulator(const QString& program, const QStringList& args) {
        proc_.setProgram(program);
        proc_.setArguments(args);
        proc_.setProcessChannelMode(QProcess::SeparateChannels);
        proc_.setStandardErrorFile(QProcess::nullDevice());
        proc_.start();
        if (!proc_.waitForStarted(5000)) return;
        QByteArray out;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 5000) {
            if (proc_.canReadLine() || proc_.waitForReadyRead(200)) {
                while (proc_.canReadLine()) {
                    const QByteArray line = proc_.readLine().trimmed();
                    if (line.startsWith("ORN10_COM1=")) {
                        path_ = QString::fromLocal8Bit(line.mid(11));
                        return;
                    }
                }
            }
            if (proc_.state() != QProcess::Running) return;
        }
    }
    ~Simulator() {
        if (proc_.state() == QProcess::NotRunning) return;
        proc_.terminate();
        if (!proc_.waitForFinished(3000)) {
            proc_.kill();
            proc_.waitForFinished(1000);
        }
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The device the window should open as COM1; empty when it did not start.
    const QString& path() const { return path_; }

private:
    QProcess proc_;
    QString path_;
};

// ---------------------------------------------------------------- one read

struct ReadResult {
    bool sent = false;      // the window handed the request to the master
    bool ended = false;     // Waiting went back to false
    bool ok = false;        // "№1: Ok"
    int events = 0;         // answers + errors the window counted for it
    int errorCode = 0;      // the master's code when it ended in an error
    double latencyMs = 0;   // click to Waiting cleared
};

class Driver {
public:
    Driver(orn::TMForm& form) : form_(form) {
        // Wakes the event loop now and then so that a read that never ends
        // is noticed even when no timer of the program is running.
        guard_.setInterval(50);
        guard_.start();
        clock_.start();
    }

    int Events() const { return form_.RxCount + form_.ErrCount; }

    // Runs the event loop for `ms` milliseconds.
    void Settle(int ms) {
        const qint64 until = clock_.nsecsElapsed() + qint64(ms) * 1000000;
        while (clock_.nsecsElapsed() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }

    // One press of "Читать" (or, with `write`, a write of 0 to the first
    // threshold of the instrument at address 1); with settleMs > 0 the
    // events that come after the request ended (until settleMs after the
    // click, and at least one poll interval after the end) are counted with it.
    ReadResult Read(int settleMs = 0, bool write = false) {
        ReadResult r;
        const int tx0 = form_.TxCount;
        const int events0 = Events();
        const qint64 start = clock_.nsecsElapsed();
        if (write) form_.WriteRegister(1, 8, 0);
        else form_.SBtRead->click();
        r.sent = form_.TxCount > tx0;
        if (!r.sent) return r;
        const qint64 hang = start + qint64(HangMs) * 1000000;
        while (form_.Waiting && clock_.nsecsElapsed() < hang)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        const qint64 end = clock_.nsecsElapsed();
        r.ended = !form_.Waiting;
        r.latencyMs = double(end - start) / 1e6;
        r.ok = r.ended && form_.PanelText(3).endsWith(QStringLiteral(": Ok"));
        if (r.ended && !r.ok) r.errorCode = form_.MB->ErrorCode();
        if (settleMs > 0) {
            const qint64 until = std::max(start + qint64(settleMs) * 1000000, end + qint64(PollMs + 50) * 1000000);
            while (clock_.nsecsElapsed() < until)
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        r.events = Events() - events0;
        return r;
    }

    // Puts the speed into CBPortSpeed as the user would choose it.
    bool SelectSpeed(int speed) {
        const int i = form_.CBPortSpeed->findText(QString::number(speed));
        if (i < 0) return false;
        form_.CBPortSpeed->setCurrentIndex(i);
        form_.CBPortSpeedChange();
        return true;
    }

private:
    orn::TMForm& form_;
    QTimer guard_;
    QElapsedTimer clock_;
};

// ---------------------------------------------------------------- figures

struct Cell {
    int speed = 0;
    int turnaroundMs = 0;
    int reads = 0;
    int sent = 0;
    int ok = 0;
    int hung = 0;
    int notOneEvent = 0;   // reads that ended with other than one event
    int strayEvents = 0;   // events after the last read had ended
    std::map<int, int> errors;   // by the master's code
    std::vector<double> latencies;   // of the reads answered Ok
    bool simFailed = false;
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    size_t rank = size_t(std::ceil(p * double(v.size())));
    rank = std::clamp<size_t>(rank, 1, v.size());
    return v[rank - 1];
}

QString ErrorsText(const std::map<int, int>& errors) {
    if (errors.empty()) return QStringLiteral("none");
    QStringList parts;
    for (const auto& [code, n] : errors)
        parts << QStringLiteral("%1 × code %2 \"%3\"").arg(n).arg(code).arg(QString::fromUtf8(orn::MBErrorText(code)).trimmed());
    return parts.join(QStringLiteral("; "));
}

// A "Name:   1234 kB" line of /proc/self/status, in MiB; NAN when missing.
double StatusMiB(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, name.size() + 1, name + ":") == 0)
            return double(std::strtol(line.c_str() + name.size() + 1, nullptr, 10)) / 1024.0;
    return NAN;
}

QString Fixed(double v, int decimals = 1) { return std::isnan(v) ? QStringLiteral("–") : QString::number(v, 'f', decimals); }

void Print(const QString& s) { std::fputs(s.toUtf8().constData(), stdout); std::fflush(stdout); }

// `writes`: after one read (not counted, it lets the master learn whether
// the port echoes) the requests are writes.
Cell RunCell(Driver& driver, const QString& simProgram, int speed, int turnaroundMs, int reads,
             const QStringList& extraArgs = {}, int settleMs = 0, bool writes = false) {
    Cell cell;
    cell.speed = speed;
    cell.turnaroundMs = turnaroundMs;
    QStringList args{QStringLiteral("--instrument"), QStringLiteral("MB4@1"),   QStringLiteral("--speed"),
                     QString::number(speed),         QStringLiteral("--parity"), QStringLiteral("even"),
                     QStringLiteral("--turnaround"), QString::number(turnaroundMs), QStringLiteral("--freeze")};
    args << extraArgs;
    Simulator sim(simProgram, args);
    if (sim.path().isEmpty()) {
        cell.simFailed = true;
        std::fprintf(stderr, "orn10sim did not start (%s)\n", args.join(' ').toUtf8().constData());
        return cell;
    }
    qputenv("ORN10_COM1", sim.path().toLocal8Bit());
    driver.SelectSpeed(speed);
    if (writes) driver.Read();
    const int events0 = driver.Events();
    for (int i = 0; i < reads; ++i) {
        const ReadResult r = driver.Read(settleMs, writes);
        ++cell.reads;
        if (!r.sent) continue;
        ++cell.sent;
        if (!r.ended) {
            ++cell.hung;
            continue;
        }
        if (r.events != 1) ++cell.notOneEvent;
        if (r.ok) {
            ++cell.ok;
            cell.latencies.push_back(r.latencyMs);
        } else {
            ++cell.errors[r.errorCode];
        }
    }
    // Anything that still comes for the last read (a timeout left running,
    // a poll of a port left open) would show here.
    const int counted = driver.Events() - events0;
    driver.Settle(AnswerTimeoutMs + 2 * PollMs);
    cell.strayEvents = driver.Events() - events0 - counted;
    std::fprintf(stderr, "  %6d bit/s, turnaround %2d ms%s: %d/%d Ok, median %.1f ms\n", speed, turnaroundMs,
                 extraArgs.isEmpty() ? "" : (" " + extraArgs.join(' ')).toUtf8().constData(), cell.ok, cell.reads,
                 Percentile(cell.latencies, 0.5));
    return cell;
}

QString OkText(const Cell& c) {
    if (c.simFailed) return QStringLiteral("sim failed");
    return QStringLiteral("%1/%2 (%3 %)").arg(c.ok).arg(c.reads).arg(c.reads ? 100.0 * c.ok / c.reads : 0.0, 0, 'f',
                                                                      c.ok == c.reads ? 0 : 1);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QString simProgram;
    int reads = 200;
    int faultReads = 50;
    bool sweep = true;
    bool faults = true;
    bool quirks = true;
    std::vector<int> speeds(std::begin(AllSpeeds), std::end(AllSpeeds));
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--sim" && more) simProgram = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--reads" && more) reads = std::max(1, std::atoi(argv[++i]));
        else if (a == "--fault-reads" && more) faultReads = std::max(1, std::atoi(argv[++i]));
        else if (a == "--speeds" && more) {
            speeds.clear();
            for (const QString& s : QString::fromLatin1(argv[++i]).split(',', Qt::SkipEmptyParts)) speeds.push_back(s.toInt());
        } else if (a == "--no-sweep") sweep = false;
        else if (a == "--no-faults") faults = false;
        else if (a == "--no-quirks") quirks = false;
        else {
            std::fprintf(stderr,
                         "usage: %s --sim PATH [--reads N] [--fault-reads N] [--speeds 1200,2400,...] "
                         "[--no-sweep] [--no-faults] [--no-quirks]\n",
                         argv[0]);
            return 2;
        }
    }
    if (simProgram.isEmpty()) {
        std::fprintf(stderr, "%s: --sim PATH (the orn10sim program) is needed\n", argv[0]);
        return 2;
    }

    orn::TApplication app(argc, argv);
    orn::ShowErrorBox = [](const QString& text) { std::fprintf(stderr, "error box: %s\n", text.toUtf8().constData()); };
    orn::QtScheduler scheduler;
    orn::PosixSerialBackend backend;
    // The window lists COM1 first, opened by number, when ORN10_COM1 is set
    // as it starts; each cell then points it at its simulator.
    if (qEnvironmentVariableIsEmpty("ORN10_COM1")) qputenv("ORN10_COM1", "/dev/null");
    orn::TMForm form(scheduler, backend);
    int portErrors = 0;
    form.ShowPortErrorBox = [&] { ++portErrors; };
    form.show();
    QCoreApplication::processEvents();
    Driver driver(form);
    const double rssAtStart = StatusMiB("VmRSS");

    Print(QStringLiteral("Real window `TMForm` on the Qt platform \"%1\", `QtScheduler`, `PosixSerialBackend`; "
                         "`orn10sim` (MB4 at address 1, parity even, readings frozen) on a pseudo-terminal, "
                         "answers paced at the line speed. Each read: a click on \"Читать\", 13 registers, "
                         "answer timeout %2 ms, receive poll %3 ms; the next click follows as soon as the "
                         "previous read has ended.\n\n")
              .arg(QGuiApplication::platformName())
              .arg(AnswerTimeoutMs)
              .arg(PollMs));

    if (sweep) {
        std::fprintf(stderr, "Read sweep, %d reads per cell\n", reads);
        std::vector<Cell> fast, slow;
        for (int speed : speeds) {
            fast.push_back(RunCell(driver, simProgram, speed, 5, reads));
            // At 1200 bit/s a 13-register read with 80 ms of turnaround is
            // whole at about 437 ms, after the last poll before the answer
            // timeout: the timeout's own look at the port must find it.
            slow.push_back(RunCell(driver, simProgram, speed, 80, reads));
        }
        auto find = [](const std::vector<Cell>& cells, int speed) -> const Cell* {
            for (const Cell& c : cells)
                if (c.speed == speed) return &c;
            return nullptr;
        };

        Print(QStringLiteral("### Read reliability (reads answered \"Ok\"; target 100 %)\n\n"
                             "| bit/s | turnaround 5 ms | turnaround 80 ms |\n|---:|---:|---:|\n"));
        int oddReads = 0, stray = 0, hung = 0, notSent = 0;
        std::map<int, int> errors;
        for (int speed : speeds) {
            const Cell* a = find(fast, speed);
            const Cell* b = find(slow, speed);
            Print(QStringLiteral("| %1 | %2 | %3 |\n")
                      .arg(speed)
                      .arg(a ? OkText(*a) : QStringLiteral("–"))
                      .arg(b ? OkText(*b) : QStringLiteral("– (does not fit)")));
        }
        for (const auto* cells : {&fast, &slow})
            for (const Cell& c : *cells) {
                oddReads += c.notOneEvent;
                stray += c.strayEvents;
                hung += c.hung;
                notSent += c.reads - c.sent;
                for (const auto& [code, n] : c.errors) errors[code] += n;
            }
        Print(QStringLiteral("\nErrors in the sweep: %1. Reads that ended with other than exactly one answer or "
                             "error: %2; events after the last read of a cell: %3; reads still waiting after %4 ms: "
                             "%5; reads not sent: %6.\n\n")
                  .arg(ErrorsText(errors))
                  .arg(oddReads)
                  .arg(stray)
                  .arg(HangMs)
                  .arg(hung)
                  .arg(notSent));

        Print(QStringLiteral(
            "### Latency from the click to the updated table (reads answered \"Ok\")\n\n"
            "Wire time: %1 request + %2 answer bytes at %3 bits per character. Target: wire time + "
            "turnaround + one poll interval (%4 ms), met when the 95th percentile is within it.\n\n"
            "| bit/s | turnaround ms | wire ms | poll ms | median ms | p95 ms | max ms | target ms | meets |\n"
            "|---:|---:|---:|---:|---:|---:|---:|---:|:---:|\n")
                  .arg(RequestBytes)
                  .arg(AnswerBytes)
                  .arg(BitsPerChar)
                  .arg(PollMs));
        for (const auto* cells : {&fast, &slow})
            for (const Cell& c : *cells) {
                const double wire = WireMs(c.speed);
                const double target = wire + c.turnaroundMs + PollMs;
                const double p95 = Percentile(c.latencies, 0.95);
                const double max = c.latencies.empty() ? NAN : *std::max_element(c.latencies.begin(), c.latencies.end());
                Print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 |\n")
                          .arg(c.speed)
                          .arg(c.turnaroundMs)
                          .arg(Fixed(wire))
                          .arg(PollMs)
                          .arg(Fixed(Percentile(c.latencies, 0.5)))
                          .arg(Fixed(p95))
                          .arg(Fixed(max))
                          .arg(Fixed(target))
                          .arg(std::isnan(p95) ? QStringLiteral("–")
                                               : p95 <= target ? QStringLiteral("yes") : QStringLiteral("**no**")));
            }
        Print(QStringLiteral("\n"));
    }

    if (faults) {
        std::fprintf(stderr, "Faults, %d reads per case\n", faultReads);
        struct Case {
            const char* what;
            QStringList args;
        };
        const Case cases[] = {
            {"5 noise bytes before every answer", {QStringLiteral("--fault"), QStringLiteral("1:noise=5")}},
            {"every answer split by a 150 ms pause (straddles a poll)",
             {QStringLiteral("--fault"), QStringLiteral("1:split=150")}},
            {"every answer split by a 600 ms pause (beyond the timeout)",
             {QStringLiteral("--fault"), QStringLiteral("1:split=600")}},
            {"random: drop, corrupt, split, delay, garble, 10 % each",
             {QStringLiteral("--random"), QStringLiteral("drop=0.1,corrupt=0.1,split=0.1,delay=0.1,garble=0.1")}},
        };
        const int speed = 19200;
        const int turnaround = 5;
        Print(QStringLiteral("### Faults injected at %1 bit/s, turnaround %2 ms (%3 reads each)\n\n"
                             "After each read the program runs on until %4 ms after the click (and at least one "
                             "poll after the end), so that a second event for the same read would be counted.\n\n"
                             "| fault | Ok | errors | exactly one answer or error | hung |\n|---|---:|---|:---:|---:|\n")
                  .arg(speed)
                  .arg(turnaround)
                  .arg(faultReads)
                  .arg(AnswerTimeoutMs + 2 * PollMs));
        for (const Case& fc : cases) {
            const Cell c = RunCell(driver, simProgram, speed, turnaround, faultReads, fc.args,
                                   AnswerTimeoutMs + 2 * PollMs);
            const int one = c.sent - c.hung - c.notOneEvent;
            Print(QStringLiteral("| %1 (`%2`) | %3 | %4 | %5 | %6 |\n")
                      .arg(QString::fromUtf8(fc.what))
                      .arg(fc.args.join(' '))
                      .arg(OkText(c))
                      .arg(ErrorsText(c.errors))
                      .arg(QStringLiteral("%1/%2%3")
                               .arg(one)
                               .arg(c.reads)
                               .arg(c.strayEvents ? QStringLiteral(", %1 stray").arg(c.strayEvents) : QString()))
                      .arg(c.hung));
        }
        Print(QStringLiteral("\n"));
    }
    if (quirks) {
        std::fprintf(stderr, "Field quirks, %d requests per case\n", reads);
        struct Quirk {
            const char* what;
            QStringList args;
            bool writes;
        };
        const QString fault = QStringLiteral("--fault"), echo = QStringLiteral("--echo");
        const Quirk cases[] = {
            {"one stray 00 before every answer (a driver switching at the turnaround)", {fault, "1:stray=00"}, false},
            {"one stray FF before every answer", {fault, "1:stray=FF"}, false},
            {"the adapter echoes the request (2-wire, no echo suppression)", {echo}, false},
            {"another slave's whole frame before every answer", {fault, "1:foreign=7"}, false},
            {"all three at once", {echo, fault, "1:stray=00,foreign=7"}, false},
            {"**write to a silent instrument** through the echoing adapter", {echo, fault, "1:silent"}, true},
            {"write answered, through the echoing adapter", {echo}, true},
            {"write answered, adapter without echo", {}, true},
        };
        const int speed = 19200;
        Print(QStringLiteral("### Field quirks at %1 bit/s, turnaround 5 ms (%2 requests each)\n\n"
                             "Reads are clicks on \"Читать\"; writes set threshold 1 of address 1 to 0 through "
                             "`WriteRegister`, each write row after one read that is not counted (from it the "
                             "master learns whether the port echoes). Target: every read and every answered "
                             "write \"Ok\"; no \"Ok\" for the silent instrument.\n\n"
                             "| what the line does | requests | \"Ok\" | other outcomes | exactly one answer or error | hung |\n"
                             "|---|---|---:|---|:---:|---:|\n")
                  .arg(speed)
                  .arg(reads));
        for (const Quirk& q : cases) {
            const Cell c = RunCell(driver, simProgram, speed, 5, reads, q.args, 0, q.writes);
            Print(QStringLiteral("| %1 (%2) | %3 | %4 | %5 | %6/%7 | %8 |\n")
                      .arg(QString::fromUtf8(q.what))
                      .arg(q.args.isEmpty() ? QStringLiteral("no options") : "`" + q.args.join(' ') + "`")
                      .arg(q.writes ? QStringLiteral("writes") : QStringLiteral("reads"))
                      .arg(OkText(c))
                      .arg(ErrorsText(c.errors))
                      .arg(c.sent - c.hung - c.notOneEvent)
                      .arg(c.reads)
                      .arg(c.hung));
        }
        Print(QStringLiteral("\n"));
    }
    Print(QStringLiteral("Resident memory of this process (window and master included): %1 MiB after start-up, %2 MiB "
                         "after %3 reads (peak %4 MiB).\n\n")
              .arg(Fixed(rssAtStart))
              .arg(Fixed(StatusMiB("VmRSS")))
              .arg(form.TxCount)
              .arg(Fixed(StatusMiB("VmHWM"))));
    if (portErrors) Print(QStringLiteral("The port error box came up %1 times.\n\n").arg(portErrors));
    form.close();
    return 0;
}
