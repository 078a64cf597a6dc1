#include "language.h"

#include "core/settings_file.h"
#include "core/settings_keys.h"
#include "utils/settings_store.h"

#include "build_config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QTranslator>

#include <array>
#include <memory>
#include <utility>

namespace {

constexpr std::array<std::pair<Language, QLatin1StringView>, 5> kWords{{
    {Language::AsDesigned, QLatin1StringView("asDesigned")},
    {Language::English, QLatin1StringView("en")},
    {Language::French, QLatin1StringView("fr")},
    {Language::Russian, QLatin1StringView("ru")},
    {Language::System, QLatin1StringView("system")},
}};

std::unique_ptr<QTranslator>& installedTranslator()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

bool hasCatalogue(const QString& folder, const QString& code)
{
    return QFileInfo::exists(folder + QStringLiteral("/velmora_") + code + QStringLiteral(".qm"));
}

} // namespace

QString LanguageSetting::wordOf(Language language)
{
    for (const auto& [value, word] : kWords)
        if (value == language)
            return word;
    return QStringLiteral("asDesigned");
}

Language LanguageSetting::fromWord(const QString& word)
{
    for (const auto& [value, known] : kWords)
        if (word == known)
            return value;
    return Language::AsDesigned;
}

Language LanguageSetting::stored()
{
    // Read before the window's own settings load, so a settings file that is no settings text (a FIFO would block
    // the settings library forever) is set aside here first.
    const QString setAside = SettingsFile::setAsideIfDamaged(SettingsFile::userSettingsPath());
    if (!setAside.isEmpty())
        qDebug() << "[INIT] Paramètres illisibles mis de côté:" << setAside;
    return fromWord(openSettings().value(SettingsKeys::Language).toString());
}

void LanguageSetting::store(Language language)
{
    QSettings settings = openSettings();
    settings.setValue(SettingsKeys::Language, wordOf(language));
}

QString translationsFolder()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString candidates[] = {
        appDir + QStringLiteral("/translations"),
        QDir::cleanPath(appDir + QLatin1Char('/') + QLatin1String(velmora::build::dataDirFromBinary)) +
            QStringLiteral("/translations"),
        QString::fromUtf8(velmora::build::translationsBuildDir),
    };
    for (const QString& folder : candidates)
        if (!folder.isEmpty() && hasCatalogue(folder, QStringLiteral("en")))
            return folder;
    return candidates[0];
}

QString applyLanguage(Language language)
{
    QString code;
    const QString folder = translationsFolder();
    switch (language) {
    case Language::AsDesigned:
        break;
    case Language::English:
        code = QStringLiteral("en");
        break;
    case Language::French:
        code = QStringLiteral("fr");
        break;
    case Language::Russian:
        code = QStringLiteral("ru");
        break;
    case Language::System:
        // The first of the system's languages that has a catalogue, else English.
        code = QStringLiteral("en");
        for (const QString& name : QLocale::system().uiLanguages()) {
            const QString candidate = QLocale(name).name().section(QLatin1Char('_'), 0, 0);
            if (hasCatalogue(folder, candidate)) {
                code = candidate;
                break;
            }
        }
        break;
    }

    std::unique_ptr<QTranslator>& current = installedTranslator();
    if (current) {
        QCoreApplication::removeTranslator(current.get());
        current.reset();
    }
    if (code.isEmpty()) {
        // Removing the catalogue has announced the change (LanguageChange).
        QLocale::setDefault(QLocale::system());
        return code;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("velmora_") + code, folder)) {
        qWarning("Catalogue introuvable: %s/velmora_%s.qm", qPrintable(folder), qPrintable(code));
        QLocale::setDefault(QLocale::system());
        return {};
    }
    QLocale::setDefault(QLocale(code));
    QCoreApplication::installTranslator(translator.get());
    current = std::move(translator);
    return code;
}
