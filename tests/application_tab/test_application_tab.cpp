#include "fake_platform.h"
#include "test_main.h"
#include "test_window.h"

#include "core/second_ticks.h"
#include "modern_window.h"
#include "widgets/countdown_widget.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

const QString noPictureError = QStringLiteral("Aucun wallpaper disponible dans l'historique pour l'écran 1");

class ModernWindowTestAccess
{
public:
    explicit ModernWindowTestAccess(ModernWindow& window) : w(window) {}

    QTabWidget* tabWidget() const { return w.tabWidget; }
    QPushButton* changeNowButton() const { return w.changeNowButton; }
    QLabel* statusLabel() const { return w.statusLabel; }
    CountdownWidget* countdownWidget() const { return w.countdownWidget; }
    QWidget* errorAlertWidget() const { return w.errorAlertWidget; }
    QLabel* errorAlertLabel() const { return w.errorAlertLabel; }
    QPushButton* errorDetailsButton() const { return w.errorDetailsButton; }
    QTimer* retryTimer() const { return w.retryTimer; }
    int retryCountdownSeconds() const { return w.retryCountdownSeconds; }
    QScrollArea* historyCarouselScrollArea() const { return w.historyCarouselScrollArea; }
    QWidget* historyCarouselWidget() const { return w.historyCarouselWidget; }
    QHBoxLayout* historyCarouselLayout() const { return w.historyCarouselLayout; }
    QPushButton* historyPrevButton() const { return w.historyPrevButton; }
    QPushButton* historyNextButton() const { return w.historyNextButton; }
    QString currentTriggerMode() const { return w.currentTriggerMode(); }
    QString lastApiError() const { return w.lastApiError.toString(); }

    // What a failing request or change does: record the error, raise the banner, count down.
    void fail(const QString& error)
    {
        w.lastApiError = ShownText::verbatim(error);
        w.showApiErrorAlert();
        w.startRetryTimer();
    }
    void hideApiErrorAlert() { w.hideApiErrorAlert(); }
    void retryTick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            w.onRetryTimerTick();
    }

private:
    ModernWindow& w;
};

namespace {

// The clock of the counts that sleep in the tray, moved by hand.
qint64 fakeNowMs = 0;

std::unique_ptr<ModernWindow> makeWindow()
{
    return std::make_unique<ModernWindow>(testWindowEnvironment());
}

QString bannerText(const QString& time)
{
    return QStringLiteral("Ошибка при получении категорий\nПовторная попытка через ") + time;
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Shows the window and lets its nested layouts settle.
bool showSettled(QWidget& window)
{
    window.show();
    const bool exposed = QTest::qWaitForWindowExposed(&window);
    settle();
    return exposed;
}

QRect geometryIn(QWidget* widget, QWidget* window)
{
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// The child of that type showing that text: labels and buttons have no names here.
template <typename Widget> Widget* childWithText(QWidget* parent, const QString& text)
{
    const auto children = parent->findChildren<Widget*>();
    for (Widget* child : children) {
        if (child->text() == text)
            return child;
    }
    return nullptr;
}

struct SeenBox
{
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
    QWidget* parent = nullptr;
    bool modal = false;
    QColor background;
};

// Clicks the details button and reads the modal box it opens from inside the
// box's own event loop, then closes it with its OK button.
SeenBox clickDetails(QPushButton* details)
{
    SeenBox result;
    QTimer::singleShot(0, [&result] {
        QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            const auto windows = QApplication::topLevelWidgets();
            for (QWidget* window : windows) {
                if (auto* candidate = qobject_cast<QMessageBox*>(window); candidate && candidate->isVisible())
                    box = candidate;
            }
        }
        if (!box)
            return;
        result.seen = true;
        result.title = box->windowTitle();
        result.text = box->text();
        result.icon = box->icon();
        result.buttons = box->standardButtons();
        result.format = box->textFormat();
        result.parent = box->parentWidget();
        result.modal = box->isModal();
        result.background = QColor(box->grab().toImage().pixel(3, 3));
        box->button(QMessageBox::Ok)->click();
    });
    // A box that never closes must not hang the suite.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (auto* box = qobject_cast<QMessageBox*>(window))
                box->reject();
        }
    });
    guard.start(10000);
    QTest::mouseClick(details, Qt::LeftButton);
    return result;
}

} // namespace

