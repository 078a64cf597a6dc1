// The categories tab: one tile per category with its thumbnail, its rating
// shown as small stars or a disable mark, and, under the pointer, the rating
// panel and the apply button.

#include "modern_window.h"

#include "category_thumbnails.h"
#include "core/categories_cache.h"
#include "core/service_file_name.h"
#include "utils/path_helper.h"
#include "utils/utils.h"
#include "widgets/hover_filters.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmapCache>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

constexpr int gridColumns = 3;
const QSize thumbnailBox(200, 120);
const QSize tileSize(205, 155);
constexpr int gridSpacing = 15;
constexpr int gridMargin = 10;

// Tiles of the last batch may not be laid out yet: the view would scroll to
// where the tile is not, stopping short at the grid's former end.
void scrollToTile(QScrollArea* area, QWidget* tile)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    area->ensureWidgetVisible(tile, 0, gridMargin);
}
// The tiles in view are built at once; the rest follow a batch at a time
// once they show their pictures, so that a long catalogue never holds the
// window nor delays the first screenful. A batch is small: the window waits
// for its build, painting included.
constexpr int tileBatch = 24;

// The tiles' parts, styled once for the whole tab: a style sheet of their
// own on each of a thousand tiles' children would be parsed and polished
// once per child.
const char* const tilesStyle = R"(
#tileContent, #tileContent QWidget, #categoryName, QLabel[tilePart="mark"] {
    background: transparent;
}
QLabel[tilePart="mark"] {
    color: red;
    font-size: 40px;
    font-weight: bold;
}
#tileContent QLabel[tilePart="star"] {
    color: gray;
    font-size: 10px;
    background: rgba(0,0,0,0.5);
    border-radius: 2px;
}
#tileContent QLabel[tilePart="star"][lit="true"] {
    color: gold;
}
#tileContent QPushButton[tilePart="apply"] {
    background-color: rgba(33, 150, 243, 0.9);
    color: white;
    font-weight: bold;
    font-size: 11pt;
    border: none;
    border-radius: 5px;
}
#tileContent QPushButton[tilePart="apply"]:hover {
    background-color: rgba(25, 118, 210, 0.95);
}
#tileContent QPushButton[tilePart="apply"]:pressed {
    background-color: rgba(13, 71, 161, 1);
}
)";

const QString panelButtonStyle = QStringLiteral("QPushButton { border: none; background: transparent; color: white; } "
                                                "QPushButton:hover { background: rgba(255,255,255,0.2); }");

QPushButton* panelButton(QWidget* panel, const QString& objectName)
{
    auto* button = new QPushButton(panel);
    button->setObjectName(objectName);
    button->setFixedSize(16, 16);
    button->setIconSize(QSize(16, 16));
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(panelButtonStyle);
    return button;
}

// One 12 x 12 star of the compact display.
QLabel* compactStar(QWidget* parent, bool active)
{
    auto* label = new QLabel(parent);
    label->setFixedSize(12, 12);
    label->setAlignment(Qt::AlignCenter);
    // Scaled once, not once per star of a thousand tiles.
    const QString key = active ? QStringLiteral("velmora-compact-star-1") : QStringLiteral("velmora-compact-star-0");
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture =
            QPixmap(getImagePath(active ? QStringLiteral("star_active.png") : QStringLiteral("star_inactive.png")));
        if (!picture.isNull())
            picture = picture.scaled(12, 12, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPixmapCache::insert(key, picture);
    }
    if (!picture.isNull()) {
        label->setPixmap(picture);
    } else {
        // Drawn as text on a dark backdrop (the tab's style sheet), which
        // keeps the small glyphs readable on light thumbnails.
        label->setProperty("tilePart", QStringLiteral("star"));
        label->setProperty("lit", active);
        label->setText(active ? QStringLiteral("★") : QStringLiteral("☆"));
    }
    return label;
}

