#include "DeviceInfo.h"

#include "JsonUtil.h"
#include "PathUtil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonObject>
#include <QLocale>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTextCodec>
#include <QThread>
#include <QVector>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#if defined(Q_OS_WIN)
#include <QSettings>

#include <windows.h>
#endif

namespace {

constexpr int kWmicTimeoutMs = 30000;

QString withoutLineBreaks(QString text)
{
    return text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
}

// Plain decimal digits only: toULongLong alone would also take a sign or surrounding blanks.
bool readPositive(const QString &text, quint64 *value)
{
    if (text.isEmpty() || text.size() > 20) {
        return false;
    }
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
    }
    bool ok = false;
    *value = text.toULongLong(&ok);
    return ok && *value > 0;
}

// Four lower-case hexadecimal digits from "0x10DE\n" and the like; empty when it is not an id.
QByteArray pciId(const QString &text)
{
    QByteArray id = text.trimmed().toLatin1().toLower();
    if (id.startsWith("0x")) {
        id.remove(0, 2);
    }
    if (id.size() != 4) {
        return QByteArray();
    }
    for (const char c : qAsConst(id)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return QByteArray();
        }
    }
    return id;
}

// The line of text that begins at start, without its line feed; next receives where the line
// after it begins, or -1 at the end.
QByteArray lineAt(const QByteArray &text, int start, int *next)
{
    const int end = text.indexOf('\n', start);
    *next = end < 0 ? -1 : end + 1;
    return text.mid(start, end < 0 ? -1 : end - start);
}

// Starts all queries at once, so that a slow WMI costs one wait rather than one per query.
// Output is decoded with the locale codec; a failed, missing or late tool gives empty text.
[[maybe_unused]] QStringList runWmic(const QVector<QStringList> &queries)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QStringList &arguments : queries) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QStringLiteral("wmic"), arguments, QIODevice::ReadOnly);
    }
    const QDeadlineTimer deadline(kWmicTimeoutMs);
    QTextCodec *codec = QTextCodec::codecForLocale();
    QStringList outputs;
    for (const auto &process : processes) {
        const int remaining = static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
        if (process->waitForFinished(remaining) && process->exitStatus() == QProcess::NormalExit &&
            process->exitCode() == 0) {
            outputs.append(codec->toUnicode(process->readAllStandardOutput()));
        } else {
            process->kill();
            process->waitForFinished(1000);
            outputs.append(QString());
        }
    }
    return outputs;
}

#if defined(Q_OS_WIN)
QStringList brandQuery()
{
    return {QStringLiteral("baseboard"), QStringLiteral("get"), QStringLiteral("manufacturer")};
}
QStringList modelQuery()
{
    return {QStringLiteral("computersystem"), QStringLiteral("get"), QStringLiteral("model")};
}
QStringList gpuNameQuery()
{
    return {QStringLiteral("path"), QStringLiteral("win32_VideoController"), QStringLiteral("get"),
            QStringLiteral("Name")};
}
QStringList gpuMemoryQuery()
{
    return {QStringLiteral("path"), QStringLiteral("win32_VideoController"), QStringLiteral("get"),
            QStringLiteral("AdapterRAM")};
}

bool windowsMemory(quint64 *total, quint64 *available)
{
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status)) {
        return false;
    }
    *total = status.ullTotalPhys;
    *available = status.ullAvailPhys;
    return true;
}
#else
// Caps on what is read from one source, so that a bad file cannot flood memory. The PCI ids
// database is about 1.3 MiB; the mount table of a busy host can be large too.
constexpr qint64 kSmallFileMax = 64 * 1024;
constexpr qint64 kLargeFileMax = 16 * 1024 * 1024;

