#pragma once

#include "library.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include <memory>
#include <optional>
#include <vector>

// What the file system says a folder is: one replaced by another of the same
// name has another identity; its time moves when its listing changes.
struct FolderStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modifiedNs = 0;

    bool sameFolder(const FolderStamp& other) const { return device == other.device && inode == other.inode; }
};

// The library in memory, kept folder by folder: every folder is read once at
// start (on every core) and again only when its watch reports a change, so a
// picture added to one date folder costs reading that folder, not the library.
// Pictures are held by name and type only; paths are made when asked.
//
// Rules (the same as a whole scan of the library, see LibraryScanner):
// names starting with a dot are ignored; anything else that is not a category
// folder, a date folder or a publishable regular picture is skipped with a
// problem line; of two pictures of one name the first in the library's order
// (category id, then date, then name) is published, and if it goes the next
// one takes its place.
class LibraryIndex
{
public:
    enum class PictureType : quint8 { Jpeg, Png, Gif, Webp, Bmp, Other };

    struct Picture
    {
        QString name;
        PictureType type = PictureType::Other;
        // The first picture of its name in the library's order.
        bool published = false;
    };

    struct DateFolder
    {
        QDate date;
        int watch = -1;
        FolderStamp stamp;
        // Every picture of the folder in name order, published or not.
        std::vector<Picture> pictures;
        QStringList problems;
        int publishedCount = 0;
    };

    struct Category
    {
        QString id;
        // From category.json, else the id.
        QString name;
        // What category.json asks for, and what is shown.
        QString wantedThumbnail;
        QString thumbnail;
        int watch = -1;
        FolderStamp stamp;
        qint64 metaModifiedMs = 0;
        // Date order, folders without published pictures included.
        std::vector<DateFolder> dates;
        QStringList problems;
        // SHA-256 of the published dates and names; empty when they changed since.
        QByteArray digest;
        // Of the category and its dates, kept with them (see summarize()).
        qint64 latestMs = 0;
        int unwatched = 0;
        int problemCount = 0;
    };

    // Folders to read again.
    struct Changes
    {
        bool root = false;
        QSet<QString> categories;
        QHash<QString, QSet<QDate>> dates;
        // Every folder, as if nothing were known (after the system dropped events).
        bool everything = false;

        bool isEmpty() const { return !root && !everything && categories.isEmpty() && dates.isEmpty(); }
        void unite(const Changes& other)
        {
            root |= other.root;
            everything |= other.everything;
            categories.unite(other.categories);
            for (auto it = other.dates.cbegin(); it != other.dates.cend(); ++it)
                dates[it.key()].unite(*it);
        }
    };

    // A reading of changed folders: prepared from the index, run on any
    // thread without touching it, then applied to it. Folders read are
    // watched on the descriptor given, before they are listed, so that no
    // change after the reading goes unseen.
    class Reading
    {
    public:
        void run();
        int foldersRead() const { return m_foldersRead; }

    private:
        friend class LibraryIndex;
        struct CategoryTask
        {
            QString id;
            // Read every date folder, whatever is known.
            bool whole = false;
            FolderStamp known;
            QHash<QDate, FolderStamp> knownDates;
            QSet<QDate> changedDates;
            // Results.
            std::unique_ptr<Category> category;
            QSet<QDate> keptDates;
            bool gone = false;
        };
        struct DateTask
        {
            QString categoryId;
            QDate date;
            DateFolder folder;
            bool gone = false;
        };
        struct RootResult
        {
            FolderStamp stamp;
            int watch = -1;
            QStringList problems;
            QSet<QString> present;
        };

        void readRoot(int rootFd, const QHash<QString, FolderStamp>& known);
        void readCategory(int rootFd, CategoryTask& task);
        void readDate(int rootFd, DateTask& task);

        QString m_root;
        int m_inotify = -1;
        bool m_readRoot = false;
        QHash<QString, FolderStamp> m_knownCategories;
        std::vector<CategoryTask> m_categoryTasks;
        std::vector<DateTask> m_dateTasks;
        std::optional<RootResult> m_rootResult;
        int m_foldersRead = 0;
    };

    explicit LibraryIndex(const QString& root = {});
    ~LibraryIndex();
    LibraryIndex(LibraryIndex&&) noexcept;
    LibraryIndex& operator=(LibraryIndex&&) noexcept;

    // Reads the whole library, watching every folder on inotifyFd (-1: none).
    static LibraryIndex read(const QString& root, int inotifyFd = -1);
    // The index of a snapshot made elsewhere.
    static LibraryIndex fromSnapshot(const LibrarySnapshot& snapshot);

    // Which folders a watch id stands for; false for one no folder holds.
    bool changesOfWatch(int watch, Changes* changes) const;
    Reading prepare(const Changes& changes, int inotifyFd) const;
    // Takes the reading in; returns the watches no folder holds any longer.
    QList<int> apply(Reading&& reading);
    // The thumbnails and digests that follow from the pictures; after apply.
    void resolve();

    QString root() const { return m_root; }
    const std::vector<std::unique_ptr<Category>>& categories() const { return m_categories; }
    const Category* category(const QString& id) const;
    qsizetype pictureCount() const { return m_names.size(); }
    qsizetype folderCount() const;
    // Paths below the root of folders without a watch.
    QStringList unwatchedFolders() const;
    // Changes that read every folder without a watch again.
    Changes unwatchedChanges() const;
    std::optional<LibraryPicture> picture(const QString& fileName) const;
    // Names published in that folder, in order.
    QStringList publishedNames(const DateFolder& folder) const;
    // What was skipped and why, one line each.
    QStringList problems() const;
    // Latest modification time of the folders and category.json files (ms), 0 when none.
    qint64 changedMs() const;
    LibrarySnapshot snapshot() const;

    static QByteArray mimeType(PictureType type);

private:
    struct Location
    {
        Category* category;
        QDate date;
    };
    using Owners = QVarLengthArray<Location, 1>;

    Category* find(const QString& id) const;
    static DateFolder* findDate(Category& category, const QDate& date);
    void insertCategory(std::unique_ptr<Category> category);
    void removeCategory(const QString& id);
    void addNames(Category& category, DateFolder& folder);
    void removeNames(Category& category, const DateFolder& folder);
    static void summarize(Category& category);
    void dropWatch(int watch);
    void keepWatch(int watch, const Category& category, const QDate& date);
    void settleNames();
    static bool before(const Location& a, const Location& b);

    QString m_root;
    FolderStamp m_rootStamp;
    int m_rootWatch = -1;
    QStringList m_rootProblems;
    // In ascending id order.
    std::vector<std::unique_ptr<Category>> m_categories;
    // Every picture name with the folders holding one, in the library's order.
    QHash<QString, Owners> m_names;
    // Names whose owners changed, to settle.
    QSet<QString> m_unsettled;
    // Names held by more than one folder.
    QSet<QString> m_sharedNames;
    QHash<int, std::pair<QString, QDate>> m_watches;
    QList<int> m_droppedWatches;
};
