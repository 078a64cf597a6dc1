#include "library_index.h"

#include "library_watcher.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr qint64 maxCategoryJsonSize = 64 * 1024;

// A date folder's name, exactly "yyyy-MM-dd", as a date; invalid otherwise.
// By hand: the general date parser costs more than reading the folder.
QDate folderDate(const QByteArray& name)
{
    const auto digits = [&](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) {
            if (name[i] < '0' || name[i] > '9')
                return -1;
            value = value * 10 + (name[i] - '0');
        }
        return value;
    };
    if (name.size() != 10 || name[4] != '-' || name[7] != '-')
        return {};
    const int year = digits(0, 4);
    const int month = digits(5, 2);
    const int day = digits(8, 2);
    if (year < 0 || month < 0 || day < 0)
        return {};
    return QDate(year, month, day);
}

QString folderName(const QDate& date)
{
    char name[11];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d", date.year(), date.month(), date.day());
    return QString::fromLatin1(name, 10);
}

// A descriptor closed when it goes.
class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }

private:
    int m_fd;
};

struct Entry
{
    QByteArray name;
    unsigned char type;
};

// The folder's entries but "." and "..", straight from the kernel: no stat,
// no sorting, no allocation beyond the names.
std::vector<Entry> listFolder(int fd)
{
    std::vector<Entry> entries;
    alignas(dirent64) char buffer[32 * 1024];
    for (;;) {
        const ssize_t length = ::getdents64(fd, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            entries.push_back({QByteArray(name), entry->d_type});
        }
    }
    return entries;
}

FolderStamp stampOf(const struct stat& info)
{
    return {quint64(info.st_dev), quint64(info.st_ino),
            qint64(info.st_mtim.tv_sec) * 1'000'000'000 + qint64(info.st_mtim.tv_nsec)};
}

FolderStamp stampOf(int fd)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 ? stampOf(info) : FolderStamp{};
}

