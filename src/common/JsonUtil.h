#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// Lenient access to the JSON text exchanged with pages and SDKs. Nothing here throws or fails:
// bad input gives an empty container or the caller's default.
class JsonUtil
{
public:
    static QJsonObject str2Json(const QString &text);
    static QJsonArray str2JsonAarry(const QString &text);

    static QString getString(const QJsonObject &obj, const QString &key,
                             const QString &def = QString());
    static bool getBool(const QJsonObject &obj, const QString &key, bool def = false);
    static double getDouble(const QJsonObject &obj, const QString &key, double def = 0.0);
    static QJsonObject getObject(const QJsonObject &obj, const QString &key,
                                 const QJsonObject &def = QJsonObject());
    static QJsonArray getArray(const QJsonObject &obj, const QString &key);

    // A copy without members that are null, undefined or empty strings (top level only).
    static QJsonObject cleanObject(const QJsonObject &obj);
    static QString toCompactString(const QJsonObject &obj);
};
