#include "Iconfont.h"
#include "ScreenUtil.h"
#include "SwitchButton.h"
#include "ThemeStyle.h"
#include "XComboBox.h"
#include "XMenu.h"
#include "XPushButton.h"

#include <QAction>
#include <QListView>
#include <QMap>
#include <QScreen>
#include <QSignalMapper>
#include <QSignalSpy>
#include "ImageInk.h"

#include <QtTest>

#include <cmath>

namespace {

QColor inkOf(const QIcon &icon)
{
    const QList<QSize> sizes = icon.availableSizes();
    return sizes.isEmpty() ? QColor() : inkOf(icon.pixmap(sizes.first()).toImage());
}

// The switch as it paints itself and its knob, on a transparent ground.
QImage paintedSwitch(SwitchButton &sw)
{
    QImage image(sw.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    sw.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Every signal of a button, in the order it came, as "signal:objectName".
QStringList *record(XPushButton *button, QObject *context)
{
    auto *log = new QStringList;
    QObject::connect(context, &QObject::destroyed, [log] { delete log; });
    QObject::connect(button, &XPushButton::signalPbMouseEnter, context,
                     [log](const QString &n) { log->append("enter:" + n); });
    QObject::connect(button, &XPushButton::signalPbMouseLeave, context,
                     [log](const QString &n) { log->append("leave:" + n); });
    QObject::connect(button, &XPushButton::signalPbMousePress, context,
                     [log](const QString &n) { log->append("press:" + n); });
    QObject::connect(button, &XPushButton::signalPbMouseRelease, context,
                     [log](const QString &n) { log->append("release:" + n); });
    return log;
}

void sendEnter(QWidget *w)
{
    const QPointF local(w->width() / 2.0, w->height() / 2.0);
    QEnterEvent enter(local, local, w->mapToGlobal(local.toPoint()));
    QApplication::sendEvent(w, &enter);
}

void sendLeave(QWidget *w)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w, &leave);
}

void sendFocusOut(QWidget *w)
{
    QFocusEvent focusOut(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(w, &focusOut);
}

quint64 shownIcon(const QAbstractButton &b)
{
    return b.icon().cacheKey();
}
} // namespace

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // XPushButton
    void pushButtonConstruction();
    void pushButtonGlyphSizeFollowsScreenAspectRatio();
    void pushButtonGlyphColours();
    void pushButtonEventsSwapIconsAndReportObjectName();
    void pushButtonWithoutHoverIconKeepsNormalIcon();
    void pushButtonDeletedFromItsSlot();
    void iconButton();

    // SwitchButton
    void switchConstruction();
    void switchGeometry_data();
    void switchGeometry();
    void switchPressTogglesAndAnimates();
    void switchSecondPressWhileAnimatingIsIgnored();
    void switchSetActive();
    void switchGeometryKeepsActiveKnobRight();
    void switchPaintsPillAndKnob();

    // XComboBox
    void comboConstruction();
    void comboPopupUnderTheCombo();
    void comboDeleteButtonWithoutHoveredRow();

    // XMenu
    void menuConstruction();
    void menuCheckActions();
    void menuSetCheckedSingleChoice();
    void menuShowAtClampsInsideOwnerWindow();
    void menuShowAtEmptyAnchorUsesOwner();
    void menuShowAtChildOwner();
    void menuShowAtWithoutOwnerUsesScreen();
    void menuReportsTriggeredAction();
    void menuClearDropsOldMappings();

private:
    ThemeStyle *theme = nullptr;
};

void TestWidgets::initTestCase()
{
    theme = ThemeStyle::instance();
    QVERIFY(theme->textColor.isValid());
    QVERIFY(theme->themeColor.isValid());
    QVERIFY(theme->textColor != theme->themeColor);
    QVERIFY(QGuiApplication::primaryScreen());
}

// ---------------------------------------------------------------------------------------------
// XPushButton

void TestWidgets::pushButtonConstruction()
{
    QWidget owner;
    XPushButton b(&owner, "pbEnterRoom", "Enter");
    QCOMPARE(b.objectName(), QString("pbEnterRoom"));
    QCOMPARE(b.text(), QString("Enter"));
    QVERIFY(!b.isCheckable());
    QCOMPARE(b.owner(), &owner);
    QCOMPARE(b.parentWidget(), &owner);
    QCOMPARE(b.getGlyphSize(), 0);
    QVERIFY(b.getNormalIcon().isNull());
    QVERIFY(b.getHoverIcon().isNull());
    QVERIFY(b.getPressedIcon().isNull());
}

