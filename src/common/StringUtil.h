#pragma once

#include <QString>
#include <QStringList>

// Identifier and name conversions.
class StringUtil
{
public:
    // pb_ok -> pbOk; empty parts between underscores add nothing.
    static QString snakeToCamel(const QString &s);
    static QString lowerFirst(const QString &s);
    // The part after the last sep; the whole string when sep does not occur.
    static QString lastSection(const QString &s, const QString &sep);
    static bool equals(const QString &a, const QString &b, bool ignoreCase);
    static QString join(const QStringList &list);
    // 32 lower-case hexadecimal digits.
    static QString uuid();
    // prefix + local "yyyyMMddhhmmsszzz" + six random decimal digits.
    static QString uniqueId(const QString &prefix);
    // Local time of a Unix timestamp, "yyyy-MM-dd hh:mm:ss".
    static QString timeToString(uint seconds);
};
