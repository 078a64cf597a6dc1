#include "x11_front_window.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

// The value of a 32-bit property as a list; empty when absent.
template <typename Visit> void readProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom, Visit visit)
{
    xcb_get_property_cookie_t cookie = xcb_get_property(c, 0, window, atom, XCB_ATOM_ANY, 0, 64);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (!reply)
        return;
    if (reply->format == 32) {
        const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        for (int i = 0; i < count; ++i)
            visit(values[i]);
    }
    std::free(reply);
}

} // namespace

X11FrontWindow::X11FrontWindow(QObject* parent) : QObject(parent)
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return;
    int screenNumber = 0;
    m_connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;
    m_activeAtom = internAtom("_NET_ACTIVE_WINDOW");
    m_stateAtom = internAtom("_NET_WM_STATE");
    m_fullScreenAtom = internAtom("_NET_WM_STATE_FULLSCREEN");
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readEvents(); });
    follow();
}

X11FrontWindow::~X11FrontWindow()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

std::uint32_t X11FrontWindow::internAtom(const char* name) const
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    const std::uint32_t atom = reply ? reply->atom : std::uint32_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

void X11FrontWindow::follow()
{
    xcb_window_t active = 0;
    readProperty(m_connection, m_root, m_activeAtom, [&](std::uint32_t value) { active = value; });
    if (active != m_active) {
        // Property events of the window in front, and of no other.
        if (m_active) {
            const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
            xcb_change_window_attributes(m_connection, m_active, XCB_CW_EVENT_MASK, &none);
        }
        if (active) {
            const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(m_connection, active, XCB_CW_EVENT_MASK, &mask);
        }
        m_active = active;
    }
    bool fullScreen = false;
    if (m_active)
        readProperty(m_connection, m_active, m_stateAtom,
                     [&](std::uint32_t value) { fullScreen = fullScreen || value == m_fullScreenAtom; });
    xcb_flush(m_connection);
    if (fullScreen == m_fullScreen)
        return;
    m_fullScreen = fullScreen;
    Q_EMIT changed();
}

void X11FrontWindow::readEvents()
{
    bool look = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
            look = look || (property->window == m_root && property->atom == m_activeAtom) ||
                   (property->window == m_active && property->atom == m_stateAtom);
        }
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection)) {
        // The X server went away: nothing is in front any more.
        m_notifier->setEnabled(false);
        if (m_fullScreen) {
            m_fullScreen = false;
            Q_EMIT changed();
        }
        return;
    }
    if (look)
        follow();
}
