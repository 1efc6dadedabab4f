#include "HomeBaseDlg.h"

#include "AppSettings.h"
#include "Iconfont.h"
#include "PathUtil.h"
#include "ThemeStyle.h"

#include <QTimer>

HomeBaseDlg::HomeBaseDlg(QWidget *parent)
    : XDialog(parent)
{
    PathUtil::makePath(PathUtil::appDataDir() + QStringLiteral("tmp/"));
}

HomeBaseDlg::~HomeBaseDlg()
{
    qDebug() << "HomeDlg::~HomeBaseDlg";
    delete staysOnTopTimer;
    staysOnTopTimer = nullptr;
    Iconfont::release();
    ThemeStyle::release();
}

void HomeBaseDlg::slotSingleApplicationMessage(const QString &message)
{
    Q_UNUSED(message)
    if (isMinimized()) {
        if (AppSettings::value(AppSettingsKey::homeMaxWindow).toInt() == 1) {
            showMaximized();
        } else {
            showNormal();
        }
    } else {
        if (isVisible() && !isActiveWindow()) {
            // A moment on top of everything brings the window before the foreground program.
            setStaysOnTop();
            if (staysOnTopTimer == nullptr) {
                staysOnTopTimer = new QTimer();
                staysOnTopTimer->setSingleShot(true);
                connect(staysOnTopTimer, &QTimer::timeout, this, &HomeBaseDlg::removeStaysOnTop);
            }
            staysOnTopTimer->start(200);
        }
        show();
    }
    raise();
    activateWindow();
}

void HomeBaseDlg::removeStaysOnTop()
{
    if (staysOnTopTimer != nullptr) {
        staysOnTopTimer->stop();
    }
    setWindowFlags(windowFlags() & ~Qt::WindowStaysOnTopHint);
    show();
}
