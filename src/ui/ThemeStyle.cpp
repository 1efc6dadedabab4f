#include "ThemeStyle.h"

#include "AppSettings.h"
#include "Iconfont.h"
#include "JsonUtil.h"
#include "PathUtil.h"
#include "UiResources.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QStringList>

#include <cmath>

namespace {
ThemeStyle *g_instance = nullptr;

QString hex(const QColor &c)
{
    return c.name(QColor::HexArgb);
}

// One style sheet block: the selector, then each property on its own tab-indented line.
QString block(const QString &selector, const QStringList &properties)
{
    QString text = selector + QStringLiteral(" {\n");
    for (const QString &p : properties) {
        text += QLatin1Char('\t') + p + QStringLiteral(";\n");
    }
    return text + QStringLiteral("}\n\n");
}

QString px(int value)
{
    return QString::number(value) + QStringLiteral("px");
}
} // namespace

const std::vector<std::pair<const char *, const char *>> &ThemeStyle::colorDefaults()
{
    static const std::vector<std::pair<const char *, const char *>> defaults{
        {"themeColor", "#18a820"},
        {"themeColorSoft", "#e8f7ea"},
        {"themeColorHover", "#128a1a"},
        {"successColor", "#4d8076"},
        {"warningColor", "#e6a23c"},
        {"errorColor", "#ed3f14"},
        {"textColor", "#222222"},
        {"textColorSoft", "#969799"},
        {"textColorDisable", "#ababab"},
        {"textColorReverse", "#222222"},
        {"dialogBgColor", "#f8f8f8"},
        {"bgColor", "#ffffff"},
        {"bgColorSoft", "#f8f8f8"},
        {"panelBgColor", "#ffffff"},
        {"fillBgColor", "#f6f6f6"},
        {"bgColorDisable", "#ababab"},
        {"borderColor", "#ececec"},
        {"dividerColor", "#ececec"},
        {"scrollbarHandleColor", "#cccccc"},
        {"scrollbarHandleHoverColor", "#aaaaaa"},
        {"hoverColor", "#f2f2f2"},
        {"activeColor", "#18a820"},
        {"inactiveColor", "#dcdcdc"},
        {"activeBgColor", "#f2f2f2"},
        {"navbarBgColor", "#f8f8f8"},
        {"tabbarBgColor", "#ffffff"},
        {"buttonInfoHoverBgColor", "#f2f2f2"},
        {"cameraBgColor", "#888888"},
        {"inputBgColor", "#ffffff"},
        {"tableTrBgColor", "#f8f8f8"},
        {"overlayBgColor", "#000000b3"},
        {"pickerLoadingBgColor", "#ffffffcc"},
        {"rateColor", "#ed3f14"},
        {"rateVoidColor", "#969799"},
        {"scrollXIndicatorBgColor", "#ababab"},
        {"titleBgColor", "#f8f8f8"},
        {"toolbarBgColor", "#f8f8f8"},
        {"mineTitleBgColor", "#18a820"},
    };
    return defaults;
}

const QStringList &ThemeStyle::themes()
{
    static const QStringList names{
        QStringLiteral("light"),  QStringLiteral("dark"),   QStringLiteral("blue"),
        QStringLiteral("green"),  QStringLiteral("orange"), QStringLiteral("pink"),
        QStringLiteral("purple"), QStringLiteral("red"),    QStringLiteral("yellow")};
    return names;
}

ThemeStyle::ThemeStyle(QObject *parent) : QObject(parent)
{
    // A stored name the client has no theme of (an older build's, or one written by hand) is
    // never turned into a skin folder: the default theme stands in.
    const QString stored =
        AppSettings::iniValue(QStringLiteral("skin/currTheme"), QStringLiteral("light"));
    if (!themes().contains(stored)) {
        qWarning() << "ThemeStyle: unknown stored theme, using light:" << stored.left(64);
    }
    setTheme(themes().contains(stored) ? stored : QStringLiteral("light"));
}

ThemeStyle::~ThemeStyle()
{
    if (g_instance == this) {
        g_instance = nullptr;
    }
}

ThemeStyle *ThemeStyle::instance()
{
    if (!g_instance) {
        g_instance = new ThemeStyle(QCoreApplication::instance());
    }
    return g_instance;
}

void ThemeStyle::release()
{
    delete g_instance;
}

