#include "AppSettings.h"
#include "LangUtil.h"

#include "LogCapture.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

// Named like a dialog so that its class name is a section of the tables.
class DeviceTestDlg : public QObject
{
    Q_OBJECT
};

namespace {
QByteArray resource(const QString &code)
{
    QFile f(QStringLiteral(":/lang/%1.json").arg(code));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QSet<QString> placeholders(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("%(\\d+)"));
    QSet<QString> found;
    auto it = pattern.globalMatch(text);
    while (it.hasNext()) {
        found.insert(it.next().captured(0));
    }
    return found;
}

// Section and key names in file order (QJsonObject sorts them).
QList<QPair<QString, QStringList>> fileOrder(const QByteArray &json)
{
    QList<QPair<QString, QStringList>> sections;
    static const QRegularExpression line(QStringLiteral("^(\\s*)\"((?:[^\"\\\\]|\\\\.)*)\"\\s*:"));
    for (const QByteArray &raw : json.split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromUtf8(raw));
        if (!m.hasMatch()) {
            continue;
        }
        if (m.captured(1).size() <= 2) {
            sections.append({m.captured(2), {}});
        } else if (!sections.isEmpty()) {
            sections.last().second.append(m.captured(2));
        }
    }
    return sections;
}
} // namespace

class TestLangUtil : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        AppSettings::setValue(QStringLiteral("lang/current"), QString());
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    }

    void localeMapping_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("code");
        QTest::newRow("zh_CN") << "zh_CN"
                               << "zh-CN";
        QTest::newRow("zh_TW") << "zh_TW"
                               << "zh-TW";
        QTest::newRow("zh_HK") << "zh_HK"
                               << "zh-TW";
        QTest::newRow("zh_MO") << "zh_MO"
                               << "zh-TW";
        QTest::newRow("zh_SG") << "zh_SG"
                               << "zh-CN";
        QTest::newRow("zh") << "zh"
                            << "zh-CN";
        QTest::newRow("zh-Hant-TW") << "zh-Hant-TW"
                                    << "zh-TW";
        QTest::newRow("pt_BR") << "pt_BR"
                               << "pt";
        QTest::newRow("en-US") << "en-US"
                               << "en";
        QTest::newRow("de_DE") << "de_DE"
                               << "en";
        QTest::newRow("AR_EG") << "AR_EG"
                               << "ar";
        QTest::newRow("empty") << ""
                               << "en";
        for (const QString &code : LangUtil::languages()) {
            if (!code.startsWith(QLatin1String("zh"))) {
                QTest::newRow(qPrintable(code)) << code << code;
            }
        }
    }

    void localeMapping()
    {
        QFETCH(QString, locale);
        QFETCH(QString, code);
        QCOMPARE(LangUtil::langFromLocale(locale), code);
    }

    void currentLangFollowsStoreThenLocale()
    {
        QLocale::setDefault(QLocale(QStringLiteral("zh_HK")));
        QCOMPARE(LangUtil::currentLang(), QStringLiteral("zh-TW"));
        LangUtil::setCurrentLang(QStringLiteral("ko"));
        QCOMPARE(AppSettings::value(QStringLiteral("lang/current")).toString(),
                 QStringLiteral("ko"));
        QCOMPARE(LangUtil::currentLang(), QStringLiteral("ko"));
        // A code the client has no table for is not stored; one stored by hand (or by an older
        // build) counts as none.
        QVERIFY(!LangUtil::setCurrentLang(QStringLiteral("de")));
        QVERIFY(!LangUtil::setCurrentLang(QStringLiteral("../../en")));
        QCOMPARE(AppSettings::value(QStringLiteral("lang/current")).toString(),
                 QStringLiteral("ko"));
        AppSettings::setValue(QStringLiteral("lang/current"), QStringLiteral("de"));
        QCOMPARE(LangUtil::currentLang(), QStringLiteral("zh-TW"));
    }

    void lookupInEnglish()
    {
        LangUtil::setCurrentLang(QStringLiteral("en"));
        QCOMPARE(LangUtil::tr(QStringLiteral("DeviceTestDlg"), QStringLiteral("pb_enter_room")),
                 QStringLiteral("Join room"));
        QCOMPARE(LangUtil::tr(QStringLiteral("DeviceTestDlg"), QStringLiteral("PbEnterRoom")),
                 QStringLiteral("Join room"));
        // The key's first letter is lowered, so this one is never found.
        QCOMPARE(
            LangUtil::tr(QStringLiteral("Common"), QStringLiteral("WinControl::SysCloseToolTip")),
            QString());
        QCOMPARE(LangUtil::trCommon(QStringLiteral("ok")), QStringLiteral("OK"));
        QCOMPARE(LangUtil::tr(QStringLiteral("ErrorCode"), QStringLiteral("-1316")),
                 QStringLiteral("Camera is being used"));
        DeviceTestDlg dlg;
        QCOMPARE(LangUtil::trClass(&dlg, QStringLiteral("pb_enter_room")),
                 QStringLiteral("Join room"));
        QCOMPARE(LangUtil::trClass(nullptr, QStringLiteral("pb_enter_room")), QString());

        LogCapture capture;
        QCOMPARE(LangUtil::tr(QStringLiteral("NoSuchSection"), QStringLiteral("ok")), QString());
        QCOMPARE(LangUtil::trCommon(QStringLiteral("noSuchKey")), QString());
        QCOMPARE(capture.messages().size(), 0);
    }

    void languageChangeTakesEffectAtOnce()
    {
        LangUtil::setCurrentLang(QStringLiteral("en"));
        const QString english = LangUtil::trCommon(QStringLiteral("cancel"));
        LangUtil::setCurrentLang(QStringLiteral("ja"));
        const QJsonObject ja = QJsonDocument::fromJson(resource(QStringLiteral("ja"))).object();
        const QString japanese = ja.value(QStringLiteral("Common"))
                                     .toObject()
                                     .value(QStringLiteral("cancel"))
                                     .toString();
        QVERIFY(!japanese.isEmpty());
        QVERIFY(japanese != english);
        QCOMPARE(LangUtil::trCommon(QStringLiteral("cancel")), japanese);
    }

    void unknownStoredLanguageTakesTheLocale()
    {
        QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
        AppSettings::setValue(QStringLiteral("lang/current"), QStringLiteral("de"));
        LogCapture capture;
        QCOMPARE(LangUtil::trCommon(QStringLiteral("ok")), QStringLiteral("OK"));
        QCOMPARE(LangUtil::trCommon(QStringLiteral("cancel")), QStringLiteral("Cancel"));
        QCOMPARE(capture.messages(), QStringList());
    }

    void tablesAgreeWithEnglish()
    {
        const QByteArray englishBytes = resource(QStringLiteral("en"));
        QVERIFY(!englishBytes.isEmpty());
        const auto englishOrder = fileOrder(englishBytes);
        const QStringList sections{"Common",           "NewVersionDlg", "DeviceTestDlg",
                                   "CameraRenderMask", "TrtcError",     "ErrorCode",
                                   "LiveDlg",          "DeviceCheck",   "macOS"};
        const QList<int> counts{43, 1, 18, 18, 2, 34, 2, 38, 3};
        QCOMPARE(englishOrder.size(), sections.size());
        for (int i = 0; i < sections.size(); ++i) {
            QCOMPARE(englishOrder.at(i).first, sections.at(i));
            QCOMPARE(englishOrder.at(i).second.size(), counts.at(i));
        }
        const QJsonObject english = QJsonDocument::fromJson(englishBytes).object();
        const QByteArray bom("\xEF\xBB\xBF");
        for (const QString &code : LangUtil::languages()) {
            const QByteArray bytes = resource(code);
            const bool wantsBom = code == QLatin1String("en") || code == QLatin1String("zh-CN") ||
                                  code == QLatin1String("zh-TW");
            QVERIFY2(bytes.startsWith(bom) == wantsBom, qPrintable(code));
            QJsonParseError error;
            const QJsonObject table = QJsonDocument::fromJson(bytes, &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(code));
            QVERIFY2(fileOrder(bytes) == englishOrder, qPrintable(code));
            for (const QString &section : sections) {
                const QJsonObject en = english.value(section).toObject();
                const QJsonObject other = table.value(section).toObject();
                for (auto it = en.constBegin(); it != en.constEnd(); ++it) {
                    const QJsonValue text = other.value(it.key());
                    const QString where =
                        code + QLatin1Char(' ') + section + QLatin1Char('/') + it.key();
                    QVERIFY2(text.isString() && !text.toString().trimmed().isEmpty(),
                             qPrintable(where));
                    QVERIFY2(placeholders(text.toString()) == placeholders(it.value().toString()),
                             qPrintable(where));
                }
            }
        }
    }
};

QTEST_MAIN(TestLangUtil)
#include "tst_langutil.moc"
