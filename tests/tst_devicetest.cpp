// The device test window on a real display with the SDK's virtual devices and a sound server of
// the test's own: the camera picture, the microphone level, the stored choices, devices that
// come and go, the beauty page and the window's end.
#include "AppSettings.h"
#include "DeviceTestDlg.h"
#include "GlobalSignal.h"
#include "LangUtil.h"
#include "LogCapture.h"
#include "PulseServer.h"
#include "ScratchFolders.h"
#include "SwitchButton.h"
#include "ThemeStyle.h"
#include "TrtcUtil.h"
#include "WindowPixels.h"
#include "XComboBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMediaPlayer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QtTest>

#include <memory>

namespace {

constexpr int mic = TrtcDevice::Mic;
constexpr int speaker = TrtcDevice::Speaker;
constexpr int camera = TrtcDevice::Camera;

void wipeSettings()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("brimvale"),
              QStringLiteral("settings"))
        .clear();
}

int indexOfId(const QComboBox *combo, const QString &id)
{
    return combo->findData(id);
}

QStringList comboIds(const QComboBox *combo)
{
    QStringList ids;
    for (int i = 0; i < combo->count(); ++i) {
        ids << combo->itemData(i).toString();
    }
    return ids;
}

// Mean colour of a few pictures, so that the moving part of the pattern averages out.
QVector<double> settledMean(const QWidget *view)
{
    QVector<double> sum(3, 0.0);
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(120);
        const QVector<double> m = meanRgb(grabNative(view));
        for (int c = 0; c < 3; ++c) {
            sum[c] += m[c] / 3;
        }
    }
    return sum;
}

// Receives the class the device test asks for.
class OpenLiveReceiver : public QObject
{
    Q_OBJECT

public:
    QStringList received;

public slots:
    void slotOpenLive(const QString &liveId) { received << liveId; }
};

} // namespace

class TestDeviceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cameraPictureMovesAndBeautyChangesIt();
    void micLevelFollowsTheToneAndTheSwitch();
    void choicesAreStoredAndRestored();
    void devicesComeAndGoWhileOpen();
    void beautyPageShowsTheStoredStyle();
    void pagesAndTheJoinButton();
    void playsTheTestSound();
    void noEventReachesAClosedWindow();

private:
    std::unique_ptr<DeviceTestDlg> open();
    template <typename T> static T *child(QObject *dlg, const char *name)
    {
        T *widget = dlg->findChild<T *>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qWarning("no child %s", name);
        }
        return widget;
    }
    // A click on a switch once its knob rests, as a user would give it.
    static bool clickSwitch(SwitchButton *button);

    PulseServer pulse;
};

void TestDeviceTest::initTestCase()
{
    // Before the SDK exists, so that it finds this sound server and nothing else.
    QVERIFY2(pulse.start(), qPrintable(pulse.errorText()));
    LangUtil::setCurrentLang(QStringLiteral("en"));
}

void TestDeviceTest::init()
{
    wipeSettings();
    LangUtil::setCurrentLang(QStringLiteral("en"));
}

void TestDeviceTest::cleanup()
{
    pulse.stopTone();
}

std::unique_ptr<DeviceTestDlg> TestDeviceTest::open()
{
    auto dlg = std::make_unique<DeviceTestDlg>();
    dlg->show();
    if (!QTest::qWaitForWindowExposed(dlg.get())) {
        qWarning("device test window not exposed");
    }
    return dlg;
}

bool TestDeviceTest::clickSwitch(SwitchButton *button)
{
    if (!QTest::qWaitFor([button] { return button->isReady(); }, 2000)) {
        return false;
    }
    const bool before = button->active();
    QTest::mouseClick(button, Qt::LeftButton);
    return button->active() != before;
}

