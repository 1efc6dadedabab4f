#pragma once

#include "LiveBaseDlg.h"

// The layer that drives the class through its connection steps: every IM and audio/video step
// reports its outcome here, and the state decides the next step, the commands to the other
// participants and what the class page is told.
class LiveStateDlg : public LiveBaseDlg
{
    Q_OBJECT

public:
    explicit LiveStateDlg(QWidget *parent = nullptr);
    ~LiveStateDlg() override;

    void setLiveState(const QString &state);
    void setRecordState(const QString &state);
    void setScreenShareState(const QString &state);

protected:
    bool isTeacher() const;
    bool isStudent() const;
};
