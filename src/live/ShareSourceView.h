#pragma once

#include <QList>
#include <QMetaType>
#include <QPixmap>
#include <QString>
#include <QWidget>

// One capture source as the chooser shows it and the share starts from it.
struct ShareSourceItem
{
    int type = -1;
    quintptr sourceId = 0;
    bool isMainScreen = false;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    QString name;
    QPixmap thumbnail;
};
Q_DECLARE_METATYPE(ShareSourceItem)

// The capture sources as a grid of thumbnails with their names: four columns, scrolled by the
// wheel, the hovered item in the theme colour, a press on an item chooses it.
class ShareSourceView : public QWidget
{
    Q_OBJECT

public:
    explicit ShareSourceView(QWidget *parent = nullptr);

    void setItems(const QList<ShareSourceItem> &items);
    const QList<ShareSourceItem> &items() const { return sourceItems; }
    // Back to no hover and the top, as when the chooser closes.
    void resetView();

    int columns() const { return columnCount; }
    int spacing() const { return itemSpacing; }
    int itemWidth() const { return itemW; }
    int itemHeight() const { return itemH; }
    int hoverIndex() const { return hovered; }
    int scrollOffset() const { return offset; }
    int contentHeight() const { return contentH; }
    // Where item i lies in the view, with the scroll offset applied.
    QRect itemRect(int index) const;
    // The item under a point of the view; -1 outside the columns, the list or in the gaps.
    int indexAt(const QPoint &pos) const;
    // The scroll thumb's rectangle; empty while everything fits.
    QRect scrollThumbRect() const;

signals:
    void signalClickedSourceInfo(ShareSourceItem item);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void layoutItems();
    void clampOffset();
    void setHover(int index);

    QList<ShareSourceItem> sourceItems;
    int columnCount = 4;
    int itemSpacing = 10;
    int border = 1;
    int itemW = 130;
    int itemH = 140;
    int hovered = -1;
    int offset = 0;
    int contentH = 0;
};
