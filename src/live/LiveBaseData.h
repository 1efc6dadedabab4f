#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// The string vocabularies of the live classroom. They travel verbatim between the window's
// layers, the class page and the other participants' clients.
namespace LiveUserType {
inline const QString Teacher = QStringLiteral("Teacher");
inline const QString Assistant = QStringLiteral("Assistant");
inline const QString Student = QStringLiteral("Student");
inline const QStringList all = {Teacher, Assistant, Student};
// The user id of the service's own IM account, which answers the history and online-list requests.
inline const QString Admin = QStringLiteral("admin");
} // namespace LiveUserType

// The connection progress of the window.
namespace LiveState {
inline const QString NotStart = QStringLiteral("NotStart");
inline const QString ImInitError = QStringLiteral("ImInitError");
inline const QString ImInitSuccess = QStringLiteral("ImInitSuccess");
inline const QString ImLogining = QStringLiteral("ImLogining");
inline const QString ImLoginError = QStringLiteral("ImLoginError");
inline const QString ImLoginSuccess = QStringLiteral("ImLoginSuccess");
inline const QString ImLogouting = QStringLiteral("ImLogouting");
inline const QString ImLogoutError = QStringLiteral("ImLogoutError");
inline const QString ImLogoutSuccess = QStringLiteral("ImLogoutSuccess");
inline const QString ImUninitError = QStringLiteral("ImUninitError");
inline const QString ImUninitSuccess = QStringLiteral("ImUninitSuccess");
inline const QString JoinGrouping = QStringLiteral("JoinGrouping");
inline const QString JoinGroupError = QStringLiteral("JoinGroupError");
inline const QString JoinGroupSuccess = QStringLiteral("JoinGroupSuccess");
inline const QString GetGroupMemberError = QStringLiteral("GetGroupMemberError");
inline const QString GetGroupMemberSuccess = QStringLiteral("GetGroupMemberSuccess");
inline const QString EnteringRoom = QStringLiteral("EnteringRoom");
inline const QString EnterRoomError = QStringLiteral("EnterRoomError");
inline const QString EnterRoomSuccess = QStringLiteral("EnterRoomSuccess");
inline const QString ExitingRoom = QStringLiteral("ExitingRoom");
inline const QString ExitRoomError = QStringLiteral("ExitRoomError");
inline const QString ExitRoomSuccess = QStringLiteral("ExitRoomSuccess");
inline const QString QuitGrouping = QStringLiteral("QuitGrouping");
inline const QString QuitGroupError = QStringLiteral("QuitGroupError");
inline const QString QuitGroupSuccess = QStringLiteral("QuitGroupSuccess");
inline const QString CloseLive = QStringLiteral("CloseLive");
inline const QStringList all = {
    NotStart,         ImInitError,      ImInitSuccess,       ImLogining,
    ImLoginError,     ImLoginSuccess,   ImLogouting,         ImLogoutError,
    ImLogoutSuccess,  ImUninitError,    ImUninitSuccess,     JoinGrouping,
    JoinGroupError,   JoinGroupSuccess, GetGroupMemberError, GetGroupMemberSuccess,
    EnteringRoom,     EnterRoomError,   EnterRoomSuccess,    ExitingRoom,
    ExitRoomError,    ExitRoomSuccess,  QuitGrouping,        QuitGroupError,
    QuitGroupSuccess, CloseLive};
} // namespace LiveState

namespace LiveRoomState {
inline const QString NotStart = QStringLiteral("NotStart");
inline const QString Living = QStringLiteral("Living");
inline const QString Dismiss = QStringLiteral("Dismiss");
inline const QString Stop = QStringLiteral("Stop");
inline const QString Close = QStringLiteral("Close");
inline const QStringList all = {NotStart, Living, Dismiss, Stop, Close};
} // namespace LiveRoomState

namespace ImGroupState {
inline const QString NotCreate = QStringLiteral("NotCreate");
inline const QString Created = QStringLiteral("Created");
inline const QString Close = QStringLiteral("Close");
inline const QStringList all = {NotCreate, Created, Close};
} // namespace ImGroupState