QColor *ThemeStyle::member(const QString &key)
{
    static const QHash<QString, QColor ThemeStyle::*> members{
        {QStringLiteral("themeColor"), &ThemeStyle::themeColor},
        {QStringLiteral("themeColorSoft"), &ThemeStyle::themeColorSoft},
        {QStringLiteral("themeColorHover"), &ThemeStyle::themeColorHover},
        {QStringLiteral("successColor"), &ThemeStyle::successColor},
        {QStringLiteral("warningColor"), &ThemeStyle::warningColor},
        {QStringLiteral("errorColor"), &ThemeStyle::errorColor},
        {QStringLiteral("textColor"), &ThemeStyle::textColor},
        {QStringLiteral("textColorSoft"), &ThemeStyle::textColorSoft},
        {QStringLiteral("textColorDisable"), &ThemeStyle::textColorDisable},
        {QStringLiteral("textColorReverse"), &ThemeStyle::textColorReverse},
        {QStringLiteral("dialogBgColor"), &ThemeStyle::dialogBgColor},
        {QStringLiteral("bgColor"), &ThemeStyle::bgColor},
        {QStringLiteral("bgColorSoft"), &ThemeStyle::bgColorSoft},
        {QStringLiteral("panelBgColor"), &ThemeStyle::panelBgColor},
        {QStringLiteral("fillBgColor"), &ThemeStyle::fillBgColor},
        {QStringLiteral("bgColorDisable"), &ThemeStyle::bgColorDisable},
        {QStringLiteral("borderColor"), &ThemeStyle::borderColor},
        {QStringLiteral("dividerColor"), &ThemeStyle::dividerColor},
        {QStringLiteral("scrollbarHandleColor"), &ThemeStyle::scrollbarHandleColor},
        {QStringLiteral("scrollbarHandleHoverColor"), &ThemeStyle::scrollbarHandleHoverColor},
        {QStringLiteral("hoverColor"), &ThemeStyle::hoverColor},
        {QStringLiteral("activeColor"), &ThemeStyle::activeColor},
        {QStringLiteral("inactiveColor"), &ThemeStyle::inactiveColor},
        {QStringLiteral("activeBgColor"), &ThemeStyle::activeBgColor},
        {QStringLiteral("navbarBgColor"), &ThemeStyle::navbarBgColor},
        {QStringLiteral("tabbarBgColor"), &ThemeStyle::tabbarBgColor},
        {QStringLiteral("buttonInfoHoverBgColor"), &ThemeStyle::buttonInfoHoverBgColor},
        {QStringLiteral("cameraBgColor"), &ThemeStyle::cameraBgColor},
        {QStringLiteral("inputBgColor"), &ThemeStyle::inputBgColor},
        {QStringLiteral("tableTrBgColor"), &ThemeStyle::tableTrBgColor},
        {QStringLiteral("overlayBgColor"), &ThemeStyle::overlayBgColor},
        {QStringLiteral("pickerLoadingBgColor"), &ThemeStyle::pickerLoadingBgColor},
        {QStringLiteral("rateColor"), &ThemeStyle::rateColor},
        {QStringLiteral("rateVoidColor"), &ThemeStyle::rateVoidColor},
        {QStringLiteral("scrollXIndicatorBgColor"), &ThemeStyle::scrollXIndicatorBgColor},
        {QStringLiteral("titleBgColor"), &ThemeStyle::titleBgColor},
        {QStringLiteral("toolbarBgColor"), &ThemeStyle::toolbarBgColor},
        {QStringLiteral("mineTitleBgColor"), &ThemeStyle::mineTitleBgColor},
    };
    const auto it = members.constFind(key);
    return it == members.constEnd() ? nullptr : &(this->*(it.value()));
}

QColor ThemeStyle::color(const QString &key) const
{
    QColor *c = const_cast<ThemeStyle *>(this)->member(key);
    return c ? *c : QColor();
}