void TestWidgets::pushButtonGlyphSizeFollowsScreenAspectRatio()
{
    XPushButton b(nullptr, "pb", QString());
    const double ratio = ScreenUtil::aspectRatio(b.screen());
    QVERIFY(ratio > 0.0);
    for (int size : {14, 16, 20}) {
        b.setGlyphSize(size);
        QCOMPARE(b.getGlyphSize(), static_cast<int>(std::lround(size * ratio)));
        QCOMPARE(b.iconSize(), QSize(size, size));
    }
    // The offscreen screen is 800 x 600: 20 x 4/3 = 26.67 rounds to 27.
    if (b.screen()->geometry().size() == QSize(800, 600)) {
        b.setGlyphSize(20);
        QCOMPARE(b.getGlyphSize(), 27);
    }
    // 20 on a 1920 x 1080 screen is the same arithmetic.
    QCOMPARE(static_cast<int>(std::lround(20 * (1920.0 / 1080.0))), 36);

    // The icons are rendered at twice the glyph size and shown at the given size.
    b.setGlyphSize(20);
    b.setGlyph(Iconfont::CheckMark, Qt::red, Qt::green, Qt::blue);
    const int rendered = 2 * b.getGlyphSize();
    QCOMPARE(b.getNormalIcon().availableSizes(), QList<QSize>{QSize(rendered, rendered)});
    QCOMPARE(b.iconSize(), QSize(20, 20));
}

void TestWidgets::pushButtonGlyphColours()
{
    XPushButton b(nullptr, "pb", QString());
    b.setGlyphSize(20);
    b.setGlyph(Iconfont::CameraOn, QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue));
    QCOMPARE(inkOf(b.getNormalIcon()), QColor(Qt::red));
    QCOMPARE(inkOf(b.getHoverIcon()), QColor(Qt::green));
    QCOMPARE(inkOf(b.getPressedIcon()), QColor(Qt::blue));
    QCOMPARE(shownIcon(b), b.getNormalIcon().cacheKey());

    // Invalid colours come from the theme.
    b.setGlyph(Iconfont::CameraOn, QColor(), QColor(), QColor());
    QCOMPARE(inkOf(b.getNormalIcon()), theme->textColor);
    QCOMPARE(inkOf(b.getHoverIcon()), theme->themeColor);
    QCOMPARE(inkOf(b.getPressedIcon()), theme->themeColor);
    QCOMPARE(shownIcon(b), b.getNormalIcon().cacheKey());
}

void TestWidgets::pushButtonEventsSwapIconsAndReportObjectName()
{
    QWidget window;
    window.resize(200, 100);
    auto *b = new XPushButton(&window, "pb_camera_rotate_90", QString());
    b->setGeometry(10, 10, 40, 40);
    b->setGlyphSize(20);
    b->setGlyph(Iconfont::More, Qt::red, Qt::green, Qt::blue);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList *log = record(b, &window);

    const quint64 normal = b->getNormalIcon().cacheKey();
    const quint64 hover = b->getHoverIcon().cacheKey();
    const quint64 pressed = b->getPressedIcon().cacheKey();
    QVERIFY(normal != hover && hover != pressed && normal != pressed);

    sendEnter(b);
    QCOMPARE(shownIcon(*b), hover);
    QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(shownIcon(*b), pressed);
    QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(shownIcon(*b), normal);
    sendEnter(b);
    QCOMPARE(shownIcon(*b), hover);
    sendLeave(b);
    QCOMPARE(shownIcon(*b), normal);

    QCOMPARE(*log, (QStringList{"enter:pb_camera_rotate_90", "press:pb_camera_rotate_90",
                                "release:pb_camera_rotate_90", "enter:pb_camera_rotate_90",
                                "leave:pb_camera_rotate_90"}));

    // Focus out restores the normal icon and reports nothing.
    log->clear();
    sendEnter(b);
    sendFocusOut(b);
    QCOMPARE(shownIcon(*b), normal);
    QCOMPARE(*log, QStringList{"enter:pb_camera_rotate_90"});

    // The base class still handles the events: a press and release inside is a click.
    QSignalSpy clicked(b, &QPushButton::clicked);
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(clicked.count(), 1);
}

