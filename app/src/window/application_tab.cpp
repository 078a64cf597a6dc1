// The window's look, the wallpaper tab, and the service error banner with its
// automatic retry.

#include "modern_window.h"

#include "platform/platform_services.h"

#include "widgets/countdown_widget.h"
#include "widgets/history_strip.h"
#include "widgets/screen_selector.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A name the system gives goes into the style sheet only where it cannot end its quotes.
bool isQuotableFamily(const QString& family)
{
    return !family.isEmpty() && std::none_of(family.cbegin(), family.cend(), [](QChar c) {
        return c == QLatin1Char('\'') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control;
    });
}

constexpr int kRetryDelaySeconds = 900;
constexpr int kRetryTickMs = 1000;

const char* const kWindowStyle = R"(
QWidget {
    background-color: #2b2b2b;
    color: #ffffff;
    font-family: %1;
    font-size: 10pt;
}
#titleLabel {
    font-size: 18pt;
    font-weight: bold;
    color: #ffffff;
    margin-bottom: 10px;
}
#scrollArea {
    border: 1px solid #555;
    border-radius: 8px;
    background-color: #333;
}
#categoryFrame {
    background-color: #404040;
    border: 1px solid #555;
    border-radius: 12px;
    padding: 15px;
    margin: 5px;
}
#categoryFrame:hover {
    background-color: #4a4a4a;
    border-color: #777;
}
#categoryFrame:focus {
    border: 2px solid #2196F3;
}
#categoryName {
    font-size: 12pt;
    font-weight: bold;
    color: #ffffff;
    qproperty-alignment: AlignCenter;
}
#thumbnailLabel {
    background: transparent;
    border: none;
}
QTabWidget::pane {
    border: 1px solid #555;
    border-radius: 8px;
    background-color: #2b2b2b;
    margin-top: -1px;
}
QTabBar {
    /* The tabs' size: the bar measures each tab in its own font first. */
    font-size: 11pt;
}
QTabBar::tab {
    background-color: #404040;
    border: 1px solid #555;
    padding: 8px 16px;
    margin-right: 2px;
    border-top-left-radius: 8px;
    border-top-right-radius: 8px;
    color: #cccccc;
    font-size: 11pt;
    width: 120px;
}
QTabBar::tab:hover {
    background-color: #4a4a4a;
    color: #ffffff;
}
QTabBar::tab:selected {
    background-color: #0078d4;
    color: #ffffff;
    border-color: #0078d4;
    font-weight: bold;
}
QTabBar::tab:!selected {
    margin-top: 2px;
}
)";

const char* const kChangeNowButtonStyle = R"(
QPushButton {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #2196F3, stop:1 #1976D2);
    color: white;
    font-weight: bold;
    font-size: 14pt;
    border: none;
    border-radius: 8px;
    padding: 8px 20px;
}
QPushButton:hover {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #42A5F5, stop:1 #2196F3);
}
QPushButton:pressed {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #1565C0, stop:1 #0D47A1);
}
QPushButton:disabled {
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #BDBDBD, stop:1 #9E9E9E);
    color: #757575;
}
)";

// White at 20 %, 30 % on hover and 10 % when pressed, over the red banner.
const char* const kErrorDetailsButtonStyle = R"(
QPushButton {
    background-color: rgba(255, 255, 255, 51);
    color: white;
    border: 1px solid white;
    border-radius: 4px;
    font-weight: bold;
    font-size: 10pt;
}
QPushButton:hover {
    background-color: rgba(255, 255, 255, 77);
}
QPushButton:pressed {
    background-color: rgba(255, 255, 255, 26);
}
)";

const char* const kHistoryApplyButtonStyle = R"(
QPushButton {
    background-color: #2196F3;
    color: white;
    font-weight: bold;
    border: none;
    border-radius: 4px;
    padding: 6px 12px;
}
QPushButton:hover {
    background-color: #42A5F5;
}
QPushButton:pressed {
    background-color: #1565C0;
}
QPushButton:disabled {
    background-color: #757575;
    color: #BDBDBD;
}
)";

const char* const kHistoryArrowStyle = R"(
QPushButton {
    background-color: #3b3b3b;
    color: white;
    font-weight: bold;
    font-size: 18pt;
    border: 1px solid #555555;
    border-radius: 4px;
}
QPushButton:hover {
    background-color: #2196F3;
    border-color: #2196F3;
}
QPushButton:pressed {
    background-color: #1565C0;
}
QPushButton:disabled {
    background-color: #2b2b2b;
    color: #555555;
    border-color: #444444;
}
)";

