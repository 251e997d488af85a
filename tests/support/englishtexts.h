#ifndef ENGLISHTEXTS_H
#define ENGLISHTEXTS_H

#include <QSettings>

// Tests compare texts in English whatever the machine's language: choose "en" in the
// user settings (each test has a private HOME) before the first lookup.
inline void useEnglishTexts()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Lumatra"))
        .setValue(QStringLiteral("language"), QStringLiteral("en"));
}

#endif // ENGLISHTEXTS_H
