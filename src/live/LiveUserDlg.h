#pragma once

#include "LiveStateDlg.h"

class FileDownloader;

// The layer that keeps the participants' records: lookup, update (which also tells the page and
// the user's camera view) and the list of online users fetched from a file.
class LiveUserDlg : public LiveStateDlg
{
    Q_OBJECT

public:
    explicit LiveUserDlg(QWidget *parent = nullptr);
    ~LiveUserDlg() override;

    LiveUser getLiveUser(const QString &userId) override;
    void updateLiveUser(const LiveUser &user) override;
    // Fetches the list of online users from the file at url.
    void hanleOnlineUser(const QString &url);

public slots:
    void slotFileDownloaded(int errCode);

protected:
    // The downloaded list of online users: every entry updates its user and, for a student,
    // marks the student as in the group.
    void applyOnlineUsers(const QByteArray &data);

    // Made on first use; lives as the window's child.
    FileDownloader *fileDownloader = nullptr;
};
