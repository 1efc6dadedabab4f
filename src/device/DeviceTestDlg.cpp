#include "DeviceTestDlg.h"

#include "AppSettings.h"
#include "GlobalSignal.h"
#include "Iconfont.h"
#include "LangUtil.h"
#include "SwitchButton.h"
#include "ThemeStyle.h"
#include "TrtcUtil.h"
#include "UiResources.h"
#include "XComboBox.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHash>
#include <QLabel>
#include <QMediaPlayer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QUrl>

#include <cmath>

namespace {

const QString section = QStringLiteral("DeviceTestDlg");
const QString testSound = QStringLiteral("qrc:/res/sound/praise.mp3");

// Rows of the device page: label, combo box, switch.
constexpr int labelX = 20;
constexpr int comboX = 90;
constexpr int comboWidth = 211;
constexpr int rowHeight = 31;
// The smallest font a text is shrunk to so that it fits its place.
constexpr int minFittedFontSize = 10;

// Rows of the beauty page: the level labels' y.
constexpr int beautyRowY = 378;
constexpr int whitenessRowY = 422;
constexpr int ruddinessRowY = 466;

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, const QRect &rect)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &text,
                        const QRect &rect)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

XComboBox *makeCombo(QWidget *parent, const QString &name, const QString &placeholder, int y)
{
    auto *combo = new XComboBox(parent);
    combo->setObjectName(name);
    combo->setGeometry(comboX, y, comboWidth, rowHeight);
    combo->setPlaceholderText(placeholder);
    return combo;
}

SwitchButton *makeSwitch(QWidget *parent, const QString &name, const QWidget *combo, bool active)
{
    auto *button = new SwitchButton(parent);
    button->setObjectName(name);
    // Set before the geometry, which stops the knob's animation and puts it at its end; the
    // click it reports reaches nobody, as the switch is connected afterwards.
    button->setActive(active);
    const QRect c = combo->geometry();
    button->setSwitchGeometry(c.right() + 1 + 16, c.y() + 2, 50, c.height() - 6);
    return button;
}

QSlider *makeSlider(QWidget *parent, const QString &name, int rowY, int value)
{
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setGeometry(95, rowY + 4, 270, 16);
    slider->setRange(0, 9);
    slider->setValue(qBound(0, value, 9));
    slider->setCursor(Qt::PointingHandCursor);
    return slider;
}

QLabel *makeValueLabel(QWidget *parent, const QString &name, int rowY)
{
    QLabel *label = makeLabel(parent, name, QString(), QRect(366, rowY, 30, 24));
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(
        QStringLiteral("color:%1;").arg(ThemeStyle::instance()->themeColor.name(QColor::HexArgb)));
    label->hide();
    return label;
}

} // namespace

DeviceTestDlg::DeviceTestDlg(QWidget *parent) : XDialog(parent)
{
    setObjectName(section);
    resize(400, 560);
    setStyleSheet(QString());
    setTitle(QStringLiteral("设备测试"));

    UiResources::ensureLoaded();
    qRegisterMetaType<uint32_t>("uint32_t");
    createWidgets();
    applyTexts();

    TrtcUtil *trtc = TrtcUtil::instance();
    trtc->addCallback(this);

    player = new QMediaPlayer(this);
    player->setMedia(QUrl(testSound));

    fillDeviceCombo(TrtcDevice::Camera, cmbCamera);
    fillDeviceCombo(TrtcDevice::Mic, cmbMic);
    fillDeviceCombo(TrtcDevice::Speaker, cmbSpeaker);
    connectWidgets();
    connect(this, &DeviceTestDlg::signalSetMicVolume, this, &DeviceTestDlg::slotSetMicVolume);

    pbEnterRoom->setVisible(!liveIdText.isEmpty());
    showPage(false);
    slotBeautyChanged();

    if (trtc->isCameraEnabled()) {
        startTest(TrtcDevice::Camera);
    }
    if (trtc->isMicEnabled()) {
        startTest(TrtcDevice::Mic);
    }
    if (trtc->isSpeakerEnabled()) {
        startTest(TrtcDevice::Speaker);
    }
}