const char* const kErrorDetailsBoxStyle = R"(
QMessageBox {
    background-color: #2a2a2a;
}
QMessageBox QLabel {
    color: white;
    font-size: 11pt;
}
QMessageBox QPushButton {
    background-color: #2196F3;
    color: white;
    font-size: 11pt;
    border: none;
    border-radius: 4px;
    padding: 8px 20px;
}
QMessageBox QPushButton:hover {
    background-color: #1976D2;
}
)";

QString errorHeadline()
{
    return ModernWindow::tr("Ошибка при получении категорий");
}

QPushButton* makeHistoryArrow(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setFixedSize(40, 120);
    button->setStyleSheet(QString::fromUtf8(kHistoryArrowStyle));
    return button;
}

} // namespace

void ModernWindow::applyModernStyle()
{
    // Windows has these families. Elsewhere Qt would look for a stand-in before the first text is
    // measured, sorting the system's whole font list once for each script and style (about 2 ms of
    // the start): the stand-in the system's configuration gives is named alone, and draws the same.
    // Asking the configuration reads it, which the read-ahead may be doing already.
    if (environment.fontConfig)
        environment.fontConfig->wait();
    QString families = QStringLiteral("'Segoe UI', Arial, sans-serif");
    const QString installed = installedFontFamily({QStringLiteral("Segoe UI"), QStringLiteral("Arial")});
    if (isQuotableFamily(installed))
        families = QLatin1Char('\'') + installed + QLatin1Char('\'');
    setStyleSheet(QString::fromUtf8(kWindowStyle).arg(families));
}

void ModernWindow::setupApplicationTab()
{
    applicationPage = new QWidget(tabWidget);
    const int tab = tabWidget->addTab(applicationPage, QString());
    keepTranslated(applicationPage, [this, tab] { tabWidget->setTabText(tab, tr("Обои")); });
}

