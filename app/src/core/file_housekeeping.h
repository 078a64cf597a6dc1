#pragma once

#include <QString>

#include <functional>

// Deletions that keep the program's folders from growing without bound. They
// work on plain, non-hidden files only, never inside a folder that is a link, report nothing and skip files that
// cannot be deleted: the next run tries again.
class FileHousekeeping
{
public:
    // Deletes the folder with its contents; a link in its place loses the
    // link only, never what it points to.
    static void removeFolder(const QString& directory);

    // Deletes every file of the folder whose absolute path is not keepPath
    // (exact, case-sensitive). Nothing happens when the folder is missing.
    static void deleteAllFilesExcept(const QString& directory, const QString& keepPath);

    // Deletes the "*.bmp" and "*.png" files (any case) of the folder except
    // the one named exactly keepName.
    static void deleteImagesExcept(const QString& directory, const QString& keepName);

    // Keeps the maxFiles most recently modified files and deletes the rest.
    static void keepNewestFiles(const QString& directory, int maxFiles);

    // While the files together exceed maxBytes, deletes the least recently
    // modified one, passing over those for which isKept answers true.
    static void trimToSize(const QString& directory, qint64 maxBytes,
                           const std::function<bool(const QString& absolutePath)>& isKept);
};