DeviceTestDlg::~DeviceTestDlg()
{
    // No SDK event reaches this window once the sink is removed; the events already posted to
    // the GUI thread die with the window.
    TrtcUtil *trtc = TrtcUtil::instance();
    trtc->removeCallback(this);
    trtc->stopCameraTest();
    trtc->stopMicTest();
    trtc->stopSpeakerTest();
}

void DeviceTestDlg::createWidgets()
{
    ThemeStyle *theme = ThemeStyle::instance();
    TrtcUtil *trtc = TrtcUtil::instance();

    // The picture and the camera-off sign share a panel of their own: a native window makes its
    // siblings native too, and only these two need to be.
    videoArea = new QWidget(this);
    videoArea->setObjectName(QStringLiteral("videoArea"));
    videoArea->setGeometry(0, 30, 400, 225);

    // The SDK draws into this window's native handle.
    videoView = new QWidget(videoArea);
    videoView->setObjectName(QStringLiteral("videoView"));
    videoView->setAttribute(Qt::WA_DontCreateNativeAncestors);
    videoView->setAttribute(Qt::WA_NativeWindow);
    videoView->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
    videoView->setGeometry(videoArea->rect());

    // Native as well, so that it lies above the picture rather than under it.
    labCameraDisable = new QLabel(videoArea);
    labCameraDisable->setObjectName(QStringLiteral("labCameraDisable"));
    labCameraDisable->setAttribute(Qt::WA_DontCreateNativeAncestors);
    labCameraDisable->setAttribute(Qt::WA_NativeWindow);
    labCameraDisable->setAlignment(Qt::AlignCenter);
    labCameraDisable->setStyleSheet(QStringLiteral("background: transparent;"));
    labCameraDisable->setPixmap(Iconfont::instance()->pixmap(Iconfont::CameraOff, Qt::white, 80));
    labCameraDisable->setGeometry(videoArea->rect());
    labCameraDisable->raise();
    labCameraDisable->setVisible(!trtc->isCameraEnabled());

    labCamera = makeLabel(this, QStringLiteral("labCamera"), QStringLiteral("摄像头"),
                          QRect(labelX, 280, 61, rowHeight));
    cmbCamera = makeCombo(this, QStringLiteral("cmbCamera"), QStringLiteral("请选择摄像头"), 280);
    switchCamera =
        makeSwitch(this, QStringLiteral("switchCamera"), cmbCamera, trtc->isCameraEnabled());
    pbBeauty = makeButton(this, QStringLiteral("pbBeauty"), QStringLiteral("美颜"),
                          QRect(comboX, 320, 61, rowHeight));

    labMic = makeLabel(this, QStringLiteral("labMic"), QStringLiteral("麦克风"),
                       QRect(labelX, 360, 61, rowHeight));
    cmbMic = makeCombo(this, QStringLiteral("cmbMic"), QStringLiteral("请选择麦克风"), 360);
    switchMic = makeSwitch(this, QStringLiteral("switchMic"), cmbMic, trtc->isMicEnabled());
    progressMicVolume = new QProgressBar(this);
    progressMicVolume->setObjectName(QStringLiteral("progressMicVolume"));
    progressMicVolume->setGeometry(comboX, 400, comboWidth, 11);
    progressMicVolume->setRange(0, 100);
    progressMicVolume->setValue(0);
    progressMicVolume->setTextVisible(false);

    labSpeaker = makeLabel(this, QStringLiteral("labSpeaker"), QStringLiteral("扬声器"),
                           QRect(labelX, 430, 61, rowHeight));
    cmbSpeaker = makeCombo(this, QStringLiteral("cmbSpeaker"), QStringLiteral("请选择扬声器"), 430);
    switchSpeaker =
        makeSwitch(this, QStringLiteral("switchSpeaker"), cmbSpeaker, trtc->isSpeakerEnabled());
    pbPlayTest = makeButton(this, QStringLiteral("pbPlayTest"), QStringLiteral("播放"),
                            QRect(comboX, 470, 61, rowHeight));
    pbEnterRoom = makeButton(this, QStringLiteral("pbEnterRoom"), QStringLiteral("加入房间"),
                             QRect(150, 510, 101, rowHeight));
    pbEnterRoom->setStyleSheet(theme->primaryButtonStyle());

    const BeautyStyle style = AppSettings::beautyStyle();
    chkBeauty = new QCheckBox(QStringLiteral("启用美颜"), this);
    chkBeauty->setObjectName(QStringLiteral("chkBeauty"));
    chkBeauty->setGeometry(28, 285, 130, 28);
    chkBeauty->setChecked(style.isEnable);
    labBeautyStyle = makeLabel(this, QStringLiteral("labBeautyStyle"), QStringLiteral("磨皮类型"),
                               QRect(28, 330, 72, 24));
    radioBeautySmooth = new QRadioButton(QStringLiteral("光滑"), this);
    radioBeautySmooth->setObjectName(QStringLiteral("radioBeautySmooth"));
    radioBeautySmooth->setGeometry(98, 330, 64, 24);
    radioBeautyNature = new QRadioButton(QStringLiteral("自然"), this);
    radioBeautyNature->setObjectName(QStringLiteral("radioBeautyNature"));
    radioBeautyNature->setGeometry(160, 330, 64, 24);
    (style.smoothStyle == 1 ? radioBeautyNature : radioBeautySmooth)->setChecked(true);

    labBeauty = makeLabel(this, QStringLiteral("labBeauty"), QStringLiteral("美颜级别"),
                          QRect(28, beautyRowY, 72, 24));
    labWhiteness = makeLabel(this, QStringLiteral("labWhiteness"), QStringLiteral("美白级别"),
                             QRect(28, whitenessRowY, 72, 24));
    labRuddiness = makeLabel(this, QStringLiteral("labRuddiness"), QStringLiteral("红润级别"),
                             QRect(28, ruddinessRowY, 72, 24));
    sliderBeauty = makeSlider(this, QStringLiteral("sliderBeauty"), beautyRowY, style.beautyLevel);
    sliderWhiteness =
        makeSlider(this, QStringLiteral("sliderWhiteness"), whitenessRowY, style.whitenessLevel);
    sliderRuddiness =
        makeSlider(this, QStringLiteral("sliderRuddiness"), ruddinessRowY, style.ruddinessLevel);
    labBeautyValue = makeValueLabel(this, QStringLiteral("labBeautyValue"), beautyRowY);
    labWhitenessValue = makeValueLabel(this, QStringLiteral("labWhitenessValue"), whitenessRowY);
    labRuddinessValue = makeValueLabel(this, QStringLiteral("labRuddinessValue"), ruddinessRowY);
    pbBeautyBack = makeButton(this, QStringLiteral("pbBeautyBack"), QStringLiteral("返回"),
                              QRect(150, 510, 101, rowHeight));
}

