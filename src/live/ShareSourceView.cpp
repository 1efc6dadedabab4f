#include "ShareSourceView.h"

#include "ThemeStyle.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int minItemWidth = 100;
constexpr int thumbMargin = 11;
constexpr int nameMargin = 12;
constexpr int thumbBarWidth = 8;

} // namespace

ShareSourceView::ShareSourceView(QWidget *parent) : QWidget(parent)
{
    qRegisterMetaType<ShareSourceItem>("ShareSourceItem");
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    layoutItems();
}

void ShareSourceView::setItems(const QList<ShareSourceItem> &items)
{
    sourceItems = items;
    offset = 0;
    if (hovered >= sourceItems.size()) {
        hovered = -1;
    }
    layoutItems();
    update();
}

void ShareSourceView::resetView()
{
    hovered = -1;
    offset = 0;
    update();
}

void ShareSourceView::layoutItems()
{
    if (columnCount <= 0) {
        itemW = 130;
        itemH = 140;
    } else {
        itemW = std::max(minItemWidth, (width() - (columnCount + 1) * itemSpacing) / columnCount);
        itemH = itemW + 10;
    }
    if (sourceItems.isEmpty() || columnCount <= 0) {
        contentH = height();
    } else {
        const int rows = (sourceItems.size() + columnCount - 1) / columnCount;
        contentH = itemSpacing + rows * (itemSpacing + itemH);
    }
    clampOffset();
}

void ShareSourceView::clampOffset()
{
    offset = std::clamp(offset, 0, std::max(0, contentH - height()));
}

QRect ShareSourceView::itemRect(int index) const
{
    if (index < 0 || index >= sourceItems.size() || columnCount <= 0) {
        return {};
    }
    const int column = index % columnCount;
    const int row = index / columnCount;
    return {itemSpacing + column * (itemSpacing + itemW),
            itemSpacing + row * (itemSpacing + itemH) - offset, itemW, itemH};
}

int ShareSourceView::indexAt(const QPoint &pos) const
{
    if (columnCount <= 0 || pos.x() < itemSpacing || pos.y() + offset < itemSpacing) {
        return -1;
    }
    const int column = (pos.x() - itemSpacing) / (itemSpacing + itemW);
    const int row = (pos.y() + offset - itemSpacing) / (itemSpacing + itemH);
    if (column >= columnCount) {
        return -1;
    }
    const int index = row * columnCount + column;
    if (index >= sourceItems.size()) {
        return -1;
    }
    // The spacing after each item belongs to no item.
    return itemRect(index).contains(pos) ? index : -1;
}

QRect ShareSourceView::scrollThumbRect() const
{
    if (contentH <= height() || contentH <= 0) {
        return {};
    }
    const int viewH = height();
    const int thumbH = viewH * viewH / contentH;
    const int y = (viewH - thumbH) * offset / (contentH - viewH);
    return {width() - 9, y, thumbBarWidth, thumbH};
}

void ShareSourceView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    const ThemeStyle *theme = ThemeStyle::instance();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    painter.setPen(QPen(theme->borderColor, border));
    painter.setBrush(theme->dialogBgColor);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);

    QFont font(theme->fontFamily);
    font.setPixelSize(theme->fontSize);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    for (int i = 0; i < sourceItems.size(); ++i) {
        const QRect r = itemRect(i);
        if (!r.intersects(rect())) {
            continue;
        }
        const ShareSourceItem &item = sourceItems.at(i);
        painter.setPen(Qt::NoPen);
        painter.setBrush(i == hovered ? theme->themeColor : theme->dialogBgColor);
        painter.drawRoundedRect(r, 8, 8);
        const int side = itemW - 2 * thumbMargin;
        if (!item.thumbnail.isNull() && side > 0) {
            const QPixmap scaled =
                item.thumbnail.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            painter.drawPixmap(r.x() + (itemW - scaled.width()) / 2, r.y() + thumbMargin, scaled);
        }
        painter.setPen(theme->textColor);
        const QString name =
            metrics.elidedText(item.name, Qt::ElideRight, std::max(0, itemW - nameMargin));
        painter.drawText(QRect(r.x() + 1, r.y() + itemH - 31, itemW - 2, 20), Qt::AlignCenter,
                         name);
    }

    const QRect thumb = scrollThumbRect();
    if (!thumb.isEmpty()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(100, 100, 100, 150));
        painter.drawRoundedRect(thumb, 4, 4);
    }
}

void ShareSourceView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutItems();
}

void ShareSourceView::setHover(int index)
{
    if (index != hovered) {
        hovered = index;
        update();
    }
}

void ShareSourceView::mouseMoveEvent(QMouseEvent *event)
{
    setHover(indexAt(event->pos()));
    QWidget::mouseMoveEvent(event);
}

void ShareSourceView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        const int index = indexAt(event->pos());
        if (index >= 0) {
            emit signalClickedSourceInfo(sourceItems.at(index));
        }
    }
    QWidget::mousePressEvent(event);
}

void ShareSourceView::leaveEvent(QEvent *event)
{
    setHover(-1);
    QWidget::leaveEvent(event);
}

void ShareSourceView::wheelEvent(QWheelEvent *event)
{
    if (contentH > height()) {
        offset -= event->angleDelta().y() / 2;
        clampOffset();
        // The item under the cursor changed with the content.
        hovered = indexAt(event->position().toPoint());
        update();
    }
    event->accept();
}
