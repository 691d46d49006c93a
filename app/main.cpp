// Program entry of the ORN10 service utility.
//
// Creates the main window and the value entry dialog and runs the event loop
// until the main window is closed.  The command line is not used.  The exit
// code is always 0, also after an error that escaped the windows.
#include "application.h"
#include "icons.h"
#include "posix_serial.h"
#include "qt_scheduler.h"
#include "service_tools.h"
#include "ueditdialog.h"
#include "umain.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

int main(int argc, char** argv) {
    orn::TApplication app(argc, argv);
    app.setWindowIcon(QIcon(QPixmap::fromImage(orn::ProgramIcon())));
    orn::RunGuarded([] {
        orn::QtScheduler scheduler;
        orn::PosixSerialBackend backend;
        orn::TMForm MForm(scheduler, backend);
        orn::TDlgForm DlgForm(&MForm);
        MForm.DlgForm = &DlgForm;
        // Traffic view, readings log and trend: a context menu and shortcuts on the window.
        orn::TServiceTools tools(MForm, scheduler);
        // Centred on the desktop when first shown.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            MForm.move(screen->availableGeometry().center() - MForm.rect().center());
        MForm.show();
        QApplication::exec();
    });
    return 0;
}
