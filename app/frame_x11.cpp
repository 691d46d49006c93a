// The frame hints of an X11 window manager (XCB).
#include "frame.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

namespace orn {

void AskForCaptionOnly(QWidget& window) {
    // For a caption without buttons Qt hands the window manager only the
    // Motif function hint "move and resize", with no decoration hint; window
    // managers that go by the Motif decorations then draw every button.
    // Both hints are set here: a border and a title, and moving as the only
    // function.
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
}

} // namespace orn
