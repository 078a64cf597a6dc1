// The categories tab: one tile per category with its thumbnail, its rating
// shown as small stars or a disable mark, and, under the pointer, the rating
// panel and the apply button.

#include "modern_window.h"

#include "core/categories_cache.h"
#include "core/service_file_name.h"
#include "utils/path_helper.h"
#include "utils/utils.h"
#include "widgets/hover_filters.h"

#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QJsonObject>
#include <QLabel>
#include <QNetworkReply>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int gridColumns = 3;
const QSize thumbnailBox(200, 120);

const char* const applyButtonStyle = R"(
QPushButton {
    background-color: rgba(33, 150, 243, 0.9);
    color: white;
    font-weight: bold;
    font-size: 11pt;
    border: none;
    border-radius: 5px;
}
QPushButton:hover {
    background-color: rgba(25, 118, 210, 0.95);
}
QPushButton:pressed {
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
    const QPixmap picture(
        getImagePath(active ? QStringLiteral("star_active.png") : QStringLiteral("star_inactive.png")));
    if (!picture.isNull()) {
        label->setPixmap(picture.scaled(12, 12, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    } else {
        label->setText(active ? QStringLiteral("★") : QStringLiteral("☆"));
        // A dark backdrop keeps the small glyphs readable on light thumbnails.
        label->setStyleSheet((active ? QStringLiteral("color: gold; font-size: 10px;")
                                     : QStringLiteral("color: gray; font-size: 10px;")) +
                             QStringLiteral(" background: rgba(0,0,0,0.5); border-radius: 2px;"));
    }
    return label;
}

// Reads an image from the thumbnails folder: a plain file, never a link.
bool loadCachedThumbnail(const QString& path, QPixmap& picture)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink() && picture.load(path);
}

} // namespace

void ModernWindow::setupCategoriesTab()
{
    auto* page = new QWidget(tabWidget);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    scrollArea = new QScrollArea(page);
    scrollArea->setObjectName(QStringLiteral("scrollArea"));
    scrollArea->setWidgetResizable(true);
    categoriesWidget = new QWidget();
    categoriesWidget->setObjectName(QStringLiteral("categoriesWidget"));
    categoriesGridLayout = new QGridLayout(categoriesWidget);
    categoriesGridLayout->setSpacing(15);
    categoriesGridLayout->setContentsMargins(10, 10, 10, 10);
    // Tiles keep their size and sit at the top, however few there are.
    categoriesGridLayout->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    scrollArea->setWidget(categoriesWidget);
    layout->addWidget(scrollArea);

    const int tab = tabWidget->addTab(page, QString());
    keepTranslated(page, [this, tab] { tabWidget->setTabText(tab, tr("Категории")); });
}

void ModernWindow::displayCategories(const QJsonArray& categories)
{
    int row = 0;
    int col = 0;
    for (const QJsonValue& value : categories) {
        const ServiceCategory category = ServiceApi::readCategory(value);
        // Without an id a category can be neither rated nor asked for.
        if (category.id.isEmpty())
            continue;
        createCategoryWidget(category.name, category.id, category.thumbnail, row, col);
        if (++col == gridColumns) {
            col = 0;
            ++row;
        }
    }
}

void ModernWindow::clearCategoriesDisplay()
{
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
    frame->setFixedSize(205, 155);
    frame->setCursor(Qt::PointingHandCursor);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    frameLayout->setSpacing(5);

    auto* container = new QWidget(frame);
    container->setFixedSize(165, 90);
    container->setStyleSheet(QStringLiteral("background: transparent;"));
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
    applyButton->setGeometry(37, 30, 90, 30);
    applyButton->setCursor(Qt::PointingHandCursor);
    applyButton->setStyleSheet(QLatin1String(applyButtonStyle));
    applyButton->hide();
    connect(applyButton, &QPushButton::clicked, this,
            [this, id, name, thumbnail] { showApplyCategoryDialog(id, name, thumbnail); });

    createRatingSystem(container, id);

    auto* nameLabel = new QLabel(name, frame);
    nameLabel->setObjectName(QStringLiteral("categoryName"));
    nameLabel->setFixedWidth(165);
    nameLabel->setAlignment(Qt::AlignCenter);
    nameLabel->setWordWrap(true);
    // On the tile's own colour, not the window's.
    nameLabel->setStyleSheet(QStringLiteral("background: transparent;"));
    frameLayout->addWidget(container, 0, Qt::AlignCenter);
    frameLayout->addWidget(nameLabel, 0, Qt::AlignCenter);

    frame->installEventFilter(new CategoryHoverFilter(frame, id, this));
    categoriesGridLayout->addWidget(frame, row, col);

    // A name that is no plain file name never becomes a path: the placeholder stays.
    if (thumbnail.isEmpty() || !isSafeServiceFileName(thumbnail))
        return;
    categoryThumbnailCache.insert(id, thumbnail);
    scheduleCategoriesCacheSave();
    loadThumbnailImage(thumbnail, thumbnailLabel);
}

