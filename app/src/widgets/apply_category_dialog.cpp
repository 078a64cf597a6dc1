#include "apply_category_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPolygonF>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const comboStyle = R"(
QComboBox {
    background-color: #2d2d2d;
    color: white;
    border: 1px solid #2196F3;
    border-radius: 5px;
    padding: 8px;
    font-size: 11pt;
}
QComboBox::drop-down {
    border: none;
    width: 24px;
}
QComboBox::down-arrow {
    image: none;
}
QComboBox QAbstractItemView {
    background-color: #2d2d2d;
    color: white;
    selection-background-color: #2196F3;
}
)";

// A combo box whose drop-down arrow is a small white triangle, drawn here
// because style sheets can only draw it from an image file.
class ArrowComboBox : public QComboBox
{
public:
    using QComboBox::QComboBox;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QComboBox::paintEvent(event);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        const QPointF centre(width() - 16.0, height() / 2.0);
        painter.drawPolygon(QPolygonF{{centre.x() - 5.0, centre.y() - 2.5},
                                      {centre.x() + 5.0, centre.y() - 2.5},
                                      {centre.x(), centre.y() + 3.5}});
    }
};

QString actionStyle(const char* normal, const char* hover, const char* pressed)
{
    return QStringLiteral("QPushButton { background-color: %1; color: white; font-weight: bold; font-size: 11pt; "
                          "border: none; border-radius: 5px; padding: 12px; } "
                          "QPushButton:hover { background-color: %2; } "
                          "QPushButton:pressed { background-color: %3; }")
        .arg(QLatin1String(normal), QLatin1String(hover), QLatin1String(pressed));
}

} // namespace

ApplyCategoryDialog::ApplyCategoryDialog(const QString& categoryId, const QString& categoryName,
                                         const QString& thumbnailFilename, bool multiScreenMode, int screenCount,
                                         QWidget* parent)
    : QDialog(parent), m_categoryId(categoryId), m_categoryName(categoryName), m_thumbnailFilename(thumbnailFilename),
      m_multiScreenMode(multiScreenMode)
{
    setWindowTitle(tr("Применить обои"));
    setModal(true);
    setFixedWidth(400);
    setStyleSheet(QStringLiteral("QDialog { background-color: #1e1e1e; }"));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(15);
    layout->setContentsMargins(20, 20, 20, 20);

    auto* heading = new QLabel(tr("Категория: %1").arg(categoryName), this);
    heading->setObjectName(QStringLiteral("categoryHeading"));
    heading->setAlignment(Qt::AlignCenter);
    heading->setWordWrap(true);
    heading->setStyleSheet(
        QStringLiteral("font-size: 14pt; font-weight: bold; color: #2196F3; background: transparent;"));
    layout->addWidget(heading);

    if (m_multiScreenMode && screenCount > 1) {
        auto* target = new QLabel(tr("Целевой экран:"), this);
        target->setStyleSheet(QStringLiteral("color: white; font-size: 11pt; background: transparent;"));
        layout->addWidget(target);
        screenCombo = new ArrowComboBox(this);
        screenCombo->setObjectName(QStringLiteral("screenCombo"));
        screenCombo->setStyleSheet(QLatin1String(comboStyle));
        for (int i = 0; i < screenCount; ++i)
            screenCombo->addItem(tr("Экран %1").arg(i + 1), i);
        screenCombo->setCurrentIndex(0);
        target->setBuddy(screenCombo);
        layout->addWidget(screenCombo);
    }
    layout->addSpacing(10);

    applyThumbnailBtn = new QPushButton(tr("Применить это изображение"), this);
    applyThumbnailBtn->setObjectName(QStringLiteral("applyThumbnailBtn"));
    applyThumbnailBtn->setCursor(Qt::PointingHandCursor);
    applyThumbnailBtn->setStyleSheet(actionStyle("#2196F3", "#1976D2", "#0D47A1"));
    layout->addWidget(applyThumbnailBtn);

    applyRandomBtn = new QPushButton(tr("Применить изображение из этой категории"), this);
    applyRandomBtn->setObjectName(QStringLiteral("applyRandomBtn"));
    applyRandomBtn->setCursor(Qt::PointingHandCursor);
    applyRandomBtn->setStyleSheet(actionStyle("#8b4513", "#6d3410", "#4d240b"));
    layout->addWidget(applyRandomBtn);
    layout->addSpacing(10);

    closeBtn = new QPushButton(tr("Закрыть"), this);
    closeBtn->setObjectName(QStringLiteral("closeBtn"));
    closeBtn->setCursor(Qt::PointingHandCursor);
    closeBtn->setStyleSheet(QStringLiteral("QPushButton { background-color: #555555; color: white; font-size: 10pt; "
                                           "border: none; border-radius: 5px; padding: 10px; } "
                                           "QPushButton:hover { background-color: #666666; } "
                                           "QPushButton:pressed { background-color: #444444; }"));
    layout->addWidget(closeBtn);

    connect(applyThumbnailBtn, &QPushButton::clicked, this, &ApplyCategoryDialog::onApplyThumbnail);
    connect(applyRandomBtn, &QPushButton::clicked, this, &ApplyCategoryDialog::onApplyRandom);
    connect(closeBtn, &QPushButton::clicked, this, &QDialog::reject);
}

int ApplyCategoryDialog::chosenScreen() const
{
    return screenCombo ? screenCombo->currentData().toInt() : 0;
}

void ApplyCategoryDialog::onApplyThumbnail()
{
    Q_EMIT applyThumbnail(chosenScreen());
    accept();
}

void ApplyCategoryDialog::onApplyRandom()
{
    Q_EMIT applyRandomFromCategory(chosenScreen());
    accept();
}
