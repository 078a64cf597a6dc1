#pragma once

#include <QObject>

#include <cstdint>

class QSocketNotifier;
struct xcb_connection_t;

// Whether the X server's active window (_NET_ACTIVE_WINDOW of the root) is in
// the full-screen state (_NET_WM_STATE_FULLSCREEN). A connection of its own,
// watching the two properties, so that it works whatever Qt platform runs the
// window. No X server (DISPLAY unset, Wayland alone): never full screen.
class X11FrontWindow : public QObject
{
    Q_OBJECT

public:
    explicit X11FrontWindow(QObject* parent = nullptr);
    ~X11FrontWindow() override;

    bool isFullScreen() const { return m_fullScreen; }

Q_SIGNALS:
    void changed();

private:
    void readEvents();
    void follow();
    std::uint32_t internAtom(const char* name) const;

    xcb_connection_t* m_connection = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    std::uint32_t m_root = 0;
    std::uint32_t m_active = 0;
    std::uint32_t m_activeAtom = 0;
    std::uint32_t m_stateAtom = 0;
    std::uint32_t m_fullScreenAtom = 0;
    bool m_fullScreen = false;
};
