#pragma once

#include "core/change_words.h"
#include "core/shown_text.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QMap>
#include <QNetworkReply>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class WorkQueue;

// One answer of the wallpaper service, as the change reads it.
struct ServiceAnswer
{
    // Reached, certificate trusted, HTTP status a success, body within its limits.
    bool succeeded = false;
    // The failure's text (the network layer's or the service's); logged even on success.
    QString errorText;
    QNetworkReply::NetworkError networkError = QNetworkReply::NoError;
    int httpStatus = 0;
    QByteArray body;
    // What was asked for (not a redirect's target).
    QUrl requestedUrl;
};

// What the change needs of the world around it: the service, the category
// draw, the history, the desktop and the filing. Every asynchronous answer
// comes back on the workflow's thread, later or at once.
class ChangePorts
{
public:
    virtual ~ChangePorts() = default;

    // The screens a change goes to now; empty when none may change.
    virtual QList<int> targetScreens() = 0;
    // A category drawn by rating, never one of excluded; "" when none is left.
    virtual QString drawCategory(const QSet<QString>& excluded) = 0;
    // The wallpaper list of a category on a date (dd/MM/yyyy).
    virtual void requestList(const QString& categoryId, const QString& date,
                             std::function<void(const ServiceAnswer&)> done) = 0;
    virtual QUrl pictureUrl(const QString& fileName) = 0;
    virtual void downloadPicture(const QUrl& url, std::function<void(const ServiceAnswer&)> done) = 0;
    // A screen's filed pictures, newest first.
    virtual QList<QString> screenHistory(int screenIndex) = 0;
    // The screen's size in physical pixels, which its picture fills; empty
    // when unknown (the picture's copy is then made at full size).
    virtual QSize screenPixelSize(int /*screenIndex*/) { return {}; }
    // File names the user never wants to see again: no change draws them.
    virtual QSet<QString> neverDrawn() { return {}; }
    // The whole set for the desktop: the change's pictures plus what the
    // screens it leaves out keep.
    virtual QMap<int, QString> composeDesktop(const QMap<int, QString>& changed, const QList<int>& targets) = 0;
    // Composes and sets the set; done gets the desktop's answer.
    virtual void setDesktop(const QMap<int, QString>& images, std::function<void(bool)> done) = 0;
    // Where each screen's picture was listed (category id, date); before the filing.
    virtual void recordSources(const QMap<int, QString>& /*received*/,
                               const QMap<int, std::pair<QString, QString>>& /*sources*/)
    {
    }
    // Files each screen's received picture with the trigger's word.
    virtual void fileIntoHistory(const QMap<int, QString>& received, ChangeTrigger trigger,
                                 std::function<void()> done) = 0;
    virtual void cleanTemporaryFiles(std::function<void()> done) = 0;
};

// The one change in flight: what every target screen has received so far.
struct MultiWallpaperDownload
{
    QList<int> targetScreens;
    // Per screen, the picture to compose (usually the BMP copy) and the one received, to be filed.
    QMap<int, QString> downloadedImages;
    QMap<int, QString> originalImages;
    // Per screen, the category id and date its picture was listed under (none for a history fallback).
    QMap<int, std::pair<QString, QString>> sources;
    int pendingDownloads = 0;
    int completedDownloads = 0;
    // Tags the change's requests, so that replies of a replaced change are dropped.
    quint64 changeId = 0;
    // Every screen is in and the desktop is being set; a new change then waits.
    bool applying = false;
    ChangeTrigger trigger = ChangeTrigger::Manual;
};

