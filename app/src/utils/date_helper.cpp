#include "date_helper.h"

QString DateHelper::getCurrentDateString()
{
    return formatDate(QDate::currentDate());
}

QString DateHelper::getPreviousDateString(int daysBack)
{
    return dateStringBefore(QDate::currentDate(), daysBack);
}

QString DateHelper::formatDate(const QDate& date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

QString DateHelper::dateStringBefore(const QDate& day, int daysBack)
{
    return formatDate(day.addDays(-static_cast<qint64>(daysBack)));
}
