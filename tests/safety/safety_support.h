#pragma once

#include "modern_window.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Reaches what the window shows nowhere: monitor ids, the banner's error text
// and whether a change runs.
class ModernWindowTestAccess
{
public:
    static QString screenId(ModernWindow& w, int screen) { return w.getScreenUniqueId(screen); }
    static QString lastApiError(ModernWindow& w) { return w.lastApiError.toString(); }
    static QPushButton* changeNowButton(ModernWindow& w) { return w.changeNowButton; }
    static bool changeInFlight(ModernWindow& w) { return w.currentMultiDownload != nullptr; }
    static QMap<int, QList<QString>>& screenHistory(ModernWindow& w) { return w.screenWallpaperHistory; }
};

inline QString configLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

// Clicks "change now" and waits until the change has ended.
inline bool runChange(ModernWindow& window)
{
    QTest::mouseClick(ModernWindowTestAccess::changeNowButton(window), Qt::LeftButton);
    return QTest::qWaitFor([&] { return !ModernWindowTestAccess::changeInFlight(window); }, 30000);
}

// Every entry below root (links not followed) with its kind and contents, to
// tell that nothing of the user's was touched.
inline QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString name = info.absoluteFilePath().mid(root.size());
        if (info.isSymLink()) {
            entries.insert(name, "link:" + info.symLinkTarget().toUtf8());
        } else if (info.isFile()) {
            QFile file(info.absoluteFilePath());
            entries.insert(name, file.open(QIODevice::ReadOnly)
                                     ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex()
                                     : QByteArray("unreadable"));
        } else {
            entries.insert(name, info.isDir() ? "dir" : "special");
        }
    }
    return entries;
}

// Root reads anything; while this lives the process reads only what the
// permission bits allow it, as a user would.
class PermissionsApply
{
public:
    PermissionsApply()
    {
        if (::geteuid() != 0)
            return;
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_active = ::syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~PermissionsApply()
    {
        if (m_active)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    // False when permission bits still do not hold (root without the right to drop).
    bool holds() const { return ::geteuid() != 0 || m_active; }

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};