void DeviceTestDlg::applyTexts()
{
    applyLang();
    // Placeholders and the title are not child texts of the base's language pass.
    const std::pair<XComboBox *, const char *> combos[] = {
        {cmbCamera, "cmbCamera"}, {cmbMic, "cmbMic"}, {cmbSpeaker, "cmbSpeaker"}};
    for (const auto &entry : combos) {
        const QString text = LangUtil::tr(section, QString::fromLatin1(entry.second));
        if (!text.isEmpty()) {
            entry.first->setPlaceholderText(text);
        }
    }
    const QString title = LangUtil::tr(section, QStringLiteral("winTitle"));
    if (!title.isEmpty()) {
        setTitle(title);
    }

    // The places suit the Chinese texts. A longer text gets a smaller font, down to a readable
    // minimum, and the whole text as a tooltip when even that is too wide.
    fittedFontSizes.clear();
    const std::pair<QWidget *, int> fitted[] = {
        {labCamera, 0},          {labMic, 0},       {labSpeaker, 0},   {labBeautyStyle, 0},
        {labBeauty, 0},          {labWhiteness, 0}, {labRuddiness, 0}, {radioBeautySmooth, 22},
        {radioBeautyNature, 22}, {chkBeauty, 22}};
    for (const auto &entry : fitted) {
        QWidget *widget = entry.first;
        const auto *label = qobject_cast<QLabel *>(widget);
        const QString text = label ? label->text() : static_cast<QAbstractButton *>(widget)->text();
        widget->ensurePolished();
        QFont font = widget->font();
        const int available = widget->width() - entry.second;
        int size = ThemeStyle::instance()->fontSize;
        font.setPixelSize(size);
        while (size > minFittedFontSize && QFontMetrics(font).horizontalAdvance(text) > available) {
            font.setPixelSize(--size);
        }
        if (size != ThemeStyle::instance()->fontSize) {
            fittedFontSizes.insert(widget, size);
        }
        widget->setToolTip(QFontMetrics(font).horizontalAdvance(text) > available ? text
                                                                                  : QString());
    }
    // The labels of one column share one size, so a shrunk text does not stand out beside its
    // neighbours.
    const QList<QList<QWidget *>> columns = {
        {labCamera, labMic, labSpeaker}, {labBeautyStyle, labBeauty, labWhiteness, labRuddiness}};
    for (const QList<QWidget *> &column : columns) {
        int smallest = 0;
        for (QWidget *widget : column) {
            const int size = fittedFontSizes.value(widget, 0);
            if (size > 0 && (smallest == 0 || size < smallest)) {
                smallest = size;
            }
        }
        for (QWidget *widget : column) {
            if (smallest > 0) {
                fittedFontSizes.insert(widget, smallest);
            }
        }
    }
    for (QWidget *widget : {static_cast<QWidget *>(labCamera), static_cast<QWidget *>(labMic),
                            static_cast<QWidget *>(labSpeaker)}) {
        widget->setStyleSheet(fontRule(widget));
    }
}

