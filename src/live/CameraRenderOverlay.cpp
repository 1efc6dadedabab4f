#include "CameraRenderOverlay.h"

#include "AppSettings.h"
#include "FileDownloader.h"
#include "GlobalSignal.h"
#include "Iconfont.h"
#include "JsonUtil.h"
#include "LangUtil.h"
#include "ThemeStyle.h"
#include "TrtcUtil.h"
#include "XMenu.h"
#include "XPushButton.h"

#include <QCursor>
#include <QFontMetrics>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

const QString section = QStringLiteral("CameraRenderMask");
const QString defaultAvatar = QStringLiteral(":/res/images/default_avatar.png");
const QString moreName = QStringLiteral("More");

struct ControlGlyph
{
    const char *name;
    uint glyph;
};

constexpr ControlGlyph controlGlyphs[] = {
    {"CloseAllCameras", Iconfont::AllCamerasOff},
    {"CloseAllMics", Iconfont::AllMicrophonesOff},
    {"CloseAllPens", Iconfont::AllPensOff},
    {"OpenCamera", Iconfont::CameraOn},
    {"CloseCamera", Iconfont::CameraOff},
    {"OpenMic", Iconfont::MicrophoneOn},
    {"CloseMic", Iconfont::MicrophoneMute},
    {"OpenPen", Iconfont::PenOn},
    {"ClosePen", Iconfont::PenOff},
    {"MaxVideo", Iconfont::MaximizeVideo},
    {"NormalVideo", Iconfont::RestoreVideo},
};

const char *const menuItems[] = {"pb_camera_original_video", "pb_camera_rotate_270",
                                 "pb_camera_rotate_90", "pb_camera_rotate_horizontal",
                                 "pb_camera_rotate_vertical"};

bool isOn(const QString &state)
{
    return state == QLatin1String("Opened") || state == QLatin1String("Opening");
}

} // namespace

CameraRenderOverlay::CameraRenderOverlay(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CameraRenderOverlay"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    const ThemeStyle *theme = ThemeStyle::instance();
    font = QFont(theme->fontFamily);
    font.setPixelSize(theme->fontSize);
    iconFontFamily = Iconfont::instance()->iconFont().family();
    studentMode = AppSettings::isStudent();
    loadDefaultAvatar();
    if (!studentMode) {
        createControls();
    }
}

CameraRenderOverlay::~CameraRenderOverlay()
{
    // The menu has no parent; the overlay owns it.
    delete cameraMenu;
}

QString CameraRenderOverlay::textFor(const QString &name)
{
    if (name == QLatin1String("pb_camera_original_video")) {
        return LangUtil::trExact(section, QStringLiteral("CameraMenu::OriginalVideo"));
    }
    if (name.startsWith(QLatin1String("pb_"))) {
        return LangUtil::tr(section, name);
    }
    // Control names start upper case, the texts' keys lower case.
    QString key = name;
    if (!key.isEmpty()) {
        key[0] = key.at(0).toLower();
    }
    return LangUtil::tr(section, key);
}

XPushButton *CameraRenderOverlay::control(const QString &name) const
{
    return name == moreName ? pbMore : controls.value(name);
}

void CameraRenderOverlay::createControls()
{
    for (const ControlGlyph &c : controlGlyphs) {
        const QString name = QString::fromLatin1(c.name);
        XPushButton *button = XPushButton::createIconButton(this, name, 20, c.glyph, Qt::white);
        button->setToolTip(textFor(name));
        button->hide();
        connect(button, &XPushButton::signalPbMousePress, this,
                &CameraRenderOverlay::slotPbMousePress);
        controls.insert(name, button);
    }
    pbMore = XPushButton::createIconButton(this, moreName, 16, Iconfont::More, Qt::white);
    pbMore->hide();
    connect(pbMore, &XPushButton::signalPbMousePress, this, &CameraRenderOverlay::slotPbMousePress);
    cameraMenu = new XMenu(this);
    bool first = true;
    for (const char *item : menuItems) {
        const QString name = QString::fromLatin1(item);
        cameraMenu->addCheckAction(name, textFor(name), first);
        first = false;
    }
    connect(cameraMenu, &XMenu::signalClickedMenu, this, &CameraRenderOverlay::slotClickedMenu);
}

void CameraRenderOverlay::loadDefaultAvatar()
{
    avatar = QPixmap(defaultAvatar);
}

