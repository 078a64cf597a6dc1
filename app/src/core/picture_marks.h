#pragma once

#include "core/shown_text.h"
#include <QList>
#include <QSet>

#include <QString>
#include <QStringList>

// The pictures a user marked: favourites, kept aside, and "never again",
// which no change draws any more. Both lists live in one small JSON file in
// the program's data folder, read as the logs are (a regular file only, never
// through a link, capped) and replaced whole on each write.
//
// A file that cannot be read as it stands is never written over: the store
// then refuses every mark, and what the file holds is left for the user.
class PictureMarks
{
public:
    // Far above what a user marks by hand; a larger file is not ours.
    static constexpr qint64 maxFileBytes = 512 * 1024;

    // <data folder>/picture_marks.json
    static QString defaultPath();

    explicit PictureMarks(QString path = defaultPath());

    // Reads the file; a missing one is an empty store. False, with why, when
    // something is there that cannot be used: the store then refuses marks.
    bool load(ShownText* whyNot = nullptr);
    // Why marks are refused, or "" when they are not.
    ShownText refusal() const { return m_refusal; }
    QString path() const { return m_path; }

    bool isFavourite(const QString& fileName) const { return m_favourites.contains(fileName); }
    bool isNeverAgain(const QString& fileName) const { return m_neverAgain.contains(fileName); }
    QSet<QString> favourites() const { return m_favourites; }
    QSet<QString> neverAgain() const { return m_neverAgain; }

    // Marks a picture by its file name and writes the file. False, with why,
    // for a name that is no safe file name, a refused store or a failed write
    // (the mark is then not kept either).
    bool addFavourite(const QString& fileName, ShownText* whyNot = nullptr);
    bool addNeverAgain(const QString& fileName, ShownText* whyNot = nullptr);

    // The paths whose file name is not marked never again, in their order.
    QList<QString> withoutNeverAgain(const QList<QString>& paths) const;

private:
    bool add(QSet<QString>& list, const QString& fileName, ShownText* whyNot);
    bool save(ShownText* whyNot) const;

    QString m_path;
    QSet<QString> m_favourites;
    QSet<QString> m_neverAgain;
    ShownText m_refusal;
};
