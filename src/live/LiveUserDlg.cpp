#include "LiveUserDlg.h"

#include "FileDownloader.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>

LiveUserDlg::LiveUserDlg(QWidget *parent) : LiveStateDlg(parent) {}

LiveUserDlg::~LiveUserDlg() = default;

LiveUser LiveUserDlg::getLiveUser(const QString &userId)
{
    qDebug() << "Live-user-getLiveUser" << userId;
    if (currLiveUser.userId == userId) {
        return currLiveUser;
    }
    if (teacherInfo.userId == userId) {
        return teacherInfo;
    }
    if (assistantInfo.userId == userId) {
        return assistantInfo;
    }
    if (const auto it = onlineStudentList.constFind(userId); it != onlineStudentList.constEnd()) {
        return it.value();
    }
    if (const auto it = offlineStudentList.constFind(userId); it != offlineStudentList.constEnd()) {
        return it.value();
    }
    return LiveUser();
}

void LiveUserDlg::updateLiveUser(const LiveUser &user)
{
    // Serialised once for the log and the page: a class list applies thousands of these.
    const QString json = user.toCompactText();
    qDebug().noquote() << "Live-user-updateLiveUser" << user.nickname << json;
    const QString &id = user.userId;
    if (currLiveUser.userId == id) {
        currLiveUser = user;
    }
    if (teacherInfo.userId == id) {
        teacherInfo = user;
    } else if (assistantInfo.userId == id) {
        assistantInfo = user;
    } else if (const auto it = onlineStudentList.find(id); it != onlineStudentList.end()) {
        it.value() = user;
    }
    if (CameraRender *view = getUserCamera(id)) {
        refreshCameraUser(view);
    }
    sendWebMsg(QStringLiteral("UpdateLiveUser"), json);
}

void LiveUserDlg::hanleOnlineUser(const QString &url)
{
    qDebug() << "Live-user-hanleOnlineUser" << url;
    if (url.isEmpty()) {
        return;
    }
    if (!fileDownloader) {
        fileDownloader = new FileDownloader(this);
        connect(fileDownloader, &FileDownloader::finished, this, &LiveUserDlg::slotFileDownloaded);
    }
    fileDownloader->download(url);
}

void LiveUserDlg::slotFileDownloaded(int errCode)
{
    qDebug() << "Live-user-slotFileDownloaded" << errCode;
    if (errCode == QNetworkReply::TimeoutError) {
        qWarning() << "Live-user-onlineUser download timed out" << errCode;
    }
    if (errCode != 0 || !fileDownloader || fileDownloader->data().isEmpty()) {
        return;
    }
    applyOnlineUsers(fileDownloader->data());
}

void LiveUserDlg::applyOnlineUsers(const QByteArray &data)
{
    const QJsonDocument doc = QJsonDocument::fromJson(data);
    if (!doc.isArray()) {
        qWarning() << "Live-user-onlineUser json is not array";
        return;
    }
    const QJsonArray array = doc.array();
    QList<LiveUser> users;
    users.reserve(array.size());
    for (const QJsonValue &value : array) {
        const QJsonObject obj = value.toObject();
        const QString userId = LiveJson::readString(obj.value(QLatin1String("userId")));
        if (userId.isEmpty()) {
            // Names nobody; as an update it would land on whichever record has no id yet.
            continue;
        }
        // The file may carry no more than the user id: it is read over the record the window
        // already has, so that the keys it leaves out do not wipe what is known of the user.
        LiveUser user = getLiveUser(userId);
        user.fromJson(obj);
        users.append(user);
    }
    for (const LiveUser &user : qAsConst(users)) {
        updateLiveUser(user);
        handleGroupMemberJoin(user);
    }
}