// The spelling "Stoping" is what the pages and the other clients send.
namespace RecordState {
inline const QString NotStart = QStringLiteral("NotStart");
inline const QString RecordStarting = QStringLiteral("RecordStarting");
inline const QString RecordStartSuccess = QStringLiteral("RecordStartSuccess");
inline const QString RecordStoping = QStringLiteral("RecordStoping");
inline const QString RecordStopSuccess = QStringLiteral("RecordStopSuccess");
inline const QStringList all = {NotStart, RecordStarting, RecordStartSuccess, RecordStoping,
                                RecordStopSuccess};
} // namespace RecordState

namespace ScreenShareState {
inline const QString NotStart = QStringLiteral("NotStart");
inline const QString ScreenShareStarting = QStringLiteral("ScreenShareStarting");
inline const QString ScreenShareStartSuccess = QStringLiteral("ScreenShareStartSuccess");
inline const QString ScreenShareStoping = QStringLiteral("ScreenShareStoping");
inline const QString ScreenShareStopSuccess = QStringLiteral("ScreenShareStopSuccess");
inline const QStringList all = {NotStart, ScreenShareStarting, ScreenShareStartSuccess,
                                ScreenShareStoping, ScreenShareStopSuccess};
} // namespace ScreenShareState

// The state of a participant's camera or microphone.
namespace LiveDeviceState {
inline const QString Unknown = QStringLiteral("Unknown");
inline const QString Disable = QStringLiteral("Disable");
inline const QString Mute = QStringLiteral("Mute");
inline const QString Opening = QStringLiteral("Opening");
inline const QString Opened = QStringLiteral("Opened");
inline const QString Closed = QStringLiteral("Closed");
inline const QStringList all = {Unknown, Disable, Mute, Opening, Opened, Closed};
} // namespace LiveDeviceState

namespace LiveResolution {
inline const QString FLU = QStringLiteral("FLU");
inline const QString SD = QStringLiteral("SD");
inline const QString SD2 = QStringLiteral("SD2");
inline const QString HD = QStringLiteral("HD");
inline const QString FHD = QStringLiteral("FHD");
inline const QString R2K = QStringLiteral("2K");
inline const QString R4K = QStringLiteral("4K");
inline const QStringList all = {FLU, SD, SD2, HD, FHD, R2K, R4K};
} // namespace LiveResolution

namespace LiveUiMode {
inline const QString TopVideo = QStringLiteral("TopVideo");
inline const QString One2One = QStringLiteral("One2One");
inline const QString RightTopVideo = QStringLiteral("RightTopVideo");
inline const QString RightBottomVideo = QStringLiteral("RightBottomVideo");
inline const QString Live = QStringLiteral("Live");
inline const QString Record = QStringLiteral("Record");
inline const QString TeacherMe = QStringLiteral("TeacherMe");
inline const QStringList all = {TopVideo, One2One, RightTopVideo, RightBottomVideo,
                                Live,     Record,  TeacherMe};
} // namespace LiveUiMode

// The fields of each record, in the order of their JSON objects: S string, I 32-bit integer,
// D decimal. One list drives the members, fromJson and toJson, so the three cannot drift apart.
// clang-format off
#define BRV_CLASS_INFO_FIELDS(S, I, D) \
    S(classId) S(tenantId) S(tenantShortName) S(classCode) S(classType) S(className) \
    S(imageUrl) S(briefInfo) S(detailInfo) S(courseId) I(watchAfterVideo) I(maxStudentCount) \
    I(studentCount) I(isPublic) S(offlineAddress) S(buyNotice) I(vipFree) I(effectivePeriod) \
    D(learnFee) D(teachFee) I(isEnd) I(deleteFlag) S(createTime) S(updateTime)

#define BRV_LIVE_INFO_FIELDS(S, I, D) \
    S(liveId) S(tenantId) S(tenantShortName) S(scheduleStartTime) S(scheduleEndTime) \
    I(scheduleDuration) I(dayOfWeek) S(startTime) S(endTime) I(duration) I(liveRoomId) \
    S(classId) S(classType) S(className) S(imageUrl) S(courseId) S(courseName) \
    S(courseChapterId) S(chapterName) S(courseLessonId) S(lessonName) S(imGroupState) \
    S(liveRoomState) S(teacherId) S(streamId) S(currBoardId) I(isRecording) I(isScreenSharing) \
    S(screenShareUserId) I(maxOnlineUserCount) I(currOnlineUserCount) I(deleteFlag) \
    S(createTime) S(updateTime) I(canSchedule)

