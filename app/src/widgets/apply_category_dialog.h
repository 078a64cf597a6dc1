#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QPushButton;

// Asks how to put a wallpaper of one category on the desktop at once: its
// preview picture or a random picture of it, and, with several screens in
// multi-screen mode, on which screen.
class ApplyCategoryDialog : public QDialog
{
    Q_OBJECT

public:
    // The screen choice exists only when multiScreenMode is on and screenCount > 1.
    ApplyCategoryDialog(const QString& categoryId, const QString& categoryName, const QString& thumbnailFilename,
                        bool multiScreenMode, int screenCount, QWidget* parent = nullptr);

Q_SIGNALS:
    void applyThumbnail(int screenIndex);
    void applyRandomFromCategory(int screenIndex);

private Q_SLOTS:
    void onApplyThumbnail();
    void onApplyRandom();

private:
    int chosenScreen() const;

    QString m_categoryId;
    QString m_categoryName;
    QString m_thumbnailFilename;
    bool m_multiScreenMode;
    QComboBox* screenCombo = nullptr;
    QPushButton* applyThumbnailBtn = nullptr;
    QPushButton* applyRandomBtn = nullptr;
    QPushButton* closeBtn = nullptr;
};
