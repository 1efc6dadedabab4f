// Recording on this machine through the real SDK under a virtual display: a window's area goes
// into a WebM file that GStreamer decodes back to VP8 frames of that size and colour; names
// never repeat and existing files are never overwritten; failures come back as failures.
#include "ScratchFolders.h"
#include "TrtcUtil.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>
#include <QWidget>
#include <QtTest>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

namespace {

// The recording events in order, as "begin:CODE:PATH" and "complete:CODE:PATH".
class RecordSink : public liteav::ITRTCCloudCallback
{
public:
    void onLocalRecordBegin(int errCode, const char *storagePath) override
    {
        note(QStringLiteral("begin"), errCode, storagePath);
    }
    void onLocalRecordComplete(int errCode, const char *storagePath) override
    {
        note(QStringLiteral("complete"), errCode, storagePath);
    }
    QStringList events() const
    {
        QMutexLocker locker(&mutex);
        return list;
    }

private:
    void note(const QString &kind, int code, const char *path)
    {
        QMutexLocker locker(&mutex);
        list << QStringLiteral("%1:%2:%3").arg(kind).arg(code).arg(QString::fromUtf8(path));
    }
    mutable QMutex mutex;
    QStringList list;
};

QString recordEvent(const QString &kind, int code, const QString &path)
{
    return QStringLiteral("%1:%2:%3").arg(kind).arg(code).arg(path);
}

struct Decoded
{
    int frames = 0;
    int width = 0;
    int height = 0;
    QColor centre;
    QString error;
};

// Demuxes the file as WebM and decodes it as VP8: anything else fails to link.
Decoded decodeWebm(const QString &path)
{
    Decoded result;
    GError *error = nullptr;
    const QByteArray description =
        "filesrc name=src ! matroskademux ! vp8dec ! videoconvert ! video/x-raw,format=RGB ! "
        "appsink name=sink sync=false";
    GstElement *pipeline = gst_parse_launch(description.constData(), &error);
    if (error != nullptr) {
        result.error = QString::fromUtf8(error->message);
        g_clear_error(&error);
        return result;
    }
    GstElement *src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    g_object_set(src, "location", path.toUtf8().constData(), nullptr);
    gst_object_unref(src);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND)) {
        ++result.frames;
        GstCaps *caps = gst_sample_get_caps(sample);
        const GstStructure *structure = gst_caps_get_structure(caps, 0);
        gst_structure_get_int(structure, "width", &result.width);
        gst_structure_get_int(structure, "height", &result.height);
        GstMapInfo map;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const int stride = (result.width * 3 + 3) / 4 * 4;
            const guint8 *pixel = map.data + (result.height / 2) * stride + (result.width / 2) * 3;
            result.centre = QColor(pixel[0], pixel[1], pixel[2]);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    GstBus *bus = gst_element_get_bus(pipeline);
    if (GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        gst_message_parse_error(message, &error, nullptr);
        result.error = QString::fromUtf8(error->message);
        g_clear_error(&error);
        gst_message_unref(message);
    }
    gst_object_unref(bus);
    gst_object_unref(sink);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return result;
}

QByteArray head(const QString &path, int size)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 &&
           qAbs(a.blue() - b.blue()) < 40;
}

} // namespace

class TestLocalRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void recordsAWindowsAreaIntoANewWebmFile();
    void failuresAreReportedAsFailures();

private:
    RecordSink sink;
};

void TestLocalRecord::initTestCase()
{
    gst_init(nullptr, nullptr);
    TrtcUtil::instance()->addCallback(&sink);
}

void TestLocalRecord::cleanupTestCase()
{
    TrtcUtil::instance()->removeCallback(&sink);
}

