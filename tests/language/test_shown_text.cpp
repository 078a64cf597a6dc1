#include "test_main.h"

#include "core/language.h"
#include "core/shown_text.h"

#include <QTranslator>

class TestShownText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Kept before the catalogue comes, shown after: in its language, every marker filled at once.
    void translatedWhenShown_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "/tmp/a.png";
        // A marker inside an argument is the user's text, never filled.
        QTest::newRow("marker in a path") << "/tmp/%2%1";
    }

    void translatedWhenShown()
    {
        QFETCH(QString, path);
        ShownText text("PictureMarks", "Fichier des marques %1: %2");
        text.arg(path).arg(ShownText("ChangeWorkflow", "le fichier reçu n'est pas une image"));
        const QString designed = QStringLiteral("Fichier des marques %1: le fichier reçu n'est pas une image");
        QCOMPARE(text.toString(), designed.arg(path));

        QTranslator catalogue;
        QVERIFY(catalogue.load(QStringLiteral("velmora_en"), translationsFolder()));
        QCoreApplication::installTranslator(&catalogue);
        QCOMPARE(text.toString(), QStringLiteral("Marks file %1: the received file is not a picture").arg(path));
        QCoreApplication::removeTranslator(&catalogue);
        QCOMPARE(text.toString(), designed.arg(path));
        QCOMPARE(ShownText::verbatim(path).toString(), path);
    }
};

VELMORA_TEST_MAIN(TestShownText)
#include "test_shown_text.moc"
