#pragma once

#include "XLangDialog.h"

// A page widget inside another window: language and web layers, no window frame.
class XPage : public XLangDialog
{
    Q_OBJECT

public:
    explicit XPage(QWidget *parent = nullptr);

    void updateLang();
    void setBackgroundColor(const QColor &color);
    void fitChild(QWidget *child);
};
