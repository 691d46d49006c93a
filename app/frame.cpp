#include "frame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace orn {

namespace {

class OnFirstExpose : public QObject {
public:
    OnFirstExpose(QWindow* window, std::function<void()> action) : QObject(window), action_(std::move(action)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            deleteLater();
            action_();
        }
        return false;
    }

private:
    std::function<void()> action_;
};

} // namespace

void WhenOnScreen(QWidget& window, std::function<void()> action) {
    window.winId();   // the native window, to watch
    new OnFirstExpose(window.windowHandle(), std::move(action));
}

void AskForCaptionOnly(QWidget& window) {
    // For a caption without buttons Qt hands the window manager only the
    // Motif function hint "move and resize", with no decoration hint; window
    // managers that go by the Motif decorations then draw every button.
    // Both hints are set here: a border and a title, and moving as the only
    // function.
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return;
    static const char name[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    if (!atom) return;
    enum : uint32_t { HintFunctions = 1, HintDecorations = 2, FunctionMove = 4, DecorBorder = 2, DecorTitle = 8 };
    const uint32_t hints[5] = {HintFunctions | HintDecorations, FunctionMove, DecorBorder | DecorTitle, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window.winId()), atom->atom, atom->atom, 32,
                        5, hints);
    xcb_flush(connection);
    std::free(atom);
#else
    (void)window;
#endif
}

} // namespace orn
