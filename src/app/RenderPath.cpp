#include "RenderPath.h"

#include "AppSettings.h"
#include "DeviceInfo.h"

#include <QElapsedTimer>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtDebug>

namespace {
// Renderer strings of the rasterisers that run on the processor.
const char *const softwareRenderers[] = {
    "llvmpipe",    "softpipe",    "swrast",       "software rasterizer",
    "swiftshader", "gdi generic", "basic render", "lavapipe",
};

QString choiceSource(const QByteArray &env, const QString &ini, RenderPath::Choice *choice)
{
    bool valid = true;
    if (!env.trimmed().isEmpty()) {
        *choice = RenderPath::parseChoice(QString::fromLocal8Bit(env), &valid);
        if (!valid) {
            qWarning() << "RenderPath: unknown value of" << RenderPath::environmentVariable() << env
                       << "ignored";
        }
        if (*choice != RenderPath::Choice::Auto) {
            return QString::fromLatin1(RenderPath::environmentVariable());
        }
    }
    if (!ini.trimmed().isEmpty()) {
        *choice = RenderPath::parseChoice(ini, &valid);
        if (!valid) {
            qWarning() << "RenderPath: unknown value of brimvale.ini" << RenderPath::iniKey() << ini
                       << "ignored";
        }
        if (*choice != RenderPath::Choice::Auto) {
            return QStringLiteral("brimvale.ini ") + RenderPath::iniKey();
        }
    }
    *choice = RenderPath::Choice::Auto;
    return QString();
}
} // namespace

const char *RenderPath::environmentVariable()
{
    return "BRV_SCENE_GRAPH";
}

QString RenderPath::iniKey()
{
    return AppSettingsKey::sceneGraph;
}

RenderPath::Choice RenderPath::parseChoice(const QString &text, bool *valid)
{
    const QString word = text.trimmed().toLower();
    if (valid) {
        *valid = true;
    }
    if (word == QLatin1String("software")) {
        return Choice::Software;
    }
    if (word == QLatin1String("opengl")) {
        return Choice::OpenGL;
    }
    if (!word.isEmpty() && word != QLatin1String("auto") && valid) {
        *valid = false;
    }
    return Choice::Auto;
}

bool RenderPath::isSoftwareRenderer(const QString &renderer)
{
    for (const char *name : softwareRenderers) {
        if (renderer.contains(QLatin1String(name), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

RenderPath::Decision RenderPath::decide(Choice forced, bool haveContext, const QString &renderer)
{
    Decision decision;
    decision.renderer = haveContext ? renderer : QString();
    if (forced != Choice::Auto) {
        decision.software = forced == Choice::Software;
        decision.reason = QStringLiteral("forced");
    } else if (!haveContext) {
        decision.software = true;
        decision.reason = QStringLiteral("no OpenGL context");
    } else if (renderer.trimmed().isEmpty() || isSoftwareRenderer(renderer)) {
        decision.software = true;
        decision.reason = QStringLiteral("software rasteriser");
    } else {
        decision.reason = QStringLiteral("hardware");
    }
    return decision;
}

bool RenderPath::probeRenderer(QString *renderer)
{
    QOpenGLContext context;
    if (!context.create()) {
        return false;
    }
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) {
        return false;
    }
    const auto *text =
        reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    *renderer = text ? QString::fromUtf8(text) : QString();
    context.doneCurrent();
    return true;
}

RenderPath::Decision RenderPath::choose()
{
    Choice forced = Choice::Auto;
    const QString source = choiceSource(qgetenv(environmentVariable()),
                                        AppSettings::iniValue(iniKey(), QString()), &forced);

    QElapsedTimer timer;
    timer.start();
    QString renderer;
    const bool haveContext = probeRenderer(&renderer);
    const qint64 probeMs = timer.elapsed();

    Decision decision = decide(forced, haveContext, renderer);
#if defined(Q_OS_WIN)
    // Windows keeps its own test: ANGLE and the drivers there are chosen before the
    // application object exists.
    if (forced == Choice::Auto) {
        decision.software = DeviceInfo::isOldWindows();
        decision.reason = decision.software ? QStringLiteral("old Windows")
                                            : QStringLiteral("Windows 10 1809 or newer");
    }
#endif
    if (!source.isEmpty()) {
        decision.reason += QStringLiteral(" by ") + source;
    }
    if (decision.software) {
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    }
    qInfo().noquote() << QStringLiteral("RenderPath: OpenGL renderer \"%1\", scene graph %2 (%3), "
                                        "probe %4 ms")
                             .arg(haveContext ? renderer : QStringLiteral("none"),
                                  decision.software ? QStringLiteral("software")
                                                    : QStringLiteral("opengl"),
                                  decision.reason)
                             .arg(probeMs);
    return decision;
}
