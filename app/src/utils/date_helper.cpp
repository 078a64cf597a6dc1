#include "date_helper.h"

QString DateHelper::getCurrentDateString()
{
    return formatDate(QDate::currentDate());
}

QString DateHelper::getPreviousDateString(int daysBack)
{
    return dateStringBefore(QDate::currentDate(), daysBack);
}

namespace {
const QString dateFormat = QStringLiteral("dd/MM/yyyy");
}

QString DateHelper::formatDate(const QDate& date)
{
    return date.toString(dateFormat);
}

QDate DateHelper::parseDate(const QString& text)
{
    return QDate::fromString(text, dateFormat);
}

QString DateHelper::dateStringBefore(const QDate& day, int daysBack)
{
    return formatDate(day.addDays(-static_cast<qint64>(daysBack)));
}