void ModernWindow::buildApplicationTab()
{
    QWidget* page = applicationPage;
    // Shown again once complete: the children are shown and laid out together, in the next frame.
    const bool shown = page->isVisible();
    if (shown)
        page->hide();
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(20, 20, 20, 20);
    pageLayout->setSpacing(20);

    // Both columns sit centred between two stretches.
    auto* columnsLayout = new QHBoxLayout();
    columnsLayout->setSpacing(60);
    columnsLayout->addStretch();

    auto* leftColumn = new QVBoxLayout();
    leftColumn->setSpacing(10);
    leftColumn->setAlignment(Qt::AlignTop);
    auto* controls = new QWidget(page);
    controls->setFixedWidth(280);
    auto* controlsLayout = new QVBoxLayout(controls);
    controlsLayout->setContentsMargins(0, 0, 0, 0);
    controlsLayout->setSpacing(10);

    // Shown only in multi-screen mode.
    screenSelector = new ScreenSelector(controls);
    screenSelector->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    screenSelector->hide();
    controlsLayout->addWidget(screenSelector);

    changeNowButton = new QPushButton(tr("🖼️ Изменить Сейчас"), controls);
    changeNowButton->setFixedHeight(50);
    changeNowButton->setStyleSheet(QString::fromUtf8(kChangeNowButtonStyle));
    controlsLayout->addWidget(changeNowButton);

    statusLabel = new QLabel(controls);
    statusLabel->setAlignment(Qt::AlignLeft);
    statusLabel->setWordWrap(true);
    statusLabel->setStyleSheet(QStringLiteral("color: #ADD8E6; font-size: 11pt; margin: 10px 0px;"));
    controlsLayout->addWidget(statusLabel);
    showStatus([] { return tr("Нажмите, чтобы изменить обои"); });

    leftColumn->addWidget(controls);
    // A top-aligned layout is only ever given its size hint, which would clip a
    // status text that wraps onto more lines; the stretch lets the column grow.
    leftColumn->addStretch();
    columnsLayout->addLayout(leftColumn);

    auto* rightColumn = new QVBoxLayout();
    rightColumn->setSpacing(0);
    rightColumn->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto* nextChangeLabel = new QLabel(page);
    keepTranslated(nextChangeLabel, [nextChangeLabel] { nextChangeLabel->setText(tr("Следующее Изменение")); });
    nextChangeLabel->setAlignment(Qt::AlignCenter);
    nextChangeLabel->setStyleSheet(QStringLiteral("color: #ffffff; font-size: 12pt; font-weight: bold;"));
    rightColumn->addWidget(nextChangeLabel);
    countdownWidget = new CountdownWidget(page);
    rightColumn->addWidget(countdownWidget, 0, Qt::AlignCenter);
    columnsLayout->addLayout(rightColumn);

    columnsLayout->addStretch();
    pageLayout->addLayout(columnsLayout);

    // The banner takes its height from this stretch, so nothing else moves when it appears.
    pageLayout->addStretch();

    errorAlertWidget = new QWidget(page);
    errorAlertWidget->setFixedHeight(70);
    errorAlertWidget->setStyleSheet(
        QStringLiteral("QWidget {background-color: #d14836;border: 2px solid #a63929;border-radius: 8px;}"));
    auto* alertLayout = new QHBoxLayout(errorAlertWidget);
    alertLayout->setContentsMargins(15, 10, 15, 10);
    alertLayout->setSpacing(15);
    auto* warningSign = new QLabel(QStringLiteral("⚠️"), errorAlertWidget);
    warningSign->setStyleSheet(QStringLiteral("font-size: 32pt; background: transparent; border: none;"));
    alertLayout->addWidget(warningSign);
    errorAlertLabel = new QLabel(errorAlertWidget);
    errorAlertLabel->setWordWrap(true);
    errorAlertLabel->setStyleSheet(
        QStringLiteral("color: white; font-weight: bold; font-size: 11pt; background: transparent; border: none;"));
    alertLayout->addWidget(errorAlertLabel, 1);
    errorDetailsButton = new QPushButton(errorAlertWidget);
    errorDetailsButton->setFixedHeight(40);
    keepTranslated(errorDetailsButton, [this] { showButtonText(errorDetailsButton, QT_TR_NOOP("Подробности"), 80); });
    errorDetailsButton->setStyleSheet(QString::fromUtf8(kErrorDetailsButtonStyle));
    alertLayout->addWidget(errorDetailsButton);
    errorAlertWidget->hide();
    pageLayout->addWidget(errorAlertWidget);

    auto* historyBlock = new QWidget(page);
    auto* historyLayout = new QVBoxLayout(historyBlock);
    historyLayout->setContentsMargins(0, 10, 0, 0);
    historyLayout->setSpacing(10);

    auto* headerRow = new QHBoxLayout();
    auto* historyTitle = new QLabel(historyBlock);
    keepTranslated(historyTitle, [historyTitle] { historyTitle->setText(tr("История")); });
    historyTitle->setStyleSheet(QStringLiteral("color: #ffffff; font-size: 11pt; font-weight: bold;"));
    headerRow->addWidget(historyTitle);
    headerRow->addStretch();
    auto* historyApplyButton = new QPushButton(historyBlock);
    historyApplyButton->setObjectName(QStringLiteral("historyApplyButton"));
    keepTranslated(historyApplyButton,
                   [historyApplyButton] { showButtonText(historyApplyButton, QT_TR_NOOP("Применить"), 100); });
    historyApplyButton->setStyleSheet(QString::fromUtf8(kHistoryApplyButtonStyle));
    headerRow->addWidget(historyApplyButton);
    historyLayout->addLayout(headerRow);

    auto* navigationRow = new QHBoxLayout();
    navigationRow->setSpacing(5);
    historyPrevButton = makeHistoryArrow(QStringLiteral("◀"), historyBlock);
    historyPrevButton->setObjectName(QStringLiteral("historyPrevButton"));
    navigationRow->addWidget(historyPrevButton);
    historyCarouselScrollArea = new QScrollArea(historyBlock);
    historyCarouselScrollArea->setObjectName(QStringLiteral("historyCarousel"));
    historyCarouselScrollArea->setFixedHeight(120);
    historyCarouselScrollArea->setWidgetResizable(true);
    historyCarouselScrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    historyCarouselScrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    historyCarouselScrollArea->setStyleSheet(
        QStringLiteral("QScrollArea {background-color: #2b2b2b;border: 1px solid #555555;border-radius: 4px;}"));
    historyCarouselWidget = new HistoryStrip();
    historyCarouselLayout = new QHBoxLayout(historyCarouselWidget);
    historyCarouselLayout->setContentsMargins(10, 10, 10, 10);
    historyCarouselLayout->setSpacing(10);
    historyCarouselLayout->setAlignment(Qt::AlignLeft);
    historyCarouselScrollArea->setWidget(historyCarouselWidget);
    navigationRow->addWidget(historyCarouselScrollArea, 1);
    historyNextButton = makeHistoryArrow(QStringLiteral("▶"), historyBlock);
    historyNextButton->setObjectName(QStringLiteral("historyNextButton"));
    navigationRow->addWidget(historyNextButton);
    historyLayout->addLayout(navigationRow);

    pageLayout->addWidget(historyBlock);

    connect(changeNowButton, &QPushButton::clicked, this, &ModernWindow::onChangeNowClicked);
    connect(countdownWidget, &CountdownWidget::countdownExpired, this, &ModernWindow::onCountdownExpired);
    connect(errorDetailsButton, &QPushButton::clicked, this, &ModernWindow::onShowErrorDetails);
    connect(screenSelector, &ScreenSelector::screenSelectionChanged, this, &ModernWindow::onScreenSelectionChanged);
    connect(screenSelector, &ScreenSelector::screenDeselectionBlocked, this, &ModernWindow::onScreenDeselectionBlocked);
    connect(historyApplyButton, &QPushButton::clicked, this, &ModernWindow::onApplyHistoryClicked);
    connect(historyPrevButton, &QPushButton::clicked, this, &ModernWindow::onHistoryPrevClicked);
    connect(historyNextButton, &QPushButton::clicked, this, &ModernWindow::onHistoryNextClicked);
    if (shown)
        page->show();
}

