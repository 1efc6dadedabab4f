#include "LangUtil.h"
#include "ThemeStyle.h"
#include "XComboBox.h"
#include "XDialog.h"
#include "XMessageBox.h"
#include "XOverlayDlg.h"
#include "XPage.h"
#include "XPushButton.h"

#include <QCheckBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

#include <functional>

namespace {
// A text straight from the source tables, so applyLang is checked against the data, not itself.
QString tableText(const QString &lang, const QString &section, const QString &key)
{
    QFile file(QStringLiteral(BRV_TEST_SOURCE_DIR "/src/res/lang/%1.json").arg(lang));
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    QByteArray data = file.readAll();
    if (data.startsWith("\xEF\xBB\xBF")) {
        data.remove(0, 3);
    }
    const QJsonObject root = QJsonDocument::fromJson(data).object();
    return root.value(section).toObject().value(key).toString();
}

QString common(const QString &key)
{
    return tableText(QStringLiteral("en"), "Common", key);
}

int titleHeight()
{
    return ThemeStyle::instance()->titleHeight;
}

QRect screenArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// A mouse event as the application would deliver it to `to`, at a global position.
void sendMouse(QWidget *to, QEvent::Type type, const QPoint &global,
               Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : button;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, to->mapFromGlobal(global), global, changed, held, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

// Another window of the program that counts the mouse events it really gets.
class MouseSpy : public QWidget
{
public:
    MouseSpy()
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setMouseTracking(true);
        show();
        setGeometry(600, 500, 100, 80);
    }
    int presses = 0;
    int moves = 0;
    int releases = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
    void mouseMoveEvent(QMouseEvent *) override { ++moves; }
    void mouseReleaseEvent(QMouseEvent *) override { ++releases; }
};

// Opens the protected knobs of XDialog and counts the hooks it calls.
class ProbeDialog : public XDialog
{
public:
    explicit ProbeDialog(QWidget *parent = nullptr, bool closes = true)
        : XDialog(parent), closes(closes)
    {}
    void wantButtons(bool min, bool max)
    {
        minButtonWanted = min;
        maxButtonWanted = max;
    }
    void setPopup(bool on) { popupMode = on; }
    void setTitleLabelWidth(int width) { titleLabelWidth = width; }
    void showAt(const QRect &geometry)
    {
        show();
        setGeometry(geometry);
    }
    void closeEx() override
    {
        ++closeRequests;
        if (closes) {
            XDialog::closeEx();
        }
    }
    void dragFinished() override { ++dragsFinished; }

