#include "XMessageBox.h"

#include "LangUtil.h"
#include "UiResources.h"
#include "ui_XMessageBox.h"

#include <QFontMetrics>

namespace {
constexpr int textHeight = 61;
}

XMessageBox::XMessageBox(const QString &kind, const QString &text, const QString &title,
                         QWidget *parent)
    : XDialog(parent), ui(std::make_unique<Ui::XMessageBox>()), boxKind(kind)
{
    ui->setupUi(this);
    ui->labText->setText(text);
    ui->labText->setWordWrap(true);
    popupMode = true;
    setTitle(title);

    UiResources::ensureLoaded();
    const QPixmap icon(QStringLiteral(":/res/images/msg_%1.png").arg(kind));
    if (!icon.isNull()) {
        ui->labIcon->setPixmap(
            icon.scaled(ui->labIcon->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    if (kind == QLatin1String("confirm")) {
        ui->pbCancel->setText(LangUtil::trCommon(QStringLiteral("no")));
        ui->pbOk->setText(LangUtil::trCommon(QStringLiteral("yes")));
    } else {
        ui->pbCancel->hide();
        ui->pbOk->setText(LangUtil::trCommon(QStringLiteral("ok")));
    }
    setStaysOnTop();
    fitText(text);
}

XMessageBox::~XMessageBox() = default;

void XMessageBox::fitText(const QString &text)
{
    QLabel *label = ui->labText;
    const QRect bounds = QFontMetrics(label->font())
                             .boundingRect(QRect(0, 0, label->width(), 1 << 20),
                                           Qt::AlignLeft | Qt::TextWordWrap, text);
    const int grow = bounds.height() - textHeight;
    if (grow <= 0) {
        return;
    }
    resize(width(), height() + grow);
    label->setGeometry(label->x(), label->y(), label->width(), bounds.height());
    ui->pbCancel->move(ui->pbCancel->x(), ui->pbCancel->y() + grow);
    ui->pbOk->move(ui->pbOk->x(), ui->pbOk->y() + grow);
}

int XMessageBox::showBox(const QString &kind, const QString &text, const QString &title,
                         const QString &titleKey, QWidget *parent)
{
    const QString shown = title.isEmpty() ? LangUtil::trCommon(titleKey) : title;
    XMessageBox box(kind, text, shown, parent);
    return box.exec();
}

int XMessageBox::error(const QString &text, const QString &title, QWidget *parent)
{
    return showBox(QStringLiteral("error"), text, title, QStringLiteral("errorTitle"), parent);
}

int XMessageBox::info(const QString &text, const QString &title, QWidget *parent)
{
    return showBox(QStringLiteral("info"), text, title, QStringLiteral("infoTitle"), parent);
}

void XMessageBox::on_pbOk_clicked()
{
    if (boxKind == QLatin1String("confirm")) {
        accept();
    } else {
        close();
    }
}

void XMessageBox::on_pbCancel_clicked()
{
    reject();
}
