#include "XComboBox.h"

#include <QListView>

XComboBox::XComboBox(QWidget *parent) : QComboBox(parent)
{
    list = new QListView(this);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setTextElideMode(Qt::ElideRight);
    setView(list);
}

void XComboBox::showPopup()
{
    QComboBox::showPopup();
    QWidget *popup = view()->window();
    if (!popup || popup == window()) {
        return;
    }
    // The popup's top-left corner is the combo's bottom-left corner: right under it.
    popup->move(mapToGlobal(QPoint(0, height())));
    popup->resize(width(), popup->height());
}

void XComboBox::onDeleteBtnClicked()
{
    if (hoveredIndex >= 0) {
        emit signalItemDelete(hoveredIndex);
    }
}