class TestApplicationTab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void isTheFirstTab()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        QVERIFY(a.tabWidget()->count() >= 1);
        QCOMPARE(a.tabWidget()->tabText(0), QStringLiteral("Обои"));
        QCOMPARE(a.tabWidget()->currentIndex(), 0);
        QVERIFY(a.tabWidget()->widget(0)->isAncestorOf(a.changeNowButton()));
    }

    void controlsAsBuilt()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        QWidget* page = a.tabWidget()->widget(0);

        QCOMPARE(a.changeNowButton()->text(), QStringLiteral("🖼️ Изменить Сейчас"));
        QCOMPARE(a.changeNowButton()->maximumHeight(), 50);
        QCOMPARE(a.changeNowButton()->minimumHeight(), 50);
        QVERIFY(a.changeNowButton()->isEnabled());
        QCOMPARE(a.statusLabel()->text(), QStringLiteral("Нажмите, чтобы изменить обои"));
        QVERIFY(a.statusLabel()->wordWrap());
        QVERIFY(childWithText<QLabel>(page, QStringLiteral("Следующее Изменение")));
        QVERIFY(page->isAncestorOf(a.countdownWidget()));

        QVERIFY(!a.errorAlertWidget()->isVisibleTo(window.get()));
        QCOMPARE(a.errorAlertWidget()->maximumHeight(), 70);
        QVERIFY(a.errorAlertLabel()->text().isEmpty());
        QVERIFY(a.errorAlertLabel()->wordWrap());
        QVERIFY(childWithText<QLabel>(a.errorAlertWidget(), QStringLiteral("⚠️")));
        QCOMPARE(a.errorDetailsButton()->text(), QStringLiteral("Подробности"));
        QCOMPARE(a.errorDetailsButton()->maximumSize(), QSize(80, 40));
        QCOMPARE(a.errorDetailsButton()->minimumSize(), QSize(80, 40));

        QVERIFY(childWithText<QLabel>(page, QStringLiteral("История")));
        QPushButton* apply = childWithText<QPushButton>(page, QStringLiteral("Применить"));
        QVERIFY(apply);
        QCOMPARE(apply->maximumWidth(), 100);
        QCOMPARE(apply->minimumWidth(), 100);
        QCOMPARE(a.historyPrevButton()->text(), QStringLiteral("◀"));
        QCOMPARE(a.historyNextButton()->text(), QStringLiteral("▶"));
        for (QPushButton* arrow : {a.historyPrevButton(), a.historyNextButton()}) {
            QCOMPARE(arrow->minimumSize(), QSize(40, 120));
            QCOMPARE(arrow->maximumSize(), QSize(40, 120));
        }
        QScrollArea* strip = a.historyCarouselScrollArea();
        QCOMPARE(strip->maximumHeight(), 120);
        QVERIFY(strip->widgetResizable());
        QCOMPARE(strip->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(strip->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(strip->widget(), a.historyCarouselWidget());
        QCOMPARE(a.historyCarouselWidget()->layout(), a.historyCarouselLayout());
        QCOMPARE(a.historyCarouselLayout()->contentsMargins(), QMargins(10, 10, 10, 10));
        QCOMPARE(a.historyCarouselLayout()->spacing(), 10);
        QCOMPARE(a.historyCarouselLayout()->alignment(), Qt::AlignLeft);
    }

    void columnsAreCentredAndTheBannerMovesNothing()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        QVERIFY(showSettled(*window));
        QWidget* page = a.tabWidget()->widget(0);

        const QRect button = geometryIn(a.changeNowButton(), page);
        const QRect dial = geometryIn(a.countdownWidget(), page);
        QCOMPARE(button.width(), 280);
        QCOMPARE(dial.size(), QSize(240, 200));
        QCOMPARE(dial.left() - button.right() - 1, 60);
        // Equal stretches on both sides.
        QVERIFY(qAbs(button.left() - (page->width() - dial.right() - 1)) <= 1);

        const QRect prev = geometryIn(a.historyPrevButton(), page);
        const QRect strip = geometryIn(a.historyCarouselScrollArea(), page);
        const QRect next = geometryIn(a.historyNextButton(), page);
        QCOMPARE(strip.left() - prev.right() - 1, 5);
        QCOMPARE(next.left() - strip.right() - 1, 5);
        QCOMPARE(next.right(), page->width() - 20 - 1);

        a.fail(QStringLiteral("Ошибка API: Connection refused"));
        settle();
        QVERIFY(a.errorAlertWidget()->isVisible());
        const QRect banner = geometryIn(a.errorAlertWidget(), page);
        QCOMPARE(banner.height(), 70);
        QVERIFY(banner.top() > dial.bottom());
        QVERIFY(banner.bottom() < prev.top());
        QCOMPARE(geometryIn(a.changeNowButton(), page), button);
        QCOMPARE(geometryIn(a.countdownWidget(), page), dial);
        QCOMPARE(geometryIn(a.historyPrevButton(), page), prev);
        QCOMPARE(geometryIn(a.historyCarouselScrollArea(), page), strip);
    }

    void longStatusWrapsInsideTheColumn()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        QVERIFY(showSettled(*window));
        a.statusLabel()->setText(
            QStringLiteral("Téléchargement des fonds d'écran pour 3 écrans, veuillez patienter quelques instants..."));
        settle();
        QCOMPARE(a.statusLabel()->width(), 280);
        QCOMPARE(a.changeNowButton()->width(), 280);
        // Every wrapped line fits: the label is as tall as its text needs.
        QVERIFY(a.statusLabel()->height() >= a.statusLabel()->heightForWidth(280));
    }

    void windowCarriesTheDarkStyle()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        QVERIFY(showSettled(*window));
        const QImage image = window->grab().toImage();
        QCOMPARE(QColor(image.pixel(5, 5)), QColor(0x2b, 0x2b, 0x2b));
        const QRect tab = a.tabWidget()->tabBar()->tabRect(0);
        const QPoint tabCentre = a.tabWidget()->tabBar()->mapTo(window.get(), tab.center());
        QCOMPARE(QColor(image.pixel(tabCentre + QPoint(-tab.width() / 2 + 6, 0))), QColor(0x00, 0x78, 0xd4));

        auto* title = window->findChild<QLabel*>(QStringLiteral("titleLabel"));
        QCOMPARE(title->font().pointSize(), 18);
        QVERIFY(title->font().bold());
        // Asked by name for the family the system has, so that Qt need not look for a stand-in.
        const QString family = installedFontFamily({QStringLiteral("Segoe UI"), QStringLiteral("Arial")});
        QCOMPARE(title->font().families().value(0), family.isEmpty() ? QStringLiteral("Segoe UI") : family);
        QCOMPARE(a.statusLabel()->font().pointSize(), 11);
    }

    void retryStateAtStart()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        QVERIFY(a.retryTimer());
        QCOMPARE(a.retryTimer()->parent(), window.get());
        QVERIFY(!a.retryTimer()->isActive());
        QCOMPARE(a.retryCountdownSeconds(), 0);
        QVERIFY(a.currentTriggerMode().isEmpty());
    }

    void bannerCountsDownAndRestartsOnAnotherFailure()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);

        a.fail(QStringLiteral("Ошибка API: Connection refused"));
        QVERIFY(a.errorAlertWidget()->isVisibleTo(window.get()));
        QCOMPARE(a.errorAlertLabel()->text(), bannerText("15:00"));
        QVERIFY(a.retryTimer()->isActive());
        QCOMPARE(a.retryTimer()->interval(), 1000);
        QCOMPARE(a.retryCountdownSeconds(), 900);

        a.retryTick();
        QCOMPARE(a.errorAlertLabel()->text(), bannerText("14:59"));
        a.retryTick(709);
        QCOMPARE(a.errorAlertLabel()->text(), bannerText("03:10"));

        // A second failure starts the full wait again.
        a.fail(QStringLiteral("Erreur de téléchargement"));
        QCOMPARE(a.errorAlertLabel()->text(), bannerText("15:00"));
        QCOMPARE(a.retryCountdownSeconds(), 900);

        a.retryTick(895);
        QCOMPARE(a.errorAlertLabel()->text(), bannerText("00:05"));
        QVERIFY(a.currentTriggerMode().isEmpty());
    }

    void countdownEndHidesTheBannerAndRetries()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        a.fail(QStringLiteral("Ошибка API: Connection refused"));

        a.retryTick(899);
        QCOMPARE(a.errorAlertLabel()->text(), bannerText("00:01"));
        QVERIFY(a.errorAlertWidget()->isVisibleTo(window.get()));
        QVERIFY(a.currentTriggerMode().isEmpty());

        // The last tick starts a change. With nothing rated and no history it
        // fails at once, so the banner comes back with a fresh countdown.
        a.retryTick();
        QCOMPARE(a.lastApiError(), noPictureError);
        QVERIFY(a.errorAlertWidget()->isVisibleTo(window.get()));
        QVERIFY(a.retryTimer()->isActive());
        QCOMPARE(a.errorAlertLabel()->text(), bannerText("15:00"));
        QCOMPARE(a.currentTriggerMode(), QStringLiteral("Manuel"));
    }

    void hidingTheBannerStopsTheRetry()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        a.fail(QStringLiteral("Ошибка API: Connection refused"));
        a.retryTick(10);
        a.hideApiErrorAlert();
        QVERIFY(!a.errorAlertWidget()->isVisibleTo(window.get()));
        QVERIFY(!a.retryTimer()->isActive());
        QCOMPARE(a.retryCountdownSeconds(), 0);
        QVERIFY(a.currentTriggerMode().isEmpty());
    }

    void detailsShowTheLastError_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("shown");
        QTest::newRow("service error") << "Ошибка API: Connection refused"
                                       << "Ошибка API: Connection refused";
        QTest::newRow("no error text") << ""
                                       << "Проверьте подключение к Интернету и сетевые настройки.";
        QTest::newRow("markup shown as is") << "Ошибка API: <b>host</b> & <i>port</i>"
                                            << "Ошибка API: <b>host</b> & <i>port</i>";
    }

    void detailsShowTheLastError()
    {
        QFETCH(QString, error);
        QFETCH(QString, shown);
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        QVERIFY(showSettled(*window));
        // The start's own request to the closed port fails first (later under
        // wine than on Linux), so that its error does not replace this one.
        QTRY_VERIFY_WITH_TIMEOUT(a.errorAlertWidget()->isVisibleTo(window.get()), 30000);
        a.fail(error);
        settle();
        const QString bannerBefore = a.errorAlertLabel()->text();

        const SeenBox box = clickDetails(a.errorDetailsButton());
        QVERIFY(box.seen);
        QCOMPARE(box.title, QStringLiteral("Ошибка при получении категорий"));
        QCOMPARE(box.text, shown);
        QCOMPARE(box.format, Qt::PlainText);
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.parent, window.get());
        QVERIFY(box.modal);
        QCOMPARE(box.background, QColor(0x2a, 0x2a, 0x2a));

        // The banner keeps its fixed headline and its countdown.
        QCOMPARE(a.errorAlertLabel()->text(), bannerBefore);
        QVERIFY(a.retryTimer()->isActive());
    }

    void dialExpiryStartsAChange()
    {
        auto window = makeWindow();
        ModernWindowTestAccess a(*window);
        CountdownWidget* dial = a.countdownWidget();
        dial->setDuration(1);
        QVERIFY(QMetaObject::invokeMethod(dial, "updateCountdown"));
        QVERIFY(a.lastApiError().isEmpty());
        // Expiry starts a change (which, with nothing to draw from, fails at once).
        QVERIFY(QMetaObject::invokeMethod(dial, "updateCountdown"));
        QCOMPARE(a.lastApiError(), noPictureError);
        QCOMPARE(a.currentTriggerMode(), QStringLiteral("Manuel"));
    }

    void inTheTrayNoTimerWakesEachSecond()
    {
        fakeNowMs = 1'000'000;
        SecondTicks::setClockForTests([] { return fakeNowMs; });
        const auto restore = qScopeGuard([] { SecondTicks::setClockForTests(nullptr); });
        WindowEnvironment environment = testWindowEnvironment();
        environment.arguments = QStringList{QStringLiteral("velmora"), QStringLiteral("--startup")};
        ModernWindow window(std::move(environment));
        ModernWindowTestAccess a(window);
        a.countdownWidget()->setDuration(3600);
        a.fail(QStringLiteral("Ошибка API: Connection refused"));
        for (QTimer* timer : window.findChildren<QTimer*>())
            QVERIFY2(!timer->isActive() || timer->isSingleShot(), qPrintable(timer->objectName()));

        // Shown after a minute and a half, the banner has counted every second.
        fakeNowMs += 90'500;
        QVERIFY(QMetaObject::invokeMethod(&window, "restoreWindow"));
        QCOMPARE(a.errorAlertLabel()->text(), bannerText("13:30"));
        QVERIFY(a.retryTimer()->isActive());
        QCOMPARE(a.countdownWidget()->displayText(), QStringLiteral("58m 30s"));
    }
};

VELMORA_TEST_MAIN(TestApplicationTab)
#include "test_application_tab.moc"
