#include "Clock.h"
#include "JsonUtil.h"
#include "PathUtil.h"
#include "ScreenUtil.h"
#include "StringUtil.h"

#include "LogCapture.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>


namespace {
qint64 g_fixedNow = 0;
qint64 fixedNow()
{
    return g_fixedNow;
}
} // namespace

class TestUtils : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Clock::setSource(nullptr); }

    void str2JsonParsesAndLogsFailures()
    {
        LogCapture capture;
        QCOMPARE(JsonUtil::str2Json(QString()), QJsonObject());
        QCOMPARE(capture.messages().size(), 0);

        const QJsonObject obj = JsonUtil::str2Json(QStringLiteral("{\"a\":1,\"b\":\"中文\"}"));
        QCOMPARE(obj.value(QStringLiteral("a")).toInt(), 1);
        QCOMPARE(obj.value(QStringLiteral("b")).toString(), QStringLiteral("中文"));

        QCOMPARE(JsonUtil::str2Json(QStringLiteral("[1,2]")), QJsonObject());
        QVERIFY(capture.contains(QStringLiteral("doc is not Object")));
        QVERIFY(capture.messages().last().startsWith(QStringLiteral("JsonUtil::str2Json ")));
        QVERIFY(capture.messages().last().contains(QStringLiteral("\"[1,2]\"")));

        capture.clear();
        QCOMPARE(JsonUtil::str2Json(QStringLiteral("{\"a\":")), QJsonObject());
        QCOMPARE(capture.messages().size(), 1);
        QVERIFY(capture.messages().first().endsWith(QStringLiteral("Error!!!")));
        // The line number of the logging statement is the second item.
        const QStringList items = capture.messages().first().split(QLatin1Char(' '));
        bool isNumber = false;
        QVERIFY(items.value(1).toInt(&isNumber) > 0 && isNumber);
    }

    void str2JsonAarryParsesAndLogsWithoutText()
    {
        LogCapture capture;
        QCOMPARE(JsonUtil::str2JsonAarry(QString()), QJsonArray());
        QCOMPARE(JsonUtil::str2JsonAarry(QStringLiteral("[1,\"x\"]")).size(), 2);
        QCOMPARE(capture.messages().size(), 0);
        QCOMPARE(JsonUtil::str2JsonAarry(QStringLiteral("{\"secret\":1}")), QJsonArray());
        QCOMPARE(JsonUtil::str2JsonAarry(QStringLiteral("[1,")), QJsonArray());
        const QStringList lines = capture.messages();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.at(0).endsWith(QStringLiteral("doc is not Array")));
        QVERIFY(lines.at(1).endsWith(QStringLiteral("Error!!!")));
        QVERIFY(!lines.join(QString()).contains(QStringLiteral("secret")));
    }

    void gettersConvertLeniently_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("asString");
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<double>("asDouble");
        // Defaults below: "DEF", true, -1.
        QTest::newRow("integer") << "12" << "12" << true << 12.0;
        QTest::newRow("fraction") << "3.5" << "3.5" << true << 3.5;
        QTest::newRow("large") << "1234567" << "1.23457e+06" << true << 1234567.0;
        QTest::newRow("zero float") << "0.0" << "0" << false << 0.0;
        QTest::newRow("true") << "true" << "true" << true << -1.0;
        QTest::newRow("false") << "false" << "false" << false << -1.0;
        QTest::newRow("TRUE text") << "\"TRUE\"" << "TRUE" << true << -1.0;
        QTest::newRow("0 text") << "\"0\"" << "0" << false << 0.0;
        QTest::newRow("yes text") << "\"yes\"" << "yes" << true << -1.0;
        QTest::newRow("number text") << "\"2.25\"" << "2.25" << true << 2.25;
        QTest::newRow("null") << "null" << "DEF" << true << -1.0;
        QTest::newRow("object") << "{\"x\":1}" << "DEF" << true << -1.0;
        QTest::newRow("array") << "[1]" << "DEF" << true << -1.0;
    }

    void gettersConvertLeniently()
    {
        QFETCH(QString, json);
        QFETCH(QString, asString);
        QFETCH(bool, asBool);
        QFETCH(double, asDouble);
        const QJsonObject obj = JsonUtil::str2Json(QStringLiteral("{\"v\":%1}").arg(json));
        QVERIFY(obj.contains(QStringLiteral("v")));
        const QString key = QStringLiteral("v");
        QCOMPARE(JsonUtil::getString(obj, key, QStringLiteral("DEF")), asString);
        QCOMPARE(JsonUtil::getBool(obj, key, true), asBool);
        QCOMPARE(JsonUtil::getDouble(obj, key, -1.0), asDouble);
    }

    void gettersOnMissingAndMismatchedMembers()
    {
        QJsonObject obj;
        obj.insert(QStringLiteral("o"), QJsonObject{{QStringLiteral("k"), 1}});
        obj.insert(QStringLiteral("a"), QJsonArray{1, 2});
        obj.insert(QStringLiteral("s"), QStringLiteral("text"));
        const QJsonObject def{{QStringLiteral("def"), true}};
        QCOMPARE(JsonUtil::getString(obj, QStringLiteral("missing"), QStringLiteral("d")),
                 QStringLiteral("d"));
        QCOMPARE(JsonUtil::getBool(obj, QStringLiteral("missing"), true), true);
        QCOMPARE(JsonUtil::getBool(obj, QStringLiteral("missing"), false), false);
        QCOMPARE(JsonUtil::getObject(obj, QStringLiteral("o")).value(QStringLiteral("k")).toInt(),
                 1);
        QCOMPARE(JsonUtil::getObject(obj, QStringLiteral("a"), def), def);
        QCOMPARE(JsonUtil::getObject(obj, QStringLiteral("s"), def), def);
        QCOMPARE(JsonUtil::getArray(obj, QStringLiteral("a")).size(), 2);
        QCOMPARE(JsonUtil::getArray(obj, QStringLiteral("o")), QJsonArray());
        QCOMPARE(JsonUtil::getDouble(obj, QStringLiteral("s"), 7.0), 7.0);
    }

    void cleanObjectAndCompactText()
    {
        QJsonObject obj;
        obj.insert(QStringLiteral("empty"), QString());
        obj.insert(QStringLiteral("null"), QJsonValue::Null);
        obj.insert(QStringLiteral("zero"), 0);
        obj.insert(QStringLiteral("no"), false);
        obj.insert(QStringLiteral("nested"),
                   QJsonObject{{QStringLiteral("inner"), QString()}});
        const QJsonObject cleaned = JsonUtil::cleanObject(obj);
        QCOMPARE(cleaned.keys(),
                 (QStringList{QStringLiteral("nested"), QStringLiteral("no"),
                              QStringLiteral("zero")}));
        // Nested objects are copied unchanged.
        QCOMPARE(JsonUtil::toCompactString(obj),
                 QStringLiteral("{\"nested\":{\"inner\":\"\"},\"no\":false,\"zero\":0}"));
        QCOMPARE(JsonUtil::toCompactString(QJsonObject()), QStringLiteral("{}"));
    }

    void snakeToCamelAndFriends()
    {
        QCOMPARE(StringUtil::snakeToCamel(QStringLiteral("pb_ok")), QStringLiteral("pbOk"));
        QCOMPARE(StringUtil::snakeToCamel(QStringLiteral("lab_title_name")),
                 QStringLiteral("labTitleName"));
        QCOMPARE(StringUtil::snakeToCamel(QStringLiteral("Common")), QStringLiteral("Common"));
        QCOMPARE(StringUtil::snakeToCamel(QStringLiteral("a_b__c")), QStringLiteral("aBC"));
        QCOMPARE(StringUtil::snakeToCamel(QStringLiteral("_x")), QStringLiteral("X"));
        QCOMPARE(StringUtil::snakeToCamel(QString()), QString());
        QCOMPARE(StringUtil::lowerFirst(QStringLiteral("HomeDlg")), QStringLiteral("homeDlg"));
        QCOMPARE(StringUtil::lowerFirst(QString()), QString());
        QCOMPARE(StringUtil::lastSection(QStringLiteral("a::b::c"), QStringLiteral("::")),
                 QStringLiteral("c"));
        QCOMPARE(StringUtil::lastSection(QStringLiteral("abc"), QStringLiteral("/")),
                 QStringLiteral("abc"));
        QCOMPARE(StringUtil::lastSection(QString(), QStringLiteral("/")), QString());
        QVERIFY(StringUtil::equals(QStringLiteral("Abc"), QStringLiteral("aBC"), true));
        QVERIFY(!StringUtil::equals(QStringLiteral("Abc"), QStringLiteral("aBC"), false));
        QCOMPARE(StringUtil::join({QStringLiteral("a"), QStringLiteral("b")}),
                 QStringLiteral("ab"));
    }

    void idsHaveTheirFormats()
    {
        const QRegularExpression hex32(QStringLiteral("^[0-9a-f]{32}$"));
        const QString a = StringUtil::uuid();
        QVERIFY2(hex32.match(a).hasMatch(), qPrintable(a));
        QVERIFY(a != StringUtil::uuid());

        g_fixedNow = QDateTime(QDate(2024, 2, 1), QTime(9, 5, 3, 7)).toMSecsSinceEpoch();
        Clock::setSource(&fixedNow);
        const QString id = StringUtil::uniqueId(QStringLiteral("X"));
        QVERIFY2(QRegularExpression(QStringLiteral("^X20240201090503007[0-9]{6}$"))
                     .match(id)
                     .hasMatch(),
                 qPrintable(id));
        QCOMPARE(StringUtil::timeToString(
                     static_cast<uint>(QDateTime(QDate(2024, 3, 5), QTime(14, 2, 11))
                                           .toSecsSinceEpoch())),
                 QStringLiteral("2024-03-05 14:02:11"));
    }

    void pathsEndWithSlashAndAreMade()
    {
        const QString data = PathUtil::appDataDir();
        QVERIFY(data.endsWith(QLatin1Char('/')));
        QVERIFY(QDir(data).exists());
        QVERIFY(PathUtil::appDir().endsWith(QLatin1Char('/')));
        QVERIFY(PathUtil::downloadDir().endsWith(QLatin1Char('/')));

        QTemporaryDir tmp;
        const QString deep = tmp.path() + QStringLiteral("/a/b/c");
        QCOMPARE(PathUtil::makePath(deep), deep);
        QVERIFY(QDir(deep).exists());
        const QString trailing = tmp.path() + QStringLiteral("/x/y/");
        PathUtil::makePath(trailing);
        QVERIFY(QDir(tmp.path() + QStringLiteral("/x/y")).exists());
        // An existing path is left alone.
        QCOMPARE(PathUtil::makePath(deep), deep);
    }

    void screenMeasurements()
    {
        QScreen *primary = QGuiApplication::primaryScreen();
        QVERIFY(primary);
        QCOMPARE(ScreenUtil::geometry(), primary->geometry());
        QCOMPARE(ScreenUtil::availableGeometry(nullptr), primary->availableGeometry());
        QCOMPARE(ScreenUtil::aspectRatio(),
                 double(primary->geometry().width()) / primary->geometry().height());
        const double ratio = primary->devicePixelRatio();
        const QRect r(3, 5, 101, 7);
        QCOMPARE(ScreenUtil::toDevicePixels(r),
                 QRect(int(3 * ratio), int(5 * ratio), int(101 * ratio), int(7 * ratio)));
        QCOMPARE(ScreenUtil::screenAtCursor() != nullptr, true);

        QWidget w;
        w.setGeometry(40, 60, 200, 100);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect mapped = ScreenUtil::mapToGlobal(&w, QRect(10, 20, 30, 40));
        QCOMPARE(mapped.topLeft(), w.mapToGlobal(QPoint(10, 20)));
        QCOMPARE(mapped.size(), QSize(30, 40));

        QFont font;
        font.setPixelSize(20);
        QVERIFY(ScreenUtil::fontHeight(font) >= 20);
        QVERIFY(ScreenUtil::textWidth(font, QStringLiteral("wide text")) >
                ScreenUtil::textWidth(font, QStringLiteral("w")));

        ScreenUtil::setWaitCursor();
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ScreenUtil::restoreCursor();
        QVERIFY(!QGuiApplication::overrideCursor());
    }
};

QTEST_MAIN(TestUtils)
#include "tst_utils.moc"