void TestLocalRecord::recordsAWindowsAreaIntoANewWebmFile()
{
    const QColor colour(200, 40, 40);
    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, colour);
    window.setPalette(palette);
    window.setGeometry(120, 90, 320, 240);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);

    // The whole screen as source, cut to the window's area, as the class window does.
    TrtcUtil *trtc = TrtcUtil::instance();
    liteav::ITRTCScreenCaptureSourceList *sources = trtc->getScreenCaptureSources();
    QVERIFY(sources != nullptr);
    liteav::TRTCScreenCaptureSourceInfo screen;
    for (uint32_t i = 0; i < sources->getCount(); ++i) {
        if (sources->getSourceInfo(i).type == liteav::TRTCScreenCaptureSourceTypeScreen) {
            screen = sources->getSourceInfo(i);
        }
    }
    QCOMPARE(screen.type, liteav::TRTCScreenCaptureSourceTypeScreen);
    trtc->selectScreenCaptureTarget(screen, QRect(window.mapToGlobal(QPoint(0, 0)), window.size()));
    sources->release();

    // The videos folder is made on demand; a class name cannot reach outside it.
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    QVERIFY(!QFileInfo::exists(videos));
    const QDateTime time(QDate(2026, 3, 4), QTime(9, 5, 7));
    const QString path = TrtcUtil::newRecordingPath(QStringLiteral("../物理 7/B"), time);
    QCOMPARE(QFileInfo(path).absolutePath(), QDir(videos).absolutePath());
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("_物理 7_B 2026-03-04 09.05.07.webm"));

    trtc->startLocalRecording(path);
    QTRY_COMPARE(sink.events(), QStringList{recordEvent("begin", 0, path)});
    QTest::qWait(2000);
    trtc->stopLocalRecording();
    QTRY_COMPARE_WITH_TIMEOUT(sink.events().size(), 2, 15000);
    QCOMPARE(sink.events().last(), recordEvent("complete", 0, path));

    QCOMPARE(head(path, 4), QByteArray::fromHex("1a45dfa3"));
    const Decoded decoded = decodeWebm(path);
    QVERIFY2(decoded.error.isEmpty(), qPrintable(decoded.error));
    QCOMPARE(decoded.width, 320);
    QCOMPARE(decoded.height, 240);
    // About two seconds at 15 frames a second.
    QVERIFY2(decoded.frames >= 15 && decoded.frames <= 60,
             qPrintable(QString::number(decoded.frames)));
    QVERIFY2(near(decoded.centre, colour), qPrintable(decoded.centre.name()));

    // The same class in the same second gets a second name, and the first file is never
    // written over, even when asked to directly.
    const QString second = TrtcUtil::newRecordingPath(QStringLiteral("../物理 7/B"), time);
    QCOMPARE(QFileInfo(second).fileName(),
             QStringLiteral("_物理 7_B 2026-03-04 09.05.07 (2).webm"));
    const qint64 size = QFileInfo(path).size();
    trtc->startLocalRecording(path);
    QTRY_COMPARE(sink.events().size(), 3);
    QCOMPARE(sink.events().last(), recordEvent("begin", liteav::ERR_LOCAL_RECORD_FILE_FAIL, path));
    QCOMPARE(QFileInfo(path).size(), size);

    // The second name records a file of its own.
    trtc->startLocalRecording(second);
    QTRY_COMPARE(sink.events().size(), 4);
    QCOMPARE(sink.events().last(), recordEvent("begin", 0, second));
    QTest::qWait(500);
    trtc->stopLocalRecording();
    QTRY_COMPARE_WITH_TIMEOUT(sink.events().size(), 5, 15000);
    QCOMPARE(sink.events().last(), recordEvent("complete", 0, second));
    QCOMPARE(head(second, 4), QByteArray::fromHex("1a45dfa3"));
    QCOMPARE(QFileInfo(path).size(), size);
}

void TestLocalRecord::failuresAreReportedAsFailures()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QDir scratch(folder.path());
    QFile blocker(scratch.filePath(QStringLiteral("not-a-folder")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QDateTime time = QDateTime::currentDateTime();
    // A folder that cannot be made gives no name at all.
    QVERIFY(
        TrtcUtil::newRecordingPath(QStringLiteral("c"), time, blocker.fileName() + "/v").isEmpty());

    const int before = sink.events().size();
    TrtcUtil *trtc = TrtcUtil::instance();
    // Stopping without a recording is no event, in particular no completed file.
    trtc->stopLocalRecording();
    // A file that cannot be created.
    const QString unwritable = blocker.fileName() + QStringLiteral("/x.webm");
    trtc->startLocalRecording(unwritable);
    QTRY_COMPARE(sink.events().size(), before + 1);
    QCOMPARE(sink.events().last(),
             recordEvent("begin", liteav::ERR_LOCAL_RECORD_FILE_FAIL, unwritable));

    // One recording at a time: the second is refused, leaves no file, and the first finishes.
    const QString first = scratch.filePath(QStringLiteral("first.webm"));
    const QString other = scratch.filePath(QStringLiteral("other.webm"));
    trtc->startLocalRecording(first);
    trtc->startLocalRecording(other);
    QTRY_COMPARE(sink.events().size(), before + 3);
    QCOMPARE(sink.events().mid(before + 1),
             (QStringList{recordEvent("begin", 0, first),
                          recordEvent("begin", liteav::ERR_LOCAL_RECORD_FAIL, other)}));
    QVERIFY(!QFileInfo::exists(other));
    QTest::qWait(300);
    trtc->stopLocalRecording();
    trtc->stopLocalRecording();
    QTRY_COMPARE_WITH_TIMEOUT(sink.events().size(), before + 4, 15000);
    QCOMPARE(sink.events().last(), recordEvent("complete", 0, first));
    QTest::qWait(300);
    QCOMPARE(sink.events().size(), before + 4);
}

int main(int argc, char **argv)
{
    auto scratch = ensureScratchFolders();
    QApplication app(argc, argv);
    TestLocalRecord test;
    const int result = QTest::qExec(&test, argc, argv);
    destroyTRTCShareInstance();
    return result;
}

#include "tst_localrecord.moc"