const char *const kSystemPciIds[] = {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids"};

QByteArray readFile(const QString &path, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    // procfs and sysfs report a size of 0 or 4096 whatever they hold: read to the end.
    QByteArray data;
    char chunk[16 * 1024];
    while (data.size() < maxBytes) {
        const qint64 n = file.read(chunk, qMin<qint64>(sizeof chunk, maxBytes - data.size()));
        if (n <= 0) {
            break;
        }
        data.append(chunk, static_cast<int>(n));
    }
    return data;
}

// A sysfs or device-tree value; device-tree strings end in a NUL.
QString readSysText(const QString &path)
{
    QByteArray data = readFile(path, kSmallFileMax);
    const int nul = data.indexOf('\0');
    if (nul >= 0) {
        data.truncate(nul);
    }
    return QString::fromUtf8(data);
}

QString linuxBrand(const DeviceInfo::Sources &sources)
{
    const QString dmi = sources.sysRoot + QStringLiteral("/class/dmi/id/");
    const QString board = readSysText(dmi + QStringLiteral("board_vendor")).simplified();
    // Some machines and most virtual ones name no board maker, only the system's.
    return board.isEmpty() ? readSysText(dmi + QStringLiteral("sys_vendor")).simplified() : board;
}

QString linuxModel(const DeviceInfo::Sources &sources)
{
    QString model = withoutLineBreaks(
                        readSysText(sources.sysRoot + QStringLiteral("/class/dmi/id/product_name")))
                        .trimmed();
    if (model.isEmpty()) {
        // Boards without DMI, such as ARM boards, carry their model in the device tree.
        model = withoutLineBreaks(readSysText(sources.sysRoot +
                                              QStringLiteral("/firmware/devicetree/base/model")))
                    .trimmed();
    }
    return model;
}

struct GpuCard
{
    QString name;
    quint64 vramBytes = 0;
};

QByteArray readPciIds(const DeviceInfo::Sources &sources)
{
    if (!sources.pciIdsPath.isEmpty()) {
        return readFile(sources.pciIdsPath, kLargeFileMax);
    }
    for (const char *path : kSystemPciIds) {
        const QString file = QString::fromLatin1(path);
        if (QFileInfo::exists(file)) {
            return readFile(file, kLargeFileMax);
        }
    }
    return QByteArray();
}

QString driverName(const QString &deviceDir)
{
    const QStringList lines =
        readSysText(deviceDir + QStringLiteral("uevent")).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("DRIVER="))) {
            return line.mid(7).trimmed();
        }
    }
    return QString();
}

// The GPUs in card number order: /sys/class/drm/cardN. The cardN-CONNECTOR entries are their
// outputs and renderDN their render nodes, neither a GPU of its own.
QVector<GpuCard> linuxGpuCards(const DeviceInfo::Sources &sources)
{
    const QDir drm(sources.sysRoot + QStringLiteral("/class/drm"));
    static const QRegularExpression cardPattern(QStringLiteral("^card(\\d{1,6})$"));
    QVector<QPair<int, QString>> entries;
    const QStringList names = drm.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = cardPattern.match(name);
        if (match.hasMatch()) {
            entries.append({match.captured(1).toInt(), name});
        }
    }
    std::sort(entries.begin(), entries.end());

    QVector<GpuCard> cards;
    QByteArray pciIds;
    bool pciIdsRead = false;
    for (const auto &entry : qAsConst(entries)) {
        const QString device = drm.filePath(entry.second) + QStringLiteral("/device/");
        const QByteArray vendorId = pciId(readSysText(device + QStringLiteral("vendor")));
        const QByteArray deviceId = pciId(readSysText(device + QStringLiteral("device")));
        GpuCard card;
        if (!vendorId.isEmpty() && !deviceId.isEmpty()) {
            if (!pciIdsRead) {
                pciIds = readPciIds(sources);
                pciIdsRead = true;
            }
            card.name = DeviceInfoText::pciDeviceName(pciIds, QString::fromLatin1(vendorId),
                                                      QString::fromLatin1(deviceId));
        } else {
            // Not on PCI (a system-on-chip GPU): its driver is the best name it has.
            card.name = driverName(device);
        }
        if (card.name.isEmpty()) {
            continue;
        }
        // Only some drivers (amdgpu) report their video memory.
        readPositive(readSysText(device + QStringLiteral("mem_info_vram_total")).trimmed(),
                     &card.vramBytes);
        cards.append(card);
    }
    return cards;
}

QString joinedGpuNames(const QVector<GpuCard> &cards)
{
    QStringList names;
    for (const GpuCard &card : cards) {
        names.append(card.name);
    }
    return DeviceInfoText::joinGpuNames(names);
}

qint64 firstGpuMemoryMb(const QVector<GpuCard> &cards)
{
    for (const GpuCard &card : cards) {
        if (card.vramBytes > 0) {
            return static_cast<qint64>(card.vramBytes >> 20);
        }
    }
    return 0;
}

