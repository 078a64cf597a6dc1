#pragma once

#include <QLocale>
#include <QString>

// The language of the shown texts. The texts in the sources are the program's
// own (interface in Russian, status lines in French): "as designed" shows them
// with no catalogue at all; the others load velmora_<code>.qm. Only what is
// shown is translated: words written to disk never go through a catalogue.
enum class Language { AsDesigned, English, French, Russian, System };

namespace LanguageSetting {
// The stored word of each language (settings value), and back; an unknown word
// is AsDesigned, so a damaged value never hides the texts.
QString wordOf(Language language);
Language fromWord(const QString& word);
// The setting as stored, read afresh.
Language stored();
void store(Language language);
} // namespace LanguageSetting

// The folder holding the .qm catalogues: beside the executable
// (<appdir>/translations), in the installed data folder, or the build tree's.
QString translationsFolder();

// Replaces the program's catalogue with that of the language (none for
// AsDesigned) and sets the default locale used for numbers and times. Installs
// into the running application, which sends LanguageChange to every widget.
// Returns the catalogue's language code ("en", "fr", "ru"), empty for none.
QString applyLanguage(Language language);
