#include "JsonUtil.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>

QJsonObject JsonUtil::str2Json(const QString &text)
{
    if (text.isEmpty()) {
        return QJsonObject();
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError) {
        qDebug() << "JsonUtil::str2Json" << __LINE__ << text << "Error!!!";
        return QJsonObject();
    }
    if (!doc.isObject()) {
        qDebug() << "JsonUtil::str2Json" << __LINE__ << text << "doc is not Object";
        return QJsonObject();
    }
    return doc.object();
}

QJsonArray JsonUtil::str2JsonAarry(const QString &text)
{
    if (text.isEmpty()) {
        return QJsonArray();
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError) {
        qDebug() << "JsonUtil::str2JsonAarry" << __LINE__ << "Error!!!";
        return QJsonArray();
    }
    if (!doc.isArray()) {
        qDebug() << "JsonUtil::str2JsonAarry" << __LINE__ << "doc is not Array";
        return QJsonArray();
    }
    return doc.array();
}

QString JsonUtil::getString(const QJsonObject &obj, const QString &key, const QString &def)
{
    const QJsonValue value = obj.value(key);
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 6);
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return def;
    }
}

bool JsonUtil::getBool(const QJsonObject &obj, const QString &key, bool def)
{
    const QJsonValue value = obj.value(key);
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::Double:
        // NaN compares unequal to 0 and so counts as true.
        return value.toDouble() != 0.0;
    case QJsonValue::String: {
        const QString text = value.toString().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1")) {
            return true;
        }
        if (text == QLatin1String("false") || text == QLatin1String("0")) {
            return false;
        }
        return def;
    }
    default:
        return def;
    }
}

double JsonUtil::getDouble(const QJsonObject &obj, const QString &key, double def)
{
    const QJsonValue value = obj.value(key);
    if (value.isDouble()) {
        return value.toDouble();
    }
    if (value.isString()) {
        bool ok = false;
        const double number = value.toString().toDouble(&ok);
        return ok ? number : def;
    }
    return def;
}

QJsonObject JsonUtil::getObject(const QJsonObject &obj, const QString &key, const QJsonObject &def)
{
    const QJsonValue value = obj.value(key);
    return value.isObject() ? value.toObject() : def;
}

QJsonArray JsonUtil::getArray(const QJsonObject &obj, const QString &key)
{
    const QJsonValue value = obj.value(key);
    return value.isArray() ? value.toArray() : QJsonArray();
}

QJsonObject JsonUtil::cleanObject(const QJsonObject &obj)
{
    QJsonObject cleaned;
    for (auto it = obj.constBegin(); it != obj.constEnd(); ++it) {
        const QJsonValue value = it.value();
        if (value.isNull() || value.isUndefined() ||
            (value.isString() && value.toString().isEmpty())) {
            continue;
        }
        cleaned.insert(it.key(), value);
    }
    return cleaned;
}

QString JsonUtil::toCompactString(const QJsonObject &obj)
{
    return QString::fromUtf8(QJsonDocument(cleanObject(obj)).toJson(QJsonDocument::Compact));
}