void CameraRenderOverlay::setLiveUser(const LiveUser &user)
{
    const QString oldId = liveUser.userId;
    const QString oldUrl = liveUser.avatarUrl;
    liveUser = user;
    if (liveUser.nickname.isEmpty()) {
        nameRect = QRect();
    } else {
        const QFontMetrics metrics(font);
        nameRect =
            QRect(0, 0, metrics.horizontalAdvance(liveUser.nickname) + 12, metrics.height() + 4);
    }
    if (oldId != liveUser.userId || oldUrl != liveUser.avatarUrl) {
        if (download != nullptr) {
            download->deleteLater();
            download = nullptr;
        }
        loadDefaultAvatar();
        update();
        if (!liveUser.avatarUrl.isEmpty()) {
            download = new FileDownloader(this);
            connect(download, &FileDownloader::finished, this,
                    &CameraRenderOverlay::slotDownloadFinished);
            download->download(liveUser.avatarUrl);
        }
    }
    updateControls();
    update();
}

void CameraRenderOverlay::slotDownloadFinished(int errCode)
{
    if (sender() == nullptr || sender() != download) {
        return;
    }
    const QByteArray data = download->data();
    if (errCode == 0 && !data.isEmpty()) {
        QPixmap loaded;
        if (loaded.loadFromData(data)) {
            avatar = loaded;
            update();
            return;
        }
    }
    loadDefaultAvatar();
    update();
}

void CameraRenderOverlay::slotPbMousePress(QString pbName)
{
    if (pbName == moreName) {
        if (cameraMenu != nullptr && pbMore != nullptr) {
            const QPoint at = pbMore->mapToGlobal(QPoint(0, pbMore->height() + 2));
            cameraMenu->popup(at);
        }
        return;
    }
    // The command acts on this view's user, so it carries the user's id.
    const QJsonObject command{{QStringLiteral("command"), pbName},
                              {QStringLiteral("userId"), liveUser.userId}};
    GlobalSignal::Instance()->notify(QStringLiteral("Signal_LiveCommand"),
                                     JsonUtil::toCompactString(command));
}

void CameraRenderOverlay::slotClickedMenu(QString pbName, QString actionName)
{
    Q_UNUSED(pbName)
    for (const char *item : menuItems) {
        if (actionName == QLatin1String(item)) {
            TrtcUtil::instance()->setLocalRenderParams(TrtcVideo::localRenderParamsFor(actionName));
            break;
        }
    }
    if (cameraMenu != nullptr) {
        cameraMenu->setChecked(actionName, true);
    }
}

void CameraRenderOverlay::hideControls()
{
    for (XPushButton *button : qAsConst(laidOut)) {
        button->hide();
    }
    if (pbMore != nullptr) {
        pbMore->hide();
    }
}

void CameraRenderOverlay::updateControls()
{
    if (studentMode) {
        return;
    }
    hideControls();
    laidOut.clear();
    QStringList names;
    if (liveUser.userId.compare(AppSettings::userId(), Qt::CaseInsensitive) == 0) {
        names << QStringLiteral("CloseAllCameras") << QStringLiteral("CloseAllMics")
              << QStringLiteral("CloseAllPens");
    } else {
        names << (liveUser.cameraState == QLatin1String("Opened") ? QStringLiteral("CloseCamera")
                                                                  : QStringLiteral("OpenCamera"));
        names << (liveUser.micState == QLatin1String("Opened") ? QStringLiteral("CloseMic")
                                                               : QStringLiteral("OpenMic"));
        names << (liveUser.penState == QLatin1String("Opened") ? QStringLiteral("ClosePen")
                                                               : QStringLiteral("OpenPen"));
    }
    names << (liveUser.isMaxVideo == 1 ? QStringLiteral("NormalVideo")
                                       : QStringLiteral("MaxVideo"));
    for (const QString &name : qAsConst(names)) {
        laidOut.append(controls.value(name));
    }
    if (hover) {
        layoutControls();
    }
}

QStringList CameraRenderOverlay::layoutNames() const
{
    QStringList names;
    for (XPushButton *button : laidOut) {
        names << button->objectName();
    }
    return names;
}

