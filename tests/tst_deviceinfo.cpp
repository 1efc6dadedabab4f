#include "DeviceInfo.h"
#include "JsonUtil.h"

#include "LogCapture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScreen>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {
const QString fixtures = QStringLiteral(BRV_TEST_SOURCE_DIR "/tests/fixtures/deviceinfo/");

DeviceInfo::Sources machine(const QString &name, const QString &pciIds = fixtures + "pci.ids")
{
    DeviceInfo::Sources sources;
    sources.sysRoot = fixtures + name + QStringLiteral("/sys");
    sources.procRoot = fixtures + name + QStringLiteral("/proc");
    sources.pciIdsPath = pciIds;
    return sources;
}

QJsonObject parse(const QString &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    return error.error == QJsonParseError::NoError ? doc.object() : QJsonObject();
}

// One "NAME FREEG/TOTALG; " entry; total as the machine reports it for that path.
QString diskPattern(const QString &name)
{
    const double total = static_cast<double>(QStorageInfo(name).bytesTotal()) / (1 << 30);
    return QRegularExpression::escape(name) + QStringLiteral(" \\d+\\.\\dG/") +
           QRegularExpression::escape(QString::number(total, 'f', 1)) + QStringLiteral("G; ");
}

// The mount table's own escaping of blanks and backslashes.
QString mountField(QString path)
{
    return path.replace(QLatin1Char('\\'), QLatin1String("\\134"))
        .replace(QLatin1Char(' '), QLatin1String("\\040"));
}
} // namespace

class TestDeviceInfo : public QObject
{
    Q_OBJECT

private slots:
    void hardwareTextsFromFixtures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("brand");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("gpus");
        QTest::addColumn<qint64>("gpuMemory");
        QTest::addColumn<QString>("cpu");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("free");

