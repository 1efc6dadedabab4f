#pragma once

#include <QString>

class QObject;

// Texts of the native windows in the user's language, from the embedded language tables.
class LangUtil
{
public:
    // The stored language code, or the one derived from the system locale when none (or none
    // of languages()) is stored.
    static QString currentLang();
    // Stores one of languages(); any other code stores nothing and gives false.
    static bool setCurrentLang(const QString &code);
    static QString langFromLocale(const QString &localeName);

    // Section and key are given in the widgets' own spelling (pb_enter_room) and looked up in the
    // tables' (pbEnterRoom). A missing text is an empty string; there is no fallback language.
    static QString tr(const QString &section, const QString &key);
    // Section and key exactly as the tables spell them, for keys no widget name converts to
    // ("CameraMenu::OriginalVideo").
    static QString trExact(const QString &section, const QString &key);
    static QString trCommon(const QString &key);
    static QString trClass(const QObject *object, const QString &key);

    // The twelve built-in codes, in table order.
    static const QStringList &languages();
};