void CameraRenderOverlay::layoutControls()
{
    if (studentMode || !hover) {
        return;
    }
    const int count = laidOut.size();
    if (liveUser.isMaxVideo == 1) {
        int x = width() - count * 44;
        for (XPushButton *button : qAsConst(laidOut)) {
            button->setGeometry(x, 12, 32, 32);
            button->show();
            x += 44;
        }
        pbMore->setGeometry(x, 12, 32, 32);
    } else {
        for (int i = 0; i < count; ++i) {
            const int x = (width() - 60) / 2 + 36 * (i % 2);
            const int y = (height() - 60) / 2 + (i >= 2 ? 36 : 0);
            laidOut.at(i)->setGeometry(x, y, 24, 24);
            laidOut.at(i)->show();
        }
        pbMore->setGeometry(width() - 30, 4, 24, 24);
    }
    pbMore->show();
}

void CameraRenderOverlay::setHovered(bool hovered)
{
    if (studentMode || hovered == hover) {
        return;
    }
    hover = hovered;
    if (hover) {
        layoutControls();
    } else {
        hideControls();
    }
    update();
}

void CameraRenderOverlay::setVolume(int value)
{
    volume = qBound(0, value, 100);
    repaint();
}

void CameraRenderOverlay::setNetQuality(int quality)
{
    if (quality != netQuality) {
        netQuality = quality;
        repaint();
    }
}

int CameraRenderOverlay::volumeBarWidth(int volume, int width)
{
    if (volume <= 0) {
        return 0;
    }
    return static_cast<int>(std::lround(volume / 10.0)) * width / 10;
}

void CameraRenderOverlay::enterEvent(QEvent *event)
{
    QWidget::enterEvent(event);
    setHovered(true);
}

void CameraRenderOverlay::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (!geometry().contains(mapToParent(mapFromGlobal(QCursor::pos()))) || !isVisible()) {
        setHovered(false);
    }
}

void CameraRenderOverlay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    avatarSize = qMin(static_cast<int>(0.6 * width()), 88);
    layoutControls();
}

void CameraRenderOverlay::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const ThemeStyle *theme = ThemeStyle::instance();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool cameraOn = isOn(liveUser.cameraState);
    if (!cameraOn) {
        painter.fillRect(rect(), theme->cameraBgColor);
    }
    if (netQuality >= 5) {
        painter.fillRect(rect(), QColor(237, 63, 20, 70));
    } else if (netQuality == 3 || netQuality == 4) {
        painter.fillRect(rect(), QColor(230, 162, 60, 70));
    }
    if (!studentMode && hover) {
        painter.fillRect(rect(), hoverColor);
    }
    if (!nameRect.isEmpty()) {
        painter.fillRect(nameRect, nameBgColor);
        painter.setPen(Qt::white);
        painter.setFont(font);
        painter.drawText(nameRect, Qt::AlignCenter, liveUser.nickname);
    }
    if (!hover && !avatar.isNull() && !cameraOn && avatarSize > 0) {
        const QRect circle((width() - avatarSize) / 2, (height() - avatarSize) / 2, avatarSize,
                           avatarSize);
        QPainterPath path;
        path.addEllipse(circle);
        painter.save();
        painter.setClipPath(path);
        const QPixmap scaled =
            avatar.scaled(avatarSize, avatarSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawPixmap(circle.x() + (avatarSize - scaled.width()) / 2,
                           circle.y() + (avatarSize - scaled.height()) / 2, scaled);
        painter.restore();
    }
    QFont glyphFont(iconFontFamily);
    glyphFont.setPixelSize(18);
    glyphFont.setBold(true);
    painter.setFont(glyphFont);
    painter.setPen(QColor(237, 63, 20));
    int x = 12;
    const int y = height() - 24;
    const auto disabled = [](const QString &state) {
        return state.compare(QLatin1String("Disable"), Qt::CaseInsensitive) == 0;
    };
    if (disabled(liveUser.cameraState)) {
        painter.drawText(QRect(x, y, 18, 18), Qt::AlignCenter, QString(QChar(Iconfont::CameraOff)));
        x += 30;
    }
    if (disabled(liveUser.micState)) {
        painter.drawText(QRect(x, y, 18, 18), Qt::AlignCenter,
                         QString(QChar(Iconfont::MicrophoneOff)));
        x += 30;
    }
    if (disabled(liveUser.speakerState)) {
        painter.drawText(QRect(x, y, 18, 18), Qt::AlignCenter,
                         QString(QChar(Iconfont::SpeakerOff)));
    }
    const int bar = volumeBarWidth(volume, width());
    if (bar > 0) {
        painter.setPen(Qt::NoPen);
        painter.fillRect(QRect(0, height() - 4, bar, 4), theme->themeColor);
    }
}