void ModernWindow::showApiErrorAlert()
{
    errorAlertWidget->show();
    updateErrorAlertMessage();
}

void ModernWindow::hideApiErrorAlert()
{
    errorAlertWidget->hide();
    retryTimer->stop();
    if (retryWakeTimer)
        retryWakeTimer->stop();
    retryCountdownSeconds = 0;
}

void ModernWindow::startRetryTimer()
{
    retryCountdownSeconds = kRetryDelaySeconds;
    updateErrorAlertMessage();
    retryTimer->start(kRetryTickMs);
    sleepRetryCountdown();
}

void ModernWindow::onRetryTimerTick()
{
    // Back from the tray, the first tick kept the old phase.
    if (retryTimer->isActive() && retryTimer->interval() != kRetryTickMs)
        retryTimer->start(kRetryTickMs);
    --retryCountdownSeconds;
    if (retryCountdownSeconds > 0) {
        updateErrorAlertMessage();
        return;
    }
    retryTimer->stop();
    hideApiErrorAlert();
    // The retry is always a full wallpaper change, whatever failed before.
    changeNow(ChangeTrigger::AutomaticRetry);
}

void ModernWindow::updateErrorAlertMessage()
{
    const int minutes = retryCountdownSeconds / 60;
    const int seconds = retryCountdownSeconds % 60;
    const QString time =
        QStringLiteral("%1:%2").arg(minutes, 2, 10, QLatin1Char('0')).arg(seconds, 2, 10, QLatin1Char('0'));
    errorAlertLabel->setText(QStringLiteral("%1\n%2").arg(errorHeadline(), tr("Повторная попытка через %1").arg(time)));
}

void ModernWindow::onShowErrorDetails()
{
    QMessageBox box(this);
    box.setWindowTitle(errorHeadline());
    // The failure text comes from the network layer or the service; show it verbatim.
    box.setTextFormat(Qt::PlainText);
    box.setText(lastApiError.isEmpty() ? tr("Проверьте подключение к Интернету и сетевые настройки.")
                                       : lastApiError.toString());
    box.setIcon(QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok);
    box.setStyleSheet(QString::fromUtf8(kErrorDetailsBoxStyle));
    box.exec();
}

void ModernWindow::retranslateApplicationTab()
{
    if (statusText)
        statusLabel->setText(statusText());
    // The button reads "in progress" while a change runs.
    if (!changeWorkflow || changeWorkflow->state() == ChangeWorkflow::State::Idle)
        changeNowButton->setText(tr("🖼️ Изменить Сейчас"));
    else
        changeNowButton->setText(tr("🔄 Изменение в процессе..."));
    if (errorAlertWidget->isVisibleTo(this))
        updateErrorAlertMessage();
}
