// Renders the main window and its custom widgets under the offscreen platform
// into PNG files, for looking at the interface without a desktop.
// Usage: velmora-screenshots OUTPUT_DIR

#include "test_environment.h"
#include "test_screens.h"

#include "modern_window.h"
#include "widgets/countdown_widget.h"
#include "widgets/toggle_switch.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

class ModernWindowTestAccess
{
public:
    static void showError(ModernWindow& window, const QString& error, int ticks)
    {
        window.lastApiError = error;
        window.showApiErrorAlert();
        window.startRetryTimer();
        for (int i = 0; i < ticks; ++i)
            window.onRetryTimerTick();
    }

    static void showErrorDetails(ModernWindow& window) { window.onShowErrorDetails(); }

    // The change-now button and status line as they look while a change runs.
    static void showBusy(ModernWindow& window, const QString& status)
    {
        window.changeNowButton->setText(QStringLiteral("🔄 Изменение в процессе..."));
        window.changeNowButton->setEnabled(false);
        window.statusLabel->setText(status);
    }
};

namespace {

QString g_outputDir;
bool g_ok = true;

void save(QWidget& widget, const QString& name)
{
    // Nested layouts settle over several rounds of posted layout requests.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    const QString path = g_outputDir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!widget.grab().save(path)) {
        qWarning().noquote() << "cannot write" << path;
        g_ok = false;
        return;
    }
    qInfo().noquote() << "wrote" << path;
}

std::unique_ptr<ModernWindow> makeWindow()
{
    WindowEnvironment env;
    // Nothing may reach a real service from here.
    env.serviceOrigin = QStringLiteral("https://127.0.0.1:1");
    env.arguments = QStringList{QStringLiteral("velmora")};
    auto window = std::make_unique<ModernWindow>(std::move(env));
    window->show();
    return window;
}

void windowShots(const QString& suffix)
{
    auto window = makeWindow();
    save(*window, QStringLiteral("window-") + suffix);

    ModernWindowTestAccess::showError(*window, QStringLiteral("Ошибка API: Connection refused"), 1);
    save(*window, QStringLiteral("window-banner-") + suffix);

    ModernWindowTestAccess::showBusy(
        *window,
        QStringLiteral("Téléchargement des fonds d'écran pour 3 écrans, veuillez patienter quelques instants..."));
    save(*window, QStringLiteral("window-busy-") + suffix);
}

void detailsBoxShot()
{
    auto window = makeWindow();
    // The box is modal: grab it from inside its own event loop, then close it.
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            save(*box, QStringLiteral("error-details"));
            box->accept();
        }
    });
    ModernWindowTestAccess::showErrorDetails(*window);
}

// The settings tab as built, with the custom interval chosen, and the
// adjustment list open with span greyed out by the multi-screen switch.
void settingsShots()
{
    auto window = makeWindow();
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == QStringLiteral("Настройки"))
            tabs->setCurrentIndex(i);
    }
    // The switches slide into their built states first.
    QTest::qWait(400);
    save(*window, QStringLiteral("settings-defaults"));

    auto* frequency = window->findChild<QComboBox*>(QStringLiteral("frequencyCombo"));
    frequency->setCurrentIndex(frequency->findText(QStringLiteral("Другое")));
    // Fit has the longest explanation.
    auto* adjustment = window->findChild<QComboBox*>(QStringLiteral("adjustmentCombo"));
    adjustment->setCurrentIndex(1);
    save(*window, QStringLiteral("settings-custom"));

    adjustment->setCurrentIndex(3);
    adjustment->showPopup();
    save(*window, QStringLiteral("settings-stretch"));
    save(*adjustment->view()->window(), QStringLiteral("settings-adjustment-list"));
    adjustment->hidePopup();
}

// Every look of the two custom widgets on one sheet, on the window's background.
void widgetSheet()
{
    QWidget sheet;
    sheet.setStyleSheet(QStringLiteral("QWidget { background-color: #2b2b2b; color: #ffffff; }"));
    auto* layout = new QVBoxLayout(&sheet);

    auto* dials = new QHBoxLayout();
    const std::function<void(CountdownWidget&)> setups[] = {
        [](CountdownWidget&) {},
        [](CountdownWidget& w) {
            w.setDuration(3600);
            w.setRemainingTime(900);
        },
        [](CountdownWidget& w) {
            w.setDuration(300);
            w.setRemainingTime(125);
        },
        [](CountdownWidget& w) {
            w.setRemainingTime(1800);
            w.pauseCountdown();
        },
        [](CountdownWidget& w) { w.setDuration(-1); },
        [](CountdownWidget& w) { w.setDuration(0); },
    };
    for (const auto& setup : setups) {
        auto* dial = new CountdownWidget(&sheet);
        setup(*dial);
        dials->addWidget(dial);
    }
    layout->addLayout(dials);

    auto* switches = new QHBoxLayout();
    for (qreal progress : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        auto* toggle = new ToggleSwitch(&sheet);
        toggle->setAnimationProgress(progress);
        switches->addWidget(toggle);
    }
    switches->addStretch();
    layout->addLayout(switches);

    sheet.show();
    save(sheet, QStringLiteral("widgets"));
}

} // namespace

int main(int argc, char** argv)
{
    // A temporary home: the window never sees the real user's settings or files.
    TestEnvironment environment;
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        qWarning("usage: velmora-screenshots OUTPUT_DIR");
        return 2;
    }
    g_outputDir = QDir(arguments.at(1)).absolutePath();
    if (!QDir().mkpath(g_outputDir)) {
        qWarning().noquote() << "cannot create" << g_outputDir;
        return 1;
    }

    windowShots(QStringLiteral("1-screen"));
    TestScreens::apply({{QStringLiteral("A"), 0, 0, 1920, 1080, 1.0},
                        {QStringLiteral("B"), 1920, 0, 1280, 1024, 1.0},
                        {QStringLiteral("C"), -1600, 0, 1600, 900, 1.0}});
    windowShots(QStringLiteral("3-screens"));
    settingsShots();
    detailsBoxShot();
    widgetSheet();
    return g_ok ? 0 : 1;
}
