#pragma once

#include <QDate>
#include <QString>

// Date strings as the wallpaper service takes and returns them: "dd/MM/yyyy".
class DateHelper
{
public:
    static QString getCurrentDateString();
    // daysBack days before today; 0 gives today, a negative value a later date.
    static QString getPreviousDateString(int daysBack);

    static QString formatDate(const QDate& date);
    // A date string read back; invalid when the text is not "dd/MM/yyyy".
    static QDate parseDate(const QString& text);
    static QString dateStringBefore(const QDate& day, int daysBack);
};
