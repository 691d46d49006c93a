// The program's windows as the program entry makes them: the main window on
// the Qt event loop, the system's serial ports and the network, its value
// dialog, and the service tools (traffic view, readings log, trend), the
// records tools (guided calibration, service records) and the line window
// attached to it.  The benchmarks and demos drive the same set.
#pragma once

#include "line_window.h"
#include "net_link.h"
#include "qt_scheduler.h"
#include "records_tools.h"
#include "service_tools.h"
#include "system_serial.h"
#include "ueditdialog.h"
#include "umain.h"

namespace orn {

struct TProgram {
    QtScheduler scheduler;
    std::unique_ptr<SerialBackend> serial = MakeSystemSerialBackend();
    // Lines behind the network, their connections made on the GUI thread's loop.
    NetBackend net{scheduler};
    LinkBackend backend{*serial, net};
    TMForm MForm{scheduler, backend};
    TDlgForm DlgForm{&MForm};
    // A context menu and shortcuts on the window lead to the tools.
    TServiceTools tools{MForm, scheduler};
    // The guided calibration and the service records (the window's writes
    // are recorded from the start).
    TRecordsTools records{MForm, scheduler};
    // The line window and the share of the window's master it reads
    // through: last, so that the share hears of an outcome first.
    TLineTools line{MForm, scheduler, tools, &records};

    TProgram() { MForm.DlgForm = &DlgForm; }
};

} // namespace orn
