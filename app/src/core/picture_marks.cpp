#include "picture_marks.h"

#include "safe_file.h"
#include "service_file_name.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QString favouritesKey = QStringLiteral("favourites");
const QString neverAgainKey = QStringLiteral("neverAgain");

// Names that cannot be a picture's file name are dropped: they could only
// ever name something outside the folders.
QSet<QString> readNames(const QJsonValue& value)
{
    QSet<QString> names;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& item : array) {
        const QString name = item.toString();
        if (isSafeServiceFileName(name))
            names.insert(name);
    }
    return names;
}

// Sorted, so that the file does not change with the hash order.
QJsonArray sortedArray(const QSet<QString>& names)
{
    QStringList sorted(names.cbegin(), names.cend());
    std::sort(sorted.begin(), sorted.end());
    return QJsonArray::fromStringList(sorted);
}

// The file's path and what is wrong with it come as the system or the file
// tells them.
ShownText fileRefusal(const QString& path, const QString& why)
{
    return ShownText("PictureMarks", QT_TRANSLATE_NOOP("PictureMarks", "Fichier des marques %1: %2"))
        .arg(path)
        .arg(why);
}

} // namespace

QString PictureMarks::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/picture_marks.json");
}

PictureMarks::PictureMarks(QString path) : m_path(std::move(path)) {}

bool PictureMarks::load(ShownText* whyNot)
{
    m_favourites.clear();
    m_neverAgain.clear();
    m_refusal = {};
    QString why;
    const SafeFile::Result file = SafeFile::readAll(m_path, maxFileBytes);
    switch (file.status) {
    case SafeFile::Status::Read:
        break;
    case SafeFile::Status::Missing:
        // Nothing there, or something unknown behind an unreadable folder.
        if (SafeFile::presence(m_path) == SafeFile::Presence::Absent)
            return true;
        why = SafeFile::describe(SafeFile::Status::Unreadable);
        break;
    default:
        why = SafeFile::describe(file.status);
        break;
    }
    if (why.isEmpty()) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.data, &error);
        if (document.isObject()) {
            const QJsonObject root = document.object();
            m_favourites = readNames(root.value(favouritesKey));
            m_neverAgain = readNames(root.value(neverAgainKey));
            return true;
        }
        why = QStringLiteral("contenu illisible (%1)").arg(error.errorString());
    }
    m_refusal = fileRefusal(m_path, why);
    if (whyNot)
        *whyNot = m_refusal;
    return false;
}

bool PictureMarks::addFavourite(const QString& fileName, ShownText* whyNot)
{
    return add(m_favourites, fileName, whyNot);
}

bool PictureMarks::addNeverAgain(const QString& fileName, ShownText* whyNot)
{
    return add(m_neverAgain, fileName, whyNot);
}

bool PictureMarks::add(QSet<QString>& list, const QString& fileName, ShownText* whyNot)
{
    auto refuse = [whyNot](const ShownText& why) {
        if (whyNot)
            *whyNot = why;
        return false;
    };
    if (!m_refusal.isEmpty())
        return refuse(m_refusal);
    if (!isSafeServiceFileName(fileName))
        return refuse(
            ShownText("PictureMarks", QT_TRANSLATE_NOOP("PictureMarks", "Nom d'image invalide: %1")).arg(fileName));
    if (list.contains(fileName))
        return true;
    list.insert(fileName);
    if (!save(whyNot)) {
        list.remove(fileName);
        return false;
    }
    return true;
}

bool PictureMarks::save(ShownText* whyNot) const
{
    auto refuse = [this, whyNot](const QString& why) {
        if (whyNot)
            *whyNot = fileRefusal(m_path, why);
        return false;
    };
    // Something put in the file's place since it was read is not written over, nor through.
    const QFileInfo info(m_path);
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        return refuse(SafeFile::describe(SafeFile::Status::NotRegular));
    QJsonObject root;
    root.insert(favouritesKey, sortedArray(m_favourites));
    root.insert(neverAgainKey, sortedArray(m_neverAgain));
    const QByteArray body = QJsonDocument(root).toJson(QJsonDocument::Indented);
    if (body.size() > maxFileBytes)
        return refuse(SafeFile::describe(SafeFile::Status::TooLarge));
    QDir().mkpath(info.absolutePath());
    // Written aside and renamed: a crash leaves the old file or the new, never half of one.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit())
        return refuse(file.errorString());
    return true;
}

QList<QString> PictureMarks::withoutNeverAgain(const QList<QString>& paths) const
{
    QList<QString> kept;
    for (const QString& path : paths) {
        if (!m_neverAgain.contains(QFileInfo(path).fileName()))
            kept.append(path);
    }
    return kept;
}
