#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <utility>
#include <vector>

// The colour theme of the native windows: fixed sizes, 38 named colours from the theme file,
// the application style sheet made from them and the indicator images it refers to.
// GUI thread only.
class ThemeStyle : public QObject
{
    Q_OBJECT

public:
    static ThemeStyle *instance();
    // Deletes the instance; the next instance() loads the stored theme again.
    static void release();

    // The nine built-in themes; "light" is the default.
    static const QStringList &themes();

    // Loads one of themes(); any other name changes nothing and gives false.
    bool setTheme(const QString &name);
    QString skinDir() const;
    void generateSkinImages();
    QString appStyleSheet() const;
    QString primaryButtonStyle() const;

    // A colour by its theme-file key; an invalid colour for an unknown key.
    QColor color(const QString &key) const;
    // The keys in theme-file order, with their built-in defaults.
    static const std::vector<std::pair<const char *, const char *>> &colorDefaults();

    const QString fontFamily = QStringLiteral("Microsoft YaHei");
    QString currentTheme;
    const int borderRadius = 0;
    const int fontSize = 14;
    const int fontSizeSmall = 12;
    const int checkIconSize = 18;
    const int titleIconSize = 14;
    const int arrowIconSize = 10;
    const int comboItemHeight = 26;
    const int titleHeight = 32;
    const int scrollBarWidth = 12;

    QColor themeColor;
    QColor themeColorSoft;
    QColor themeColorHover;
    QColor successColor;
    QColor warningColor;
    QColor errorColor;
    QColor textColor;
    QColor textColorSoft;
    QColor textColorDisable;
    QColor textColorReverse;
    QColor dialogBgColor;
    QColor bgColor;
    QColor bgColorSoft;
    QColor panelBgColor;
    QColor fillBgColor;
    QColor bgColorDisable;
    QColor borderColor;
    QColor dividerColor;
    QColor scrollbarHandleColor;
    QColor scrollbarHandleHoverColor;
    QColor hoverColor;
    QColor activeColor;
    QColor inactiveColor;
    QColor activeBgColor;
    QColor navbarBgColor;
    QColor tabbarBgColor;
    QColor buttonInfoHoverBgColor;
    QColor cameraBgColor;
    QColor inputBgColor;
    QColor tableTrBgColor;
    QColor overlayBgColor;
    QColor pickerLoadingBgColor;
    QColor rateColor;
    QColor rateVoidColor;
    QColor scrollXIndicatorBgColor;
    QColor titleBgColor;
    QColor toolbarBgColor;
    QColor mineTitleBgColor;

private:
    explicit ThemeStyle(QObject *parent);
    ~ThemeStyle() override;

    QColor *member(const QString &key);
};