QString DeviceTestDlg::fontRule(const QWidget *widget) const
{
    const int size = fittedFontSizes.value(widget, 0);
    return size > 0 ? QStringLiteral("font-size:%1px;").arg(size) : QString();
}

void DeviceTestDlg::connectWidgets()
{
    connect(cmbCamera, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DeviceTestDlg::on_cmbCamera_currentIndexChanged);
    connect(cmbMic, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DeviceTestDlg::on_cmbMic_currentIndexChanged);
    connect(cmbSpeaker, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DeviceTestDlg::on_cmbSpeaker_currentIndexChanged);
    connect(switchCamera, &SwitchButton::clicked, this, &DeviceTestDlg::slotSwitchCameraClicked);
    connect(switchMic, &SwitchButton::clicked, this, &DeviceTestDlg::slotSwitchMicClicked);
    connect(switchSpeaker, &SwitchButton::clicked, this, &DeviceTestDlg::slotSwitchSpeakerClicked);
    connect(pbBeauty, &QPushButton::clicked, this, &DeviceTestDlg::slotShowBeautyClicked);
    connect(pbBeautyBack, &QPushButton::clicked, this, &DeviceTestDlg::slotBeautyBackClicked);
    connect(pbPlayTest, &QPushButton::clicked, this, &DeviceTestDlg::on_pbPlayTest_clicked);
    connect(pbEnterRoom, &QPushButton::clicked, this, &DeviceTestDlg::on_pbEnterRoom_clicked);
    for (QAbstractButton *button : {static_cast<QAbstractButton *>(chkBeauty),
                                    static_cast<QAbstractButton *>(radioBeautySmooth),
                                    static_cast<QAbstractButton *>(radioBeautyNature)}) {
        connect(button, &QAbstractButton::clicked, this, &DeviceTestDlg::slotBeautyChanged);
    }
    for (QSlider *slider : {sliderBeauty, sliderWhiteness, sliderRuddiness}) {
        connect(slider, &QSlider::valueChanged, this, &DeviceTestDlg::slotBeautyChanged);
    }
}

