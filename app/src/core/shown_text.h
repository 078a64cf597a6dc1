#pragma once

#include <QString>

#include <vector>

// A text for the user kept as its source and arguments, so that it is
// translated when shown and again after a change of language. Words from
// outside (the service's error strings, the system's) are kept verbatim, and
// only the wording around them follows the language.
class ShownText
{
public:
    ShownText() = default;
    // context and source as lupdate reads them (QT_TR_NOOP, QT_TRANSLATE_NOOP):
    // both must outlive the text, as string literals do.
    ShownText(const char* context, const char* source, const char* disambiguation = nullptr, int n = -1);
    // In a class with Q_OBJECT: ShownText::of<Class>(QT_TR_NOOP("...")).
    template <class Owner> static ShownText of(const char* source, const char* disambiguation = nullptr, int n = -1)
    {
        return ShownText(Owner::staticMetaObject.className(), source, disambiguation, n);
    }
    static ShownText verbatim(const QString& text);

    // Fills the lowest place marker left, as QString::arg does; all are
    // filled at once when shown, so a marker inside an argument stays as it is.
    ShownText& arg(const QString& text);
    ShownText& arg(qint64 number);
    ShownText& arg(const ShownText& text);

    bool isEmpty() const { return !m_context && m_verbatim.isEmpty(); }
    QString toString() const;

private:
    const char* m_context = nullptr;
    const char* m_source = nullptr;
    const char* m_disambiguation = nullptr;
    int m_n = -1;
    QString m_verbatim;
    std::vector<ShownText> m_arguments;
};
