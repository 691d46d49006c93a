// Program entry of the ORN10 service utility.
//
// Creates the main window and the value entry dialog and runs the event loop
// until the main window is closed.  The command line is not used.  The exit
// code is always 0, also after an error that escaped the windows.
#include "application.h"
#include "frame.h"
#include "icons.h"
#include "program.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

namespace {

// Puts the window's outer rectangle, its frame included, in the middle of
// the desktop.
void CentreOnDesktop(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect desktop = screen->availableGeometry();
    const QSize outer = window.frameGeometry().size();
    window.move(desktop.x() + (desktop.width() - outer.width()) / 2,
                desktop.y() + (desktop.height() - outer.height()) / 2);
}

} // namespace

int main(int argc, char** argv) {
    orn::TApplication app(argc, argv);
    app.setWindowIcon(QIcon(QPixmap::fromImage(orn::ProgramIcon())));
    orn::RunGuarded([] {
        orn::TProgram program;
        orn::TMForm& MForm = program.MForm;
        // Centred on the desktop when first shown, by its frame as soon as
        // the window manager has added one.
        CentreOnDesktop(MForm);
        orn::WhenOnScreen(MForm, [&MForm] { CentreOnDesktop(MForm); });
        MForm.show();
        QApplication::exec();
    });
    return 0;
}
