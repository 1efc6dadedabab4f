#include "XPage.h"

#include "ThemeStyle.h"

XPage::XPage(QWidget *parent) : XLangDialog(parent)
{
    setWindowFlags(Qt::FramelessWindowHint);
    bgColor = ThemeStyle::instance()->bgColor;
}

void XPage::updateLang()
{
    applyLang();
}

void XPage::setBackgroundColor(const QColor &color)
{
    setStyleSheet(QStringLiteral("QDialog {background:%1;}").arg(color.name(QColor::HexArgb)));
}

void XPage::fitChild(QWidget *child)
{
    if (child != nullptr) {
        child->setGeometry(0, 0, width(), height());
    }
}