#define BRV_LIVE_SETTINGS_FIELDS(S, I, D) \
    S(classId) S(tenantId) S(tenantShortName) S(liveBgColor) S(liveBgImageUrl) S(liveUiMode) \
    S(liveResolution) I(scheduleDuration) I(disableTeacherCamera) I(disableStudentCamera) \
    I(maxStudentCameraCount) I(maxOnStageCount) S(imAppId) S(trtcAppId) I(autoRecord) \
    I(recordSaveDays) I(muteStudent) I(deleteFlag) S(createTime) S(updateTime)

#define BRV_LIVE_USER_FIELDS(S, I, D) \
    S(liveUserId) S(liveId) S(userType) S(userId) S(nickname) S(trueName) S(avatarUrl) \
    S(genderCode) S(mobile) S(subGroupName) I(isJoinedGroup) I(isEnteredRoom) I(isKickedout) \
    I(chatIsMuted) S(muteEndTime) S(joinGroupTime) S(enterRoomTime) S(exitRoomTime) I(qaCount) \
    I(qaRightTimes) I(praiseCount) I(treadCount) I(duration) S(deviceName) S(os) S(osVersion) \
    S(country) S(area) S(province) S(city) S(district) S(isp) S(ip) S(createTime) \
    S(updateTime) I(netQuality) I(isMaxVideo) I(isOnStage) I(isScreenSharing) I(isRaisingHand) \
    S(cameraState) S(micState) S(speakerState) S(penState)

// "assitantId" and "assitantName" are the keys the service reads, spelling included.
#define BRV_LIVE_WATCH_DATA_FIELDS(S, I, D) \
    S(liveWatchId) S(tenantId) S(liveId) S(deviceName) S(ip) S(classId) S(className) \
    I(studentCount) S(watchMinute) S(teacherId) S(teacherName) S(assitantId) S(assitantName) \
    I(userCount) I(isRecording) I(isScreenSharing) D(liveFee) D(recordFee) D(totalFee) \
    I(isCharged) S(createTime) S(updateTime)
// clang-format on

#define BRV_LIVE_STRING_MEMBER(name) QString name;
#define BRV_LIVE_INT_MEMBER(name) int name = 0;
#define BRV_LIVE_DOUBLE_MEMBER(name) double name = 0.0;

// fromJson: each present key sets its field; a value of the wrong type (a number in a string
// field, a string or a fraction in an integer field) clears the field. Absent keys leave it as it
// was. toJson writes every field.
#define BRV_LIVE_RECORD(Type, FIELDS)                                                              \
    struct Type                                                                                    \
    {                                                                                              \
        FIELDS(BRV_LIVE_STRING_MEMBER, BRV_LIVE_INT_MEMBER, BRV_LIVE_DOUBLE_MEMBER)                \
        void fromJson(const QJsonObject &obj);                                                     \
        QJsonObject toJson() const;                                                                \
        /* The compact text of toJson() without empty strings, written straight from the           \
           fields (keys in declaration order): a class list sends thousands of these. */           \
        QString toCompactText() const;                                                             \
    };

BRV_LIVE_RECORD(ClassInfo, BRV_CLASS_INFO_FIELDS)
BRV_LIVE_RECORD(LiveInfo, BRV_LIVE_INFO_FIELDS)
BRV_LIVE_RECORD(LiveSettings, BRV_LIVE_SETTINGS_FIELDS)
BRV_LIVE_RECORD(LiveUser, BRV_LIVE_USER_FIELDS)
BRV_LIVE_RECORD(LiveWatchData, BRV_LIVE_WATCH_DATA_FIELDS)

#undef BRV_LIVE_RECORD
#undef BRV_LIVE_STRING_MEMBER
#undef BRV_LIVE_INT_MEMBER
#undef BRV_LIVE_DOUBLE_MEMBER

namespace LiveJson {
// The lenient readers behind fromJson, also used for single values of the live data.
QString readString(const QJsonValue &value);
// A number that is a whole value within 32 bits; anything else is 0.
int readInt(const QJsonValue &value);
// Any finite number; anything else is 0.
double readDouble(const QJsonValue &value);
// The digits of a number with a space before every group of three counted from the right.
QString groupDigits(qint64 number);
} // namespace LiveJson
