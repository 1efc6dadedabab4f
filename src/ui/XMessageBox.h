#pragma once

#include "XDialog.h"

#include <memory>

namespace Ui {
class XMessageBox;
}

// The themed modal message box: "info", "warning", "error", "success" or "confirm".
class XMessageBox : public XDialog
{
    Q_OBJECT

public:
    XMessageBox(const QString &kind, const QString &text, const QString &title,
                QWidget *parent = nullptr);
    ~XMessageBox() override;

    static int error(const QString &text, const QString &title = QString(),
                     QWidget *parent = nullptr);
    static int info(const QString &text, const QString &title = QString(),
                    QWidget *parent = nullptr);

    QString kind() const { return boxKind; }

private slots:
    void on_pbOk_clicked();
    void on_pbCancel_clicked();

private:
    static int showBox(const QString &kind, const QString &text, const QString &title,
                       const QString &titleKey, QWidget *parent);
    void fitText(const QString &text);

    std::unique_ptr<Ui::XMessageBox> ui;
    QString boxKind;
};
