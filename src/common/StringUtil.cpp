#include "StringUtil.h"

#include "Clock.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QUuid>

QString StringUtil::snakeToCamel(const QString &s)
{
    const QStringList parts = s.split(QLatin1Char('_'));
    QString result = parts.first();
    for (int i = 1; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (part.isEmpty()) {
            continue;
        }
        result += part.at(0).toUpper();
        result += part.midRef(1);
    }
    return result;
}

QString StringUtil::lowerFirst(const QString &s)
{
    if (s.isEmpty()) {
        return s;
    }
    QString result = s;
    result[0] = result.at(0).toLower();
    return result;
}

QString StringUtil::lastSection(const QString &s, const QString &sep)
{
    if (sep.isEmpty()) {
        return s;
    }
    const int pos = s.lastIndexOf(sep);
    return pos < 0 ? s : s.mid(pos + sep.size());
}

bool StringUtil::equals(const QString &a, const QString &b, bool ignoreCase)
{
    return a.compare(b, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

QString StringUtil::join(const QStringList &list)
{
    return list.join(QString());
}

QString StringUtil::uuid()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

QString StringUtil::uniqueId(const QString &prefix)
{
    QString id = prefix + Clock::now().toString(QStringLiteral("yyyyMMddhhmmsszzz"));
    for (int i = 0; i < 6; ++i) {
        id += QChar(QLatin1Char('0' + static_cast<char>(QRandomGenerator::global()->bounded(10))));
    }
    return id;
}

QString StringUtil::timeToString(uint seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}