// The entry's own type, links not followed; DT_UNKNOWN when it cannot be told.
unsigned char typeOf(int folder, const Entry& entry)
{
    if (entry.type != DT_UNKNOWN)
        return entry.type;
    struct stat info;
    if (::fstatat(folder, entry.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return DT_UNKNOWN;
    return S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_LNK;
}

// The name as the rest of the service spells it; empty when it would not
// come back to the same bytes on disk.
QString decodedName(const QByteArray& name)
{
    if (std::all_of(name.cbegin(), name.cend(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(name);
    const QString decoded = QFile::decodeName(name);
    return QFile::encodeName(decoded) == name ? decoded : QString();
}

int openFolderAt(int parent, const QByteArray& name)
{
    return ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

LibraryIndex::PictureType typeOfFormat(const QByteArray& format)
{
    const QByteArray lower = format.toLower();
    if (lower == "jpg" || lower == "jpeg")
        return LibraryIndex::PictureType::Jpeg;
    if (lower == "png")
        return LibraryIndex::PictureType::Png;
    if (lower == "gif")
        return LibraryIndex::PictureType::Gif;
    if (lower == "webp")
        return LibraryIndex::PictureType::Webp;
    if (lower == "bmp")
        return LibraryIndex::PictureType::Bmp;
    return LibraryIndex::PictureType::Other;
}

// JPEG, PNG and GIF, which Qt always reads, by their signatures; nothing for
// anything else, which an image plugin must recognise.
std::optional<LibraryIndex::PictureType> typeBySignature(const char* head, ssize_t size)
{
    const QByteArrayView bytes(head, std::max<ssize_t>(size, 0));
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return LibraryIndex::PictureType::Jpeg;
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return LibraryIndex::PictureType::Png;
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return LibraryIndex::PictureType::Gif;
    return std::nullopt;
}

QString relativeOf(const QString& categoryId, const QDate& date, const QString& name = {})
{
    QString path = categoryId + QLatin1Char('/') + folderName(date);
    if (!name.isEmpty())
        path += QLatin1Char('/') + name;
    return path;
}

// Reads one date folder, open as fd, into folder.
void readPictures(int fd, const QString& categoryId, LibraryIndex::DateFolder& folder)
{
    const auto problem = [&](const QString& name, const QString& why) {
        folder.problems << relativeOf(categoryId, folder.date, name) + QStringLiteral(": ") + why;
    };
    for (const Entry& entry : listFolder(fd)) {
        if (entry.name.startsWith('.'))
            continue;
        const QString name = decodedName(entry.name);
        const QString shown = name.isEmpty() ? QFile::decodeName(entry.name) : name;
        const unsigned char type = typeOf(fd, entry);
        if (type != DT_REG && type != DT_UNKNOWN) {
            problem(shown, QStringLiteral("not a regular file"));
            continue;
        }
        if (name.isEmpty() || !LibraryScanner::isPublishableFileName(name)) {
            problem(shown, QStringLiteral("file name not publishable"));
            continue;
        }
        // Opened without following links, never blocking on a special file:
        // the entry may have changed since it was listed.
        const Fd file(::openat(fd, entry.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat info;
        if (!file.isValid()) {
            problem(name, errno == EACCES
                              ? QStringLiteral("unreadable image: ") + QString::fromLocal8Bit(strerror(errno))
                              : QStringLiteral("not a regular file"));
            continue;
        }
        if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            problem(name, QStringLiteral("not a regular file"));
            continue;
        }
        // The usual formats by their first bytes: a hundred thousand pictures
        // are indexed in moments, not after a trip through every image plugin.
        char head[12];
        std::optional<LibraryIndex::PictureType> pictureType = typeBySignature(head, ::pread(file.get(), head, 12, 0));
        if (!pictureType) {
            QFile device;
            QImageReader reader;
            if (device.open(file.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
                reader.setDevice(&device);
                reader.setDecideFormatFromContent(true);
            }
            if (!reader.canRead()) {
                problem(name, QStringLiteral("unreadable image: ") + reader.errorString());
                continue;
            }
            pictureType = typeOfFormat(reader.format());
        }
        folder.pictures.push_back({name, *pictureType, false});
    }
    std::sort(folder.pictures.begin(), folder.pictures.end(),
              [](const LibraryIndex::Picture& a, const LibraryIndex::Picture& b) { return a.name < b.name; });
}

} // namespace

// -- Reading -----------------------------------------------------------------

void LibraryIndex::Reading::run()
{
    const Fd root(::open(QFile::encodeName(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.isValid()) {
        // The library itself went: nothing is published until it is back.
        const QString why = QString::fromLocal8Bit(strerror(errno));
        if (m_readRoot)
            m_rootResult = RootResult{{}, -1, {QStringLiteral(".: cannot read the library folder: ") + why}, {}};
        for (CategoryTask& task : m_categoryTasks)
            task.gone = true;
        for (DateTask& task : m_dateTasks)
            task.gone = true;
        return;
    }
    if (m_readRoot)
        readRoot(root.get(), m_knownCategories);

    // Every folder to read, spread over the cores.
    const size_t categories = m_categoryTasks.size();
    const size_t total = categories + m_dateTasks.size();
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < total; i = next++) {
            if (i < categories)
                readCategory(root.get(), m_categoryTasks[i]);
            else
                readDate(root.get(), m_dateTasks[i - categories]);
        }
    };
    {
        std::vector<std::jthread> workers;
        const size_t threads = std::min<size_t>(size_t(std::max(QThread::idealThreadCount(), 1)), total);
        for (size_t i = 1; i < threads; ++i)
            workers.emplace_back(work);
        work();
    }
    m_foldersRead += m_readRoot ? 1 : 0;
    for (const CategoryTask& task : m_categoryTasks) {
        if (task.category)
            m_foldersRead += 1 + int(task.category->dates.size());
    }
    m_foldersRead += int(m_dateTasks.size());
}

void LibraryIndex::Reading::readRoot(int rootFd, const QHash<QString, FolderStamp>& known)
{
    RootResult result;
    result.watch = LibraryWatcher::addWatch(m_inotify, QFile::encodeName(m_root), LibraryWatcher::LinkRule::Followed);
    result.stamp = stampOf(rootFd);
    QHash<QString, size_t> tasks;
    for (size_t i = 0; i < m_categoryTasks.size(); ++i)
        tasks.insert(m_categoryTasks[i].id, i);
    for (const Entry& entry : listFolder(rootFd)) {
        if (entry.name.startsWith('.'))
            continue;
        const QString id = decodedName(entry.name);
        const QString shown = QFile::decodeName(entry.name);
        struct stat info;
        if (::fstatat(rootFd, entry.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISDIR(info.st_mode)) {
            result.problems << shown + QStringLiteral(": not a category folder");
            continue;
        }
        if (id.isEmpty() || !LibraryScanner::isValidCategoryId(id)) {
            result.problems << shown + QStringLiteral(": category folder name not usable as an id");
            continue;
        }
        result.present.insert(id);
        const auto knownStamp = known.constFind(id);
        if (knownStamp != known.constEnd() && knownStamp->sameFolder(stampOf(info)))
            continue;
        // New, or another folder under a known name: read all of it.
        const auto task = tasks.constFind(id);
        if (task != tasks.constEnd()) {
            m_categoryTasks[*task].whole = true;
            continue;
        }
        CategoryTask whole;
        whole.id = id;
        whole.whole = true;
        m_categoryTasks.push_back(std::move(whole));
    }
    m_rootResult = std::move(result);
}

void LibraryIndex::Reading::readCategory(int rootFd, CategoryTask& task)
{
    const Fd fd(openFolderAt(rootFd, QFile::encodeName(task.id)));
    if (!fd.isValid()) {
        task.gone = true;
        return;
    }
    auto category = std::make_unique<Category>();
    category->id = task.id;
    const QByteArray categoryPath = QFile::encodeName(m_root + QLatin1Char('/') + task.id);
    category->watch = LibraryWatcher::addWatch(m_inotify, categoryPath);
    category->stamp = stampOf(fd.get());
    if (!task.whole && !task.known.sameFolder(category->stamp))
        task.whole = true;

    QString metaName;
    std::vector<std::pair<QDate, QByteArray>> dates;
    for (const Entry& entry : listFolder(fd.get())) {
        if (entry.name.startsWith('.'))
            continue;
        const QString name = QFile::decodeName(entry.name);
        if (entry.name == "category.json") {
            // Never through a link, never a FIFO or device, never more than the cap.
            const Fd meta(::openat(fd.get(), "category.json", O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            struct stat info;
            QByteArray contents;
            bool ok = meta.isValid() && ::fstat(meta.get(), &info) == 0 && S_ISREG(info.st_mode);
            if (ok) {
                // The size is checked on what is read, not on what stat said.
                contents.resize(maxCategoryJsonSize + 1);
                qsizetype size = 0;
                while (size < contents.size()) {
                    const ssize_t got = ::read(meta.get(), contents.data() + size, size_t(contents.size() - size));
                    if (got <= 0)
                        break;
                    size += got;
                }
                contents.truncate(size);
                ok = size <= maxCategoryJsonSize;
                category->metaModifiedMs = stampOf(info).modifiedNs / 1'000'000;
            }
            if (!ok) {
                category->problems << task.id +
                                          QStringLiteral("/category.json: cannot read category.json (a regular file "
                                                         "of at most %1 bytes)")
                                              .arg(maxCategoryJsonSize);
                continue;
            }
            QJsonParseError parseError;
            const QJsonDocument document = QJsonDocument::fromJson(contents, &parseError);
            if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
                category->problems << task.id + QStringLiteral("/category.json: not a JSON object");
                continue;
            }
            const QJsonObject object = document.object();
            metaName = object.value(QLatin1String("name")).toString().trimmed();
            category->wantedThumbnail = object.value(QLatin1String("thumbnail")).toString();
            continue;
        }
        const QDate date = folderDate(entry.name);
        if (!date.isValid() || typeOf(fd.get(), entry) != DT_DIR) {
            category->problems << task.id + QLatin1Char('/') + name +
                                      QStringLiteral(": not a date folder (yyyy-MM-dd)");
            continue;
        }
        dates.emplace_back(date, entry.name);
    }
    category->name = metaName.isEmpty() ? task.id : metaName;
    std::sort(dates.begin(), dates.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    for (const auto& [date, rawName] : dates) {
        if (!task.whole && !task.changedDates.contains(date)) {
            const auto known = task.knownDates.constFind(date);
            struct stat info;
            if (known != task.knownDates.constEnd() &&
                ::fstatat(fd.get(), rawName.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                known->sameFolder(stampOf(info))) {
                task.keptDates.insert(date);
                continue;
            }
        }
        const Fd dateFd(openFolderAt(fd.get(), rawName));
        if (!dateFd.isValid()) {
            category->problems << relativeOf(task.id, date) + QStringLiteral(": cannot read: ") +
                                      QString::fromLocal8Bit(strerror(errno));
            continue;
        }
        DateFolder folder;
        folder.date = date;
        folder.watch = LibraryWatcher::addWatch(m_inotify, categoryPath + '/' + rawName);
        folder.stamp = stampOf(dateFd.get());
        readPictures(dateFd.get(), task.id, folder);
        category->dates.push_back(std::move(folder));
    }
    task.category = std::move(category);
}

void LibraryIndex::Reading::readDate(int rootFd, DateTask& task)
{
    const Fd category(openFolderAt(rootFd, QFile::encodeName(task.categoryId)));
    const Fd fd(category.isValid() ? openFolderAt(category.get(), folderName(task.date).toLatin1()) : -1);
    if (!fd.isValid()) {
        task.gone = true;
        return;
    }
    task.folder.date = task.date;
    task.folder.watch = LibraryWatcher::addWatch(
        m_inotify, QFile::encodeName(m_root + QLatin1Char('/') + relativeOf(task.categoryId, task.date)));
    task.folder.stamp = stampOf(fd.get());
    readPictures(fd.get(), task.categoryId, task.folder);
}

// -- LibraryIndex ------------------------------------------------------------

LibraryIndex::LibraryIndex(const QString& root) : m_root(root) {}
LibraryIndex::~LibraryIndex() = default;
LibraryIndex::LibraryIndex(LibraryIndex&&) noexcept = default;
LibraryIndex& LibraryIndex::operator=(LibraryIndex&&) noexcept = default;

LibraryIndex LibraryIndex::read(const QString& root, int inotifyFd)
{
    LibraryIndex index(root);
    Changes everything;
    everything.everything = true;
    Reading reading = index.prepare(everything, inotifyFd);
    reading.run();
    index.apply(std::move(reading));
    index.resolve();
    return index;
}

LibraryIndex LibraryIndex::fromSnapshot(const LibrarySnapshot& snapshot)
{
    LibraryIndex index(snapshot.root);
    for (const LibraryCategory& source : snapshot.categories) {
        auto category = std::make_unique<Category>();
        category->id = source.id;
        category->name = source.name;
        category->wantedThumbnail = source.thumbnail;
        for (auto date = source.dates.cbegin(); date != source.dates.cend(); ++date) {
            DateFolder folder;
            folder.date = date.key();
            for (const QString& name : *date) {
                const QByteArray mime = snapshot.pictures.value(name).mimeType;
                folder.pictures.push_back({name, typeOfFormat(mime.mid(mime.indexOf('/') + 1)), false});
            }
            category->dates.push_back(std::move(folder));
        }
        index.insertCategory(std::move(category));
    }
    index.m_rootProblems = snapshot.problems;
    index.settleNames();
    index.resolve();
    index.m_droppedWatches.clear();
    return index;
}

bool LibraryIndex::changesOfWatch(int watch, Changes* changes) const
{
    if (watch < 0)
        return false;
    if (watch == m_rootWatch) {
        changes->root = true;
        return true;
    }
    const auto found = m_watches.constFind(watch);
    if (found == m_watches.constEnd())
        return false;
    if (found->second.isValid())
        changes->dates[found->first].insert(found->second);
    else
        changes->categories.insert(found->first);
    return true;
}

LibraryIndex::Reading LibraryIndex::prepare(const Changes& changes, int inotifyFd) const
{
    Reading reading;
    reading.m_root = m_root;
    reading.m_inotify = inotifyFd;
    // Nothing known: every category is read whole.
    if (changes.everything) {
        reading.m_readRoot = true;
        return reading;
    }
    reading.m_readRoot = changes.root;
    if (changes.root) {
        for (const auto& category : m_categories)
            reading.m_knownCategories.insert(category->id, category->stamp);
    }
    for (const QString& id : changes.categories) {
        Reading::CategoryTask task;
        task.id = id;
        if (const Category* category = find(id)) {
            task.known = category->stamp;
            for (const DateFolder& folder : category->dates)
                task.knownDates.insert(folder.date, folder.stamp);
            task.changedDates = changes.dates.value(id);
        } else {
            task.whole = true;
        }
        reading.m_categoryTasks.push_back(std::move(task));
    }
    for (auto it = changes.dates.cbegin(); it != changes.dates.cend(); ++it) {
        if (changes.categories.contains(it.key()))
            continue;
        for (const QDate& date : *it)
            reading.m_dateTasks.push_back({it.key(), date, {}, false});
    }
    return reading;
}

QList<int> LibraryIndex::apply(Reading&& reading)
{
    m_droppedWatches.clear();
    if (reading.m_rootResult) {
        Reading::RootResult& root = *reading.m_rootResult;
        if (root.watch != m_rootWatch)
            dropWatch(m_rootWatch);
        m_rootWatch = root.watch;
        m_rootStamp = root.stamp;
        m_rootProblems = std::move(root.problems);
        QStringList gone;
        for (const auto& category : m_categories) {
            if (!root.present.contains(category->id))
                gone << category->id;
        }
        for (const QString& id : std::as_const(gone))
            removeCategory(id);
    }

    for (Reading::CategoryTask& task : reading.m_categoryTasks) {
        if (task.gone) {
            removeCategory(task.id);
            continue;
        }
        if (!task.category)
            continue;
        Category* existing = find(task.id);
        if (task.whole || !existing) {
            removeCategory(task.id);
            insertCategory(std::move(task.category));
            continue;
        }
        // Dates not read again stay as they are; the others are replaced or go.
        Category& fresh = *task.category;
        std::vector<DateFolder> merged;
        for (DateFolder& folder : existing->dates) {
            if (task.keptDates.contains(folder.date)) {
                merged.push_back(std::move(folder));
                continue;
            }
            removeNames(*existing, folder);
            dropWatch(folder.watch);
        }
        const size_t kept = merged.size();
        for (DateFolder& folder : fresh.dates)
            merged.push_back(std::move(folder));
        std::inplace_merge(merged.begin(), merged.begin() + qsizetype(kept), merged.end(),
                           [](const DateFolder& a, const DateFolder& b) { return a.date < b.date; });
        existing->dates = std::move(merged);
        for (DateFolder& folder : existing->dates) {
            if (!task.keptDates.contains(folder.date)) {
                addNames(*existing, folder);
                keepWatch(folder.watch, *existing, folder.date);
            }
        }
        if (fresh.watch != existing->watch)
            dropWatch(existing->watch);
        existing->watch = fresh.watch;
        keepWatch(existing->watch, *existing, {});
        existing->name = fresh.name;
        existing->wantedThumbnail = fresh.wantedThumbnail;
        existing->stamp = fresh.stamp;
        existing->metaModifiedMs = fresh.metaModifiedMs;
        existing->problems = std::move(fresh.problems);
        existing->digest.clear();
        summarize(*existing);
    }

    for (Reading::DateTask& task : reading.m_dateTasks) {
        Category* category = find(task.categoryId);
        if (!category) {
            dropWatch(task.folder.watch);
            continue;
        }
        if (DateFolder* old = findDate(*category, task.date)) {
            removeNames(*category, *old);
            dropWatch(old->watch);
            category->dates.erase(category->dates.begin() + (old - category->dates.data()));
        }
        if (!task.gone) {
            const auto at =
                std::lower_bound(category->dates.begin(), category->dates.end(), task.date,
                                 [](const DateFolder& folder, const QDate& date) { return folder.date < date; });
            DateFolder& folder = *category->dates.insert(at, std::move(task.folder));
            addNames(*category, folder);
            keepWatch(folder.watch, *category, folder.date);
        }
        category->digest.clear();
        summarize(*category);
    }
    settleNames();

    QSet<int> unused;
    for (const int watch : std::as_const(m_droppedWatches)) {
        if (watch != m_rootWatch && !m_watches.contains(watch))
            unused.insert(watch);
    }
    m_droppedWatches.clear();
    return unused.values();
}

void LibraryIndex::resolve()
{
    for (const auto& category : m_categories) {
        category->thumbnail.clear();
        if (!category->wantedThumbnail.isEmpty() && m_names.contains(category->wantedThumbnail)) {
            category->thumbnail = category->wantedThumbnail;
        } else {
            for (auto folder = category->dates.crbegin(); folder != category->dates.crend(); ++folder) {
                if (folder->publishedCount > 0) {
                    category->thumbnail = publishedNames(*folder).constFirst();
                    break;
                }
            }
        }
        if (!category->digest.isEmpty())
            continue;
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const DateFolder& folder : category->dates) {
            if (folder.publishedCount == 0)
                continue;
            hash.addData(QByteArrayView("\n"));
            hash.addData(folder.date.toString(Qt::ISODate).toLatin1());
            for (const Picture& picture : folder.pictures) {
                if (!picture.published)
                    continue;
                hash.addData(QByteArrayView("/"));
                hash.addData(picture.name.toUtf8());
            }
        }
        category->digest = hash.result();
    }
}

const LibraryIndex::Category* LibraryIndex::category(const QString& id) const
{
    return find(id);
}

LibraryIndex::Category* LibraryIndex::find(const QString& id) const
{
    const auto at =
        std::lower_bound(m_categories.begin(), m_categories.end(), id,
                         [](const std::unique_ptr<Category>& c, const QString& key) { return c->id < key; });
    return at != m_categories.end() && (*at)->id == id ? at->get() : nullptr;
}

LibraryIndex::DateFolder* LibraryIndex::findDate(Category& category, const QDate& date)
{
    const auto at = std::lower_bound(category.dates.begin(), category.dates.end(), date,
                                     [](const DateFolder& folder, const QDate& key) { return folder.date < key; });
    return at != category.dates.end() && at->date == date ? &*at : nullptr;
}

qsizetype LibraryIndex::folderCount() const
{
    qsizetype count = 1;
    for (const auto& category : m_categories)
        count += 1 + qsizetype(category->dates.size());
    return count;
}

void LibraryIndex::insertCategory(std::unique_ptr<Category> category)
{
    Category& added = *category;
    const auto at =
        std::lower_bound(m_categories.begin(), m_categories.end(), added.id,
                         [](const std::unique_ptr<Category>& c, const QString& key) { return c->id < key; });
    m_categories.insert(at, std::move(category));
    keepWatch(added.watch, added, {});
    for (DateFolder& folder : added.dates) {
        addNames(added, folder);
        keepWatch(folder.watch, added, folder.date);
    }
    added.digest.clear();
    summarize(added);
}

void LibraryIndex::summarize(Category& category)
{
    category.latestMs = std::max(category.stamp.modifiedNs / 1'000'000, category.metaModifiedMs);
    category.unwatched = category.watch < 0 ? 1 : 0;
    category.problemCount = int(category.problems.size());
    for (const DateFolder& folder : category.dates) {
        category.latestMs = std::max(category.latestMs, folder.stamp.modifiedNs / 1'000'000);
        category.unwatched += folder.watch < 0 ? 1 : 0;
        category.problemCount += int(folder.problems.size());
    }
}

void LibraryIndex::removeCategory(const QString& id)
{
    Category* category = find(id);
    if (!category)
        return;
    for (const DateFolder& folder : category->dates) {
        removeNames(*category, folder);
        dropWatch(folder.watch);
    }
    dropWatch(category->watch);
    m_categories.erase(std::find_if(m_categories.begin(), m_categories.end(),
                                    [category](const std::unique_ptr<Category>& c) { return c.get() == category; }));
}

bool LibraryIndex::before(const Location& a, const Location& b)
{
    if (a.category != b.category)
        return a.category->id < b.category->id;
    return a.date < b.date;
}

void LibraryIndex::addNames(Category& category, DateFolder& folder)
{
    category.digest.clear();
    const Location here{&category, folder.date};
    for (Picture& picture : folder.pictures) {
        picture.published = false;
        Owners& owners = m_names[picture.name];
        if (owners.isEmpty()) {
            // The usual case: a name of its own, published at once.
            owners.append(here);
            picture.published = true;
            ++folder.publishedCount;
            continue;
        }
        const auto at = std::upper_bound(owners.begin(), owners.end(), here, before);
        if (at == owners.begin())
            m_unsettled.insert(picture.name);
        owners.insert(at, here);
        m_sharedNames.insert(picture.name);
    }
}

void LibraryIndex::removeNames(Category& category, const DateFolder& folder)
{
    category.digest.clear();
    for (const Picture& picture : folder.pictures) {
        const auto owners = m_names.find(picture.name);
        if (owners == m_names.end())
            continue;
        for (qsizetype i = 0; i < owners->size(); ++i) {
            const Location& location = owners->at(i);
            if (location.category != &category || location.date != folder.date)
                continue;
            owners->remove(i);
            if (i == 0 && !owners->isEmpty())
                m_unsettled.insert(picture.name);
            break;
        }
        if (owners->size() < 2)
            m_sharedNames.remove(picture.name);
        if (owners->isEmpty())
            m_names.erase(owners);
    }
}

// Each name whose first owner may have changed: the first is published, the others not.
void LibraryIndex::settleNames()
{
    for (const QString& name : std::as_const(m_unsettled)) {
        const auto owners = m_names.constFind(name);
        if (owners == m_names.constEnd())
            continue;
        for (qsizetype i = 0; i < owners->size(); ++i) {
            const Location& location = owners->at(i);
            DateFolder* folder = findDate(*location.category, location.date);
            if (!folder)
                continue;
            const auto picture = std::lower_bound(folder->pictures.begin(), folder->pictures.end(), name,
                                                  [](const Picture& p, const QString& key) { return p.name < key; });
            if (picture == folder->pictures.end() || picture->name != name || picture->published == (i == 0))
                continue;
            picture->published = i == 0;
            folder->publishedCount += picture->published ? 1 : -1;
            location.category->digest.clear();
        }
    }
    m_unsettled.clear();
}

void LibraryIndex::dropWatch(int watch)
{
    if (watch < 0)
        return;
    m_watches.remove(watch);
    m_droppedWatches << watch;
}

void LibraryIndex::keepWatch(int watch, const Category& category, const QDate& date)
{
    if (watch >= 0)
        m_watches.insert(watch, {category.id, date});
}

QStringList LibraryIndex::unwatchedFolders() const
{
    QStringList folders;
    if (m_rootWatch < 0)
        folders << QStringLiteral(".");
    for (const auto& category : m_categories) {
        if (category->unwatched == 0)
            continue;
        if (category->watch < 0)
            folders << category->id;
        for (const DateFolder& folder : category->dates) {
            if (folder.watch < 0)
                folders << relativeOf(category->id, folder.date);
        }
    }
    return folders;
}

LibraryIndex::Changes LibraryIndex::unwatchedChanges() const
{
    Changes changes;
    changes.root = m_rootWatch < 0;
    for (const auto& category : m_categories) {
        if (category->unwatched == 0)
            continue;
        if (category->watch < 0)
            changes.categories.insert(category->id);
        for (const DateFolder& folder : category->dates) {
            if (folder.watch < 0)
                changes.dates[category->id].insert(folder.date);
        }
    }
    return changes;
}

std::optional<LibraryPicture> LibraryIndex::picture(const QString& fileName) const
{
    const auto owners = m_names.constFind(fileName);
    if (owners == m_names.constEnd() || owners->isEmpty())
        return std::nullopt;
    const Location& location = owners->front();
    const DateFolder* folder = findDate(*location.category, location.date);
    if (!folder)
        return std::nullopt;
    const auto found = std::lower_bound(folder->pictures.begin(), folder->pictures.end(), fileName,
                                        [](const Picture& p, const QString& key) { return p.name < key; });
    if (found == folder->pictures.end() || found->name != fileName)
        return std::nullopt;
    LibraryPicture picture;
    picture.fileName = found->name;
    picture.relativePath = relativeOf(location.category->id, location.date, found->name);
    picture.path = m_root + QLatin1Char('/') + picture.relativePath;
    picture.mimeType = mimeType(found->type);
    picture.categoryId = location.category->id;
    picture.date = location.date;
    return picture;
}

QStringList LibraryIndex::publishedNames(const DateFolder& folder) const
{
    QStringList names;
    names.reserve(folder.publishedCount);
    for (const Picture& picture : folder.pictures) {
        if (picture.published)
            names << picture.name;
    }
    return names;
}

QStringList LibraryIndex::problems() const
{
    QStringList problems = m_rootProblems;
    for (const auto& category : m_categories) {
        if (!category->wantedThumbnail.isEmpty() && !m_names.contains(category->wantedThumbnail))
            problems << QStringLiteral("%1/category.json: thumbnail %2 is not a published picture")
                            .arg(category->id, category->wantedThumbnail);
        if (category->problemCount == 0)
            continue;
        problems += category->problems;
        for (const DateFolder& folder : category->dates)
            problems += folder.problems;
    }
    for (const QString& name : m_sharedNames) {
        const Owners& owners = *m_names.constFind(name);
        const Location& first = owners.front();
        for (qsizetype i = 1; i < owners.size(); ++i) {
            const Location& other = owners.at(i);
            problems << relativeOf(other.category->id, other.date, name) +
                            QStringLiteral(": file name already published by ") +
                            relativeOf(first.category->id, first.date, name);
        }
    }
    return problems;
}

qint64 LibraryIndex::changedMs() const
{
    qint64 latest = m_rootStamp.modifiedNs / 1'000'000;
    for (const auto& category : m_categories)
        latest = std::max(latest, category->latestMs);
    return latest;
}

LibrarySnapshot LibraryIndex::snapshot() const
{
    LibrarySnapshot snapshot;
    snapshot.root = m_root;
    snapshot.folders << m_root;
    for (const auto& category : m_categories) {
        LibraryCategory listed;
        listed.id = category->id;
        listed.name = category->name;
        listed.thumbnail = category->thumbnail;
        snapshot.folders << m_root + QLatin1Char('/') + category->id;
        for (const DateFolder& folder : category->dates) {
            snapshot.folders << m_root + QLatin1Char('/') + relativeOf(category->id, folder.date);
            if (folder.publishedCount > 0)
                listed.dates.insert(folder.date, publishedNames(folder));
        }
        snapshot.categories << listed;
    }
    for (auto owners = m_names.cbegin(); owners != m_names.cend(); ++owners) {
        if (std::optional<LibraryPicture> published = picture(owners.key()))
            snapshot.pictures.insert(owners.key(), *published);
    }
    snapshot.problems = problems();
    snapshot.changedMs = changedMs();
    return snapshot;
}

QByteArray LibraryIndex::mimeType(PictureType type)
{
    switch (type) {
    case PictureType::Jpeg:
        return QByteArrayLiteral("image/jpeg");
    case PictureType::Png:
        return QByteArrayLiteral("image/png");
    case PictureType::Gif:
        return QByteArrayLiteral("image/gif");
    case PictureType::Webp:
        return QByteArrayLiteral("image/webp");
    case PictureType::Bmp:
        return QByteArrayLiteral("image/bmp");
    case PictureType::Other:
        break;
    }
    return QByteArrayLiteral("application/octet-stream");
}
