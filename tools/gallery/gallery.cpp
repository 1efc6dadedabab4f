// Shows one of the client's windows on its own, for screenshots and for looking at a change:
//   brv_gallery [--theme NAME] [--lang CODE] box KIND TEXT | titled | page ROUTE | home |
//               devicetest [beauty] | class LIVE_ID [share|frame|camera]
// "class" opens the live window for the user BRV_DEMO_USER names (as the client does after
// "Signal_OpenLive"), then optionally the share chooser, the share frame or a hovered view.
#include "AppSettings.h"
#include "CameraRender.h"
#include "CameraRenderOverlay.h"
#include "DemoService.h"
#include "DeviceTestDlg.h"
#include "HomeDlg.h"
#include "LangUtil.h"
#include "LiveDlg.h"
#include "RenderPath.h"
#include "ShareOptionDlg.h"
#include "ThemeStyle.h"
#include "WebEngineView.h"
#include "XDialog.h"
#include "XMessageBox.h"

#include "BuildInfo.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

class PageWindow : public XDialog
{
public:
    explicit PageWindow(bool titled)
    {
        if (titled) {
            minButtonWanted = true;
            maxButtonWanted = true;
        }
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        XDialog::resizeEvent(event);
        placeWebView(webView());
    }
};

} // namespace

int main(int argc, char **argv)
{
    const bool demo = DemoService::isActive(QString::fromUtf8(BuildInfo::baseUrl));
    if (demo) {
        DemoService::registerScheme();
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("brimvale-gallery"));
    // The client's scene graph path, so that what is photographed is what users see.
    RenderPath::choose();

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("theme"), QStringLiteral("Theme name."),
                      QStringLiteral("name"), QStringLiteral("light")});
    parser.addOption({QStringLiteral("lang"), QStringLiteral("Language code."),
                      QStringLiteral("code"), QStringLiteral("en")});
    parser.addPositionalArgument(QStringLiteral("what"),
                                 QStringLiteral("box, titled, page, home or devicetest"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        parser.showHelp(1);
    }

    LangUtil::setCurrentLang(parser.value(QStringLiteral("lang")));
    ThemeStyle::instance()->setTheme(parser.value(QStringLiteral("theme")));
    ThemeStyle::instance()->generateSkinImages();
    app.setStyleSheet(ThemeStyle::instance()->appStyleSheet());
    if (demo) {
        DemoService::install();
    }

    const QString what = args.first();
    if (what == QLatin1String("box")) {
        const QString kind = args.value(1, QStringLiteral("info"));
        const QString text = args.value(2, QStringLiteral("Brimvale"));
        const QString key = kind + QStringLiteral("Title");
        XMessageBox box(kind, text, LangUtil::trCommon(key), nullptr);
        return box.exec();
    }
    if (what == QLatin1String("titled")) {
        PageWindow window(true);
        window.resize(560, 360);
        window.setTitle(QStringLiteral("Brimvale v") + QString::fromLatin1(BuildInfo::versionText));
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(24, ThemeStyle::instance()->titleHeight + 16, 24, 24);
        auto *label = new QLabel(LangUtil::trCommon(QStringLiteral("infoTitle")), &window);
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
        window.show();
        return app.exec();
    }
    if (what == QLatin1String("page")) {
        PageWindow window(false);
        window.resize(1000, 640);
        window.sendWebMsg(QStringLiteral("SetLiveState"), QStringLiteral("ready"));
        window.sendWebMsg(QStringLiteral("UpdateLiveInfo"),
                          QJsonObject{{QStringLiteral("liveId"), QStringLiteral("demo-live-1001")},
                                      {QStringLiteral("title"), QStringLiteral("几何入门")}});
        window.loadPage(
            args.value(1, QStringLiteral("/qt/live/index")),
            QJsonObject{{QStringLiteral("liveId"), QStringLiteral("demo-live-1001")},
                        {QStringLiteral("theme"), ThemeStyle::instance()->currentTheme}});
        window.show();
        return app.exec();
    }
    if (what == QLatin1String("home")) {
        // The real home window; it shows itself when its page is ready.
        HomeDlg home(nullptr);
        return app.exec();
    }
    if (what == QLatin1String("devicetest")) {
        // Opened for a class, so that the join button shows too.
        auto *dlg = new DeviceTestDlg(nullptr);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->setLiveId(QStringLiteral("demo-live-1001"));
        QObject::connect(dlg, &QObject::destroyed, &app, &QCoreApplication::quit);
        dlg->show();
        if (args.value(1) == QLatin1String("beauty")) {
            QMetaObject::invokeMethod(dlg, "slotShowBeautyClicked", Qt::QueuedConnection);
        }
        return app.exec();
    }
    if (what == QLatin1String("class")) {
        const QStringList session =
            QString::fromLocal8Bit(qgetenv("BRV_DEMO_USER")).split(QLatin1Char(':'));
        UserInfo user;
        user.userId = session.value(0);
        user.nickname = session.value(1);
        AppSettings::setUserInfo(user);
        AppSettings::setCurrUserType(session.value(2));
        auto *live = new LiveDlg();
        live->setLiveId(args.value(1, QStringLiteral("demo-live-1001")));
        const QString extra = args.value(2);
        // Once the class window is up (it shows itself when its page is loaded) and has settled.
        auto *poll = new QTimer(live);
        QObject::connect(poll, &QTimer::timeout, live, [live, poll, extra] {
            if (!live->isVisible()) {
                return;
            }
            poll->stop();
            QTimer::singleShot(4000, live, [live, extra] {
                if (extra == QLatin1String("share")) {
                    live->showShareOption();
                } else if (extra == QLatin1String("frame")) {
                    live->showShareFrame();
                } else if (extra == QLatin1String("camera")) {
                    for (CameraRender *view : live->cameraViews()) {
                        if (!view->isOwnView()) {
                            view->getOverlay()->setHovered(true);
                        }
                    }
                }
            });
        });
        poll->start(200);
        return app.exec();
    }
    std::fprintf(stderr, "unknown window: %s\n", qPrintable(what));
    return 1;
}