    bool closes;
    int closeRequests = 0;
    int dragsFinished = 0;
};

template <class W, class... Args> W *named(const char *name, Args &&...args)
{
    auto *widget = new W(std::forward<Args>(args)...);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A label class of a window's own: it sets its texts itself.
class OwnLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;
};

XMessageBox *shownBox()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<XMessageBox *>(widget);
        if (box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Runs `act` on the box that exec() shows; a box left open ends with -1 after a while, so that
// a fault fails the test instead of hanging it.
void onShownBox(QObject *guard, const std::function<void(XMessageBox *)> &act)
{
    QTimer::singleShot(0, guard, [act] {
        if (XMessageBox *box = shownBox()) {
            act(box);
        }
    });
    QTimer::singleShot(5000, guard, [] {
        if (XMessageBox *box = shownBox()) {
            box->done(-1);
        }
    });
}

QWidget *boxChild(QWidget *box, const char *name)
{
    return box->findChild<QWidget *>(QLatin1String(name));
}
} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QGuiApplication::primaryScreen() != nullptr);
        LangUtil::setCurrentLang(QStringLiteral("en"));
        QVERIFY(!common("ok").isEmpty());
    }
    void cleanup() { LangUtil::setCurrentLang(QStringLiteral("en")); }

    void applyLangSetsDirectChildrenByName()
    {
        const QString section = QStringLiteral("DeviceTestDlg");
        const QString en = QStringLiteral("en");
        XLangDialog dlg;
        dlg.setObjectName(section);
        auto *camera = named<QLabel>("labCamera", "old", &dlg);
        auto *ok = named<QPushButton>("pbOk", &dlg);
        auto *sysCancel = new XPushButton(&dlg, QStringLiteral("sys_cancel"), QString());
        auto *beauty = named<QCheckBox>("chkBeauty", &dlg);
        auto *smooth = named<QRadioButton>("radio_beauty_smooth", &dlg);
        auto *paged = named<QLabel>("labCameraPage", "page", &dlg);
        auto *unnamed = named<QLabel>("", "unnamed", &dlg);
        auto *unknown = named<QLabel>("labNoSuchText", "mine", &dlg);
        auto *edit = named<QLineEdit>("labMic", "typed", &dlg);
        auto *fixedCombo = named<XComboBox>("cmbCamera", &dlg);
        auto *editCombo = named<XComboBox>("cmbMic", &dlg);
        editCombo->setEditable(true);
        auto *own = named<OwnLabel>("labSpeaker", "own", &dlg);
        auto *nested = named<QLabel>("labSpeaker", "nested", new QWidget(&dlg));

        dlg.applyLang();
        QVERIFY(!tableText(en, section, "labCamera").isEmpty());
        QCOMPARE(camera->text(), tableText(en, section, "labCamera"));
        QCOMPARE(ok->text(), common("ok"));
        QCOMPARE(sysCancel->text(), common("cancel"));
        QCOMPARE(beauty->text(), tableText(en, section, "chkBeauty"));
        QCOMPARE(smooth->text(), tableText(en, section, "radioBeautySmooth"));
        QCOMPARE(paged->text(), QStringLiteral("page"));
        QCOMPARE(unnamed->text(), QStringLiteral("unnamed"));
        QCOMPARE(unknown->text(), QStringLiteral("mine"));
        QCOMPARE(edit->text(), QStringLiteral("typed"));
        QCOMPARE(edit->placeholderText(), tableText(en, section, "labMic"));
        QCOMPARE(fixedCombo->placeholderText(), QString());
        QCOMPARE(editCombo->lineEdit()->placeholderText(), tableText(en, section, "cmbMic"));
        QCOMPARE(own->text(), QStringLiteral("own"));
        QCOMPARE(nested->text(), QStringLiteral("nested"));

        // A language change takes effect at the next applyLang.
        const QString fr = QStringLiteral("fr");
        QVERIFY(tableText(fr, section, "labCamera") != tableText(en, section, "labCamera"));
        LangUtil::setCurrentLang(fr);
        dlg.applyLang();
        QCOMPARE(camera->text(), tableText(fr, section, "labCamera"));
        QCOMPARE(ok->text(), tableText(fr, "Common", "ok"));
    }

    void applyLangOkCancelIgnoreCase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("PBCANCEL") << QStringLiteral("PBCANCEL") << QStringLiteral("cancel");
        QTest::newRow("pbcancel") << QStringLiteral("pbcancel") << QStringLiteral("cancel");
        QTest::newRow("PBOK") << QStringLiteral("PBOK") << QStringLiteral("ok");
    }
    void applyLangOkCancelIgnoreCase()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        XLangDialog dlg;
        dlg.setObjectName(QStringLiteral("DeviceTestDlg"));
        auto *button = new QPushButton(QStringLiteral("old"), &dlg);
        button->setObjectName(name);
        dlg.applyLang();
        QCOMPARE(button->text(), common(key));
    }

    void fittedGeometry_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("expected");
        // Right and bottom are inclusive edges, so a window pushed back from them ends one short.
        QTest::newRow("1920x1080 window onto 1280x720")
            << QRect(2000, 50, 1200, 900) << QRect(1920, 0, 1280, 720) << QSize(1200, 900)
            << QRect(1999, 0, 1200, 720);
        QTest::newRow("above left") << QRect(-500, -300, 300, 200) << QRect(0, 0, 1920, 1080)
                                    << QSize(300, 200) << QRect(0, 0, 300, 200);
        QTest::newRow("screen left of primary")
            << QRect(-100, 10, 400, 300) << QRect(-1280, 0, 1280, 1024) << QSize(400, 300)
            << QRect(-401, 10, 400, 300);
        QTest::newRow("no size") << QRect(10, 10, 0, 0) << QRect(0, 0, 1920, 1080) << QSize()
                                 << QRect(10, 10, 80, 80);
        QTest::newRow("tiny area")
            << QRect(10, 10, 0, 0) << QRect(0, 0, 50, 40) << QSize() << QRect(0, 0, 50, 40);
    }
    void fittedGeometry()
    {
        QFETCH(QRect, window);
        QFETCH(QRect, area);
        QFETCH(QSize, size);
        QFETCH(QRect, expected);
        const QRect fitted = XScreenDialog::fittedGeometry(window, area, size);
        QCOMPARE(fitted, expected);
        QVERIFY(area.contains(fitted));
    }

    void fitToScreen()
    {
        QScreen *screen = QGuiApplication::primaryScreen();
        const QRect area = screen->availableGeometry();
        ProbeDialog dlg;
        dlg.resize(300, 200);
        dlg.fitToScreen(screen, true);
        QCOMPARE(dlg.size(), QSize(300, 200)); // hidden: untouched
        dlg.show();
        QCOMPARE(dlg.normalSize(), QSize(300, 200));
        QCOMPARE(dlg.currentScreen(), screen);

        dlg.setGeometry(area.x() - 50, area.y() - 40, area.width() + 400, area.height() + 300);
        dlg.fitToScreen(screen, true);
        QCOMPARE(dlg.geometry(), area);
        dlg.fitToScreen(screen, false);
        QCOMPARE(dlg.geometry(), QRect(area.topLeft(), QSize(300, 200)));

        dlg.resize(area.width() + 10, 100);
        dlg.slotScreenChanged(nullptr);
        QCOMPARE(dlg.width(), area.width() + 10);
        dlg.slotScreenChanged(screen);
        QCOMPARE(dlg.size(), QSize(area.width(), 100));

        dlg.showMaximized();
        QTRY_COMPARE(dlg.geometry(), area);
        dlg.fitToScreen(screen, false);
        QVERIFY(dlg.isMaximized());
        QCOMPARE(dlg.geometry(), area);

        ProbeDialog tiny;
        tiny.resize(50, 40);
        tiny.show();
        QCOMPARE(tiny.normalSize(), QSize(80, 80));
    }

    void centring()
    {
        const QRect area = screenArea();
        ProbeDialog free;
        free.resize(400, 300);
        free.show();
        QCOMPARE(free.pos(),
                 QPoint((area.width() - 400) / 2 + area.x(), (area.height() - 300) / 2 + area.y()));

        QWidget anchor;
        anchor.setWindowFlags(Qt::FramelessWindowHint);
        anchor.show();
        anchor.setGeometry(200, 100, 801, 600);
        ProbeDialog dlg;
        dlg.setAnchorWidget(&anchor);
        dlg.resize(400, 300);
        dlg.show();
        QCOMPARE(dlg.pos(), QPoint(400, 250));
        dlg.move(10, 10);
        dlg.hide();
        dlg.show();
        QCOMPARE(dlg.pos(), QPoint(400, 250));
        anchor.move(0, 0);
        dlg.hide();
        dlg.show();
        QCOMPARE(dlg.pos(), QPoint(200, 150));
    }

    void escGoesThroughCloseEx_data()
    {
        QTest::addColumn<bool>("closes");
        QTest::newRow("plain") << true;
        QTest::newRow("closeEx overridden") << false;
    }
    void escGoesThroughCloseEx()
    {
        QFETCH(bool, closes);
        ProbeDialog dlg(nullptr, closes);
        dlg.show();
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QCOMPARE(dlg.closeRequests, 1);
        QCOMPARE(dlg.isVisible(), !closes);
        QCOMPARE(dlg.result(), 0);
    }

    void pageWindowCommands()
    {
        ProbeDialog dlg;
        dlg.showAt(QRect(50, 60, 400, 300));
        dlg.slotWebMsg(QStringLiteral("MAX"), QString());
        QVERIFY(dlg.isMaximized());
        QTRY_COMPARE(dlg.geometry(), screenArea());
        dlg.slotWebMsg(QStringLiteral("Restore"), QString());
        QVERIFY(!dlg.isMaximized());
        QTRY_COMPARE(dlg.geometry(), QRect(50, 60, 400, 300));
        // Straight back, before the system has answered the maximise.
        dlg.slotWebMsg(QStringLiteral("max"), QString());
        QVERIFY(dlg.isMaximized());
        dlg.slotWebMsg(QStringLiteral("restore"), QString());
        QTRY_COMPARE(dlg.geometry(), QRect(50, 60, 400, 300));
        QVERIFY(!dlg.isMaximized());

        dlg.slotWebMsg(QStringLiteral("min"), QString());
        QVERIFY(dlg.isMinimized());
        dlg.showNormal();

        dlg.slotWebMsg(QStringLiteral("SetLiveData"), QString());
        QCOMPARE(dlg.closeRequests, 0);
        dlg.slotWebMsg(QStringLiteral("CLOSE"), QString());
        QCOMPARE(dlg.closeRequests, 1);
        QVERIFY(!dlg.isVisible());
    }

    void pageDragFollowsCursor()
    {
        MouseSpy other;
        ProbeDialog dlg;
        dlg.showAt(QRect(50, 60, 400, 300));
        dlg.slotWebMsg(QStringLiteral("dragStart"), QStringLiteral("{\"x\":100,\"y\":12}"));
        QVERIFY(dlg.isPageDragging());

        sendMouse(&other, QEvent::MouseMove, QPoint(500, 300));
        QCOMPARE(dlg.pos(), QPoint(400, 288));
        sendMouse(&dlg, QEvent::MouseMove, QPoint(620, 410));
        QCOMPARE(dlg.pos(), QPoint(520, 398));
        QCOMPARE(other.moves, 0);

        sendMouse(&other, QEvent::MouseButtonRelease, QPoint(5, 5));
        QVERIFY(!dlg.isPageDragging());
        QCOMPARE(dlg.dragsFinished, 1);
        QCOMPARE(other.releases, 0);

        sendMouse(&other, QEvent::MouseMove, QPoint(700, 520));
        QCOMPARE(dlg.pos(), QPoint(520, 398));
        QCOMPARE(other.moves, 1);
        sendMouse(&other, QEvent::MouseButtonRelease, QPoint(5, 5));
        dlg.slotWebMsg(QStringLiteral("dragEnd"), QString());
        QCOMPARE(dlg.dragsFinished, 1);

        dlg.slotWebMsg(QStringLiteral("dragStart"), QStringLiteral("{\"x\":0,\"y\":0}"));
        dlg.slotWebMsg(QStringLiteral("DRAGEND"), QString());
        QCOMPARE(dlg.dragsFinished, 2);
        sendMouse(&other, QEvent::MouseMove, QPoint(10, 10));
        QCOMPARE(dlg.pos(), QPoint(520, 398));

        dlg.showMaximized();
        QTRY_COMPARE(dlg.geometry(), screenArea());
        dlg.slotWebMsg(QStringLiteral("dragStart"), QStringLiteral("{\"x\":100,\"y\":12}"));
        QVERIFY(!dlg.isPageDragging());
        sendMouse(&other, QEvent::MouseMove, QPoint(300, 200));
        sendMouse(&other, QEvent::MouseButtonRelease, QPoint(300, 200));
        QCOMPARE(dlg.geometry(), screenArea());
        QCOMPARE(dlg.dragsFinished, 2);
    }

    void pageDragOffsetFromParam_data()
    {
        QTest::addColumn<QString>("param");
        QTest::addColumn<QPoint>("offset");
        QTest::newRow("not json") << "{x:100" << QPoint();
        QTest::newRow("array") << "[100,12]" << QPoint();
        QTest::newRow("empty") << "" << QPoint();
        QTest::newRow("wrong types") << "{\"x\":\"abc\",\"y\":true}" << QPoint();
        QTest::newRow("not finite") << "{\"x\":\"nan\",\"y\":\"-inf\"}" << QPoint();
        QTest::newRow("x missing") << "{\"y\":7}" << QPoint(0, 7);
    }
    void pageDragOffsetFromParam()
    {
        QFETCH(QString, param);
        QFETCH(QPoint, offset);
        ProbeDialog dlg;
        dlg.showAt(QRect(50, 60, 400, 300));
        dlg.slotWebMsg(QStringLiteral("dragStart"), param);
        QVERIFY(dlg.isPageDragging());
        sendMouse(&dlg, QEvent::MouseMove, QPoint(300, 200));
        QCOMPARE(dlg.pos(), QPoint(300, 200) - offset);
    }

    void pageDragHugeOffsetIsBounded()
    {
        ProbeDialog dlg;
        dlg.showAt(QRect(50, 60, 400, 300));
        dlg.slotWebMsg(QStringLiteral("dragStart"), QStringLiteral("{\"x\":1e300,\"y\":-1e300}"));
        sendMouse(&dlg, QEvent::MouseMove, QPoint(300, 200));
        const QPoint offset = QPoint(300, 200) - dlg.pos();
        QVERIFY2(offset.x() > 10000 && offset.x() <= QWIDGETSIZE_MAX,
                 qPrintable(QString::number(offset.x())));
        QVERIFY2(offset.y() < -10000 && offset.y() >= -QWIDGETSIZE_MAX,
                 qPrintable(QString::number(offset.y())));
        sendMouse(&dlg, QEvent::MouseMove, QPoint(310, 220));
        QCOMPARE(QPoint(310, 220) - dlg.pos(), offset);
    }

    void nativeDragByTitleArea()
    {
        ProbeDialog dlg;
        dlg.showAt(QRect(50, 60, 400, 300));
        dlg.setTitle(QStringLiteral("Title"));
        sendMouse(&dlg, QEvent::MouseButtonPress, QPoint(70, 70));
        sendMouse(&dlg, QEvent::MouseMove, QPoint(100, 110));
        QCOMPARE(dlg.pos(), QPoint(80, 100));
        sendMouse(&dlg, QEvent::MouseButtonRelease, QPoint(100, 110));
        QCOMPARE(dlg.dragsFinished, 1);

        // Below the title bar a press starts nothing.
        sendMouse(&dlg, QEvent::MouseButtonPress, QPoint(100, 200));
        sendMouse(&dlg, QEvent::MouseMove, QPoint(150, 250));
        sendMouse(&dlg, QEvent::MouseButtonRelease, QPoint(150, 250));
        QCOMPARE(dlg.pos(), QPoint(80, 100));
        QCOMPARE(dlg.dragsFinished, 1);

        // No title: no drag area until the next resize gives the top strip back.
        dlg.setTitle(QString());
        QVERIFY(dlg.titleArea().isEmpty());
        sendMouse(&dlg, QEvent::MouseButtonPress, QPoint(90, 110));
        sendMouse(&dlg, QEvent::MouseMove, QPoint(150, 150));
        QCOMPARE(dlg.pos(), QPoint(80, 100));
        sendMouse(&dlg, QEvent::MouseButtonRelease, QPoint(150, 150));
        dlg.resize(420, 300);
        QCOMPARE(dlg.titleArea(), QRect(0, 0, 420, titleHeight()));
    }

    void nativeDragStaysOverOwner()
    {
        QWidget owner;
        owner.setWindowFlags(Qt::FramelessWindowHint);
        owner.show();
        owner.setGeometry(100, 100, 1116, 768);
        ProbeDialog dlg(&owner);
        dlg.showAt(QRect(300, 300, 400, 300));
        sendMouse(&dlg, QEvent::MouseButtonPress, QPoint(310, 310));
        sendMouse(&dlg, QEvent::MouseMove, QPoint(-500, -500));
        QCOMPARE(dlg.pos(), QPoint(100, 100));
        sendMouse(&dlg, QEvent::MouseMove, QPoint(5000, 5000));
        QCOMPARE(dlg.pos(), QPoint(100 + 1116 - 400, 100 + 768 - 300));
        sendMouse(&dlg, QEvent::MouseMove, QPoint(510, 410));
        QCOMPARE(dlg.pos(), QPoint(500, 400));
    }

    void titleBarLayout_data()
    {
        QTest::addColumn<int>("labelWidth");
        QTest::addColumn<QRect>("label");
        QTest::newRow("window width") << -1 << QRect(10, 0, 380, 32);
        QTest::newRow("narrow") << 200 << QRect(110, 0, 180, 32);
        QTest::newRow("wider than window") << 405 << QRect(8, 0, 385, 32);
        QTest::newRow("too narrow") << 10 << QRect(205, 0, 0, 32);
    }
    void titleBarLayout()
    {
        QFETCH(int, labelWidth);
        QFETCH(QRect, label);
        QCOMPARE(titleHeight(), 32); // the rows are written for it
        ProbeDialog dlg;
        dlg.wantButtons(true, true);
        dlg.setTitleLabelWidth(labelWidth);
        dlg.showAt(QRect(50, 60, 400, 300));
        dlg.setTitle(QStringLiteral("Hello"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Hello"));
        auto *title = dlg.findChild<QLabel *>(QStringLiteral("win_title"));
        QVERIFY(title);
        QCOMPARE(title->text(), QStringLiteral("Hello"));
        QCOMPARE(title->geometry(), label);
        QCOMPARE(dlg.titleArea(), QRect(0, 0, 400, 32));
        const auto button = [&dlg](const char *name) {
            return dlg.titleButton(QLatin1String(name));
        };
        QCOMPARE(button("win_sys_close")->geometry(), QRect(362, 0, 32, 32));
        QCOMPARE(button("win_sys_max")->geometry(), QRect(330, 0, 32, 32));
        QCOMPARE(button("win_sys_restore")->geometry(), QRect(330, 0, 32, 32));
        QCOMPARE(button("win_sys_min")->geometry(), QRect(298, 0, 32, 32));
        QVERIFY(!button("win_sys_max")->isHidden());
        QVERIFY(button("win_sys_restore")->isHidden());

        dlg.resize(600, 300);
        QCOMPARE(button("win_sys_close")->geometry(), QRect(562, 0, 32, 32));
        QCOMPARE(dlg.titleArea(), QRect(0, 0, 600, 32));

        dlg.setTitle(QString());
        QVERIFY(!dlg.isTitleBarVisible());
        QVERIFY(dlg.titleArea().isEmpty());
        QVERIFY(title->isHidden());
        for (const char *name :
             {"win_sys_close", "win_sys_max", "win_sys_restore", "win_sys_min"}) {
            QVERIFY2(button(name)->isHidden(), name);
        }
        dlg.setTitle(QStringLiteral("Again"));
        QVERIFY(!title->isHidden());
        QCOMPARE(dlg.findChildren<XPushButton *>().size(), 4);
    }

    void titleButtonsCallActions()
    {
        ProbeDialog dlg;
        dlg.wantButtons(true, true);
        dlg.showAt(QRect(50, 60, 400, 300));
        dlg.setTitle(QStringLiteral("Title"));
        const auto click = [&dlg](const char *name) {
            QTest::mouseClick(dlg.titleButton(QLatin1String(name)), Qt::LeftButton);
        };
        QWidget *max = dlg.titleButton(QStringLiteral("win_sys_max"));
        QWidget *restore = dlg.titleButton(QStringLiteral("win_sys_restore"));
        click("win_sys_max");
        QVERIFY(dlg.isMaximized());
        QTRY_COMPARE(dlg.geometry(), screenArea());
        QVERIFY(!max->isVisible());
        QVERIFY(restore->isVisible());
        click("win_sys_restore");
        QVERIFY(!dlg.isMaximized());
        QTRY_COMPARE(dlg.geometry(), QRect(50, 60, 400, 300));
        QVERIFY(max->isVisible());
        QVERIFY(!restore->isVisible());
        click("win_sys_min");
        QVERIFY(dlg.isMinimized());
        dlg.showNormal();
        QCOMPARE(dlg.closeRequests, 0);
        click("win_sys_close");
        QCOMPARE(dlg.closeRequests, 1);
        QVERIFY(!dlg.isVisible());
    }

    void placeWebView()
    {
        ProbeDialog dlg;
        dlg.resize(400, 300);
        QWidget view(&dlg);
        dlg.placeWebView(&view);
        QCOMPARE(view.geometry(), QRect(0, 0, 401, 300));
        dlg.setTitle(QStringLiteral("Title"));
        dlg.placeWebView(&view);
        QCOMPARE(view.geometry(), QRect(0, titleHeight(), 401, 300 - titleHeight()));
    }

    void maximizedGeometry()
    {
        QCOMPARE(XDialog::maximizedGeometry(QRect(0, 0, 1920, 1040), 1.5), QRect(0, 0, 2880, 1560));
        QCOMPARE(XDialog::maximizedGeometry(QRect(1920, 0, 1280, 680), 1.25),
                 QRect(2400, 0, 1600, 850));
        QCOMPARE(XDialog::maximizedGeometry(QRect(1, 3, 3, 5), 1.5), QRect(2, 5, 5, 8));
    }

    void maskCoversOwnerWhileShown()
    {
        QWidget owner;
        owner.setWindowFlags(Qt::FramelessWindowHint);
        owner.show();
        owner.setGeometry(100, 100, 1116, 768);
        auto *dlg = new ProbeDialog;
        dlg->setMaskOwner(&owner);
        dlg->resize(400, 300);
        dlg->show();
        QPointer<XOverlayDlg> mask = dlg->mask();
        QVERIFY(mask);
        QVERIFY(mask->isVisible());
        QVERIFY(mask->parent() == nullptr);
        QCOMPARE(mask->geometry(), QRect(100, 100, 1116, 768));
        QVERIFY(mask->titleArea().isEmpty());
        QCOMPARE(mask->backgroundColor(), ThemeStyle::instance()->overlayBgColor);

        // Closing the mask deletes it and closes the window.
        mask->close();
        QTRY_VERIFY(mask.isNull());
        QVERIFY(!dlg->isVisible());
        QVERIFY(dlg->mask() == nullptr);

        // Hiding the window takes its mask away; the next show brings a new one.
        dlg->show();
        mask = dlg->mask();
        QVERIFY(mask);
        dlg->hide();
        QTRY_VERIFY(mask.isNull());
        QVERIFY(dlg->mask() == nullptr);
        dlg->show();
        mask = dlg->mask();
        QVERIFY(mask && mask->isVisible());
        QVERIFY(dlg->isVisible());

        delete dlg;
        QTRY_VERIFY(mask.isNull());
    }

    void popupClosesOnOutsideLeftPress()
    {
        MouseSpy other;
        ProbeDialog plain;
        plain.showAt(QRect(50, 60, 400, 300));
        sendMouse(&other, QEvent::MouseButtonPress, QPoint(640, 520));
        QCOMPARE(plain.closeRequests, 0);
        QCOMPARE(other.presses, 1);

        ProbeDialog popup;
        popup.setPopup(true);
        popup.showAt(QRect(50, 60, 400, 300));
        sendMouse(&popup, QEvent::MouseButtonPress, QPoint(100, 100));
        sendMouse(&other, QEvent::MouseButtonPress, QPoint(640, 520), Qt::RightButton);
        QCOMPARE(popup.closeRequests, 0);
        QCOMPARE(other.presses, 2);
        sendMouse(&other, QEvent::MouseButtonPress, QPoint(640, 520));
        QCOMPARE(popup.closeRequests, 1);
        QVERIFY(!popup.isVisible());
        QCOMPARE(other.presses, 2);
        QVERIFY(plain.isVisible());
    }

    void messageBoxStatics_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("titleKey");
        QTest::newRow("info") << QStringLiteral("info") << QStringLiteral("infoTitle");
        QTest::newRow("error") << QStringLiteral("error") << QStringLiteral("errorTitle");
    }
    void messageBoxStatics()
    {
        QFETCH(QString, kind);
        QFETCH(QString, titleKey);
        QString title, okText;
        bool cancelShown = true, onTop = false;
        QObject guard;
        onShownBox(&guard, [&](XMessageBox *box) {
            title = box->windowTitle();
            okText = static_cast<QPushButton *>(boxChild(box, "pbOk"))->text();
            cancelShown = boxChild(box, "pbCancel")->isVisible();
            onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            QTest::mouseClick(boxChild(box, "pbOk"), Qt::LeftButton);
        });
        const QString text = QStringLiteral("Hi");
        const int result =
            kind == QLatin1String("info") ? XMessageBox::info(text) : XMessageBox::error(text);
        QCOMPARE(result, 0);
        QCOMPARE(title, common(titleKey));
        QCOMPARE(okText, common("ok"));
        QVERIFY(!cancelShown);
        QVERIFY(onTop);
    }

    void confirmResults_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("yes") << "yes" << 1;
        QTest::newRow("no") << "no" << 0;
        QTest::newRow("esc") << "esc" << 0;
        QTest::newRow("close button") << "close" << 0;
        QTest::newRow("outside press") << "outside" << 0;
    }
    void confirmResults()
    {
        QFETCH(QString, how);
        QFETCH(int, result);
        MouseSpy other;
        XMessageBox box(QStringLiteral("confirm"), QStringLiteral("Sure?"),
                        QStringLiteral("Confirm"));
        QWidget *yes = boxChild(&box, "pbOk");
        QWidget *no = boxChild(&box, "pbCancel");
        QCOMPARE(static_cast<QPushButton *>(yes)->text(), common("yes"));
        QCOMPARE(static_cast<QPushButton *>(no)->text(), common("no"));
        bool bothShown = false;
        QObject guard;
        onShownBox(&guard, [&](XMessageBox *shown) {
            bothShown = yes->isVisible() && no->isVisible();
            if (how == QLatin1String("yes")) {
                QTest::mouseClick(yes, Qt::LeftButton);
            } else if (how == QLatin1String("no")) {
                QTest::mouseClick(no, Qt::LeftButton);
            } else if (how == QLatin1String("esc")) {
                QTest::keyClick(shown, Qt::Key_Escape);
            } else if (how == QLatin1String("close")) {
                QTest::mouseClick(shown->titleButton(QStringLiteral("win_sys_close")),
                                  Qt::LeftButton);
            } else {
                sendMouse(&other, QEvent::MouseButtonPress, other.geometry().center());
            }
        });
        QCOMPARE(box.exec(), result);
        QVERIFY(bothShown);
        QVERIFY(!box.isVisible());
    }

    void messageBoxGrowsWithText()
    {
        XMessageBox one(QStringLiteral("info"), QStringLiteral("One line"), QStringLiteral("T"));
        QCOMPARE(one.size(), QSize(450, 180));
        QCOMPARE(boxChild(&one, "pbOk")->geometry(), QRect(320, 125, 91, 31));

        QStringList lines;
        for (int i = 0; i < 6; ++i) {
            lines << QStringLiteral("Line %1 of the text").arg(i + 1);
        }
        const QString six = lines.join(QLatin1Char('\n'));
        XMessageBox box(QStringLiteral("confirm"), six, QStringLiteral("T"));
        QWidget *text = boxChild(&box, "labText");
        QWidget *ok = boxChild(&box, "pbOk");
        QWidget *cancel = boxChild(&box, "pbCancel");
        const int grow = box.height() - 180;
        QVERIFY(grow > 0);
        QVERIFY(text->height() >= 6 * QFontMetrics(text->font()).lineSpacing() - 2);
        QCOMPARE(text->geometry(), QRect(90, 45, 321, 61 + grow));
        QCOMPARE(ok->geometry(), QRect(320, 125 + grow, 91, 31));
        QCOMPARE(cancel->geometry(), QRect(210, 125 + grow, 91, 31));
        QVERIFY(ok->y() > text->geometry().bottom());
        QCOMPARE(box.width(), 450);
    }

    void page()
    {
        XPage page;
        QVERIFY(page.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(page.backgroundColor(), ThemeStyle::instance()->bgColor);
        page.setBackgroundColor(QColor(255, 0, 0));
        QCOMPARE(page.styleSheet(), QStringLiteral("QDialog {background:#ffff0000;}"));
        page.setBackgroundColor(QColor(0, 128, 255, 64));
        QCOMPARE(page.styleSheet(), QStringLiteral("QDialog {background:#400080ff;}"));

        page.resize(640, 360);
        QWidget child(&page);
        page.fitChild(&child);
        QCOMPARE(child.geometry(), QRect(0, 0, 640, 360));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