QString ratingText(int rating)
{
    return rating == -1 ? ModernWindow::tr("Категория отключена") : ModernWindow::tr("Рейтинг: %1 из 3").arg(rating);
}

// A tile as a screen reader reads it: the category's name, and its rating
// as the description and value.
class CategoryTileAccessible : public QAccessibleWidget
{
public:
    explicit CategoryTileAccessible(QWidget* tile) : QAccessibleWidget(tile, QAccessible::ListItem) {}

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name:
            return widget()->property("categoryName").toString();
        case QAccessible::Description:
        case QAccessible::Value:
            return ratingText(shownCategoryRating(widget()->window(), widget()->property("categoryId").toString()));
        default:
            return QAccessibleWidget::text(kind);
        }
    }
};

QAccessibleInterface* categoryTileAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String("QFrame") || !object || !object->isWidgetType() ||
        object->objectName() != QLatin1String("categoryFrame"))
        return nullptr;
    return new CategoryTileAccessible(static_cast<QWidget*>(object));
}

// Hands a tile's keys, focus and the pointer's coming to the window.
class TileKeyFilter : public QObject
{
public:
    TileKeyFilter(QObject* parent, std::function<bool(QEvent*)> handle) : QObject(parent), m_handle(std::move(handle))
    {
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        return (type == QEvent::KeyPress || type == QEvent::FocusIn || type == QEvent::Enter) && m_handle(event);
    }

private:
    std::function<bool(QEvent*)> m_handle;
};