// A /proc/meminfo value in bytes ("MemTotal:  16303452 kB").
bool meminfoBytes(const QByteArray &meminfo, const QByteArray &key, quint64 *bytes)
{
    int next = 0;
    while (next >= 0) {
        const QByteArray line = lineAt(meminfo, next, &next);
        if (!line.startsWith(key + ':')) {
            continue;
        }
        const QList<QByteArray> parts = line.mid(key.size() + 1).simplified().split(' ');
        quint64 value = 0;
        if (!readPositive(QString::fromLatin1(parts.value(0)), &value)) {
            return false;
        }
        const bool kiB = parts.value(1) == "kB";
        if (kiB && value > std::numeric_limits<quint64>::max() / 1024) {
            return false;
        }
        *bytes = kiB ? value * 1024 : value;
        return true;
    }
    return false;
}

// The mount table escapes blanks and backslashes in its fields as three octal digits.
QString unescapeMountField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        const auto isOctal = [&field](int at) {
            return field[at] >= '0' && field[at] <= '7';
        };
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(i + 1) && isOctal(i + 2) &&
            isOctal(i + 3)) {
            out.append(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                         (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return QString::fromUtf8(out);
}

// The counterpart of the Windows drive letters: the root, then every other disk-backed mount in
// mount order, one per device so that bind mounts and subvolumes do not repeat a disk. Pseudo,
// network and loop-image file systems are left out; they are never queried, so a hung network
// mount cannot stall the caller.
QStringList linuxDiskRoots(const DeviceInfo::Sources &sources)
{
    QStringList roots{QStringLiteral("/")};
    QSet<QString> devices;
    const QByteArray mounts =
        readFile(sources.procRoot + QStringLiteral("/self/mounts"), kLargeFileMax);
    int next = 0;
    while (next >= 0) {
        const QList<QByteArray> fields = lineAt(mounts, next, &next).split(' ');
        if (fields.size() < 3) {
            continue;
        }
        const QString device = unescapeMountField(fields.at(0));
        const QString point = unescapeMountField(fields.at(1));
        if (point == QLatin1String("/")) {
            devices.insert(device);
            continue;
        }
        if (!device.startsWith(QLatin1String("/dev/")) ||
            device.startsWith(QLatin1String("/dev/loop")) || devices.contains(device) ||
            roots.contains(point) || !QFileInfo(point).isDir()) {
            continue;
        }
        devices.insert(device);
        roots.append(point);
    }
    return roots;
}
#endif

} // namespace

QString DeviceInfoText::brandFromWmic(const QString &output)
{
    const int header = output.indexOf(QLatin1Char('\n'));
    return header < 0 ? QString() : withoutLineBreaks(output.mid(header + 1)).simplified();
}

QString DeviceInfoText::modelFromWmic(const QString &output)
{
    // Only the column header goes. Removing every "Model" would also cut it out of model names
    // such as "Raspberry Pi 4 Model B".
    const int header = output.indexOf(QLatin1Char('\n'));
    return header < 0 ? QString() : withoutLineBreaks(output.mid(header + 1)).trimmed();
}

QString DeviceInfoText::gpuNamesFromWmic(const QString &output)
{
    QStringList names;
    const QStringList parts = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString name = part.trimmed();
        if (!name.isEmpty() && name.compare(QLatin1String("Name"), Qt::CaseInsensitive) != 0) {
            names.append(name);
        }
    }
    return joinGpuNames(names);
}

qint64 DeviceInfoText::gpuMemoryMbFromWmic(const QString &output)
{
    const QStringList parts = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString text = part.trimmed();
        quint64 bytes = 0;
        if (text.compare(QLatin1String("AdapterRAM"), Qt::CaseInsensitive) != 0 &&
            readPositive(text, &bytes)) {
            return static_cast<qint64>(bytes >> 20);
        }
    }
    return 0;
}

QString DeviceInfoText::joinGpuNames(const QStringList &names)
{
    return names.isEmpty() ? QStringLiteral("Unknown") : names.join(QStringLiteral("; "));
}

QString DeviceInfoText::memoryText(quint64 bytes)
{
    return QString::number(bytes >> 20) + QStringLiteral("MB");
}

QString DeviceInfoText::diskEntry(const QString &name, qint64 freeBytes, qint64 totalBytes)
{
    constexpr double gib = 1024.0 * 1024.0 * 1024.0;
    // One pass of arg(): a "%2" inside a mount point or drive name stays as it is.
    return QStringLiteral("%1 %2G/%3G; ")
        .arg(name, QString::number(static_cast<double>(freeBytes) / gib, 'f', 1),
             QString::number(static_cast<double>(totalBytes) / gib, 'f', 1));
}