void TestDeviceTest::cameraPictureMovesAndBeautyChangesIt()
{
    BeautyStyle strong;
    strong.beautyLevel = 9;
    strong.whitenessLevel = 9;
    strong.ruddinessLevel = 9;
    AppSettings::setBeautyStyle(strong);
    auto dlg = open();
    auto *view = child<QWidget>(dlg.get(), "videoView");
    QVERIFY(view && view->testAttribute(Qt::WA_NativeWindow));
    QCOMPARE(view->geometry().size(), QSize(400, 225));

    QImage first;
    QVERIFY(QTest::qWaitFor(
        [&] {
            first = grabNative(view);
            return nonBlackPixels(first) > first.width() * first.height() / 2;
        },
        8000));
    QVERIFY2(QTest::qWaitFor([&] { return grabNative(view) != first; }, 5000),
             "the picture does not move");

    // Beauty off and on again, from the beauty page; the picture stays in view there.
    QTest::mouseClick(child<QPushButton>(dlg.get(), "pbBeauty"), Qt::LeftButton);
    QVERIFY(dlg->isBeautyPageShown() && view->isVisible());
    const QVector<double> on = settledMean(view);
    auto *check = child<QCheckBox>(dlg.get(), "chkBeauty");
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(!check->isChecked());
    QTest::qWait(300);
    const QVector<double> off = settledMean(view);
    QVERIFY2(on[1] > off[1] + 10,
             qPrintable(QStringLiteral("green %1 on, %2 off").arg(on[1]).arg(off[1])));
    QVERIFY(on[0] - on[2] > off[0] - off[2] + 5);
    // Switched off, the levels are still those of the sliders.
    const BeautyStyle stored = AppSettings::beautyStyle();
    QVERIFY(!stored.isEnable);
    QCOMPARE(stored.beautyLevel, 9);
    QCOMPARE(stored.whitenessLevel, 9);
    QTest::mouseClick(check, Qt::LeftButton);
    QTest::qWait(300);
    QVERIFY(settledMean(view)[1] > off[1] + 10);

    // The camera switched off: the picture stands still under the camera-off sign; on, it moves.
    QTest::mouseClick(child<QPushButton>(dlg.get(), "pbBeautyBack"), Qt::LeftButton);
    auto *cameraOff = child<QLabel>(dlg.get(), "labCameraDisable");
    QVERIFY(!cameraOff->isVisible());
    QVERIFY(clickSwitch(child<SwitchButton>(dlg.get(), "switchCamera")));
    QVERIFY(cameraOff->isVisible());
    QCOMPARE(cameraOff->geometry(), view->geometry());
    QVERIFY(!AppSettings::isDeviceEnabled(camera));
    QTest::qWait(300);
    const QImage still = grabNative(view);
    QTest::qWait(400);
    QCOMPARE(grabNative(view), still);
    QVERIFY(clickSwitch(child<SwitchButton>(dlg.get(), "switchCamera")));
    QVERIFY(!cameraOff->isVisible());
    QVERIFY(AppSettings::isDeviceEnabled(camera));
    QTRY_VERIFY_WITH_TIMEOUT(grabNative(view) != still, 5000);

    // The picture follows the window's width at 16:9.
    dlg->resize(480, 600);
    QTRY_COMPARE(QRect(view->mapTo(dlg.get(), QPoint(0, 0)), view->size()),
                 QRect(0, ThemeStyle::instance()->titleHeight, 480, 270));
}

void TestDeviceTest::micLevelFollowsTheToneAndTheSwitch()
{
    auto dlg = open();
    auto *combo = child<XComboBox>(dlg.get(), "cmbMic");
    auto *level = child<QProgressBar>(dlg.get(), "progressMicVolume");
    const int index = indexOfId(combo, QStringLiteral("pulse:brv_mic"));
    QVERIFY2(index >= 0, qPrintable(comboIds(combo).join(QLatin1Char(' '))));
    // The test-tone microphone always hears a tone; the sound server's only when one plays, so
    // the level below shows which one the test really listens to.
    combo->setCurrentIndex(indexOfId(combo, QStringLiteral("virtual:microphone")));
    QCOMPARE(AppSettings::currDeviceId(mic), QStringLiteral("virtual:microphone"));
    QTRY_VERIFY_WITH_TIMEOUT(level->value() > 50, 5000);
    combo->setCurrentIndex(index);
    QCOMPARE(AppSettings::currDeviceId(mic), QStringLiteral("pulse:brv_mic"));
    QTRY_COMPARE_WITH_TIMEOUT(level->value(), 0, 5000);

    QVERIFY(pulse.startTone());
    QTRY_VERIFY_WITH_TIMEOUT(level->value() > 50, 5000);
    QVERIFY(pulse.stopTone());
    QTRY_COMPARE_WITH_TIMEOUT(level->value(), 0, 5000);
    QVERIFY(pulse.startTone());
    QTRY_VERIFY_WITH_TIMEOUT(level->value() > 50, 5000);

    // Off: 0 at once, and no reading still on its way lifts it again.
    QVERIFY(clickSwitch(child<SwitchButton>(dlg.get(), "switchMic")));
    QCOMPARE(level->value(), 0);
    QVERIFY(!AppSettings::isDeviceEnabled(mic));
    QTest::qWait(1000);
    QCOMPARE(level->value(), 0);
    QVERIFY(clickSwitch(child<SwitchButton>(dlg.get(), "switchMic")));
    QVERIFY(AppSettings::isDeviceEnabled(mic));
    QTRY_VERIFY_WITH_TIMEOUT(level->value() > 50, 5000);
}