        // The board maker before the system maker, blanks collapsed. Two GPUs in card number
        // order (card2 before card10), render node and connector not counted; the first card
        // reports 0 bytes, so the memory is the second one's.
        QTest::newRow("desktop")
            << "desktop"
            << "Dell Inc."
            << "OptiPlex Model 7090  Tower"
            << "Intel Corporation CoffeeLake-S GT2 [UHD Graphics 630]; "
               "Advanced Micro Devices, Inc. [AMD/ATI] Navi 23 [Radeon RX 6600/6600 XT/6600M]"
            << qint64(8176) << "Intel(R) Core(TM) i7-9700 CPU @ 3.00GHz"
            << "15921MB"
            << "9645MB";
        // No board maker; a device missing from its vendor's list must not be taken from the
        // next vendor's; an unknown vendor; an old kernel without MemAvailable.
        QTest::newRow("virtual machine") << "vm"
                                         << "QEMU"
                                         << "Standard PC (Q35 + ICH9, 2009)"
                                         << "Red Hat, Inc. Device 1050; Device abcd:1234"
                                         << qint64(0) << "QEMU Virtual CPU version 2.5+"
                                         << "2048MB"
                                         << "512MB";
        // No DMI at all: the device tree's model keeps its own "Model"; a GPU off PCI is named
        // by its driver; neither "Model" nor "model" lines of cpuinfo are the CPU name.
        QTest::newRow("board without DMI") << "board"
                                           << ""
                                           << "Raspberry Pi 4 Model B Rev 1.4"
                                           << "vc4-drm" << qint64(0) << ""
                                           << "0MB"
                                           << "0MB";
        QTest::newRow("nothing readable") << "missing"
                                          << ""
                                          << ""
                                          << "Unknown" << qint64(0) << ""
                                          << "0MB"
                                          << "0MB";
    }

    void hardwareTextsFromFixtures()
    {
        QFETCH(QString, name);
        const DeviceInfo::Sources sources = machine(name);
        QTEST(DeviceInfo::brand(sources), "brand");
        QTEST(DeviceInfo::model(sources), "model");
        QTEST(DeviceInfo::gpuNames(sources), "gpus");
        QTEST(DeviceInfo::gpuMemoryMb(sources), "gpuMemory");
        QTEST(DeviceInfo::cpuInfo(sources), "cpu");
        QTEST(DeviceInfo::totalMemory(sources), "total");
        QTEST(DeviceInfo::freeMemory(sources), "free");

        // The same texts in the description, and none of them as an empty member.
        const QJsonObject obj = parse(DeviceInfo::toJson(sources));
        QVERIFY(!obj.isEmpty());
        QCOMPARE(obj.contains(QStringLiteral("deviceBrand")),
                 !DeviceInfo::brand(sources).isEmpty());
        QCOMPARE(obj.contains(QStringLiteral("cpuInfo")), !DeviceInfo::cpuInfo(sources).isEmpty());
        QCOMPARE(obj.value(QStringLiteral("deviceModel")).toString(), DeviceInfo::model(sources));
        QCOMPARE(obj.value(QStringLiteral("gpuInfo")).toString(), DeviceInfo::gpuNames(sources));
        QVERIFY(obj.value(QStringLiteral("gpuMemory")).isDouble());
        QCOMPARE(obj.value(QStringLiteral("gpuMemory")).toVariant().toLongLong(),
                 DeviceInfo::gpuMemoryMb(sources));
        for (auto it = obj.constBegin(); it != obj.constEnd(); ++it) {
            QVERIFY2(!(it.value().isString() && it.value().toString().isEmpty()),
                     qPrintable(it.key()));
        }
    }

    void gpuNamesWithoutPciIdsDatabase()
    {
        QCOMPARE(DeviceInfo::gpuNames(machine(QStringLiteral("desktop"), fixtures + "none.ids")),
                 QStringLiteral("Device 8086:3e92; Device 1002:73ff"));
        const QByteArray ids = "8086  Intel Corporation\n\t3e92  UHD Graphics 630\n";
        QCOMPARE(DeviceInfoText::pciDeviceName(ids, QStringLiteral("0x8086\n"),
                                               QStringLiteral("0x3E92")),
                 QStringLiteral("Intel Corporation UHD Graphics 630"));
        QCOMPARE(DeviceInfoText::pciDeviceName(ids, QStringLiteral("8086"), QStringLiteral("3e9")),
                 QString());
        QCOMPARE(
            DeviceInfoText::pciDeviceName(ids, QStringLiteral("80 86"), QStringLiteral("3e92")),
            QString());
    }

    void disksAreRealDiskMounts()
    {
        // Pseudo, network, loop and bind mounts are left out, and so is a mount point that
        // cannot be queried; "/" is always there, first.
        const QString disks = DeviceInfo::diskInfo(machine(QStringLiteral("desktop")));
        QVERIFY2(QRegularExpression(QStringLiteral("^") + diskPattern(QStringLiteral("/")) +
                                    QStringLiteral("$"))
                     .match(disks)
                     .hasMatch(),
                 qPrintable(disks));
        // Without a readable mount table the root alone is listed.
        const QString rootOnly = DeviceInfo::diskInfo(machine(QStringLiteral("missing")));
        QVERIFY2(QRegularExpression(QStringLiteral("^") + diskPattern(QStringLiteral("/")) +
                                    QStringLiteral("$"))
                     .match(rootOnly)
                     .hasMatch(),
                 qPrintable(rootOnly));

        // Escaped blanks and backslashes are decoded, and a "%2" in a path is not a placeholder.
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        const QDir dir(scratch.path());
        QVERIFY(dir.mkpath(QStringLiteral("proc/self")) &&
                dir.mkpath(QStringLiteral("usb disk\\a")) &&
                dir.mkpath(QStringLiteral("sale 50%2off")) && dir.mkpath(QStringLiteral("again")));
        const QString usb = dir.filePath(QStringLiteral("usb disk\\a"));
        const QString sale = dir.filePath(QStringLiteral("sale 50%2off"));
        QFile mounts(dir.filePath(QStringLiteral("proc/self/mounts")));
        QVERIFY(mounts.open(QIODevice::WriteOnly));
        mounts.write(QStringLiteral("/dev/sdy1 %1 ext4 rw 0 0\n"
                                    "/dev/sdy1 %2 ext4 rw 0 0\n"
                                    "/dev/vda / ext4 rw 0 0\n"
                                    "/dev/sdx1 %3 vfat rw 0 0\n")
                         .arg(mountField(usb), mountField(dir.filePath(QStringLiteral("again"))),
                              mountField(sale))
                         .toUtf8());
        mounts.close();
        DeviceInfo::Sources sources;
        sources.procRoot = dir.filePath(QStringLiteral("proc"));
        const QString listed = DeviceInfo::diskInfo(sources);
        QVERIFY2(QRegularExpression(QStringLiteral("^") + diskPattern(QStringLiteral("/")) +
                                    diskPattern(usb) + diskPattern(sale) + QStringLiteral("$"))
                     .match(listed)
                     .hasMatch(),
                 qPrintable(listed));
    }

    void wmicOutputs()
    {
        // What the Windows tool prints: a padded header column and "\r\r\n" line ends.
        QCOMPARE(DeviceInfoText::brandFromWmic(
                     "Manufacturer           \r\r\nASUSTeK  COMPUTER\tINC.  \r\r\n\r\r\n"),
                 QStringLiteral("ASUSTeK COMPUTER INC."));
        QCOMPARE(DeviceInfoText::modelFromWmic(
                     "Model                        \r\r\nRaspberry Pi 4 Model B  Rev \r\r\n\r\r\n"),
                 QStringLiteral("Raspberry Pi 4 Model B  Rev"));
        QCOMPARE(DeviceInfoText::brandFromWmic(QString()), QString());
        QCOMPARE(DeviceInfoText::modelFromWmic(QStringLiteral("Model  \r\r\n\r\r\n")), QString());

        const QString names = "Name                          \r\r\n"
                              "Intel(R) UHD Graphics 630     \r\r\n"
                              "NVIDIA GeForce RTX 3060       \r\r\n\r\r\n";
        QCOMPARE(DeviceInfoText::gpuNamesFromWmic(names),
                 QStringLiteral("Intel(R) UHD Graphics 630; NVIDIA GeForce RTX 3060"));
        QCOMPARE(DeviceInfoText::gpuNamesFromWmic(QStringLiteral("NAME\r\r\n\r\r\n")),
                 QStringLiteral("Unknown"));
        QCOMPARE(DeviceInfoText::gpuNamesFromWmic(QString()), QStringLiteral("Unknown"));

        // The first controller reports nothing usable; the second one's size counts.
        QCOMPARE(DeviceInfoText::gpuMemoryMbFromWmic(
                     "AdapterRAM  \r\r\n-1\r\r\n0\r\r\n+5\r\r\n1073741824  \r\r\n4293918720\r\r\n"),
                 qint64(1024));
        QCOMPARE(DeviceInfoText::gpuMemoryMbFromWmic(QStringLiteral("AdapterRAM\r\r\n\r\r\n")),
                 qint64(0));
    }

    void versions_data()
    {
        QTest::addColumn<QString>("productVersion");
        QTest::addColumn<QString>("name");
        QTest::newRow("Windows 11") << "10.0.22631"
                                    << "11";
        QTest::newRow("first Windows 11 build") << "10.0.22000"
                                                << "11";
        QTest::newRow("last Windows 10 build") << "10.0.21999"
                                               << "10.0.21999";
        QTest::newRow("Windows 10") << "10.0.19045"
                                    << "10.0.19045";
        QTest::newRow("major only") << "10"
                                    << "10";
        QTest::newRow("build not a number") << "10.0.2263x"
                                            << "10.0.2263x";
    }

    void versions()
    {
        QFETCH(QString, productVersion);
        QTEST(DeviceInfoText::windowsVersionName(productVersion), "name");
    }

    void oldWindows()
    {
        QVERIFY(DeviceInfoText::isOldWindowsVersion(6, 7601));   // Windows 7
        QVERIFY(DeviceInfoText::isOldWindowsVersion(6, 0));      // 8.1 without a build
        QVERIFY(DeviceInfoText::isOldWindowsVersion(10, 17134)); // 1803
        QVERIFY(DeviceInfoText::isOldWindowsVersion(10, 17762));
        QVERIFY(!DeviceInfoText::isOldWindowsVersion(10, 17763)); // 1809
        QVERIFY(!DeviceInfoText::isOldWindowsVersion(10, 22631));
        QVERIFY(!DeviceInfoText::isOldWindowsVersion(10, 0));
        QVERIFY(!DeviceInfoText::isOldWindowsVersion(10, -1));
#if !defined(Q_OS_WIN)
        QVERIFY(!DeviceInfo::isOldWindows());
#endif
    }

    void textFormats()
    {
        QCOMPARE(DeviceInfoText::memoryText((quint64(16) << 30) + (quint64(1) << 20) - 1),
                 QStringLiteral("16384MB"));
        QCOMPARE(DeviceInfoText::memoryText(0), QStringLiteral("0MB"));
        QCOMPARE(DeviceInfoText::diskEntry(QStringLiteral("C:"), qint64(1293858816) * 100,
                                           qint64(1) << 39),
                 QStringLiteral("C: 120.5G/512.0G; "));
        QCOMPARE(DeviceInfoText::diskEntry(QStringLiteral("%2%3"), 0, qint64(1) << 30),
                 QStringLiteral("%2%3 0.0G/1.0G; "));
        QCOMPARE(DeviceInfoText::joinGpuNames({}), QStringLiteral("Unknown"));
    }

    void descriptionOfThisMachine()
    {
        QElapsedTimer timer;
        timer.start();
        const QString json = DeviceInfo::toJson();
        const qint64 elapsed = timer.elapsed();
        QVERIFY2(elapsed < 100, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));

        const QJsonObject obj = parse(json);
        QVERIFY(!obj.isEmpty());
        QCOMPARE(json, JsonUtil::toCompactString(obj));