void DeviceTestDlg::setLiveId(const QString &liveId)
{
    liveIdText = liveId;
    pbEnterRoom->setVisible(!beautyPageShown && !liveIdText.isEmpty());
}

XComboBox *DeviceTestDlg::comboFor(int type) const
{
    switch (type) {
    case TrtcDevice::Camera:
        return cmbCamera;
    case TrtcDevice::Mic:
        return cmbMic;
    case TrtcDevice::Speaker:
        return cmbSpeaker;
    default:
        return nullptr;
    }
}

void DeviceTestDlg::fillDeviceCombo(int type, XComboBox *combo)
{
    TrtcUtil *trtc = TrtcUtil::instance();
    const QSignalBlocker blocker(combo);
    combo->clear();
    const QList<DeviceItem> devices = trtc->getDeviceList(type);
    for (const DeviceItem &device : devices) {
        combo->addItem(QIcon(), device.name, device.id);
    }
    const QString current = trtc->getCurrentDeviceId(type);
    for (int i = 0; i < devices.size(); ++i) {
        if (devices.at(i).id.compare(current, Qt::CaseInsensitive) == 0) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    if (!devices.isEmpty()) {
        combo->setCurrentIndex(0);
        trtc->setCurrentDevice(type, devices.first().id);
    }
}

void DeviceTestDlg::chooseDevice(int type, int index)
{
    XComboBox *combo = comboFor(type);
    if (index < 0 || combo == nullptr) {
        return;
    }
    TrtcUtil *trtc = TrtcUtil::instance();
    trtc->setCurrentDevice(type, combo->itemData(index).toString());
    if (trtc->isDeviceEnabled(type)) {
        stopTest(type);
        startTest(type);
    }
}

void DeviceTestDlg::on_cmbCamera_currentIndexChanged(int index)
{
    chooseDevice(TrtcDevice::Camera, index);
}

void DeviceTestDlg::on_cmbMic_currentIndexChanged(int index)
{
    chooseDevice(TrtcDevice::Mic, index);
}

void DeviceTestDlg::on_cmbSpeaker_currentIndexChanged(int index)
{
    chooseDevice(TrtcDevice::Speaker, index);
}

void DeviceTestDlg::startTest(int type)
{
    TrtcUtil *trtc = TrtcUtil::instance();
    switch (type) {
    case TrtcDevice::Camera:
        trtc->startCameraTest(videoView->winId());
        break;
    case TrtcDevice::Mic:
        trtc->startMicTest();
        break;
    case TrtcDevice::Speaker:
        trtc->startSpeakerTest();
        break;
    default:
        break;
    }
}

void DeviceTestDlg::stopTest(int type)
{
    TrtcUtil *trtc = TrtcUtil::instance();
    switch (type) {
    case TrtcDevice::Camera:
        trtc->stopCameraTest();
        break;
    case TrtcDevice::Mic:
        trtc->stopMicTest();
        break;
    case TrtcDevice::Speaker:
        trtc->stopSpeakerTest();
        break;
    default:
        break;
    }
}

void DeviceTestDlg::slotSwitchCameraClicked(bool active)
{
    TrtcUtil::instance()->setCameraEnabled(active);
    if (active) {
        startTest(TrtcDevice::Camera);
    } else {
        stopTest(TrtcDevice::Camera);
    }
    labCameraDisable->setVisible(!active);
}

void DeviceTestDlg::slotSwitchMicClicked(bool active)
{
    TrtcUtil::instance()->setMicEnabled(active);
    if (active) {
        startTest(TrtcDevice::Mic);
    } else {
        progressMicVolume->setValue(0);
        stopTest(TrtcDevice::Mic);
    }
}

void DeviceTestDlg::slotSwitchSpeakerClicked(bool active)
{
    TrtcUtil::instance()->setSpeakerEnabled(active);
    if (active) {
        startTest(TrtcDevice::Speaker);
    } else {
        stopTest(TrtcDevice::Speaker);
    }
}

void DeviceTestDlg::slotSetMicVolume(uint32_t volume)
{
    // A reading already on its way when the microphone was switched off is dropped, so that the
    // bar stays at 0.
    if (!TrtcUtil::instance()->isMicEnabled()) {
        progressMicVolume->setValue(0);
        return;
    }
    progressMicVolume->setValue(static_cast<int>(qMin<uint32_t>(volume, 100)));
}

void DeviceTestDlg::slotBeautyChanged()
{
    ThemeStyle *theme = ThemeStyle::instance();
    labBeautyValue->setText(QString::number(sliderBeauty->value()));
    labWhitenessValue->setText(QString::number(sliderWhiteness->value()));
    labRuddinessValue->setText(QString::number(sliderRuddiness->value()));

    const bool enabled = chkBeauty->isChecked();
    const QString text = (enabled ? theme->textColor : theme->textColorSoft).name(QColor::HexArgb);
    const QString accent =
        (enabled ? theme->themeColor : theme->textColorSoft).name(QColor::HexArgb);
    const QString groove = theme->borderColor.name(QColor::HexArgb);

    const QString labelStyle = QStringLiteral("color:%1;").arg(text);
    for (QLabel *label : {labBeautyStyle, labBeauty, labWhiteness, labRuddiness}) {
        label->setStyleSheet(labelStyle + fontRule(label));
        label->setEnabled(enabled);
    }
    const QString radioStyle = QStringLiteral("QRadioButton:disabled { color:%1; }").arg(text);
    for (QRadioButton *radio : {radioBeautySmooth, radioBeautyNature}) {
        const QString font = fontRule(radio);
        radio->setStyleSheet(font.isEmpty()
                                 ? radioStyle
                                 : radioStyle + QStringLiteral("QRadioButton { %1 }").arg(font));
        radio->setEnabled(enabled);
    }
    if (!fontRule(chkBeauty).isEmpty()) {
        chkBeauty->setStyleSheet(QStringLiteral("QCheckBox { %1 }").arg(fontRule(chkBeauty)));
    }
    const QString sliderStyle =
        QStringLiteral("QSlider::groove:horizontal {height:4px; background:%1; "
                       "border-radius:2px; }QSlider::sub-page:horizontal {background:%2; "
                       "border-radius:2px; }QSlider::handle:horizontal {width:10px; "
                       "height:10px; margin:-6px 0;border-radius:4px; background:%2; }")
            .arg(groove, accent);
    for (QSlider *slider : {sliderBeauty, sliderWhiteness, sliderRuddiness}) {
        slider->setStyleSheet(sliderStyle);
        slider->setEnabled(enabled);
    }

    BeautyStyle style;
    style.isEnable = enabled;
    style.smoothStyle = radioBeautyNature->isChecked() ? 1 : 0;
    style.beautyLevel = sliderBeauty->value();
    style.whitenessLevel = sliderWhiteness->value();
    style.ruddinessLevel = sliderRuddiness->value();
    AppSettings::setBeautyStyle(style);
    TrtcUtil::instance()->applyBeautyStyle();
}

void DeviceTestDlg::showPage(bool beauty)
{
    beautyPageShown = beauty;
    const QList<QWidget *> devicePage = {
        labCamera, cmbCamera,  switchCamera, pbBeauty,          labMic,        cmbMic,
        switchMic, labSpeaker, cmbSpeaker,   progressMicVolume, switchSpeaker, pbPlayTest};
    const QList<QWidget *> beautyPage = {chkBeauty,         labBeautyStyle, radioBeautySmooth,
                                         radioBeautyNature, labBeauty,      labWhiteness,
                                         labRuddiness,      sliderBeauty,   sliderWhiteness,
                                         sliderRuddiness,   pbBeautyBack};
    for (QWidget *widget : devicePage) {
        widget->setVisible(!beauty);
    }
    for (QWidget *widget : beautyPage) {
        widget->setVisible(beauty);
    }
    pbEnterRoom->setVisible(!beauty && !liveIdText.isEmpty());
}

void DeviceTestDlg::slotShowBeautyClicked()
{
    showPage(true);
}

void DeviceTestDlg::slotBeautyBackClicked()
{
    showPage(false);
}

void DeviceTestDlg::on_pbPlayTest_clicked()
{
    TrtcUtil *trtc = TrtcUtil::instance();
    if (trtc->isSpeakerEnabled()) {
        trtc->stopSpeakerTest();
        trtc->startSpeakerTest();
    }
    player->stop();
    player->setPosition(0);
    player->play();
}

void DeviceTestDlg::on_pbEnterRoom_clicked()
{
    const QString id = liveIdText;
    close();
    GlobalSignal::Instance()->notify(QStringLiteral("Signal_OpenLive"), id);
}

void DeviceTestDlg::resizeEvent(QResizeEvent *event)
{
    XDialog::resizeEvent(event);
    const int top = isTitleBarVisible() ? ThemeStyle::instance()->titleHeight : 0;
    const QRect view(0, top, width(), static_cast<int>(std::lround(width() * 9.0 / 16.0)));
    if (videoArea != nullptr) {
        videoArea->setGeometry(view);
        videoView->setGeometry(videoArea->rect());
        labCameraDisable->setGeometry(videoArea->rect());
    }
}

void DeviceTestDlg::refreshDevices(int type)
{
    XComboBox *combo = comboFor(type);
    if (combo == nullptr) {
        return;
    }
    const QString before = combo->currentData().toString();
    fillDeviceCombo(type, combo);
    // When the device under test went away, the test follows the new choice.
    const QString after = combo->currentData().toString();
    if (after != before && !after.isEmpty() && TrtcUtil::instance()->isDeviceEnabled(type)) {
        stopTest(type);
        startTest(type);
    }
}

void DeviceTestDlg::onError(TXLiteAVError errCode, const char *errMsg, void *extraInfo)
{
    qWarning() << "DeviceTestDlg::onError" << errCode << errMsg << extraInfo;
}

void DeviceTestDlg::onWarning(TXLiteAVWarning warningCode, const char *warningMsg, void *extraInfo)
{
    qWarning() << "DeviceTestDlg::onWarning" << warningCode << warningMsg << extraInfo;
}

void DeviceTestDlg::onSpeedTestResult(const TRTCSpeedTestResult &result)
{
    qDebug() << "DeviceTestDlg::onSpeedTestResult" << result.rtt;
}

void DeviceTestDlg::onDeviceChange(const char *deviceId, TXMediaDeviceType type,
                                   TXMediaDeviceState state)
{
    qDebug() << "DeviceTestDlg::onDeviceChange" << deviceId << type << state;
    if (state != liteav::TXMediaDeviceStateAdd && state != liteav::TXMediaDeviceStateRemove) {
        return;
    }
    const int deviceType = static_cast<int>(type);
    // The SDK's thread; the combo boxes belong to the GUI thread.
    QMetaObject::invokeMethod(
        this, [this, deviceType] { refreshDevices(deviceType); }, Qt::QueuedConnection);
}

void DeviceTestDlg::onTestMicVolume(uint32_t volume)
{
    emit signalSetMicVolume(volume);
}