void TestDeviceTest::choicesAreStoredAndRestored()
{
    auto dlg = open();
    auto *cameras = child<XComboBox>(dlg.get(), "cmbCamera");
    auto *speakers = child<XComboBox>(dlg.get(), "cmbSpeaker");
    // Nothing stored: the SDK's current device, the first listed.
    QCOMPARE(cameras->currentIndex(), 0);
    QCOMPARE(comboIds(cameras).last(), QStringLiteral("virtual:camera"));
    QVERIFY(!cameras->currentText().isEmpty());

    const int index = indexOfId(speakers, QStringLiteral("pulse:brv_speaker"));
    QVERIFY(index >= 0);
    speakers->setCurrentIndex(index == 0 ? speakers->count() - 1 : index);
    const QString chosen = speakers->currentData().toString();
    QCOMPARE(AppSettings::currDeviceId(speaker), chosen);
    QVERIFY(clickSwitch(child<SwitchButton>(dlg.get(), "switchSpeaker")));
    QVERIFY(!AppSettings::isDeviceEnabled(speaker));
    dlg.reset();

    // Next time: the same speaker, even stored in other letters, still switched off; a stored
    // microphone that is gone gives way to the first one, which is stored.
    AppSettings::setCurrDeviceId(speaker, chosen.toUpper());
    AppSettings::setCurrDeviceId(mic, QStringLiteral("pulse:unplugged"));
    dlg = open();
    speakers = child<XComboBox>(dlg.get(), "cmbSpeaker");
    QCOMPARE(speakers->currentData().toString(), chosen);
    QVERIFY(!child<SwitchButton>(dlg.get(), "switchSpeaker")->active());
    QVERIFY(child<SwitchButton>(dlg.get(), "switchMic")->active());
    auto *mics = child<XComboBox>(dlg.get(), "cmbMic");
    QCOMPARE(mics->currentIndex(), 0);
    QCOMPARE(AppSettings::currDeviceId(mic), mics->itemData(0).toString());
    QCOMPARE(mics->itemText(0), mics->currentText());
}

