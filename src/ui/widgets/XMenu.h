#pragma once

#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QString>

class QAction;
class QSignalMapper;

// A themed check menu that reports the chosen entry by name and opens inside its owner.
// The menu has no parent: its owner deletes it. GUI thread only.
class XMenu : public QMenu
{
    Q_OBJECT

public:
    explicit XMenu(QWidget *owner);

    // A checkable entry named `name`; when checked it shows the theme's check mark.
    void addCheckAction(const QString &name, const QString &text, bool checked);
    void addSeparatorAction();
    // Checking is a single choice: every other entry is unchecked. Unchecking touches only `name`.
    void setChecked(const QString &name, bool checked);
    // Opens centred under `anchor` (global coordinates; the owner's rectangle when empty), kept
    // one pixel inside the owner or, without one, the screen.
    void showAt(QRect anchor);
    // Where showAt(anchor) opens the menu.
    QPoint positionFor(QRect anchor) const;

    QWidget *owner() const { return ownerWidget; }
    QIcon getCheckIcon() const { return checkIcon; }
    QAction *actionNamed(const QString &name) const;

signals:
    void signalClickedMenu(QString objectName, QString active);

protected slots:
    void slotMapped(QString activeName);

private:
    QPointer<QWidget> ownerWidget;
    QIcon checkIcon;
    QSignalMapper *mapper = nullptr;
};