// A wallpaper change from its trigger to its pictures filed: one category
// draw and list query per target screen (walking back through dates,
// leaving out categories with nothing new, falling back on the history),
// one download and BMP copy per screen, then one composite set on the
// desktop and filed. Any failure on any screen ends the whole change.
// Every state change goes through enter(); the window shows what it reports.
class ChangeWorkflow : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Idle,
        // Choosing pictures: list queries, date walks, the history fallback.
        Listing,
        // At least one screen's picture is being fetched or copied.
        Downloading,
        // Every screen is in; the desktop's set is being made.
        Composing,
        // The desktop is being set.
        Setting,
        // Filing into the history and cleaning up.
        Filing,
    };
    Q_ENUM(State)

    // Categories with nothing new, left out of the draw until the day ends.
    struct Exclusions
    {
        QSet<QString> categories;
        QDate day;
    };

    // pictureJobs saves received pictures and makes their BMP copies.
    ChangeWorkflow(ChangePorts& ports, WorkQueue& pictureJobs, QObject* parent = nullptr);
    ~ChangeWorkflow() override;

    // Starts a change for the screens the ports name. One asked while
    // another is being applied runs when that one ends; one asked while
    // another is still choosing or downloading replaces it.
    void start(ChangeTrigger trigger);
    // The same for these screens only (the others keep what they show); an
    // empty list means the screens the ports name.
    void start(ChangeTrigger trigger, const QList<int>& screens);

    State state() const { return m_state; }
    // The change in flight; null when idle.
    const MultiWallpaperDownload* change() const { return m_change.get(); }
    // The trigger of the change in flight or of the last one; none before the first.
    std::optional<ChangeTrigger> trigger() const { return m_trigger; }
    Exclusions& exclusions() { return m_exclusions; }
    // A display change held back until the change in flight has ended.
    void deferDisplayChange() { m_displayChangeDeferred = true; }

    // The steps, also reachable one by one.
    void getMultipleRandomWallpapers(const QList<int>& targetScreens);
    void getRandomWallpaperForScreen(int screenIndex);
    void tryGetWallpaperWithWeightedCategory(int screenIndex, int daysBack);
    void tryGetWallpaperWithSpecificDate(int screenIndex, const QString& categoryId, const QString& date);
    void getRandomWallpaperFromHistory(int screenIndex);
    void downloadWallpaperForScreen(const QString& fileName, int screenIndex);
    void downloadImageForScreen(const QString& imageUrl, int screenIndex);
    void applyMultipleWallpapers();
    // Ends the change in flight (if any) as failed.
    void handleMultiDownloadError(const ShownText& error);

Q_SIGNALS:
    void stateChanged(ChangeWorkflow::State state);
    // A change begins for this many screens.
    void started(int targetCount);
    void progress(int completed, int total);
    // Every screen's picture is in; the desktop is being set.
    void applying();
    // A picture download failed; failed follows.
    void downloadFailed(const ShownText& message);
    void failed(const ShownText& message);
    // The desktop refused the set; nothing was filed.
    void refused();
    // The desktop took the set: what the user asked for is done. The filing
    // follows, and the change stays in flight until succeeded.
    void applied();
    // Set and filed.
    void succeeded();
    // A display change held back during the change is due now.
    void displayChangeDue();

private:
    void enter(State next);
    bool isCurrent(quint64 changeId) const { return m_change && m_change->changeId == changeId; }
    // Ends the change in flight; the follow-ups (display change, asked change) come after report.
    void end(const std::function<void()>& report);
    void requestList(int screenIndex, const QString& categoryId, const QString& date, int walkStep);
    void handleList(const ServiceAnswer& answer, int screenIndex, const QString& categoryId, const QString& date,
                    int walkStep);
    void handlePicture(const ServiceAnswer& answer, int screenIndex);
    void recordScreenImage(int screenIndex, const QString& imageForScreen, const QString& originalPath);
    void finish(quint64 changeId, bool accepted);

    ChangePorts& m_ports;
    WorkQueue& m_pictureJobs;
    State m_state = State::Idle;
    std::unique_ptr<MultiWallpaperDownload> m_change;
    quint64 m_lastChangeId = 0;
    std::optional<ChangeTrigger> m_trigger;
    // Asked while a change was being applied.
    std::optional<ChangeTrigger> m_askedWhileApplying;
    QList<int> m_askedScreens;
    Exclusions m_exclusions;
    bool m_displayChangeDeferred = false;
};

// The change in flight as the window names it: null while idle.
class ChangeInFlightView
{
public:
    explicit ChangeInFlightView(const std::unique_ptr<ChangeWorkflow>& workflow) : m_workflow(workflow) {}
    const MultiWallpaperDownload* get() const { return m_workflow ? m_workflow->change() : nullptr; }
    const MultiWallpaperDownload* operator->() const { return get(); }
    explicit operator bool() const { return get() != nullptr; }
    friend bool operator==(const ChangeInFlightView& view, std::nullptr_t) { return view.get() == nullptr; }

private:
    const std::unique_ptr<ChangeWorkflow>& m_workflow;
};
