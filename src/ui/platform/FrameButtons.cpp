#include "ui/platform/FrameButtons.h"

#include <QGuiApplication>
#include <QWidget>

#include <cstdint>
#include <cstring>
#include <xcb/xcb.h>

void SetFrameWithoutButtons(QWidget* window)
{
#if QT_CONFIG(xcb)
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* c = x11->connection();
    static const char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(kName)), kName), nullptr);
    if (!atom)
        return;
    // flags: functions and decorations; functions: move; decorations: border and title.
    const uint32_t hints[5] = {1u | 2u, 4u, 2u | 8u, 0, 0};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()), atom->atom, atom->atom,
                        32, 5, hints);
    xcb_flush(c);
    std::free(atom);
#else
    (void)window;
#endif
}