// The tile's compact stars, or the disable mark over the whole tile.
void showCategoryRating(QWidget* compact, const QString& categoryId, int rating)
{
    if (QLayout* layout = compact->layout()) {
        while (QLayoutItem* item = layout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        delete layout;
    }
    QWidget* frame = compact->parentWidget() ? compact->parentWidget()->parentWidget() : nullptr;
    if (frame)
        delete frame->findChild<QWidget*>(QStringLiteral("disableIcon_") + categoryId);

    if (rating == -1) {
        if (!frame)
            return;
        auto* mark = new QLabel(frame);
        mark->setObjectName(QStringLiteral("disableIcon_") + categoryId);
        mark->setProperty("tilePart", QStringLiteral("mark"));
        mark->setGeometry(55, 25, 100, 100);
        mark->setAlignment(Qt::AlignCenter);
        // The pointer's hover belongs to the tile, not to the mark over it.
        mark->setAttribute(Qt::WA_TransparentForMouseEvents);
        const QPixmap picture(getImagePath(QStringLiteral("disable_category.png")));
        if (!picture.isNull())
            mark->setPixmap(picture.scaled(100, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        else
            mark->setText(QStringLiteral("✗"));
        mark->show();
        mark->raise();
        compact->hide();
        return;
    }
    if (rating <= 0)
        return;

    compact->show();
    auto* layout = new QHBoxLayout(compact);
    layout->setContentsMargins(3, 2, 3, 2);
    layout->setSpacing(1);
    for (int n = 1; n <= 3; ++n)
        layout->addWidget(compactStar(compact, n <= rating));
    layout->addStretch();
}

} // namespace

void ModernWindow::setupCategoriesTab()
{
    // Several factories may be installed; this one answers for the tiles only.
    static const bool accessibleTiles = [] {
        QAccessible::installFactory(categoryTileAccessible);
        return true;
    }();
    Q_UNUSED(accessibleTiles);

    auto* page = new QWidget(tabWidget);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    scrollArea = new QScrollArea(page);
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    scrollArea->setWidgetResizable(true);
    categoriesWidget = new QWidget();
    categoriesWidget->setObjectName(QStringLiteral("categoriesWidget"));
    categoriesWidget->setStyleSheet(QLatin1String(tilesStyle));
    categoriesGridLayout = new QGridLayout(categoriesWidget);
    categoriesGridLayout->setSpacing(gridSpacing);
    categoriesGridLayout->setContentsMargins(gridMargin, gridMargin, gridMargin, gridMargin);
    // Tiles keep their size and sit at the top, however few there are.
    categoriesGridLayout->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    scrollArea->setWidget(categoriesWidget);
    layout->addWidget(scrollArea);

    categoryThumbnails = new CategoryThumbnails(
        scrollArea, PathHelper::getThumbnailsCacheDirectory(),
        {gridColumns, gridMargin, tileSize.height() + gridSpacing, thumbnailBox},
        [this](const QString& file) {
            return sendServiceRequest(ServiceApi::thumbnailUrl(environment.serviceOrigin, file),
                                      ServiceReplyKind::Image);
        },
        [this](const QString& file) {
            return sendServiceRequest(ServiceApi::imageUrl(environment.serviceOrigin, file), ServiceReplyKind::Image);
        },
        [](QNetworkReply* reply) { return ServiceApi::succeeded(reply); }, this);
    connect(scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, categoryThumbnails,
            [this] { categoryThumbnails->refreshSoon(); });
    connect(scrollArea->verticalScrollBar(), &QScrollBar::rangeChanged, categoryThumbnails,
            [this] { categoryThumbnails->refreshSoon(); });

    const int tab = tabWidget->addTab(page, QString());
    keepTranslated(page, [this, tab] { tabWidget->setTabText(tab, tr("Категории")); });
}

void ModernWindow::displayCategories(const QJsonArray& categories, bool uncached)
{
    auto list = std::make_shared<QList<ServiceCategory>>();
    list->reserve(categories.size());
    for (const QJsonValue& value : categories) {
        ServiceCategory category = ServiceApi::readCategory(value);
        // Without an id a category can be neither rated nor asked for.
        if (!category.id.isEmpty())
            list->append(std::move(category));
    }
    // The thumbnails in view are asked for before the tiles are built.
    QStringList thumbnails;
    thumbnails.reserve(list->size());
    for (const ServiceCategory& category : std::as_const(*list))
        thumbnails.append(isSafeServiceFileName(category.thumbnail) ? category.thumbnail : QString());
    categoryThumbnails->setCatalogue(thumbnails, uncached);
    createCategoryTiles(std::move(list), 0, categoryTilesGeneration);
}

void ModernWindow::createCategoryTiles(std::shared_ptr<const QList<ServiceCategory>> categories, int from,
                                       quint64 generation)
{
    if (generation != categoryTilesGeneration)
        return;
    // At first the rows in view, whose thumbnails are on their way.
    const int firstBatch = std::max(gridColumns, categoryThumbnails->inView());
    const int end = int(std::min<qsizetype>(categories->size(), from + (from == 0 ? firstBatch : tileBatch)));
    for (int i = from; i < end; ++i) {
        const ServiceCategory& category = categories->at(i);
        createCategoryWidget(category.name, category.id, category.thumbnail, i / gridColumns, i % gridColumns);
    }
    if (end < categories->size()) {
        categoryThumbnails->whenViewSettled([this, categories = std::move(categories), end, generation]() mutable {
            createCategoryTiles(std::move(categories), end, generation);
        });
    }
}

void ModernWindow::clearCategoriesDisplay()
{
    ++categoryTilesGeneration;
    categoryThumbnails->clear();
    while (QLayoutItem* item = categoriesGridLayout->takeAt(0)) {
        // The tile may be on the call stack (its apply dialog runs a nested
        // event loop): it leaves the window now, so that no lookup by name
        // finds it again, and is destroyed once control is back in the loop.
        if (QWidget* tile = item->widget()) {
            tile->hide();
            tile->setParent(nullptr);
            tile->deleteLater();
        }
        delete item;
    }
}

void ModernWindow::createCategoryWidget(const QString& name, const QString& id, const QString& thumbnail, int row,
                                        int col)
{
    auto* frame = new QFrame(categoriesWidget);
    frame->setObjectName(QStringLiteral("categoryFrame"));
    frame->setFixedSize(tileSize);
    frame->setCursor(Qt::PointingHandCursor);
    frame->setProperty("categoryId", id);
    frame->setProperty("categoryName", name);
    // One tile at a time is in the Tab chain; the arrow keys move it.
    frame->setFocusPolicy(row == 0 && col == 0 ? Qt::StrongFocus : Qt::ClickFocus);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    frameLayout->setSpacing(5);

    auto* container = new QWidget(frame);
    container->setObjectName(QStringLiteral("tileContent"));
    container->setFixedSize(165, 90);
    auto* thumbnailLabel = new QLabel(container);
    // Until its picture comes, the tile names it in words.
    keepTranslated(thumbnailLabel, [thumbnailLabel, name] {
        if (thumbnailLabel->pixmap().isNull())
            thumbnailLabel->setText(tr("Миниатюра\n%1").arg(name));
    });
    thumbnailLabel->setObjectName(QStringLiteral("thumbnailLabel"));
    thumbnailLabel->setGeometry(0, 0, 165, 90);
    thumbnailLabel->setAlignment(Qt::AlignCenter);
    thumbnailLabel->setWordWrap(true);

    auto* applyButton = new QPushButton(container);
    keepTranslated(applyButton, [applyButton] { applyButton->setText(tr("Применить")); });
    applyButton->setObjectName(QStringLiteral("applyBtn_") + id);
    applyButton->setProperty("tilePart", QStringLiteral("apply"));
    applyButton->setGeometry(37, 30, 90, 30);
    applyButton->setCursor(Qt::PointingHandCursor);
    applyButton->hide();
    connect(applyButton, &QPushButton::clicked, this,
            [this, id, name, thumbnail] { showApplyCategoryDialog(id, name, thumbnail); });

    createRatingSystem(container, id);

    auto* nameLabel = new QLabel(name, frame);
    nameLabel->setObjectName(QStringLiteral("categoryName"));
    nameLabel->setFixedWidth(165);
    nameLabel->setAlignment(Qt::AlignCenter);
    // On the tile's own colour, not the window's (the tab's style sheet).
    nameLabel->setWordWrap(true);
    frameLayout->addWidget(container, 0, Qt::AlignCenter);
    frameLayout->addWidget(nameLabel, 0, Qt::AlignCenter);

    frame->installEventFilter(new CategoryHoverFilter(frame, id, this));
    // Installed after the hover filter, so it sees the pointer come first.
    frame->installEventFilter(new TileKeyFilter(frame, [this, frame, container, id](QEvent* event) {
        if (event->type() == QEvent::Enter) {
            createRatingPanel(container, id);
            return false;
        }
        if (event->type() == QEvent::FocusIn) {
            scrollToTile(scrollArea, frame);
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        return (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
               handleCategoryTileKey(frame, id, key->key());
    }));
    categoriesGridLayout->addWidget(frame, row, col);
    // The mark goes over the tile's other children, so after them.
    if (auto* compact = container->findChild<QWidget*>(QStringLiteral("currentRating_") + id))
        showCategoryRating(compact, id, categoryRatings.value(id, 1));

    // A name that is no plain file name never becomes a path: the placeholder stays.
    if (thumbnail.isEmpty() || !isSafeServiceFileName(thumbnail))
        return;
    if (categoryThumbnailCache.value(id) != thumbnail) {
        categoryThumbnailCache.insert(id, thumbnail);
        scheduleCategoriesCacheSave();
    }
    categoryThumbnails->attach(row * gridColumns + col, thumbnailLabel);
}

bool ModernWindow::handleCategoryTileKey(QWidget* tile, const QString& categoryId, int key)
{
    const int index = categoriesGridLayout->indexOf(tile);
    const int count = categoriesGridLayout->count();
    int target = -1;
    switch (key) {
    case Qt::Key_Left:
        target = index - 1;
        break;
    case Qt::Key_Right:
        target = index + 1;
        break;
    case Qt::Key_Up:
        target = index - gridColumns;
        break;
    case Qt::Key_Down:
        target = index + gridColumns;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = count - 1;
        break;
    case Qt::Key_1:
    case Qt::Key_2:
    case Qt::Key_3:
        // The same path as a click on the panel's star or disable button.
        setCategoryRating(categoryId, key - Qt::Key_0);
        return true;
    case Qt::Key_0:
    case Qt::Key_Delete:
        setCategoryRating(categoryId, -1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // As with the pointer: a disabled category offers nothing to apply.
        if (shownCategoryRating(this, categoryId) != -1) {
            if (auto* apply = tile->findChild<QPushButton*>(QStringLiteral("applyBtn_") + categoryId))
                apply->click();
        }
        return true;
    default:
        return false;
    }
    // At the grid's edge the focus stays where it is.
    QLayoutItem* item = target >= 0 && target < count ? categoriesGridLayout->itemAt(target) : nullptr;
    if (QWidget* next = item ? item->widget() : nullptr) {
        tile->setFocusPolicy(Qt::ClickFocus);
        next->setFocusPolicy(Qt::StrongFocus);
        // Its focus-in scrolls it into view.
        next->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

void ModernWindow::createRatingSystem(QWidget* parent, const QString& categoryId)
{
    auto* compact = new QWidget(parent);
    compact->setObjectName(QStringLiteral("currentRating_") + categoryId);
    compact->setGeometry(5, 5, 60, 20);
    compact->show();

    const int rating = categoryRatings.value(categoryId, 1);
    categoryRatings.insert(categoryId, rating);
    setProperty(ratingPropertyName(categoryId).constData(), rating);
}

void ModernWindow::createRatingPanel(QWidget* parent, const QString& categoryId)
{
    // Built when the pointer first comes, not for each of a thousand tiles.
    if (parent->findChild<QWidget*>(QStringLiteral("ratingWidget_") + categoryId, Qt::FindDirectChildrenOnly))
        return;
    auto* panel = new QWidget(parent);
    panel->setObjectName(QStringLiteral("ratingWidget_") + categoryId);
    panel->setGeometry(5, 5, 80, 20);
    panel->setStyleSheet(QStringLiteral("background: rgba(0,0,0,0.8); border-radius: 3px;"));
    panel->hide();
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(2, 2, 2, 2);
    panelLayout->setSpacing(2);

    QPushButton* disable = panelButton(panel, QStringLiteral("disable_") + categoryId);
    const QPixmap disablePicture(getImagePath(QStringLiteral("disable_category.png")));
    if (!disablePicture.isNull())
        disable->setIcon(QIcon(disablePicture));
    else
        disable->setText(QStringLiteral("X"));
    connect(disable, &QPushButton::clicked, this, [this, categoryId] { setCategoryRating(categoryId, -1); });
    disable->installEventFilter(new DisableHoverFilter(disable, categoryId, this));
    panelLayout->addWidget(disable);

    const QPixmap inactive(getImagePath(QStringLiteral("star_inactive.png")));
    for (int n = 1; n <= 3; ++n) {
        QPushButton* star = panelButton(panel, QStringLiteral("star_%1_%2").arg(categoryId).arg(n));
        if (!inactive.isNull())
            star->setIcon(QIcon(inactive));
        else
            star->setText(QStringLiteral("★"));
        connect(star, &QPushButton::clicked, this, [this, categoryId, n] { setCategoryRating(categoryId, n); });
        star->installEventFilter(new StarHoverFilter(star, categoryId, n, this));
        panelLayout->addWidget(star);
    }
}

void ModernWindow::updateCategoryRatingDisplay(const QString& categoryId, int rating)
{
    auto* compact = findChild<QWidget*>(QStringLiteral("currentRating_") + categoryId);
    if (!compact)
        return;
    showCategoryRating(compact, categoryId, rating);
    if (QWidget* frame = compact->parentWidget() ? compact->parentWidget()->parentWidget() : nullptr) {
        QAccessibleEvent changed(frame, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
    }
}
