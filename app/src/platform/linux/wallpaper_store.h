#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QFile;
class QImage;

// The files a Linux desktop shows. Desktops read the picture from its path for
// as long as it is shown, so each one is a copy of its own, outside the
// temporary folder and the per-screen folders that the program tidies. Every
// change gets new file names: a desktop handed the path it already shows would
// not reload it.
class WallpaperStore
{
public:
    explicit WallpaperStore(QString directory);

    QString directory() const { return m_directory; }

    // Starts the files of one change.
    void begin();
    // A copy of sourcePath; empty when it cannot be made.
    QString addCopy(const QString& sourcePath);
    // image saved as BMP (fast to write and read back); empty on failure.
    QString addImage(const QImage& image);
    // Ends the change. When the desktop took it, the earlier files go;
    // otherwise the new ones do, and the desktop keeps what it shows.
    void finish(bool taken);

private:
    // Creates a new file and fills it with write; its path, or empty on failure.
    QString addFile(const QString& suffix, const std::function<bool(QFile&)>& write);

    QString m_directory;
    QStringList m_current;
};
