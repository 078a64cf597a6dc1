// The change workflow without a window: a scripted service, draw, history,
// desktop and filing; real picture files and the real picture worker.

#include "test_main.h"

#include "core/change_workflow.h"
#include "core/work_queue.h"
#include "utils/date_helper.h"

#include <QBuffer>
#include <QImage>
#include <QSignalSpy>

#include <utility>

Q_DECLARE_METATYPE(ServiceAnswer)
Q_DECLARE_METATYPE(ChangeTrigger)

namespace {

QByteArray png()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

ServiceAnswer ok(const QByteArray& body)
{
    ServiceAnswer answer;
    answer.succeeded = true;
    answer.body = body;
    return answer;
}

QByteArray listOf(const QStringList& names, const QString& previous = {})
{
    QByteArray json = "{\"success\":true,\"data\":[";
    for (const QString& name : names)
        json += "{\"filename\":\"" + name.toUtf8() + "\"},";
    if (!names.isEmpty())
        json.chop(1);
    return json + "],\"nearest_previous_date\":\"" + previous.toUtf8() + "\"}";
}

// Answers what it is asked from its script when told to, so that a test
// decides when each answer comes; records what reaches the desktop and the history.
class ScriptedPorts : public ChangePorts
{
public:
    QList<int> targets{0};
    QStringList ratedCategories;
    QMap<int, QList<QString>> histories;
    // "category" or "category date" -> list answer; file name -> picture answer.
    QMap<QString, ServiceAnswer> lists;
    QMap<QString, ServiceAnswer> pictures;
    bool desktopAccepts = true;
    bool holdDesktop = false;
    QList<std::function<void()>> pending;
    std::function<void(bool)> heldDesktop;
    QList<QMap<int, QString>> desktops;
    QList<ChangeTrigger> filedTriggers;
    QStringList asked;

    QList<int> targetScreens() override { return targets; }
    QString drawCategory(const QSet<QString>& excluded) override
    {
        for (const QString& category : ratedCategories) {
            if (!excluded.contains(category))
                return category;
        }
        return {};
    }
    void requestList(const QString& category, const QString& date,
                     std::function<void(const ServiceAnswer&)> done) override
    {
        asked << category + ' ' + date;
        const ServiceAnswer answer = lists.value(category + ' ' + date, lists.value(category));
        pending << [answer, done] { done(answer); };
    }
    QUrl pictureUrl(const QString& fileName) override { return QUrl("https://127.0.0.1/get/" + fileName); }
    void downloadPicture(const QUrl& url, std::function<void(const ServiceAnswer&)> done) override
    {
        asked << url.fileName();
        ServiceAnswer answer = pictures.value(url.fileName());
        answer.requestedUrl = url;
        pending << [answer, done] { done(answer); };
    }
    QList<QString> screenHistory(int screen) override { return histories.value(screen); }
    QMap<int, QString> composeDesktop(const QMap<int, QString>& changed, const QList<int>&) override { return changed; }
    void setDesktop(const QMap<int, QString>& images, std::function<void(bool)> done) override
    {
        desktops << images;
        if (holdDesktop)
            heldDesktop = done;
        else
            pending << [this, done] { done(desktopAccepts); };
    }
    void fileIntoHistory(const QMap<int, QString>&, ChangeTrigger trigger, std::function<void()> done) override
    {
        filedTriggers << trigger;
        pending << done;
    }
    void cleanTemporaryFiles(std::function<void()> done) override { pending << done; }

    void answerPending()
    {
        while (!pending.isEmpty())
            pending.takeFirst()();
    }
};

struct Rig
{
    ScriptedPorts ports;
    WorkQueue pictureJobs{1};
    ChangeWorkflow workflow{ports, pictureJobs};
    QSignalSpy failed{&workflow, &ChangeWorkflow::failed};
    QSignalSpy succeeded{&workflow, &ChangeWorkflow::succeeded};

    // Answers everything until the change has ended.
    bool settle()
    {
        return QTest::qWaitFor(
            [this] {
                ports.answerPending();
                return workflow.state() == ChangeWorkflow::State::Idle;
            },
            20000);
    }
    QString failure() const { return failed.isEmpty() ? QString() : failed.last().at(0).value<ShownText>().toString(); }
};

} // namespace

