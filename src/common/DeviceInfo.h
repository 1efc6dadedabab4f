#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Describes the computer to the service: one compact JSON object of hardware, system and screen
// texts. All static and uncached, each call reads again. The screen part needs the GUI thread;
// called from any other thread it is left out.
class DeviceInfo
{
public:
    // Where the Linux hardware texts are read from. Tests point these at fixture trees; the
    // Windows build asks the system itself and ignores them.
    struct Sources
    {
        QString sysRoot = QStringLiteral("/sys");
        QString procRoot = QStringLiteral("/proc");
        // Empty: the first PCI ids database found in the system's usual places.
        QString pciIdsPath;
    };

    static QString toJson();
    static QString brand();
    static QString model();
    static QString gpuNames();
    static qint64 gpuMemoryMb();
    static QString computerName();
    static QString osName();
    static QString osVersion();
    static QString diskInfo();
    static QString screensInfo();
    static bool isOldWindows();

    // The same, read from the given sources.
    static QString toJson(const Sources &sources);
    static QString brand(const Sources &sources);
    static QString model(const Sources &sources);
    static QString gpuNames(const Sources &sources);
    static qint64 gpuMemoryMb(const Sources &sources);
    static QString diskInfo(const Sources &sources);
    // The "cpuInfo", "totalMemory" and "freeMemory" members.
    static QString cpuInfo(const Sources &sources);
    static QString totalMemory(const Sources &sources);
    static QString freeMemory(const Sources &sources);
};

// The text shaping behind DeviceInfo, apart from where the texts come from, so that the Windows
// tool output can be checked on any system.
namespace DeviceInfoText {
// Outputs of "wmic baseboard get manufacturer", "wmic computersystem get model",
// "wmic path win32_VideoController get Name" and "... get AdapterRAM".
QString brandFromWmic(const QString &output);
QString modelFromWmic(const QString &output);
QString gpuNamesFromWmic(const QString &output);
qint64 gpuMemoryMbFromWmic(const QString &output);

// Names joined with "; ", or "Unknown" when there are none.
QString joinGpuNames(const QStringList &names);
// Bytes as whole MiB followed by "MB".
QString memoryText(quint64 bytes);
// "NAME FREEG/TOTALG; " with one decimal.
QString diskEntry(const QString &name, qint64 freeBytes, qint64 totalBytes);
// "11" for a 10.0 version whose build is past 21999, otherwise the text unchanged.
QString windowsVersionName(const QString &productVersion);
// Before Windows 10 version 1809 (build 17763). A build of 0 or below counts as unknown.
bool isOldWindowsVersion(int major, int build);
// The name of a PCI device as lspci gives it, from the text of a PCI ids database (may be empty).
// Ids are four hexadecimal digits.
QString pciDeviceName(const QByteArray &pciIds, const QString &vendorId, const QString &deviceId);
} // namespace DeviceInfoText
