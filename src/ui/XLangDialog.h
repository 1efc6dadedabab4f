#pragma once

#include "XWebDialog.h"

// Adds the language texts of the window's own child widgets, looked up by object name.
class XLangDialog : public XWebDialog
{
    Q_OBJECT

public:
    explicit XLangDialog(QWidget *parent = nullptr);

    void applyLang();
    // The text a child with this object name gets in this section; empty when it keeps its own.
    static QString langText(const QString &section, const QString &objectName);
};