QString DeviceInfoText::windowsVersionName(const QString &productVersion)
{
    const QStringList parts = productVersion.split(QLatin1Char('.'));
    if (parts.size() >= 3) {
        bool ok = false;
        const int build = parts.at(2).toInt(&ok);
        if (ok && build > 21999) {
            return QStringLiteral("11");
        }
    }
    return productVersion;
}

bool DeviceInfoText::isOldWindowsVersion(int major, int build)
{
    return major < 10 || (major == 10 && build >= 1 && build < 17763);
}

QString DeviceInfoText::pciDeviceName(const QByteArray &pciIds, const QString &vendorId,
                                      const QString &deviceId)
{
    const QByteArray vendor = pciId(vendorId);
    const QByteArray device = pciId(deviceId);
    if (vendor.isEmpty() || device.isEmpty()) {
        return QString();
    }
    // Vendor lines begin with the id and two spaces; their devices follow indented by one tab,
    // each device's subsystems by two. Comment lines may come in between.
    const QByteArray vendorKey = vendor + "  ";
    int start = pciIds.startsWith(vendorKey) ? 0 : pciIds.indexOf('\n' + vendorKey);
    if (start < 0) {
        return QStringLiteral("Device %1:%2")
            .arg(QString::fromLatin1(vendor), QString::fromLatin1(device));
    }
    if (pciIds.at(start) == '\n') {
        ++start;
    }
    int next = 0;
    const QString vendorName =
        QString::fromUtf8(lineAt(pciIds, start, &next).mid(vendorKey.size()).trimmed());
    const QByteArray deviceKey = '\t' + device + "  ";
    while (next >= 0) {
        const QByteArray line = lineAt(pciIds, next, &next);
        if (line.startsWith('\t')) {
            if (line.startsWith(deviceKey)) {
                return vendorName + QLatin1Char(' ') +
                       QString::fromUtf8(line.mid(deviceKey.size()).trimmed());
            }
        } else if (!line.trimmed().isEmpty() && !line.startsWith('#')) {
            break; // the next vendor, or the class list
        }
    }
    return vendorName + QStringLiteral(" Device ") + QString::fromLatin1(device);
}

QString DeviceInfo::toJson()
{
    return toJson(Sources());
}

QString DeviceInfo::brand()
{
    return brand(Sources());
}

QString DeviceInfo::model()
{
    return model(Sources());
}

QString DeviceInfo::gpuNames()
{
    return gpuNames(Sources());
}

qint64 DeviceInfo::gpuMemoryMb()
{
    return gpuMemoryMb(Sources());
}

QString DeviceInfo::diskInfo()
{
    return diskInfo(Sources());
}

QString DeviceInfo::toJson(const Sources &sources)
{
    QString brandText;
    QString modelText;
    QString gpuText;
    qint64 gpuMemory = 0;
#if defined(Q_OS_WIN)
    const QStringList outputs =
        runWmic({brandQuery(), modelQuery(), gpuNameQuery(), gpuMemoryQuery()});
    brandText = DeviceInfoText::brandFromWmic(outputs.value(0));
    modelText = DeviceInfoText::modelFromWmic(outputs.value(1));
    gpuText = DeviceInfoText::gpuNamesFromWmic(outputs.value(2));
    gpuMemory = DeviceInfoText::gpuMemoryMbFromWmic(outputs.value(3));
#else
    brandText = linuxBrand(sources);
    modelText = linuxModel(sources);
    const QVector<GpuCard> cards = linuxGpuCards(sources);
    gpuText = joinedGpuNames(cards);
    gpuMemory = firstGpuMemoryMb(cards);
#endif

    const QJsonObject obj{
        {QStringLiteral("locale"), QLocale().name()},
        {QStringLiteral("machineId"), QString::fromLatin1(QSysInfo::machineUniqueId())},
        {QStringLiteral("deviceBrand"), brandText},
        {QStringLiteral("deviceModel"), modelText},
        {QStringLiteral("deviceName"), computerName()},
        {QStringLiteral("bootId"), QString::fromLatin1(QSysInfo::bootUniqueId())},
        {QStringLiteral("os"), osName()},
        {QStringLiteral("osVersion"), osVersion()},
        {QStringLiteral("cpuArchitecture"), QSysInfo::currentCpuArchitecture()},
        {QStringLiteral("cpuInfo"), cpuInfo(sources)},
        {QStringLiteral("totalMemory"), totalMemory(sources)},
        {QStringLiteral("freeMemory"), freeMemory(sources)},
        {QStringLiteral("disk"), diskInfo(sources)},
        {QStringLiteral("screen"), screensInfo()},
        {QStringLiteral("appPath"), PathUtil::appDir()},
        {QStringLiteral("gpuInfo"), gpuText},
        {QStringLiteral("gpuMemory"), gpuMemory},
    };
    return JsonUtil::toCompactString(obj);
}

