#include "XMenu.h"

#include "Iconfont.h"
#include "ScreenUtil.h"
#include "ThemeStyle.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalMapper>

#include <algorithm>

namespace {
// The widget's rectangle in global coordinates: the frame of a window, else its mapped rect.
QRect globalBounds(QWidget *widget)
{
    return widget->isWindow() ? widget->frameGeometry()
                              : ScreenUtil::mapToGlobal(widget, widget->rect());
}
} // namespace

XMenu::XMenu(QWidget *owner) : QMenu(nullptr), ownerWidget(owner)
{
    const ThemeStyle *theme = ThemeStyle::instance();
    checkIcon = Iconfont::instance()->icon(Iconfont::CheckMark, theme->themeColor,
                                           theme->checkIconSize);
    setAttribute(Qt::WA_TranslucentBackground);
    // Without an owner the menu keeps its mapper itself.
    mapper = new QSignalMapper(owner ? static_cast<QObject *>(owner) : this);
    connect(mapper, &QSignalMapper::mappedString, this, &XMenu::slotMapped);
}

void XMenu::addCheckAction(const QString &name, const QString &text, bool checked)
{
    auto *action = new QAction(this);
    action->setObjectName(name);
    action->setText(text);
    action->setCheckable(true);
    if (checked) {
        action->setChecked(true);
        action->setIcon(checkIcon);
    }
    connect(action, &QAction::triggered, mapper, qOverload<>(&QSignalMapper::map));
    mapper->setMapping(action, name);
    addAction(action);
}

void XMenu::addSeparatorAction()
{
    addSeparator();
}

QAction *XMenu::actionNamed(const QString &name) const
{
    const QList<QAction *> all = actions();
    for (QAction *action : all) {
        if (!action->isSeparator() && action->objectName() == name) {
            return action;
        }
    }
    return nullptr;
}

void XMenu::setChecked(const QString &name, bool checked)
{
    const QList<QAction *> all = actions();
    for (QAction *action : all) {
        if (action->isSeparator()) {
            continue;
        }
        if (action->objectName() == name) {
            action->setChecked(checked);
            action->setIcon(checked ? checkIcon : QIcon());
        } else if (checked) {
            action->setChecked(false);
            action->setIcon(QIcon());
        }
    }
}

QPoint XMenu::positionFor(QRect anchor) const
{
    QWidget *owner = ownerWidget.data();
    if (anchor.isEmpty() && owner) {
        // The owner's geometry, in the global coordinates the anchor is given in.
        anchor = owner->isWindow() ? owner->geometry()
                                   : ScreenUtil::mapToGlobal(owner, owner->rect());
    }
    const QSize hint = sizeHint();
    const int w = hint.width();
    const int h = hint.height();
    int x = anchor.x() + (anchor.width() - w) / 2;
    int y = anchor.y() + anchor.height();

    QRect bounds;
    if (owner) {
        bounds = globalBounds(owner);
    } else {
        QScreen *screen = nullptr;
        const QList<QScreen *> screens = QGuiApplication::screens();
        for (QScreen *s : screens) {
            if (s->geometry().contains(anchor.center())) {
                screen = s;
                break;
            }
        }
        bounds = ScreenUtil::availableGeometry(screen);
    }
    if (!bounds.isNull()) {
        x = std::max(bounds.x() + 1, std::min(x, bounds.x() + bounds.width() - w - 1));
        y = std::max(bounds.y() + 1, std::min(y, bounds.y() + bounds.height() - h - 1));
    }
    return QPoint(x, y);
}

void XMenu::showAt(QRect anchor)
{
    popup(positionFor(anchor));
}

void XMenu::slotMapped(QString activeName)
{
    emit signalClickedMenu(objectName(), activeName);
}