bool ThemeStyle::setTheme(const QString &name)
{
    // The name becomes a folder under the application data: only the client's own themes.
    if (!themes().contains(name)) {
        qWarning() << "ThemeStyle::setTheme: unknown theme, ignored:" << name.left(64) << "length"
                   << name.size();
        return false;
    }
    UiResources::ensureLoaded();
    QJsonObject object;
    QFile file(QStringLiteral(":/res/theme/%1.json").arg(name));
    if (file.open(QIODevice::ReadOnly)) {
        object = QJsonDocument::fromJson(file.readAll()).object();
    }
    currentTheme = name;
    for (const auto &entry : colorDefaults()) {
        const QString key = QString::fromLatin1(entry.first);
        // Qt's named-colour rules: eight hexadecimal digits are read alpha first.
        *member(key) = QColor(JsonUtil::getString(object, key, QString::fromLatin1(entry.second)));
    }
    return true;
}

QString ThemeStyle::skinDir() const
{
    return PathUtil::appDataDir() + QStringLiteral("skin/") + currentTheme + QLatin1Char('/');
}

void ThemeStyle::generateSkinImages()
{
    const QString dir = skinDir();
    PathUtil::makePath(dir);
    struct Image
    {
        const char *file;
        uint glyph;
        bool hover;
        bool arrow;
    };
    static const Image images[] = {
        {"radio_checked.png", Iconfont::RadioChecked, false, false},
        {"radio_checked_hover.png", Iconfont::RadioChecked, true, false},
        {"radio_unchecked.png", Iconfont::RadioUnchecked, false, false},
        {"radio_unchecked_hover.png", Iconfont::RadioUnchecked, true, false},
        {"checkbox_uncheck.png", Iconfont::CheckBoxEmpty, false, false},
        {"checkbox_uncheck_hover.png", Iconfont::CheckBoxEmpty, true, false},
        {"checkbox_checked.png", Iconfont::CheckBoxChecked, false, false},
        {"checkbox_checked_hover.png", Iconfont::CheckBoxChecked, true, false},
        {"checkbox_indeterminate.png", Iconfont::CheckBoxIndeterminate, false, false},
        {"checkbox_indeterminate_hover.png", Iconfont::CheckBoxIndeterminate, true, false},
        {"arrow_down.png", Iconfont::ArrowDown, false, true},
        {"arrow_down_hover.png", Iconfont::ArrowDown, true, true},
        {"arrow_down_pressed.png", Iconfont::ArrowDown, true, true},
        {"arrow_up.png", Iconfont::ArrowUp, false, true},
        {"arrow_up_hover.png", Iconfont::ArrowUp, true, true},
        {"arrow_up_pressed.png", Iconfont::ArrowUp, true, true},
    };
    Iconfont *font = Iconfont::instance();
    for (const Image &image : images) {
        font->savePng(dir + QString::fromLatin1(image.file), image.glyph,
                      image.hover ? themeColor : textColor,
                      image.arrow ? arrowIconSize : checkIconSize, false);
    }
}

QString ThemeStyle::primaryButtonStyle() const
{
    return QStringLiteral("QPushButton {background:%1; color:#FFFFFF;}"
                          "QPushButton:hover {background:%2; color:%4;}"
                          "QPushButton:pressed {background:%3; color:%4;}")
        .arg(hex(themeColor), hex(hoverColor), hex(themeColorSoft), hex(textColor));
}