QString DeviceInfo::brand(const Sources &sources)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(sources)
    return DeviceInfoText::brandFromWmic(runWmic({brandQuery()}).value(0));
#else
    return linuxBrand(sources);
#endif
}

QString DeviceInfo::model(const Sources &sources)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(sources)
    return DeviceInfoText::modelFromWmic(runWmic({modelQuery()}).value(0));
#else
    return linuxModel(sources);
#endif
}

QString DeviceInfo::gpuNames(const Sources &sources)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(sources)
    return DeviceInfoText::gpuNamesFromWmic(runWmic({gpuNameQuery()}).value(0));
#else
    return joinedGpuNames(linuxGpuCards(sources));
#endif
}

qint64 DeviceInfo::gpuMemoryMb(const Sources &sources)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(sources)
    return DeviceInfoText::gpuMemoryMbFromWmic(runWmic({gpuMemoryQuery()}).value(0));
#else
    return firstGpuMemoryMb(linuxGpuCards(sources));
#endif
}

QString DeviceInfo::computerName()
{
#if defined(Q_OS_WIN)
    wchar_t name[16] = {}; // MAX_COMPUTERNAME_LENGTH + 1
    DWORD size = 16;
    if (GetComputerNameW(name, &size)) {
        return QString::fromWCharArray(name, static_cast<int>(size));
    }
    // Read before logging, which may set an error code of its own.
    const DWORD error = GetLastError();
    qWarning() << "GetComputerNameW failed:" << error;
    // A DNS host name can be far longer than a NetBIOS name: ask for the size it needs.
    DWORD needed = 0;
    GetComputerNameExW(ComputerNameDnsHostname, nullptr, &needed);
    std::vector<wchar_t> dnsName(needed + 1, L'\0');
    DWORD dnsSize = static_cast<DWORD>(dnsName.size());
    if (needed > 0 && GetComputerNameExW(ComputerNameDnsHostname, dnsName.data(), &dnsSize)) {
        return QString::fromWCharArray(dnsName.data(), static_cast<int>(dnsSize));
    }
    const DWORD dnsError = GetLastError();
    qWarning() << "Fallback GetComputerNameExW also failed:" << dnsError;
    return QString();
#else
    return QSysInfo::machineHostName();
#endif
}

QString DeviceInfo::osName()
{
#if defined(Q_OS_WIN)
    const QString family = QStringLiteral("Windows");
#elif defined(Q_OS_MACOS)
    const QString family = QStringLiteral("macOS");
#elif defined(Q_OS_LINUX)
    const QString family = QStringLiteral("Linux");
#else
    const QString family = QSysInfo::kernelType();
#endif
    // The build's word size rather than its architecture name, which for arm64 builds does not
    // contain "x86_64" and would have them called 32-bit.
    return family + (QSysInfo::WordSize == 64 ? QStringLiteral("64") : QStringLiteral("32"));
}

QString DeviceInfo::osVersion()
{
#if defined(Q_OS_WIN)
    return DeviceInfoText::windowsVersionName(QSysInfo::productVersion());
#else
    return QSysInfo::productVersion();
#endif
}

QString DeviceInfo::diskInfo(const Sources &sources)
{
    QString text;
#if defined(Q_OS_WIN)
    Q_UNUSED(sources)
    const QFileInfoList drives = QDir::drives();
    for (const QFileInfo &drive : drives) {
        QString name = drive.path();
        name.remove(QLatin1Char('/'));
        ULARGE_INTEGER freeBytes = {};
        ULARGE_INTEGER totalBytes = {};
        const QString root = name + QLatin1Char('\\');
        if (GetDiskFreeSpaceExW(reinterpret_cast<LPCWSTR>(root.utf16()), nullptr, &totalBytes,
                                &freeBytes)) {
            text += DeviceInfoText::diskEntry(name, static_cast<qint64>(freeBytes.QuadPart),
                                              static_cast<qint64>(totalBytes.QuadPart));
        }
    }
#else
    const QStringList roots = linuxDiskRoots(sources);
    for (const QString &root : roots) {
        const QStorageInfo volume(root);
        if (volume.isValid() && volume.isReady() && volume.bytesTotal() > 0) {
            text += DeviceInfoText::diskEntry(root, volume.bytesFree(), volume.bytesTotal());
        }
    }
#endif
    return text;
}

