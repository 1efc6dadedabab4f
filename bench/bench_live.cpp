// The live window's class data at class size: "SetLiveData" with 10,000 students, and an
// online-user list of 10,000 applied, each against parsing the same text alone (the least any
// implementation has to do). Logging runs at the client's own level into a scratch folder.
#include "LiveTrtcDlg.h"
#include "LogUtil.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int classSize = 10000;

QJsonObject student(int i)
{
    const QString id = QStringLiteral("student-%1").arg(i, 5, 10, QLatin1Char('0'));
    return QJsonObject{
        {"userId", id},          {"nickname", QStringLiteral("Student %1").arg(i)},
        {"userType", "Student"}, {"avatarUrl", "https://example.invalid/avatar/" + id + ".png"},
        {"liveId", "live-1"},    {"cameraState", "Unknown"},
        {"micState", "Unknown"}, {"qaCount", 0},
        {"isJoinedGroup", 0}};
}

QByteArray liveDataText()
{
    QJsonArray offline;
    for (int i = 0; i < classSize; ++i) {
        offline.append(student(i));
    }
    const QJsonObject data{
        {"trtcSdkAppId", 1400000001},
        {"trtcUserSig", "sig"},
        {"classInfo", QJsonObject{{"className", "Bench"}, {"studentCount", classSize}}},
        {"liveInfo", QJsonObject{{"liveId", "live-1"}, {"liveRoomId", 1234567}}},
        {"teacherInfo", QJsonObject{{"userId", "t1"}, {"userType", "Teacher"}}},
        {"currLiveUser", QJsonObject{{"userId", "t1"}, {"userType", "Teacher"}}},
        {"onlineStudentList", QJsonArray()},
        {"offlineStudentList", offline}};
    return QJsonDocument(data).toJson(QJsonDocument::Compact);
}

// What the service's file holds for the same class, all online.
QByteArray onlineListText()
{
    QJsonArray users;
    for (int i = 0; i < classSize; ++i) {
        users.append(student(i));
    }
    return QJsonDocument(users).toJson(QJsonDocument::Compact);
}

// The SDK steps left out; the records, the lists and the page messages are the real ones.
class BenchLiveDlg : public LiveTrtcDlg
{
public:
    using LiveUserDlg::applyOnlineUsers;
    void initIm() override {}
    void sendGroupLiveCommand(const QJsonObject &) override {}
    void sendGroupLiveCommand(const QString &) override {}
};

void BM_SetLiveData(benchmark::State &state)
{
    const QString text = QString::fromUtf8(liveDataText());
    BenchLiveDlg window;
    for (auto _ : state) {
        benchmark::DoNotOptimize(window.setLiveData(text));
    }
}

void BM_ParseLiveDataOnly(benchmark::State &state)
{
    const QString text = QString::fromUtf8(liveDataText());
    for (auto _ : state) {
        benchmark::DoNotOptimize(QJsonDocument::fromJson(text.toUtf8()).object().size());
    }
}

void BM_ApplyOnlineList(benchmark::State &state)
{
    const QString text = QString::fromUtf8(liveDataText());
    const QByteArray list = onlineListText();
    for (auto _ : state) {
        state.PauseTiming();
        auto window = std::make_unique<BenchLiveDlg>();
        window->setLiveData(text);
        state.ResumeTiming();
        window->applyOnlineUsers(list);
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

void BM_ParseOnlineListOnly(benchmark::State &state)
{
    const QByteArray list = onlineListText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(QJsonDocument::fromJson(list).array().size());
    }
}

BENCHMARK(BM_SetLiveData)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ParseLiveDataOnly)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ApplyOnlineList)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ParseOnlineListOnly)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brimvale-bench"));
    LogUtil::init(5);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    LogUtil::release();
    return 0;
}
