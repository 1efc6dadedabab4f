#pragma once

#include <QString>

// Which scene graph Qt Quick, and with it every web view, draws through. Where OpenGL is only a
// software rasteriser (virtual machines, remote desktops, thin clients) the OpenGL path buys
// nothing and costs memory, so the software backend is chosen there.
class RenderPath
{
public:
    enum class Choice { Auto, OpenGL, Software };

    struct Decision
    {
        bool software = false;
        // The OpenGL renderer string; empty when no context could be made.
        QString renderer;
        // Why this path: shown in the log line.
        QString reason;
    };

    // The override's environment variable and its "brimvale.ini" key; both take "auto",
    // "software" or "opengl".
    static const char *environmentVariable();
    static QString iniKey();

    // Case and surrounding blanks are ignored; empty is Auto. Anything else is Auto with *valid
    // false, so that a typo does not force a path.
    static Choice parseChoice(const QString &text, bool *valid = nullptr);
    // True for the renderer strings of the software rasterisers (llvmpipe, softpipe, swrast,
    // SwiftShader, Windows' GDI and basic render drivers).
    static bool isSoftwareRenderer(const QString &renderer);
    // The path for a probe result: no context counts as no hardware; a forced choice wins.
    static Decision decide(Choice forced, bool haveContext, const QString &renderer);

    // Makes a short-lived OpenGL context and reads its renderer string; false when the platform
    // gives no context.
    static bool probeRenderer(QString *renderer);

    // The override (environment first, then the INI file), the probe, the switch to the
    // software backend when that is the path, and one log line. Needs the application object
    // and must run before the first window with a web view.
    static Decision choose();
};