void ModernWindow::createRatingSystem(QWidget* parent, const QString& categoryId)
{
    auto* compact = new QWidget(parent);
    compact->setObjectName(QStringLiteral("currentRating_") + categoryId);
    compact->setGeometry(5, 5, 60, 20);
    compact->setStyleSheet(QStringLiteral("background: transparent;"));
    compact->show();

    const int rating = categoryRatings.value(categoryId, 1);
    categoryRatings.insert(categoryId, rating);
    setProperty(ratingPropertyName(categoryId).constData(), rating);
    // The disable mark goes on the tile frame, which the container joins only
    // after this returns.
    QTimer::singleShot(
        0, this, [this, categoryId] { updateCategoryRatingDisplay(categoryId, categoryRatings.value(categoryId, 1)); });

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
        mark->setGeometry(55, 25, 100, 100);
        mark->setAlignment(Qt::AlignCenter);
        // The pointer's hover belongs to the tile, not to the mark over it.
        mark->setAttribute(Qt::WA_TransparentForMouseEvents);
        const QPixmap picture(getImagePath(QStringLiteral("disable_category.png")));
        if (!picture.isNull()) {
            mark->setPixmap(picture.scaled(100, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            mark->setStyleSheet(QStringLiteral("background: transparent;"));
        } else {
            mark->setText(QStringLiteral("✗"));
            mark->setStyleSheet(
                QStringLiteral("color: red; font-size: 40px; font-weight: bold; background: transparent;"));
        }
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

void ModernWindow::showThumbnail(QLabel* thumbnailLabel, const QPixmap& picture)
{
    thumbnailLabel->setPixmap(picture.scaled(thumbnailBox, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void ModernWindow::loadThumbnailImage(const QString& filename, QLabel* thumbnailLabel)
{
    if (!isSafeServiceFileName(filename))
        return;
    const QString path = PathHelper::getThumbnailsCacheDirectory() + QLatin1Char('/') + filename;
    QPixmap cached;
    if (loadCachedThumbnail(path, cached)) {
        showThumbnail(thumbnailLabel, cached);
        return;
    }

    // The tile may be rebuilt before the reply comes; its label then goes with it.
    const QPointer<QLabel> label(thumbnailLabel);
    QNetworkReply* reply =
        sendServiceRequest(ServiceApi::thumbnailUrl(environment.serviceOrigin, filename), ServiceReplyKind::Image);
    connect(reply, &QNetworkReply::finished, this, [this, reply, filename, label, path] {
        reply->deleteLater();
        if (!ServiceApi::succeeded(reply)) {
            loadThumbnailImageFallback(filename, label, path);
            return;
        }
        QImage image;
        if (!image.loadFromData(reply->readAll()))
            return;
        saveImageFile(image, path, ImageFileWrite::Plain);
        if (label)
            showThumbnail(label, QPixmap::fromImage(image));
        cleanupThumbnailCache();
    });
}

void ModernWindow::loadThumbnailImageFallback(const QString& filename, QLabel* thumbnailLabel,
                                              const QString& cachedThumbnailPath)
{
    const QPointer<QLabel> label(thumbnailLabel);
    QNetworkReply* reply =
        sendServiceRequest(ServiceApi::imageUrl(environment.serviceOrigin, filename), ServiceReplyKind::Image);
    connect(reply, &QNetworkReply::finished, this, [this, reply, label, cachedThumbnailPath] {
        reply->deleteLater();
        QImage image;
        if (!ServiceApi::succeeded(reply) || !image.loadFromData(reply->readAll()))
            return;
        saveImageFile(image, cachedThumbnailPath, ImageFileWrite::Plain);
        if (label)
            showThumbnail(label, QPixmap::fromImage(image));
        cleanupThumbnailCache();
    });
}