QString DeviceInfo::screensInfo()
{
    const QCoreApplication *app = QCoreApplication::instance();
    if (!qobject_cast<const QGuiApplication *>(app)) {
        return QString();
    }
    if (QThread::currentThread() != app->thread()) {
        qWarning() << "DeviceInfo::screensInfo"
                   << "called off the GUI thread, screens left out";
        return QString();
    }
    QString text;
    int number = 0;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        const QRect geometry = screen->geometry();
        // One pass of arg(): a screen name is the monitor's own text and may hold "%3".
        text += QStringLiteral("%1 %2 %3x%4 %5dpi;")
                    .arg(QString::number(++number), screen->name(),
                         QString::number(geometry.width()), QString::number(geometry.height()),
                         QString::number(screen->logicalDotsPerInch()));
    }
    return text;
}

bool DeviceInfo::isOldWindows()
{
    const QOperatingSystemVersion current = QOperatingSystemVersion::current();
    if (current.type() != QOperatingSystemVersion::Windows) {
        return false;
    }
#if defined(Q_OS_WIN)
    // RtlGetVersion tells the real build even to programs without a compatibility manifest.
    using RtlGetVersionFn = LONG(WINAPI *)(PRTL_OSVERSIONINFOW);
    if (const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
            reinterpret_cast<void *>(GetProcAddress(ntdll, "RtlGetVersion")));
        RTL_OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        if (rtlGetVersion && rtlGetVersion(&info) == 0) {
            return DeviceInfoText::isOldWindowsVersion(static_cast<int>(info.dwMajorVersion),
                                                       static_cast<int>(info.dwBuildNumber));
        }
    }
#endif
    qWarning() << "Get Windows build number failed, skip old Windows downgrade";
    return DeviceInfoText::isOldWindowsVersion(current.majorVersion(), current.microVersion());
}

QString DeviceInfo::cpuInfo(const Sources &sources)
{
#if defined(Q_OS_WIN)
    Q_UNUSED(sources)
    const QSettings processor(
        QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"),
        QSettings::NativeFormat);
    return processor.value(QStringLiteral("ProcessorNameString")).toString();
#else
    // Every processor repeats the name; the first block is enough.
    const QByteArray cpuinfo =
        readFile(sources.procRoot + QStringLiteral("/cpuinfo"), kSmallFileMax);
    int next = 0;
    while (next >= 0) {
        const QByteArray line = lineAt(cpuinfo, next, &next);
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed() == "model name") {
            return QString::fromUtf8(line.mid(colon + 1).trimmed());
        }
    }
    return QString();
#endif
}

QString DeviceInfo::totalMemory(const Sources &sources)
{
    quint64 total = 0;
#if defined(Q_OS_WIN)
    Q_UNUSED(sources)
    quint64 available = 0;
    const bool ok = windowsMemory(&total, &available);
#else
    const bool ok = meminfoBytes(
        readFile(sources.procRoot + QStringLiteral("/meminfo"), kSmallFileMax), "MemTotal", &total);
#endif
    return DeviceInfoText::memoryText(ok ? total : 0);
}

QString DeviceInfo::freeMemory(const Sources &sources)
{
    quint64 available = 0;
#if defined(Q_OS_WIN)
    Q_UNUSED(sources)
    quint64 total = 0;
    const bool ok = windowsMemory(&total, &available);
#else
    const QByteArray meminfo =
        readFile(sources.procRoot + QStringLiteral("/meminfo"), kSmallFileMax);
    // MemAvailable counts the caches the kernel gives back; kernels before 3.14 lack it.
    const bool ok = meminfoBytes(meminfo, "MemAvailable", &available) ||
                    meminfoBytes(meminfo, "MemFree", &available);
#endif
    return DeviceInfoText::memoryText(ok ? available : 0);
}
