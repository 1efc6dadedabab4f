#pragma once

#include "LiveBaseDlg.h"

#include <QFont>
#include <QMap>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class FileDownloader;
class XMenu;
class XPushButton;

// What floats over a camera view: the user's name, avatar, disabled devices, network tint and
// voice level, and for everyone but students the controls that act on the view's user.
class CameraRenderOverlay : public QWidget
{
    Q_OBJECT

public:
    explicit CameraRenderOverlay(QWidget *parent = nullptr);
    ~CameraRenderOverlay() override;

    void setLiveUser(const LiveUser &user);
    const LiveUser &getLiveUser() const { return liveUser; }
    void setHovered(bool hovered);
    bool isHovered() const { return hover; }
    void setVolume(int value);
    int getVolume() const { return volume; }
    void setNetQuality(int quality);
    int getNetQuality() const { return netQuality; }

    QRect getNameRect() const { return nameRect; }
    int getAvatarSize() const { return avatarSize; }
    QPixmap getAvatar() const { return avatar; }
    // The controls laid out now, in order; "More" is not among them.
    QStringList layoutNames() const;
    // A control by object name, "More" included; null in student mode.
    XPushButton *control(const QString &name) const;
    XMenu *menu() const { return cameraMenu; }
    // The text of a control's tooltip or a menu item, from the "CameraRenderMask" texts.
    static QString textFor(const QString &name);
    // The voice bar's width for a volume of 0..100 on a view this wide.
    static int volumeBarWidth(int volume, int width);

public slots:
    void slotDownloadFinished(int errCode);
    void slotPbMousePress(QString pbName);
    void slotClickedMenu(QString pbName, QString actionName);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void createControls();
    void updateControls();
    void layoutControls();
    void hideControls();
    void loadDefaultAvatar();

    LiveUser liveUser;
    QFont font;
    QString iconFontFamily;
    QRect nameRect;
    QColor nameBgColor{0, 0, 0, 100};
    QColor hoverColor{0, 0, 0, 100};
    int avatarSize = 88;
    QPixmap avatar;
    bool hover = false;
    int volume = 0;
    int netQuality = 0;
    bool studentMode = false;
    QMap<QString, XPushButton *> controls;
    XPushButton *pbMore = nullptr;
    XMenu *cameraMenu = nullptr;
    QList<XPushButton *> laidOut;
    QPointer<FileDownloader> download;
};