class TestChangeWorkflowPorts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyTriggerReachesTheFiling_data()
    {
        QTest::addColumn<ChangeTrigger>("trigger");
        QTest::addColumn<QString>("word");
        QTest::newRow("manual") << ChangeTrigger::Manual << "Manuel";
        QTest::newRow("automatic") << ChangeTrigger::Automatic << "Automatique";
        QTest::newRow("startup") << ChangeTrigger::Startup << "Démarrage";
        QTest::newRow("retry") << ChangeTrigger::AutomaticRetry << "Retry automatique";
        QTest::newRow("history") << ChangeTrigger::History << "Historique";
    }
    void everyTriggerReachesTheFiling()
    {
        QFETCH(ChangeTrigger, trigger);
        QFETCH(QString, word);
        Rig rig;
        rig.ports.ratedCategories = {"c"};
        rig.ports.lists["c"] = ok(listOf({"a.png"}));
        rig.ports.pictures["a.png"] = ok(png());
        QSignalSpy states(&rig.workflow, &ChangeWorkflow::stateChanged);
        rig.workflow.start(trigger);
        QVERIFY(rig.settle());
        QCOMPARE(rig.succeeded.size(), 1);
        QCOMPARE(rig.ports.filedTriggers, QList<ChangeTrigger>{trigger});
        QCOMPARE(triggerWord(trigger), word);
        QCOMPARE(triggerFromWord(word), std::optional<ChangeTrigger>(trigger));
        using S = ChangeWorkflow::State;
        QList<S> seen;
        for (const QList<QVariant>& state : states)
            seen << state.at(0).value<S>();
        QCOMPARE(seen, (QList<S>{S::Listing, S::Downloading, S::Composing, S::Setting, S::Filing, S::Idle}));
    }

    void failuresEndTheChange_data()
    {
        QTest::addColumn<ServiceAnswer>("list");
        QTest::addColumn<ServiceAnswer>("picture");
        QTest::addColumn<QString>("failure");
        ServiceAnswer unreachable;
        unreachable.errorText = "Connection refused";
        QTest::newRow("list unreachable")
            << unreachable << ServiceAnswer() << "Ошибка подключения обои для экрана 1: Connection refused";
        QTest::newRow("list refused") << ok(R"({"success":false,"error":"quota"})") << ServiceAnswer()
                                      << "Erreur API wallpapers pour écran 1: quota";
        QTest::newRow("list not json") << ok("<html>proxy</html>") << ServiceAnswer()
                                       << "Erreur API wallpapers pour écran 1: ";
        QTest::newRow("picture cut short") << ok(listOf({"a.png"})) << ok(png().left(40))
                                           << "Erreur de téléchargement d'image pour écran 1: le fichier reçu "
                                              "n'est pas une image";
        QTest::newRow("picture unreachable") << ok(listOf({"a.png"})) << unreachable
                                             << "Erreur de téléchargement d'image pour écran 1: Connection refused";
    }
    void failuresEndTheChange()
    {
        QFETCH(ServiceAnswer, list);
        QFETCH(ServiceAnswer, picture);
        QFETCH(QString, failure);
        Rig rig;
        rig.ports.ratedCategories = {"c", "d"};
        rig.ports.lists["c"] = list;
        rig.ports.pictures["a.png"] = picture;
        rig.workflow.start(ChangeTrigger::Automatic);
        QVERIFY(rig.settle());
        QVERIFY2(rig.failure().startsWith(failure), qPrintable(rig.failure()));
        QVERIFY(rig.workflow.exclusions().categories.isEmpty());
        QVERIFY(rig.ports.desktops.isEmpty());
        QVERIFY(rig.ports.filedTriggers.isEmpty());
        QCOMPARE(rig.workflow.trigger(), std::optional(ChangeTrigger::Manual));
    }

    void nothingNewWalksBackThenExcludesThenFallsBackOnHistory()
    {
        Rig rig;
        const QString today = DateHelper::getCurrentDateString();
        rig.ports.ratedCategories = {"old", "seen"};
        rig.ports.histories[0] = {"/gone/seen.png"};
        rig.ports.lists["old " + today] = ok(listOf({}, "02/01/2020"));
        rig.ports.lists["old 02/01/2020"] = ok(listOf({"bad/name.png"}));
        rig.ports.lists["seen"] = ok(listOf({"seen.png"}));
        rig.ports.pictures["seen.png"] = ok(png());
        rig.workflow.start(ChangeTrigger::Manual);
        QVERIFY(rig.settle());
        QCOMPARE(rig.ports.asked, (QStringList{"old " + today, "old 02/01/2020", "seen " + today, "seen.png"}));
        QCOMPARE(rig.workflow.exclusions().categories, (QSet<QString>{"old", "seen"}));
        QCOMPARE(rig.succeeded.size(), 1);

        // Nothing rated left and no history: the change fails.
        rig.ports.histories.clear();
        rig.workflow.start(ChangeTrigger::Manual);
        QVERIFY(rig.settle());
        QCOMPARE(rig.failure(), QStringLiteral("Aucun wallpaper disponible dans l'historique pour l'écran 1"));
        // The exclusions end with their day.
        rig.workflow.exclusions().day = QDate::currentDate().addDays(-1);
        rig.ports.histories[0] = {"/gone/seen.png"};
        rig.workflow.start(ChangeTrigger::Manual);
        QVERIFY(rig.settle());
        QCOMPARE(rig.ports.asked.mid(4, 1), QStringList{"old " + today});
    }

    void desktopRefusalFilesNothing()
    {
        Rig rig;
        rig.ports.ratedCategories = {"c"};
        rig.ports.lists["c"] = ok(listOf({"a.png"}));
        rig.ports.pictures["a.png"] = ok(png());
        rig.ports.desktopAccepts = false;
        QSignalSpy refused(&rig.workflow, &ChangeWorkflow::refused);
        QSignalSpy applied(&rig.workflow, &ChangeWorkflow::applied);
        rig.workflow.start(ChangeTrigger::Automatic);
        QVERIFY(rig.settle());
        QCOMPARE(refused.size(), 1);
        QVERIFY(rig.failed.isEmpty() && rig.succeeded.isEmpty() && applied.isEmpty());
        QVERIFY(rig.ports.filedTriggers.isEmpty());
    }

    void changeAskedWhileApplyingRunsAfterAndDisplayChangeWaits()
    {
        Rig rig;
        rig.ports.ratedCategories = {"c"};
        rig.ports.lists["c"] = ok(listOf({"a.png"}));
        rig.ports.pictures["a.png"] = ok(png());
        rig.ports.holdDesktop = true;
        QSignalSpy displayDue(&rig.workflow, &ChangeWorkflow::displayChangeDue);
        QSignalSpy applied(&rig.workflow, &ChangeWorkflow::applied);
        rig.workflow.start(ChangeTrigger::Startup);
        QVERIFY(QTest::qWaitFor(
            [&] {
                rig.ports.answerPending();
                return bool(rig.ports.heldDesktop);
            },
            20000));
        rig.workflow.start(ChangeTrigger::Automatic);
        rig.workflow.deferDisplayChange();
        QCOMPARE(rig.workflow.change()->trigger, ChangeTrigger::Startup);
        QCOMPARE(displayDue.size(), 0);
        rig.ports.holdDesktop = false;
        std::exchange(rig.ports.heldDesktop, {})(true);
        // Told at once; the filing and the change asked wait.
        QCOMPARE(applied.size(), 1);
        QCOMPARE(rig.workflow.state(), ChangeWorkflow::State::Filing);
        QCOMPARE(rig.workflow.change()->trigger, ChangeTrigger::Startup);
        QVERIFY(rig.settle());
        QCOMPARE(applied.size(), 2);
        QCOMPARE(displayDue.size(), 1);
        QCOMPARE(rig.ports.filedTriggers, (QList<ChangeTrigger>{ChangeTrigger::Startup, ChangeTrigger::Automatic}));
    }

    void replacedChangesLateRepliesAreDropped()
    {
        Rig rig;
        rig.ports.ratedCategories = {"c"};
        rig.ports.lists["c"] = ok(listOf({"a.png"}));
        rig.ports.pictures["a.png"] = ok(png());
        rig.workflow.start(ChangeTrigger::Manual);
        const QList<std::function<void()>> late = std::exchange(rig.ports.pending, {});
        rig.workflow.start(ChangeTrigger::Automatic);
        for (const auto& answer : late)
            answer();
        QVERIFY(rig.settle());
        QCOMPARE(rig.ports.asked, (QStringList{"c " + DateHelper::getCurrentDateString(),
                                               "c " + DateHelper::getCurrentDateString(), "a.png"}));
        QCOMPARE(rig.ports.filedTriggers, QList<ChangeTrigger>{ChangeTrigger::Automatic});
    }
};

VELMORA_TEST_MAIN(TestChangeWorkflowPorts)
#include "test_change_workflow_ports.moc"