void TestDeviceTest::devicesComeAndGoWhileOpen()
{
    auto dlg = open();
    auto *speakers = child<XComboBox>(dlg.get(), "cmbSpeaker");
    const QString extra = QStringLiteral("pulse:brv_extra");
    const QString module =
        pulse.loadModule({QStringLiteral("module-null-sink"), QStringLiteral("sink_name=brv_extra"),
                          QStringLiteral("sink_properties=device.description=Extra")});
    QVERIFY(!module.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(indexOfId(speakers, extra) >= 0, 5000);
    speakers->setCurrentIndex(indexOfId(speakers, extra));
    QCOMPARE(AppSettings::currDeviceId(speaker), extra);
    QCOMPARE(speakers->itemText(speakers->currentIndex()), QStringLiteral("Extra"));

    QVERIFY(pulse.pactl({QStringLiteral("unload-module"), module}));
    QTRY_VERIFY_WITH_TIMEOUT(indexOfId(speakers, extra) < 0, 5000);
    QCOMPARE(speakers->currentIndex(), 0);
    QCOMPARE(AppSettings::currDeviceId(speaker), speakers->itemData(0).toString());
    // The other lists were not touched.
    QVERIFY(indexOfId(child<XComboBox>(dlg.get(), "cmbMic"), QStringLiteral("pulse:brv_mic")) >= 0);
}

void TestDeviceTest::beautyPageShowsTheStoredStyle()
{
    AppSettings::setValue(
        QStringLiteral("live/beautyStyle"),
        QStringLiteral(R"({"beautyLevel":12,"smoothStyle":1,"whitenessLevel":-3})"));
    auto dlg = open();
    auto *beauty = child<QSlider>(dlg.get(), "sliderBeauty");
    auto *whiteness = child<QSlider>(dlg.get(), "sliderWhiteness");
    auto *ruddiness = child<QSlider>(dlg.get(), "sliderRuddiness");
    QCOMPARE(beauty->value(), 9);
    QCOMPARE(whiteness->value(), 0);
    QCOMPARE(ruddiness->value(), 5);
    QVERIFY(child<QRadioButton>(dlg.get(), "radioBeautyNature")->isChecked());
    QVERIFY(!child<QRadioButton>(dlg.get(), "radioBeautySmooth")->isChecked());
    QCOMPARE(child<QLabel>(dlg.get(), "labBeautyValue")->text(), QStringLiteral("9"));

    // The page's values are what is stored from the start.
    BeautyStyle stored = AppSettings::beautyStyle();
    QCOMPARE(stored.beautyLevel, 9);
    QCOMPARE(stored.whitenessLevel, 0);
    QCOMPARE(stored.smoothStyle, 1);

    ruddiness->setValue(2);
    QCOMPARE(AppSettings::beautyStyle().ruddinessLevel, 2);
    QCOMPARE(child<QLabel>(dlg.get(), "labRuddinessValue")->text(), QStringLiteral("2"));
    QTest::mouseClick(child<QRadioButton>(dlg.get(), "radioBeautySmooth"), Qt::LeftButton);
    QCOMPARE(AppSettings::beautyStyle().smoothStyle, 0);

    // Unchecked: style and levels greyed out, the check box still usable, the values kept.
    ThemeStyle *theme = ThemeStyle::instance();
    auto *label = child<QLabel>(dlg.get(), "labBeauty");
    QVERIFY(label->styleSheet().contains(theme->textColor.name(QColor::HexArgb)));
    auto *check = child<QCheckBox>(dlg.get(), "chkBeauty");
    QTest::mouseClick(child<QPushButton>(dlg.get(), "pbBeauty"), Qt::LeftButton);
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(check->isEnabled());
    for (const char *name : {"sliderBeauty", "sliderWhiteness", "sliderRuddiness",
                             "radioBeautySmooth", "radioBeautyNature", "labBeautyStyle"}) {
        QVERIFY2(!child<QWidget>(dlg.get(), name)->isEnabled(), name);
    }
    QVERIFY(label->styleSheet().contains(theme->textColorSoft.name(QColor::HexArgb)));
    stored = AppSettings::beautyStyle();
    QVERIFY(!stored.isEnable);
    QCOMPARE(stored.beautyLevel, 9);
    QCOMPARE(stored.ruddinessLevel, 2);
}

void TestDeviceTest::pagesAndTheJoinButton()
{
    auto dlg = open();
    const QStringList devicePage = {
        "labCamera",  "cmbCamera",  "switchCamera",  "pbBeauty",
        "labMic",     "cmbMic",     "switchMic",     "progressMicVolume",
        "labSpeaker", "cmbSpeaker", "switchSpeaker", "pbPlayTest"};
    const QStringList beautyPage = {"chkBeauty",         "labBeautyStyle", "radioBeautySmooth",
                                    "radioBeautyNature", "labBeauty",      "labWhiteness",
                                    "labRuddiness",      "sliderBeauty",   "sliderWhiteness",
                                    "sliderRuddiness",   "pbBeautyBack"};
    auto shown = [&dlg](const QStringList &names) {
        QStringList visible;
        for (const QString &name : names) {
            if (dlg->findChild<QWidget *>(name)->isVisible()) {
                visible << name;
            }
        }
        return visible;
    };
    auto *enter = child<QPushButton>(dlg.get(), "pbEnterRoom");
    auto *back = child<QPushButton>(dlg.get(), "pbBeautyBack");
    // Language texts by object name, the title included.
    QCOMPARE(child<QLabel>(dlg.get(), "labCamera")->text(), QStringLiteral("Camera"));
    QCOMPARE(child<XComboBox>(dlg.get(), "cmbCamera")->placeholderText(),
             QStringLiteral("Please select a camera"));
    QCOMPARE(dlg->title(), QStringLiteral("Device test"));

    // Without a class there is nothing to join, on either page.
    QCOMPARE(shown(devicePage), devicePage);
    QVERIFY(shown(beautyPage).isEmpty() && !enter->isVisible());
    QTest::mouseClick(child<QPushButton>(dlg.get(), "pbBeauty"), Qt::LeftButton);
    QCOMPARE(shown(beautyPage), beautyPage);
    QVERIFY(shown(devicePage).isEmpty() && !enter->isVisible());
    QVERIFY(child<QWidget>(dlg.get(), "videoView")->isVisible());
    for (const char *name : {"labBeautyValue", "labWhitenessValue", "labRuddinessValue"}) {
        QVERIFY(!child<QWidget>(dlg.get(), name)->isVisible());
    }

    // Opened for a class: the join button on the device page only.
    dlg->setLiveId(QStringLiteral("live-42"));
    QVERIFY(!enter->isVisible());
    QTest::mouseClick(back, Qt::LeftButton);
    QVERIFY(enter->isVisible() && !back->isVisible());

    OpenLiveReceiver receiver;
    QVERIFY(GlobalSignal::Instance()->add(QStringLiteral("Signal_OpenLive"), &receiver,
                                          SLOT(slotOpenLive(QString))));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<DeviceTestDlg> watched = dlg.release();
    QTest::mouseClick(enter, Qt::LeftButton);
    QTRY_VERIFY(!watched);
    QTRY_COMPARE(receiver.received, QStringList{QStringLiteral("live-42")});
    GlobalSignal::Instance()->remove(QStringLiteral("Signal_OpenLive"), &receiver);
}

void TestDeviceTest::playsTheTestSound()
{
    auto dlg = open();
    auto *speakers = child<XComboBox>(dlg.get(), "cmbSpeaker");
    speakers->setCurrentIndex(indexOfId(speakers, QStringLiteral("pulse:brv_speaker")));
    auto *player = dlg->findChild<QMediaPlayer *>();
    QVERIFY(player);
    QCOMPARE(player->media().request().url(), QUrl(QStringLiteral("qrc:/res/sound/praise.mp3")));
    QString inputs;
    QTest::mouseClick(child<QPushButton>(dlg.get(), "pbPlayTest"), Qt::LeftButton);
    // The embedded sound decodes and plays; the speaker test runs beside it.
    QTRY_VERIFY_WITH_TIMEOUT(player->position() > 200, 5000);
    QVERIFY2(player->error() == QMediaPlayer::NoError, qPrintable(player->errorString()));
    QVERIFY(player->duration() > 1000 && player->duration() < 2000);
    QVERIFY(pulse.pactl(
        {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")}, &inputs));
    QVERIFY2(inputs.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size() >= 2, qPrintable(inputs));

    // With the speaker switched off the sound still plays, from the start.
    QVERIFY(clickSwitch(child<SwitchButton>(dlg.get(), "switchSpeaker")));
    QTest::mouseClick(child<QPushButton>(dlg.get(), "pbPlayTest"), Qt::LeftButton);
    QVERIFY(player->position() < 300);
    QTRY_COMPARE_WITH_TIMEOUT(player->state(), QMediaPlayer::PlayingState, 3000);
}

void TestDeviceTest::noEventReachesAClosedWindow()
{
    QVERIFY(pulse.startTone());
    AppSettings::setCurrDeviceId(mic, QStringLiteral("pulse:brv_mic"));
    LogCapture log;
    // Windows closed at once, after a few readings, and while devices change.
    for (int wait : {0, 20, 350, 700}) {
        auto dlg = open();
        const QString module = pulse.loadModule(
            {QStringLiteral("module-null-sink"), QStringLiteral("sink_name=brv_flicker")});
        QTest::qWait(wait);
        dlg.reset();
        QVERIFY(pulse.pactl({QStringLiteral("unload-module"), module}));
    }
    QVERIFY(log.contains(QStringLiteral("DeviceTestDlg::onDeviceChange")));
    log.clear();
    const QString module = pulse.loadModule(
        {QStringLiteral("module-null-sink"), QStringLiteral("sink_name=brv_after")});
    QTest::qWait(800);
    QVERIFY(pulse.pactl({QStringLiteral("unload-module"), module}));
    QTest::qWait(500);
    QVERIFY2(log.messages().filter(QStringLiteral("DeviceTestDlg::")).isEmpty(),
             qPrintable(log.messages().join(QLatin1Char('\n'))));
}

int main(int argc, char **argv)
{
    auto scratch = ensureScratchFolders();
    QApplication app(argc, argv);
    TestDeviceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_devicetest.moc"
