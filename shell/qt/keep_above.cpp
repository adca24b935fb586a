// Keeping a window above: on X11 as the Extended Window Manager Hints say, by
// asking the window manager to add or remove _NET_WM_STATE_ABOVE on the
// window as it is.
#include "shell/qt/keep_above.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

// The X server's connection on the xcb platform, null elsewhere (the offscreen
// platform offers the interface too, without a connection).
xcb_connection_t* x11_connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

// Sends the client message _NET_WM_STATE (add or remove _NET_WM_STATE_ABOVE)
// for `window` to the root window, where the window manager takes it.
void ask_window_manager(xcb_connection_t* connection, xcb_window_t window, bool above)
{
    const auto state_cookie = xcb_intern_atom(connection, 0, 13, "_NET_WM_STATE");
    const auto above_cookie = xcb_intern_atom(connection, 0, 19, "_NET_WM_STATE_ABOVE");
    const auto tree_cookie = xcb_query_tree(connection, window);
    xcb_intern_atom_reply_t* state = xcb_intern_atom_reply(connection, state_cookie, nullptr);
    xcb_intern_atom_reply_t* above_state = xcb_intern_atom_reply(connection, above_cookie, nullptr);
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, tree_cookie, nullptr);
    if (state != nullptr && above_state != nullptr && tree != nullptr) {
        xcb_client_message_event_t message;
        memset(&message, 0, sizeof message);
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = state->atom;
        message.data.data32[0] = above ? 1 : 0;  // _NET_WM_STATE_ADD, _NET_WM_STATE_REMOVE
        message.data.data32[1] = above_state->atom;
        message.data.data32[3] = 1;  // asked by an application
        xcb_send_event(connection, 0, tree->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(connection);
    }
    free(state);
    free(above_state);
    free(tree);
}

}  // namespace

KeepAbove keep_above_support()
{
    if (x11_connection() != nullptr) return KeepAbove::asked_of_window_manager;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return KeepAbove::impossible;
    return KeepAbove::flag_only;
}

void keep_above(QWidget* window, bool above)
{
    // Setting the flag the ordinary way would make the native window anew.
    window->overrideWindowFlags(window->windowFlags().setFlag(Qt::WindowStaysOnTopHint, above));
    xcb_connection_t* connection = x11_connection();
    if (connection == nullptr || !window->isVisible()) return;
    ask_window_manager(connection, static_cast<xcb_window_t>(window->winId()), above);
}
