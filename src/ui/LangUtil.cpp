#include "LangUtil.h"

#include "AppSettings.h"
#include "StringUtil.h"
#include "UiResources.h"

#include <QDebug>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMetaObject>
#include <QMutex>
#include <QObject>

namespace {
const QString langKey = QStringLiteral("lang/current");

// The tables are immutable resources, so each is parsed once; the language itself is read from
// the settings at every lookup, which keeps a change effective at once.
struct ParsedTable
{
    bool isObject = false;
    QJsonObject root;
};

bool loadTable(const QString &code, ParsedTable *table)
{
    static QMutex mutex;
    static QHash<QString, ParsedTable> cache;
    QMutexLocker locker(&mutex);
    const auto cached = cache.constFind(code);
    if (cached != cache.constEnd()) {
        *table = cached.value();
        return true;
    }
    UiResources::ensureLoaded();
    QFile file(QStringLiteral(":/lang/%1.json").arg(code));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    ParsedTable parsed;
    parsed.isObject = doc.isObject();
    parsed.root = doc.object();
    cache.insert(code, parsed);
    *table = parsed;
    return true;
}
} // namespace

const QStringList &LangUtil::languages()
{
    static const QStringList codes{
        QStringLiteral("zh-CN"), QStringLiteral("zh-TW"), QStringLiteral("en"),
        QStringLiteral("es"),    QStringLiteral("ja"),    QStringLiteral("ko"),
        QStringLiteral("vi"),    QStringLiteral("ar"),    QStringLiteral("fr"),
        QStringLiteral("id"),    QStringLiteral("ru"),    QStringLiteral("pt")};
    return codes;
}

QString LangUtil::currentLang()
{
    // A stored code the client has no table for counts as none stored.
    const QString stored = AppSettings::value(langKey).toString();
    if (languages().contains(stored)) {
        return stored;
    }
    return langFromLocale(QLocale().name());
}

bool LangUtil::setCurrentLang(const QString &code)
{
    if (!languages().contains(code)) {
        qWarning() << "LangUtil::setCurrentLang: unknown language, ignored:" << code.left(64)
                   << "length" << code.size();
        return false;
    }
    AppSettings::setValue(langKey, code);
    return true;
}

QString LangUtil::langFromLocale(const QString &localeName)
{
    const QString name = localeName.toLower().replace(QLatin1Char('-'), QLatin1Char('_'));
    const QString language = name.section(QLatin1Char('_'), 0, 0);
    if (language == QLatin1String("zh")) {
        const QString region = name.section(QLatin1Char('_'), -1).toUpper();
        if (region == QLatin1String("TW") || region == QLatin1String("HK") ||
            region == QLatin1String("MO")) {
            return QStringLiteral("zh-TW");
        }
        return QStringLiteral("zh-CN");
    }
    static const QStringList sameCode{
        QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("ja"), QStringLiteral("ko"),
        QStringLiteral("vi"), QStringLiteral("ar"), QStringLiteral("fr"), QStringLiteral("id"),
        QStringLiteral("ru"), QStringLiteral("pt")};
    return sameCode.contains(language) ? language : QStringLiteral("en");
}

QString LangUtil::tr(const QString &section, const QString &key)
{
    const QString code = currentLang();
    ParsedTable table;
    if (!loadTable(code, &table)) {
        qDebug() << "lang file open error";
        return QString();
    }
    const QString sectionName = StringUtil::snakeToCamel(section);
    const QString keyName = StringUtil::lowerFirst(StringUtil::snakeToCamel(key));
    if (!table.isObject) {
        qDebug() << "lang file is not json!";
        return QString();
    }
    const QJsonValue sectionValue = table.root.value(sectionName);
    if (!sectionValue.isObject()) {
        return QString();
    }
    return sectionValue.toObject().value(keyName).toString();
}

QString LangUtil::trExact(const QString &section, const QString &key)
{
    ParsedTable table;
    if (!loadTable(currentLang(), &table) || !table.isObject) {
        return QString();
    }
    return table.root.value(section).toObject().value(key).toString();
}

QString LangUtil::trCommon(const QString &key)
{
    return tr(QStringLiteral("Common"), key);
}

QString LangUtil::trClass(const QObject *object, const QString &key)
{
    if (!object) {
        return QString();
    }
    return tr(QString::fromLatin1(object->metaObject()->className()), key);
}
