// The family the window's text asks for: the first of those named that the
// system has, or the stand-in its font configuration gives for the first.
// The system's own fonts are read; a rule of the test's own, added to the
// configuration in memory, names the stand-in.

#include "test_main.h"

#include "platform/platform_services.h"

#include <fontconfig/fontconfig.h>

class TestFontFamily : public QObject
{
    Q_OBJECT

private:
    QString m_installed;
    QString m_standIn;

private slots:
    void initTestCase()
    {
        FcPattern* all = FcPatternCreate();
        FcObjectSet* names = FcObjectSetBuild(FC_FAMILY, nullptr);
        FcFontSet* fonts = FcFontList(nullptr, all, names);
        FcChar8* first = nullptr;
        FcChar8* last = nullptr;
        if (fonts && fonts->nfont > 0) {
            FcPatternGetString(fonts->fonts[0], FC_FAMILY, 0, &first);
            FcPatternGetString(fonts->fonts[fonts->nfont - 1], FC_FAMILY, 0, &last);
        }
        m_installed = QString::fromUtf8(reinterpret_cast<const char*>(first));
        m_standIn = QString::fromUtf8(reinterpret_cast<const char*>(last));
        FcFontSetDestroy(fonts);
        FcObjectSetDestroy(names);
        FcPatternDestroy(all);
        if (m_installed.isEmpty() || m_standIn.isEmpty())
            QSKIP("fontconfig lists no font on this machine");
        const QByteArray rule =
            "<fontconfig><alias binding=\"strong\"><family>Velmora Test Asked</family><prefer><family>" +
            m_standIn.toHtmlEscaped().toUtf8() + "</family></prefer></alias></fontconfig>";
        QVERIFY(FcConfigParseAndLoadFromMemory(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(rule.constData()),
                                               FcTrue));
    }

    void resolves_data()
    {
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<QString>("expected");
        const QString missing = QStringLiteral("Velmora Missing");
        QTest::newRow("the first installed") << QStringList{m_installed, missing} << m_installed;
        QTest::newRow("only the second installed") << QStringList{missing, m_installed} << m_installed;
        QTest::newRow("none installed: the stand-in for the first")
            << QStringList{QStringLiteral("Velmora Test Asked"), missing} << m_standIn;
    }

    void resolves()
    {
        QFETCH(QStringList, named);
        QFETCH(QString, expected);
        QCOMPARE(installedFontFamily(named), expected);
    }
};

VELMORA_TEST_MAIN(TestFontFamily)
#include "test_font_family.moc"
