#include "core/shown_text.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// The number of the place marker ("%1" to "%99") at position, or 0.
int markerAt(const QString& text, qsizetype position, qsizetype* length)
{
    if (text.at(position) != QLatin1Char('%') || position + 1 >= text.size() || !text.at(position + 1).isDigit())
        return 0;
    int number = text.at(position + 1).digitValue();
    *length = 2;
    if (position + 2 < text.size() && text.at(position + 2).isDigit()) {
        number = number * 10 + text.at(position + 2).digitValue();
        *length = 3;
    }
    return number;
}

} // namespace

ShownText::ShownText(const char* context, const char* source, const char* disambiguation, int n)
    : m_context(context), m_source(source), m_disambiguation(disambiguation), m_n(n)
{
}

ShownText ShownText::verbatim(const QString& text)
{
    ShownText shown;
    shown.m_verbatim = text;
    return shown;
}

ShownText& ShownText::arg(const QString& text)
{
    return arg(verbatim(text));
}

ShownText& ShownText::arg(qint64 number)
{
    return arg(verbatim(QString::number(number)));
}

ShownText& ShownText::arg(const ShownText& text)
{
    m_arguments.push_back(text);
    return *this;
}

QString ShownText::toString() const
{
    if (!m_context)
        return m_verbatim;
    const QString pattern = QCoreApplication::translate(m_context, m_source, m_disambiguation, m_n);
    if (m_arguments.empty())
        return pattern;

    // The k-th lowest marker number takes the k-th argument, wherever the
    // translation puts it.
    std::vector<int> numbers;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        qsizetype length = 0;
        if (const int number = markerAt(pattern, i, &length))
            numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

    QString text;
    for (qsizetype i = 0; i < pattern.size();) {
        qsizetype length = 0;
        const int number = markerAt(pattern, i, &length);
        const auto rank = std::size_t(std::lower_bound(numbers.begin(), numbers.end(), number) - numbers.begin());
        if (number && rank < m_arguments.size()) {
            text += m_arguments[rank].toString();
            i += length;
        } else {
            text += pattern.at(i++);
        }
    }
    return text;
}
