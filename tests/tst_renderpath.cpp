// The scene graph path: the decision from what the OpenGL probe finds and from the user's
// override, the probe on this display, and the real client choosing and logging its path.
#include "ClientProcess.h"
#include "RenderPath.h"
#include "ScratchFolders.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QSettings>
#include <QtTest>

namespace {
const QByteArray imReady = "\"ImReady\"";

// Starts the installed copy until its home page is ready; returns its render line.
QByteArray renderLineOfRun(const ClientInstall &install, const QProcessEnvironment &extra = {})
{
    QProcess client;
    QProcessEnvironment env = install.environment();
    env.insert(extra);
    client.setProgram(install.path());
    client.setProcessEnvironment(env);
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    const int before = install.logText().count(imReady);
    client.start();
    const bool ready =
        client.waitForStarted(10000) && install.waitForLog(imReady, before + 1, 60000);
    stopProcess(client);
    if (!ready) {
        return QByteArray("home page never ready");
    }
    const QList<QByteArray> lines = install.logText().split('\n');
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->contains("RenderPath: OpenGL renderer")) {
            return *it;
        }
    }
    return QByteArray("no render line");
}
} // namespace

class TestRenderPath : public QObject
{
    Q_OBJECT

private slots:
    void decisionFromRenderer_data()
    {
        QTest::addColumn<bool>("haveContext");
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<bool>("software");
        QTest::newRow("llvmpipe") << true << "llvmpipe (LLVM 15.0.6, 256 bits)" << true;
        QTest::newRow("softpipe") << true << "softpipe" << true;
        QTest::newRow("swrast") << true << "Software Rasterizer" << true;
        QTest::newRow("swiftshader") << true << "Google SwiftShader" << true;
        QTest::newRow("windows gdi") << true << "GDI Generic" << true;
        QTest::newRow("intel") << true << "Mesa Intel(R) UHD Graphics 620 (KBL GT2)" << false;
        QTest::newRow("nvidia") << true << "NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2" << false;
        // Radeon drivers name LLVM too; only the rasteriser's name counts.
        QTest::newRow("radeon") << true << "AMD Radeon RX 580 (polaris10, LLVM 15.0.6, DRM 3.49)"
                                << false;
        QTest::newRow("virgl") << true << "virgl (Mesa)" << false;
        QTest::newRow("empty renderer") << true << "" << true;
        QTest::newRow("no context") << false << "NVIDIA GeForce GTX 1060" << true;
    }

    void decisionFromRenderer()
    {
        QFETCH(bool, haveContext);
        QFETCH(QString, renderer);
        QFETCH(bool, software);
        const RenderPath::Decision d =
            RenderPath::decide(RenderPath::Choice::Auto, haveContext, renderer);
        QCOMPARE(d.software, software);
        QVERIFY(!d.reason.isEmpty());
        QCOMPARE(d.renderer.isEmpty(), !haveContext || renderer.isEmpty());
    }

    void overrideWinsOverTheProbe()
    {
        const QString llvmpipe = QStringLiteral("llvmpipe (LLVM 15.0.6, 256 bits)");
        const QString nvidia = QStringLiteral("NVIDIA GeForce GTX 1060");
        QVERIFY(!RenderPath::decide(RenderPath::Choice::OpenGL, true, llvmpipe).software);
        QVERIFY(!RenderPath::decide(RenderPath::Choice::OpenGL, false, QString()).software);
        QVERIFY(RenderPath::decide(RenderPath::Choice::Software, true, nvidia).software);

        bool valid = false;
        QCOMPARE(RenderPath::parseChoice(QStringLiteral(" Software "), &valid),
                 RenderPath::Choice::Software);
        QVERIFY(valid);
        QCOMPARE(RenderPath::parseChoice(QStringLiteral("OPENGL"), &valid),
                 RenderPath::Choice::OpenGL);
        QCOMPARE(RenderPath::parseChoice(QString(), &valid), RenderPath::Choice::Auto);
        QVERIFY(valid);
        QCOMPARE(RenderPath::parseChoice(QStringLiteral("auto"), &valid), RenderPath::Choice::Auto);
        QVERIFY(valid);
        // A typo forces nothing and is reported as such.
        QCOMPARE(RenderPath::parseChoice(QStringLiteral("sofware"), &valid),
                 RenderPath::Choice::Auto);
        QVERIFY(!valid);
    }

    // This suite runs on Xvfb, whose OpenGL is Mesa's rasteriser.
    void probeOnThisDisplayChoosesSoftware()
    {
        QString renderer;
        QVERIFY(RenderPath::probeRenderer(&renderer));
        QVERIFY2(RenderPath::isSoftwareRenderer(renderer), qPrintable(renderer));

        qunsetenv(RenderPath::environmentVariable());
        const RenderPath::Decision d = RenderPath::choose();
        QVERIFY(d.software);
        QCOMPARE(d.renderer, renderer);
        QCOMPARE(QQuickWindow::sceneGraphBackend(), QStringLiteral("software"));

        qputenv(RenderPath::environmentVariable(), "opengl");
        const RenderPath::Decision forced = RenderPath::choose();
        qunsetenv(RenderPath::environmentVariable());
        QVERIFY(!forced.software);
        QVERIFY2(forced.reason.contains(QLatin1String("BRV_SCENE_GRAPH")),
                 qPrintable(forced.reason));
    }

    void clientStartsOnTheSoftwarePathAndHonoursOverrides()
    {
        ClientInstall install(QStringLiteral("render"));
        QVERIFY(install.isValid());

        QByteArray line = renderLineOfRun(install);
        QVERIFY2(line.contains("scene graph software (software rasteriser)"), line.constData());
        QVERIFY2(line.contains("llvmpipe") || line.contains("softpipe"), line.constData());

        {
            QSettings ini(install.binDir() + QStringLiteral("/brimvale.ini"), QSettings::IniFormat);
            ini.setValue(RenderPath::iniKey(), QStringLiteral("opengl"));
        }
        line = renderLineOfRun(install);
        QVERIFY2(line.contains("scene graph opengl (forced by brimvale.ini render/sceneGraph)"),
                 line.constData());

        // The environment wins over the file, for a single run.
        QProcessEnvironment env;
        env.insert(QString::fromLatin1(RenderPath::environmentVariable()),
                   QStringLiteral("software"));
        line = renderLineOfRun(install, env);
        QVERIFY2(line.contains("scene graph software (forced by BRV_SCENE_GRAPH)"),
                 line.constData());
    }
};

int main(int argc, char **argv)
{
    const auto scratch = ensureScratchFolders();
    QGuiApplication app(argc, argv);
    TestRenderPath test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_renderpath.moc"