QString ThemeStyle::appStyleSheet() const
{
    const QString skin = skinDir();
    auto url = [&skin](const char *file) {
        return QStringLiteral("url(%1%2)").arg(skin, QString::fromLatin1(file));
    };
    const QString family = QStringLiteral("font-family: '%1'").arg(fontFamily);
    const QString familyWithIcons = QStringLiteral("font-family: '%1','iconfont'").arg(fontFamily);
    const QString size = QStringLiteral("font-size: ") + px(fontSize);
    const QString text = QStringLiteral("color: ") + hex(textColor);
    const QString border = QStringLiteral("border: 1px solid ") + hex(borderColor);
    const int dropDownWidth = static_cast<int>(std::lround(fontSize * 2.2));
    const int dateButtonWidth = static_cast<int>(std::lround(fontSize * 1.4));
    const QString arrowSize = px(arrowIconSize);

    QString sheet = QStringLiteral("QDialog {outline: none; border: none}\n");

    // 2: bars and tabs
    sheet += block(QStringLiteral("QMenuBar"),
                   {QStringLiteral("background: ") + hex(navbarBgColor), text});
    sheet +=
        block(QStringLiteral("QToolBar"), {QStringLiteral("background: ") + hex(toolbarBgColor),
                                           QStringLiteral("border: none")});
    sheet += block(
        QStringLiteral("QTabWidget::pane"),
        {QStringLiteral("background: ") + hex(tabbarBgColor), QStringLiteral("border: none")});
    sheet += block(QStringLiteral("QTabBar::tab"),
                   {QStringLiteral("background: ") + hex(tabbarBgColor)});
    sheet += block(QStringLiteral("QTabBar::tab:selected"),
                   {QStringLiteral("background: ") + hex(tabbarBgColor)});

    // 3
    sheet += block(QStringLiteral("QWidget:disabled"),
                   {QStringLiteral("color: ") + hex(textColorDisable)});

    // 4: line edits
    sheet += block(QStringLiteral("QLineEdit"),
                   {text, QStringLiteral("border: none"),
                    QStringLiteral("background: ") + hex(inputBgColor), family, size,
                    QStringLiteral("padding-left: 3px"), border,
                    QStringLiteral("border-radius: 3px"), QStringLiteral("outline: none")});
    sheet += block(QStringLiteral("QLineEdit:hover"), {border});
    sheet += block(QStringLiteral("QLineEdit:focus"), {border, QStringLiteral("outline: none")});

    // 5: text edits
    sheet += block(QStringLiteral("QTextEdit"),
                   {text, QStringLiteral("background: ") + hex(inputBgColor), border, family, size,
                    QStringLiteral("border-radius: 3px"), QStringLiteral("outline: none")});
    sheet += block(QStringLiteral("QTextEdit:focus"), {border, QStringLiteral("outline: none")});

    // 6: labels may mix glyphs of the icon font into their text
    sheet += QStringLiteral("QLabel {\n\tfont-family: '%1','iconfont';\n\tfont-size: %2px;\n\t"
                            "color: %3;\n}\n\n")
                 .arg(fontFamily, QString::number(fontSize), hex(textColor));

    // 7: radio buttons
    const QString hoverText = QStringLiteral("color: ") + hex(themeColor);
    const QStringList indicator{QStringLiteral("width: 15px"), QStringLiteral("height: 15px")};
    sheet +=
        block(QStringLiteral("QRadioButton"), {family, size, text, QStringLiteral("spacing: 3px")});
    sheet += block(QStringLiteral("QRadioButton:hover"), {hoverText});
    sheet += block(QStringLiteral("QRadioButton::indicator"), indicator);
    sheet += block(QStringLiteral("QRadioButton::indicator::unchecked"),
                   {QStringLiteral("image: ") + url("radio_unchecked.png")});
    sheet += block(QStringLiteral("QRadioButton::indicator::unchecked:hover"),
                   {QStringLiteral("image: ") + url("radio_unchecked_hover.png")});
    sheet += block(QStringLiteral("QRadioButton::indicator::checked"),
                   {QStringLiteral("image: ") + url("radio_checked.png")});
    sheet += block(QStringLiteral("QRadioButton::indicator::checked:hover"),
                   {QStringLiteral("image: ") + url("radio_checked_hover.png")});

    // 8: check boxes
    sheet +=
        block(QStringLiteral("QCheckBox"), {size, family, text, QStringLiteral("spacing: 3px")});
    sheet += block(QStringLiteral("QCheckBox:hover"), {hoverText});
    sheet += block(QStringLiteral("QCheckBox::indicator"), indicator);
    sheet += block(QStringLiteral("QCheckBox::indicator:unchecked"),
                   {QStringLiteral("image: ") + url("checkbox_uncheck.png")});
    sheet += block(QStringLiteral("QCheckBox::indicator:unchecked:hover"),
                   {QStringLiteral("image: ") + url("checkbox_uncheck_hover.png")});
    sheet += block(QStringLiteral("QCheckBox::indicator:checked"),
                   {QStringLiteral("image: ") + url("checkbox_checked.png")});
    sheet += block(QStringLiteral("QCheckBox::indicator:checked:hover"),
                   {QStringLiteral("image: ") + url("checkbox_checked_hover.png")});
    sheet += block(QStringLiteral("QCheckBox::indicator:indeterminate"),
                   {QStringLiteral("image: ") + url("checkbox_indeterminate.png")});
    sheet += block(QStringLiteral("QCheckBox::indicator:indeterminate:hover"),
                   {QStringLiteral("image: ") + url("checkbox_indeterminate_hover.png")});

    // 9: push buttons
    sheet += block(QStringLiteral("QPushButton"),
                   {familyWithIcons, size, QStringLiteral("text-align: center"), border, text,
                    QStringLiteral("border-radius: 15px"),
                    QStringLiteral("background: ") + hex(bgColorSoft)});
    sheet += block(QStringLiteral("QPushButton:hover"),
                   {QStringLiteral("background: ") + hex(hoverColor)});
    sheet += block(QStringLiteral("QPushButton:pressed"),
                   {QStringLiteral("background: ") + hex(themeColorSoft)});

    // 10: tool buttons
    sheet += block(QStringLiteral("QToolButton"),
                   {QStringLiteral("background: transparent"), family, size, text});
    sheet += block(QStringLiteral("QToolButton:hover"), {hoverText});
    sheet += block(QStringLiteral("QToolButton:pressed"), {hoverText});
    sheet += block(QStringLiteral("QToolButton:checked"), {hoverText});

    // 11: combo boxes and their lists
    const QString themeBorder = QStringLiteral("border: 1px solid ") + hex(themeColor);
    auto image = [&url](const char *file) {
        return QStringLiteral("image: ") + url(file);
    };
    const QStringList arrowBox{QStringLiteral("width: ") + arrowSize,
                               QStringLiteral("height: ") + arrowSize};
    // The drop-down arrow of combo and date edits: down while closed, up while open.
    auto arrowBlocks = [&](const QString &widget) {
        const QString arrow = widget + QStringLiteral("::down-arrow");
        return block(arrow, arrowBox + QStringList{image("arrow_down.png")}) +
               block(arrow + QStringLiteral(":hover"), {image("arrow_down_hover.png")}) +
               block(arrow + QStringLiteral(":pressed"), {image("arrow_down_pressed.png")}) +
               block(arrow + QStringLiteral(":on"), {image("arrow_up.png")}) +
               block(arrow + QStringLiteral(":on:hover"), {image("arrow_up_hover.png")}) +
               block(arrow + QStringLiteral(":on:pressed"), {image("arrow_up_pressed.png")});
    };
    sheet += block(QStringLiteral("QComboBox"),
                   {text, QStringLiteral("background: ") + hex(inputBgColor), border, family, size,
                    QStringLiteral("padding: 0px 6px"), QStringLiteral("border-radius: 6px"),
                    QStringLiteral("outline: none")});
    sheet += block(QStringLiteral("QComboBox:hover, QComboBox:on"), {themeBorder});
    sheet += block(QStringLiteral("QComboBox::drop-down"),
                   {QStringLiteral("background: transparent"), QStringLiteral("border: none"),
                    QStringLiteral("width: ") + px(dropDownWidth),
                    QStringLiteral("subcontrol-origin: padding"),
                    QStringLiteral("subcontrol-position: top right")});
    sheet += arrowBlocks(QStringLiteral("QComboBox"));
    sheet += block(QStringLiteral("QComboBox QAbstractItemView"),
                   {QStringLiteral("background: ") + hex(inputBgColor), border,
                    QStringLiteral("border-radius: 6px"), family, size,
                    QStringLiteral("padding: 4px 0px"), QStringLiteral("outline: none")});
    sheet += block(QStringLiteral("QComboBox QAbstractItemView::item"),
                   {QStringLiteral("height: ") + px(comboItemHeight),
                    QStringLiteral("padding-left: 10px"),
                    QStringLiteral("padding-right: ") + px(dropDownWidth),
                    QStringLiteral("margin: 1px 4px"), QStringLiteral("border-radius: 4px")});
    sheet += block(QStringLiteral("QComboBox QAbstractItemView::item:hover"),
                   {QStringLiteral("background: ") + hex(hoverColor), text});
    sheet += block(QStringLiteral("QComboBox QAbstractItemView::item:selected"),
                   {QStringLiteral("background: ") + hex(themeColorSoft), hoverText});

    // 12: date edits
    sheet +=
        block(QStringLiteral("QDateEdit"), {text, family, size, QStringLiteral("padding-left: 3px"),
                                            QStringLiteral("border-radius: 3px")});
    sheet += block(QStringLiteral("QDateEdit:drop-down"),
                   {QStringLiteral("background-color: ") + hex(borderColor), border,
                    QStringLiteral("width: ") + px(dateButtonWidth),
                    QStringLiteral("border-top-right-radius: 3px"),
                    QStringLiteral("border-bottom-right-radius: 3px")});
    sheet += arrowBlocks(QStringLiteral("QDateEdit"));

    // 13: menus
    sheet += block(QStringLiteral("QMenu"),
                   {size, family, QStringLiteral("background: ") + hex(bgColorSoft),
                    QStringLiteral("icon-size: 18px"), text, border,
                    QStringLiteral("border-radius: 6px")});
    sheet += block(QStringLiteral("QMenu::item"), {QStringLiteral("background: transparent"),
                                                   QStringLiteral("padding: 5px 24px 5px 0"),
                                                   QStringLiteral("margin-left: 12px")});
    sheet += block(QStringLiteral("QMenu::item:selected"), {hoverText});
    sheet += block(QStringLiteral("QMenu::icon"), {QStringLiteral("margin-right: -12px")});
    sheet += block(QStringLiteral("QMenu::separator"),
                   {QStringLiteral("height: 1px"), QStringLiteral("margin: 4px 16px"),
                    QStringLiteral("background: ") + hex(dividerColor)});

    // 14
    sheet += block(QStringLiteral("QHeaderView::section"),
                   {QStringLiteral("background: ") + hex(tableTrBgColor), text,
                    QStringLiteral("border: none")});

    // 15: scroll bars
    const QString barWidth = px(scrollBarWidth);
    sheet += block(QStringLiteral("QScrollBar:vertical"),
                   {QStringLiteral("width: ") + barWidth,
                    QStringLiteral("background: ") + hex(bgColorSoft),
                    QStringLiteral("padding-bottom: ") + barWidth});
    sheet += block(
        QStringLiteral("QScrollBar:horizontal"),
        {QStringLiteral("height: ") + barWidth, QStringLiteral("background: ") + hex(bgColorSoft)});
    sheet += block(QStringLiteral("QScrollBar::handle:vertical, QScrollBar::handle:horizontal"),
                   {QStringLiteral("background: ") + hex(scrollbarHandleColor)});
    sheet += block(
        QStringLiteral("QScrollBar::handle:vertical:hover, QScrollBar::handle:horizontal:hover"),
        {QStringLiteral("background: ") + hex(scrollbarHandleHoverColor)});
    sheet +=
        block(QStringLiteral("QScrollBar::sub-line:vertical, QScrollBar::add-line:vertical, "
                             "QScrollBar::sub-line:horizontal, QScrollBar::add-line:horizontal"),
              {QStringLiteral("width: 0"), QStringLiteral("height: 0")});

    // 16: progress bars
    sheet +=
        block(QStringLiteral("QProgressBar"),
              {QStringLiteral("background-color: ") + hex(bgColorDisable), family, text,
               QStringLiteral("font-size: ") + px(fontSizeSmall), QStringLiteral("border: none"),
               QStringLiteral("border-radius: 4px"), QStringLiteral("text-align: center")});
    sheet += block(QStringLiteral("QProgressBar::chunk"),
                   {QStringLiteral("background-color: ") + hex(themeColor),
                    QStringLiteral("border-radius: 4px")});

    // 17: as it has always been written, closing brace indented
    sheet += QStringLiteral(
                 "QToolTip {\n\tbackground-color: %1;\n\tcolor: %2;\n\tfont-size: %3px;\n\t}\n\n")
                 .arg(hex(bgColorSoft), hex(textColor), QString::number(fontSize));

    // 18
    sheet += block(QStringLiteral("QScrollArea"),
                   {QStringLiteral("background-color: ") + hex(dialogBgColor), border,
                    QStringLiteral("border-radius: 0px")});

    // 19: sliders
    sheet +=
        block(QStringLiteral("QSlider::groove:horizontal"),
              {QStringLiteral("height: 4px"), QStringLiteral("background: ") + hex(borderColor),
               QStringLiteral("border-radius: 2px")});
    sheet += block(
        QStringLiteral("QSlider::sub-page:horizontal"),
        {QStringLiteral("background: ") + hex(themeColor), QStringLiteral("border-radius: 2px")});
    sheet += block(QStringLiteral("QSlider::handle:horizontal"),
                   {QStringLiteral("width: 10px"), QStringLiteral("height: 10px"),
                    QStringLiteral("margin: -6px 0"), QStringLiteral("border-radius: 4px"),
                    QStringLiteral("background: ") + hex(themeColor)});
    return sheet;
}