#if defined(Q_OS_LINUX)
        QCOMPARE(obj.value(QStringLiteral("os")).toString(),
                 QStringLiteral("Linux") + (sizeof(void *) == 8 ? "64" : "32"));
        QCOMPARE(obj.value(QStringLiteral("bootId")).toString().size(), 36);
        QVERIFY(obj.value(QStringLiteral("disk")).toString().startsWith(QStringLiteral("/ ")));
#endif
        QCOMPARE(obj.value(QStringLiteral("osVersion")).toString(), DeviceInfo::osVersion());
        QCOMPARE(obj.value(QStringLiteral("deviceName")).toString(), QSysInfo::machineHostName());
        QCOMPARE(obj.value(QStringLiteral("locale")).toString(), QLocale().name());
        QVERIFY(obj.value(QStringLiteral("appPath")).toString().endsWith(QLatin1Char('/')));
        const QRegularExpression megabytes(QStringLiteral("^[1-9]\\d*MB$"));
        QVERIFY(megabytes.match(obj.value(QStringLiteral("totalMemory")).toString()).hasMatch());
        QVERIFY(obj.value(QStringLiteral("freeMemory")).toString().endsWith(QLatin1String("MB")));
        QVERIFY(obj.value(QStringLiteral("gpuMemory")).isDouble());
        QVERIFY(!obj.value(QStringLiteral("gpuInfo")).toString().isEmpty());

        // One entry per screen, logical dpi in its shortest form.
        const QString screens = obj.value(QStringLiteral("screen")).toString();
        QCOMPARE(screens, DeviceInfo::screensInfo());
        const QRegularExpression entry(
            QStringLiteral("(\\d+) [^;]* (\\d+)x(\\d+) (\\d+(\\.\\d+)?)dpi;"));
        QRegularExpressionMatchIterator it = entry.globalMatch(screens);
        int count = 0;
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            QCOMPARE(match.captured(1).toInt(), ++count);
            const QScreen *screen = QGuiApplication::screens().at(count - 1);
            QCOMPARE(match.captured(2).toInt(), screen->geometry().width());
            QCOMPARE(match.captured(4).toDouble(), screen->logicalDotsPerInch());
        }
        QVERIFY(count > 0);
        QCOMPARE(count, QGuiApplication::screens().size());
    }

    void describedFromWorkerThread()
    {
        // Off the GUI thread the screens are left out instead of touched.
        LogCapture capture;
        QString json;
        QThread *worker = QThread::create(
            [&json] { json = DeviceInfo::toJson(machine(QStringLiteral("desktop"))); });
        worker->start();
        QVERIFY(worker->wait(10000));
        delete worker;
        const QJsonObject obj = parse(json);
        QVERIFY(!obj.contains(QStringLiteral("screen")));
        QCOMPARE(obj.value(QStringLiteral("deviceBrand")).toString(), QStringLiteral("Dell Inc."));
        QVERIFY(capture.contains(QStringLiteral("called off the GUI thread")));
    }
};

QTEST_MAIN(TestDeviceInfo)
#include "tst_deviceinfo.moc"
