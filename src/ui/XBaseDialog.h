#pragma once

#include "PostUtil.h"

#include <QColor>
#include <QDialog>

// The bottom of every window: background colour, owner, centring over an anchor widget.
class XBaseDialog : public QDialog
{
    Q_OBJECT

public:
    explicit XBaseDialog(QWidget *parent = nullptr);

    void setAnchorWidget(QWidget *anchor);
    QWidget *anchorWidget() const { return anchor; }
    QWidget *owner() const { return ownerWidget; }
    QColor backgroundColor() const { return bgColor; }

    virtual void bringToFront();

protected:
    void showEvent(QShowEvent *event) override;

    QColor bgColor = Qt::transparent;
    QWidget *ownerWidget = nullptr;
    PostUtil postUtil{nullptr};
    QWidget *anchor = nullptr;
};
