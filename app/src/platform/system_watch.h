#pragma once

#include <QObject>

class QByteArray;

// What the system tells the change schedule: sleep and wake, clock changes,
// the session's unlock, and the conditions under which a change would
// disturb. A system that tells nothing (no logind, no UPower, no X server)
// means "no condition", never an error: the base class is that system.
class SystemWatch : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~SystemWatch() override;

    // Running on battery power.
    virtual bool onBattery() const { return false; }
    // The window in front fills its screen (a film, a game, a presentation).
    virtual bool fullScreenInFront() const { return false; }
    // Watching the window in front costs a connection and events: only while
    // someone cares.
    virtual void setWatchFullScreen(bool) {}
    // Whether conditionsChanged() comes when the window in front changes;
    // where not, the state must be looked at again while it matters.
    virtual bool announcesFullScreenChanges() const { return true; }

    // A native message of one of the program's windows (Windows hands its
    // power and time messages this way); the watch emits what it announces.
    virtual void handleNativeMessage(const QByteArray& eventType, const void* message);

Q_SIGNALS:
    // Back from suspend or hibernation.
    void resumed();
    // The wall clock was set, or the time zone changed.
    void clockChanged();
    // The user unlocked the session.
    void unlocked();
    // onBattery() or fullScreenInFront() may have changed.
    void conditionsChanged();
};
