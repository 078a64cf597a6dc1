// The family the window's text asks for: the first of those named that the
// system has, or the stand-in its font configuration gives for the first.
// The system's own fonts and configuration are read; a rule of the test's
// own, added to it in memory, names the stand-in.

#include "test_main.h"

#include "platform/platform_services.h"

#include <QStringList>

#include <fontconfig/fontconfig.h>

namespace {

QStringList systemFamilies()
{
    QStringList families;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* names = FcObjectSetBuild(FC_FAMILY, nullptr);
    if (FcFontSet* fonts = FcFontList(nullptr, pattern, names)) {
        for (int i = 0; i < fonts->nfont; ++i) {
            FcChar8* name = nullptr;
            if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch)
                families.append(QString::fromUtf8(reinterpret_cast<const char*>(name)));
        }
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(names);
    FcPatternDestroy(pattern);
    families.removeDuplicates();
    families.sort();
    return families;
}

} // namespace

class TestFontFamily : public QObject
{
    Q_OBJECT

private:
    QString m_installed;
    QString m_standIn;

private slots:
    void initTestCase()
    {
        const QStringList families = systemFamilies();
        if (families.isEmpty())
            QSKIP("fontconfig lists no font on this machine");
        m_installed = families.constFirst();
        m_standIn = families.constLast();
        const QByteArray rule = "<?xml version=\"1.0\"?><fontconfig><alias binding=\"strong\">"
                                "<family>Velmora Test Asked</family><prefer><family>" +
                                m_standIn.toHtmlEscaped().toUtf8() + "</family></prefer></alias></fontconfig>";
        QVERIFY(FcConfigParseAndLoadFromMemory(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(rule.constData()),
                                               FcTrue));
    }

    void resolves_data()
    {
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the first installed")
            << QStringList{m_installed, QStringLiteral("Velmora Missing")} << m_installed;
        QTest::newRow("only the second installed")
            << QStringList{QStringLiteral("Velmora Missing"), m_installed} << m_installed;
        QTest::newRow("none installed: the stand-in for the first")
            << QStringList{QStringLiteral("Velmora Test Asked"), QStringLiteral("Velmora Missing")} << m_standIn;
        QTest::newRow("none named") << QStringList{} << QString();
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