void TestWidgets::pushButtonWithoutHoverIconKeepsNormalIcon()
{
    QWidget window;
    auto *b = new XPushButton(&window, "win_sys_close", QString());
    b->setGeometry(0, 0, 30, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList *log = record(b, &window);

    sendEnter(b);
    QVERIFY(b->icon().isNull());
    QCOMPARE(shownIcon(*b), b->getNormalIcon().cacheKey());
    QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(shownIcon(*b), b->getNormalIcon().cacheKey());
    QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    sendLeave(b);
    QCOMPARE(*log, (QStringList{"enter:win_sys_close", "press:win_sys_close",
                                "release:win_sys_close", "leave:win_sys_close"}));
}

void TestWidgets::pushButtonDeletedFromItsSlot()
{
    QWidget window;
    QPointer<XPushButton> b = new XPushButton(&window, "pbClose", "x");
    b->setGeometry(0, 0, 30, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    connect(b.data(), &XPushButton::signalPbMousePress, &window, [&b] { delete b.data(); });
    QTest::mousePress(b.data(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(b.isNull());
}

void TestWidgets::iconButton()
{
    QWidget owner;
    XPushButton *b = XPushButton::createIconButton(&owner, "pb_camera_close", 20,
                                                   Iconfont::CameraOff, QColor());
    QVERIFY(b);
    QCOMPARE(b->parentWidget(), &owner);
    QCOMPARE(b->objectName(), QString("pb_camera_close"));
    QVERIFY(b->text().isEmpty());
    QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
    const QString text = theme->textColor.name(QColor::HexArgb);
    const QString accent = theme->themeColor.name(QColor::HexArgb);
    QCOMPARE(b->styleSheet(),
             "QPushButton {color: " + text +
                 "; background:transparent; border-radius:0px; border: none;}"
                 "QPushButton:hover {color:" +
                 accent + ";}QPushButton:pressed {color:" + accent + ";}");
    QCOMPARE(b->getGlyphSize(), static_cast<int>(std::lround(20 * ScreenUtil::aspectRatio(
                                                                        b->screen()))));
    QCOMPARE(b->iconSize(), QSize(20, 20));
    // An invalid colour is the theme's text colour; hover and pressed are the theme colour.
    QCOMPARE(inkOf(b->getNormalIcon()), theme->textColor);
    QCOMPARE(inkOf(b->getHoverIcon()), theme->themeColor);
    QCOMPARE(inkOf(b->getPressedIcon()), theme->themeColor);
    QCOMPARE(shownIcon(*b), b->getNormalIcon().cacheKey());

    XPushButton *white = XPushButton::createIconButton(&owner, "pb_more", 16, Iconfont::More,
                                                       QColor(Qt::white));
    QCOMPARE(inkOf(white->getNormalIcon()), QColor(Qt::white));
    QCOMPARE(white->iconSize(), QSize(16, 16));
}

// ---------------------------------------------------------------------------------------------
// SwitchButton

void TestWidgets::switchConstruction()
{
    QWidget parent;
    auto *sw = new SwitchButton(&parent);
    QCOMPARE(sw->parentWidget(), &parent);
    QCOMPARE(sw->size(), QSize(60, 30));
    QVERIFY(!sw->active());
    QVERIFY(sw->isReady());
    QCOMPARE(sw->knobMargin(), 2);
    QCOMPARE(sw->animationDuration(), 150);
    QCOMPARE(sw->knobDiameter(), 30);
    QCOMPARE(sw->knobTravel(), 30);
    QVERIFY(sw->slider());
    QCOMPARE(sw->slider()->parentWidget(), sw);
    QCOMPARE(sw->slider()->geometry(), QRect(2, 2, 26, 26));
    QCOMPARE(sw->slider()->color, QColor(Qt::white));
    QCOMPARE(sw->activeColor(), theme->themeColor);
    QCOMPARE(sw->inactiveColor(), theme->textColorDisable);
    QCOMPARE(sw->cursor().shape(), Qt::PointingHandCursor);
}

void TestWidgets::switchGeometry_data()
{
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("diameter");
    QTest::addColumn<int>("travel");
    QTest::addColumn<QRect>("knob");
    // The device test's switches: 50 wide, combo height 31 - 6 high.
    QTest::newRow("device test") << QRect(317, 282, 50, 25) << 25 << 25 << QRect(2, 2, 21, 21);
    QTest::newRow("wide") << QRect(0, 0, 100, 20) << 20 << 80 << QRect(2, 2, 16, 16);
    QTest::newRow("square") << QRect(5, 6, 30, 30) << 30 << 0 << QRect(2, 2, 26, 26);
    QTest::newRow("taller than wide") << QRect(0, 0, 20, 30) << 20 << 0 << QRect(2, 2, 26, 26);
}

void TestWidgets::switchGeometry()
{
    QFETCH(QRect, geometry);
    QWidget parent;
    auto *sw = new SwitchButton(&parent);
    sw->setSwitchGeometry(geometry.x(), geometry.y(), geometry.width(), geometry.height());
    QCOMPARE(sw->geometry(), geometry);
    QTEST(sw->knobDiameter(), "diameter");
    QTEST(sw->knobTravel(), "travel");
    QTEST(sw->slider()->geometry(), "knob");
}

void TestWidgets::switchPressTogglesAndAnimates()
{
    QWidget window;
    window.resize(200, 100);
    auto *sw = new SwitchButton(&window);
    sw->move(10, 10);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(sw, &SwitchButton::clicked);

    QTest::mousePress(sw, Qt::LeftButton, Qt::NoModifier, QPoint(30, 15));
    // clicked comes at once, before the knob has moved.
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toBool(), true);
    QVERIFY(sw->active());
    QVERIFY(!sw->isReady());
    QTest::mouseRelease(sw, Qt::LeftButton, Qt::NoModifier, QPoint(30, 15));

    QTRY_VERIFY_WITH_TIMEOUT(sw->isReady(), 2000);
    QCOMPARE(sw->slider()->geometry(), QRect(60 - 2 - 26, 2, 26, 26));
    QCOMPARE(sw->slider()->geometry(), sw->knobRect(true));

    QTest::mousePress(sw, Qt::LeftButton, Qt::NoModifier, QPoint(30, 15));
    QCOMPARE(clicked.count(), 2);
    QCOMPARE(clicked.at(1).at(0).toBool(), false);
    QVERIFY(!sw->active());
    QTest::mouseRelease(sw, Qt::LeftButton, Qt::NoModifier, QPoint(30, 15));
    QTRY_VERIFY_WITH_TIMEOUT(sw->isReady(), 2000);
    QCOMPARE(sw->slider()->geometry(), QRect(2, 2, 26, 26));

    // A press on the knob itself is a press on the switch.
    QTest::mousePress(sw, Qt::LeftButton, Qt::NoModifier, QPoint(10, 15));
    QCOMPARE(clicked.count(), 3);
    QTRY_VERIFY_WITH_TIMEOUT(sw->isReady(), 2000);
}

void TestWidgets::switchSecondPressWhileAnimatingIsIgnored()
{
    QWidget window;
    auto *sw = new SwitchButton(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(sw, &SwitchButton::clicked);

    // No event loop runs between the two clicks, so the second comes within the 150 ms.
    QTest::mouseClick(sw, Qt::LeftButton, Qt::NoModifier, QPoint(40, 15));
    QVERIFY(!sw->isReady());
    QTest::mouseClick(sw, Qt::LeftButton, Qt::NoModifier, QPoint(40, 15));
    QCOMPARE(clicked.count(), 1);
    QVERIFY(sw->active());
    // setActive while the knob moves changes nothing either.
    sw->setActive(false);
    QCOMPARE(clicked.count(), 1);
    QVERIFY(sw->active());

    QTRY_VERIFY_WITH_TIMEOUT(sw->isReady(), 2000);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(sw->slider()->geometry(), QRect(32, 2, 26, 26));
    // No animation is left behind.
    QTRY_COMPARE(sw->findChildren<QPropertyAnimation *>().size(), 0);
}

void TestWidgets::switchSetActive()
{
    QWidget window;
    auto *sw = new SwitchButton(&window);
    window.show();
    QSignalSpy clicked(sw, &SwitchButton::clicked);

    sw->setActive(false);
    QCOMPARE(clicked.count(), 0);

    sw->setActive(true);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toBool(), true);
    QVERIFY(!sw->isReady());
    QTRY_VERIFY_WITH_TIMEOUT(sw->isReady(), 2000);
    QCOMPARE(sw->slider()->geometry(), QRect(32, 2, 26, 26));

    sw->setActive(true);
    QCOMPARE(clicked.count(), 1);
    QVERIFY(sw->isReady());
    QCOMPARE(sw->slider()->geometry(), QRect(32, 2, 26, 26));

    sw->setActive(false);
    QCOMPARE(clicked.count(), 2);
    QCOMPARE(clicked.at(1).at(0).toBool(), false);
    QTRY_VERIFY_WITH_TIMEOUT(sw->isReady(), 2000);
    QCOMPARE(sw->slider()->geometry(), QRect(2, 2, 26, 26));
}

void TestWidgets::switchGeometryKeepsActiveKnobRight()
{
    QWidget window;
    auto *sw = new SwitchButton(&window);
    window.show();
    sw->setActive(true);
    // A new geometry in the middle of the animation: the knob rests at the new right end.
    sw->setSwitchGeometry(0, 0, 50, 25);
    QVERIFY(sw->isReady());
    QCOMPARE(sw->slider()->geometry(), QRect(50 - 2 - 21, 2, 21, 21));
    QTest::qWait(250);
    QCOMPARE(sw->slider()->geometry(), QRect(27, 2, 21, 21));

    sw->setActive(false);
    QTRY_VERIFY_WITH_TIMEOUT(sw->isReady(), 2000);
    QCOMPARE(sw->slider()->geometry(), QRect(2, 2, 21, 21));
    sw->setSwitchGeometry(0, 0, 60, 30);
    QCOMPARE(sw->slider()->geometry(), QRect(2, 2, 26, 26));
}

void TestWidgets::switchPaintsPillAndKnob()
{
    SwitchButton sw;
    QImage off = paintedSwitch(sw);
    // Outside the pill's rounded ends nothing is drawn.
    QCOMPARE(off.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(off.pixelColor(59, 0).alpha(), 0);
    QCOMPARE(off.pixelColor(59, 29).alpha(), 0);
    // The pill in the off colour, the knob white on the left.
    QCOMPARE(off.pixelColor(45, 15), theme->textColorDisable);
    QCOMPARE(off.pixelColor(30, 1), theme->textColorDisable);
    QCOMPARE(off.pixelColor(15, 15), QColor(Qt::white));

    sw.setActive(true);
    QTRY_VERIFY_WITH_TIMEOUT(sw.isReady(), 2000);
    QImage on = paintedSwitch(sw);
    QCOMPARE(on.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(on.pixelColor(15, 15), theme->themeColor);
    QCOMPARE(on.pixelColor(45, 15), QColor(Qt::white));
}

// ---------------------------------------------------------------------------------------------
// XComboBox

void TestWidgets::comboConstruction()
{
    XComboBox combo;
    QVERIFY(combo.listView());
    QCOMPARE(combo.view(), static_cast<QAbstractItemView *>(combo.listView()));
    QCOMPARE(combo.listView()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(combo.listView()->textElideMode(), Qt::ElideRight);
}

void TestWidgets::comboPopupUnderTheCombo()
{
    QWidget window;
    window.resize(400, 300);
    window.move(30, 40);
    auto *combo = new XComboBox(&window);
    combo->setGeometry(90, 80, 211, 31);
    combo->addItems({"Integrated Camera", "USB Camera",
                     "A camera whose name is far longer than the combo box is wide, by a lot"});
    // A plain combo box beside it, for the height the base class gives its popup.
    auto *plain = new QComboBox(&window);
    plain->setView(new QListView(plain));
    plain->setGeometry(90, 150, 211, 31);
    plain->addItems({"Integrated Camera", "USB Camera",
                     "A camera whose name is far longer than the combo box is wide, by a lot"});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    plain->showPopup();
    QWidget *plainPopup = plain->view()->window();
    QTRY_VERIFY(plainPopup->isVisible());
    const int baseHeight = plainPopup->height();
    plain->hidePopup();

    combo->showPopup();
    QWidget *popup = combo->view()->window();
    QVERIFY(popup != &window);
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(popup->pos(), combo->mapToGlobal(QPoint(0, combo->height())));
    QCOMPARE(popup->width(), combo->width());
    QCOMPARE(popup->height(), baseHeight);
    combo->hidePopup();
    QTRY_VERIFY(!popup->isVisible());

    // Again after the combo has moved.
    combo->setGeometry(20, 30, 150, 31);
    combo->showPopup();
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(popup->pos(), combo->mapToGlobal(QPoint(0, 31)));
    QCOMPARE(popup->width(), 150);
    combo->hidePopup();
}

void TestWidgets::comboDeleteButtonWithoutHoveredRow()
{
    XComboBox combo;
    combo.addItems({"a", "b"});
    QSignalSpy deleted(&combo, &XComboBox::signalItemDelete);
    combo.onDeleteBtnClicked();
    QCOMPARE(deleted.count(), 0);
}

// ---------------------------------------------------------------------------------------------
// XMenu

void TestWidgets::menuConstruction()
{
    QWidget owner;
    XMenu menu(&owner);
    QVERIFY(!menu.parent());
    QCOMPARE(menu.owner(), &owner);
    QVERIFY(menu.testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(owner.findChildren<QSignalMapper *>().size(), 1);
    const QIcon check = menu.getCheckIcon();
    QVERIFY(!check.isNull());
    const int side = 2 * theme->checkIconSize;
    QCOMPARE(check.availableSizes(), QList<QSize>{QSize(side, side)});
    QCOMPARE(inkOf(check), theme->themeColor);
    const QImage expected =
        Iconfont::instance()->pixmap(Iconfont::CheckMark, theme->themeColor, side).toImage();
    QCOMPARE(check.pixmap(side).toImage().convertToFormat(expected.format()), expected);

    // Without an owner the menu keeps its mapper itself.
    XMenu lone(nullptr);
    QVERIFY(!lone.owner());
    QCOMPARE(lone.findChildren<QSignalMapper *>().size(), 1);
}

void TestWidgets::menuCheckActions()
{
    QWidget owner;
    XMenu menu(&owner);
    menu.addCheckAction("cam1", "Integrated Camera", true);
    menu.addCheckAction("cam2", "USB Camera", false);
    menu.addSeparatorAction();
    menu.addCheckAction("Disable", "Disable", false);

    const QList<QAction *> actions = menu.actions();
    QCOMPARE(actions.size(), 4);
    QVERIFY(actions.at(2)->isSeparator());
    QAction *cam1 = actions.at(0);
    QCOMPARE(cam1->objectName(), QString("cam1"));
    QCOMPARE(cam1->text(), QString("Integrated Camera"));
    QCOMPARE(cam1->parent(), &menu);
    QVERIFY(cam1->isCheckable());
    QVERIFY(cam1->isChecked());
    QCOMPARE(cam1->icon().cacheKey(), menu.getCheckIcon().cacheKey());
    QAction *cam2 = actions.at(1);
    QVERIFY(cam2->isCheckable());
    QVERIFY(!cam2->isChecked());
    QVERIFY(cam2->icon().isNull());
    QCOMPARE(menu.actionNamed("Disable"), actions.at(3));
    QVERIFY(!menu.actionNamed("missing"));
}

void TestWidgets::menuSetCheckedSingleChoice()
{
    QWidget owner;
    XMenu menu(&owner);
    menu.addCheckAction("a", "A", true);
    menu.addCheckAction("b", "B", false);
    menu.addSeparatorAction();
    menu.addCheckAction("c", "C", true);
    const quint64 check = menu.getCheckIcon().cacheKey();
    auto checkedNames = [&menu] {
        QStringList names;
        for (QAction *a : menu.actions()) {
            if (a->isChecked()) {
                names << a->objectName();
            }
        }
        return names;
    };

    menu.setChecked("b", true);
    QCOMPARE(checkedNames(), QStringList{"b"});
    QCOMPARE(menu.actionNamed("b")->icon().cacheKey(), check);
    QVERIFY(menu.actionNamed("a")->icon().isNull());
    QVERIFY(menu.actionNamed("c")->icon().isNull());

    menu.setChecked("c", true);
    QCOMPARE(checkedNames(), QStringList{"c"});
    QCOMPARE(menu.actionNamed("c")->icon().cacheKey(), check);
    QVERIFY(menu.actionNamed("b")->icon().isNull());

    // Unchecking touches only the named action.
    menu.setChecked("a", false);
    QCOMPARE(checkedNames(), QStringList{"c"});
    QCOMPARE(menu.actionNamed("c")->icon().cacheKey(), check);
    menu.setChecked("c", false);
    QCOMPARE(checkedNames(), QStringList());
    QVERIFY(menu.actionNamed("c")->icon().isNull());
}

void TestWidgets::menuShowAtClampsInsideOwnerWindow()
{
    QWidget owner;
    owner.move(0, 0);
    owner.resize(400, 300);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const QRect bounds = owner.frameGeometry();
    QCOMPARE(bounds.x(), 0);

    XMenu menu(&owner);
    menu.setFixedWidth(120);
    // Short texts, so that the fixed width is the size hint's width.
    menu.addCheckAction("a", "A", true);
    menu.addCheckAction("b", "B", false);
    menu.addCheckAction("c", "C", false);
    const QSize hint = menu.sizeHint();
    QCOMPARE(hint.width(), 120);
    const int h = hint.height();
    QVERIFY(h < bounds.height() - 60);

    // Centred under x = 5 would start at 5 + (1 - 120) / 2 = -54: clamped to 1.
    const QRect anchor(5, bounds.y() + 40, 1, 1);
    QCOMPARE(menu.positionFor(anchor), QPoint(1, bounds.y() + 41));
    menu.showAt(anchor);
    QTRY_VERIFY(menu.isVisible());
    QCOMPARE(menu.pos(), QPoint(1, bounds.y() + 41));
    menu.close();

    // Centred where there is room.
    QCOMPARE(menu.positionFor(QRect(200, bounds.y() + 40, 1, 1)),
             QPoint(200 - 59, bounds.y() + 41));
    QCOMPARE(menu.positionFor(QRect(100, bounds.y() + 20, 40, 10)),
             QPoint(100 + (40 - 120) / 2, bounds.y() + 30));
    // Right and bottom edges: one pixel inside.
    const QPoint corner = menu.positionFor(QRect(bounds.right() - 3, bounds.bottom() - 3, 1, 1));
    QCOMPARE(corner, QPoint(bounds.x() + bounds.width() - 120 - 1,
                            bounds.y() + bounds.height() - h - 1));
    menu.showAt(QRect(bounds.right() - 3, bounds.bottom() - 3, 1, 1));
    QTRY_VERIFY(menu.isVisible());
    QCOMPARE(menu.pos(), corner);
    menu.close();
    // Above and left of the owner: one pixel inside the top-left corner.
    QCOMPARE(menu.positionFor(QRect(-500, -500, 1, 1)), QPoint(bounds.x() + 1, bounds.y() + 1));

    // The size hint is what counts: long texts make the menu wider than its minimum.
    XMenu wide(&owner);
    wide.setMinimumWidth(120);
    wide.addCheckAction("long", "A camera whose name is rather long", false);
    const int w = wide.sizeHint().width();
    QVERIFY(w > 120);
    QCOMPARE(wide.positionFor(QRect(200, bounds.y() + 40, 1, 1)),
             QPoint(std::max(bounds.x() + 1, std::min(200 + (1 - w) / 2,
                                                      bounds.x() + bounds.width() - w - 1)),
                    bounds.y() + 41));
    // Wider than the owner: one pixel inside its left edge.
    XMenu huge(&owner);
    huge.setMinimumWidth(bounds.width() + 50);
    huge.addCheckAction("a", "A", false);
    QCOMPARE(huge.positionFor(QRect(200, bounds.y() + 40, 1, 1)).x(), bounds.x() + 1);
}

void TestWidgets::menuShowAtEmptyAnchorUsesOwner()
{
    QWidget owner;
    owner.move(0, 0);
    owner.resize(400, 300);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    XMenu menu(&owner);
    menu.setFixedWidth(120);
    menu.addCheckAction("a", "A", false);
    const QSize hint = menu.sizeHint();
    const QRect g = owner.geometry();
    const QRect bounds = owner.frameGeometry();
    // Centred under the owner, whose bottom edge pushes it back up inside.
    const QPoint expected(g.x() + (g.width() - hint.width()) / 2,
                          std::min(g.y() + g.height(),
                                   bounds.y() + bounds.height() - hint.height() - 1));
    QCOMPARE(menu.positionFor(QRect()), expected);
}

void TestWidgets::menuShowAtChildOwner()
{
    QWidget window;
    window.move(100, 50);
    window.resize(500, 400);
    auto *titleBar = new QWidget(&window);
    titleBar->setGeometry(50, 60, 300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint origin = titleBar->mapToGlobal(QPoint(0, 0));

    XMenu menu(titleBar);
    menu.setFixedWidth(120);
    menu.addCheckAction("a", "A", false);
    menu.addCheckAction("b", "B", false);
    // The child's rectangle in global coordinates bounds the menu.
    QCOMPARE(menu.positionFor(QRect(origin.x() + 5, origin.y() + 10, 1, 1)),
             QPoint(origin.x() + 1, origin.y() + 11));
    QCOMPARE(menu.positionFor(QRect(origin.x() + 295, origin.y() + 10, 1, 1)),
             QPoint(origin.x() + 300 - 120 - 1, origin.y() + 11));
    // An empty anchor is the child's own rectangle, in global coordinates too.
    const int h = menu.sizeHint().height();
    QCOMPARE(menu.positionFor(QRect()),
             QPoint(origin.x() + (300 - 120) / 2, origin.y() + 200 - h - 1));
}

void TestWidgets::menuShowAtWithoutOwnerUsesScreen()
{
    XMenu menu(nullptr);
    menu.setFixedWidth(120);
    menu.addCheckAction("a", "A", false);
    const QRect screen = ScreenUtil::availableGeometry(QGuiApplication::primaryScreen());
    QCOMPARE(menu.positionFor(QRect(screen.x() + 5, screen.y() + 40, 1, 1)),
             QPoint(screen.x() + 1, screen.y() + 41));
    // An anchor on no screen is bounded by the primary screen.
    QCOMPARE(menu.positionFor(QRect(-5000, -5000, 1, 1)), QPoint(screen.x() + 1, screen.y() + 1));
}

void TestWidgets::menuReportsTriggeredAction()
{
    QWidget owner;
    owner.move(0, 0);
    owner.resize(400, 300);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    XMenu menu(&owner);
    menu.setObjectName("2");
    menu.addCheckAction("cam1", "Integrated Camera", true);
    menu.addCheckAction("cam2", "USB Camera", false);
    menu.addSeparatorAction();
    menu.addCheckAction("Disable", "Disable", false);
    QSignalSpy spy(&menu, &XMenu::signalClickedMenu);

    menu.actionNamed("Disable")->trigger();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QString("2"));
    QCOMPARE(spy.at(0).at(1).toString(), QString("Disable"));

    // A real click on an entry of the open menu.
    menu.showAt(QRect(200, 40, 1, 1));
    QTRY_VERIFY(menu.isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    QAction *cam2 = menu.actionNamed("cam2");
    QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier,
                      menu.actionGeometry(cam2).center());
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QString("2"));
    QCOMPARE(spy.at(1).at(1).toString(), QString("cam2"));
    QTRY_VERIFY(!menu.isVisible());
}

void TestWidgets::menuClearDropsOldMappings()
{
    QWidget owner;
    XMenu menu(&owner);
    menu.setObjectName("0");
    menu.addCheckAction("mic1", "Mic 1", true);
    QSignalSpy spy(&menu, &XMenu::signalClickedMenu);
    menu.clear();
    QVERIFY(menu.actions().isEmpty());
    menu.addCheckAction("mic2", "Mic 2", false);
    menu.addCheckAction("mic1", "Mic 1 again", false);
    menu.actionNamed("mic1")->trigger();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(1).toString(), QString("mic1"));
    menu.actionNamed("mic2")->trigger();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QString("0"));
    QCOMPARE(spy.at(1).at(1).toString(), QString("mic2"));
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
