#include "ShareFrameDlg.h"
#include "ShareOptionDlg.h"
#include "ShareSourceView.h"
#include "ThemeStyle.h"
#include "XPushButton.h"

#include <QSignalSpy>
#include <QtTest>

#include <vector>

namespace {

QList<ShareSourceItem> sources(int count)
{
    QList<ShareSourceItem> items;
    for (int i = 0; i < count; ++i) {
        ShareSourceItem item;
        item.type = i == 0 ? 1 : 0;
        item.sourceId = quintptr(100 + i);
        item.name = QStringLiteral("source %1").arg(i);
        items.append(item);
    }
    return items;
}

void wheel(QWidget *w, int delta)
{
    const QPointF pos(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent event(pos, QPointF(w->mapToGlobal(pos.toPoint())), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

// A source list as the SDK hands one out, owning its names and pictures.
class FakeSourceList : public liteav::ITRTCScreenCaptureSourceList
{
public:
    struct Source
    {
        std::string name;
        std::vector<char> pixels;
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t length = 0;
    };
    std::vector<Source> list;
    bool released = false;

    uint32_t getCount() override { return uint32_t(list.size()); }
    liteav::TRTCScreenCaptureSourceInfo getSourceInfo(uint32_t index) override
    {
        liteav::TRTCScreenCaptureSourceInfo info;
        if (index >= list.size()) {
            return info;
        }
        const Source &s = list[index];
        info.type = liteav::TRTCScreenCaptureSourceTypeWindow;
        info.sourceId = reinterpret_cast<liteav::TXView>(quintptr(500 + index));
        info.sourceName = s.name.c_str();
        info.thumbBGRA.buffer = s.pixels.empty() ? nullptr : s.pixels.data();
        info.thumbBGRA.width = s.width;
        info.thumbBGRA.height = s.height;
        info.thumbBGRA.length = s.length;
        info.x = 10;
        info.y = 20;
        info.width = 640;
        info.height = 480;
        return info;
    }
    void release() override { released = true; }
};

} // namespace

class TestLiveViews : public QObject
{
    Q_OBJECT

private slots:
    void gridPlacesItemsInFourColumns();
    void hitTestFindsItemsAndNotTheGaps();
    void wheelScrollsOnlyTallContentAndStaysInRange();
    void pressOnAnItemChoosesIt();
    void chooserReadsSdkSourcesSafely();
    void chooserReportsTheChoiceAndHides();
    void shareFrameLaysOutAndHandsTheOwnerBack();
};

void TestLiveViews::gridPlacesItemsInFourColumns()
{
    ShareSourceView view;
    view.resize(450, 300);
    view.show();
    view.setItems(sources(10));
    // (450 - 5 * 10) / 4 = 100, the smallest width an item gets.
    QCOMPARE(view.itemWidth(), 100);
    QCOMPARE(view.itemHeight(), 110);
    QCOMPARE(view.itemRect(0), QRect(10, 10, 100, 110));
    QCOMPARE(view.itemRect(5), QRect(120, 130, 100, 110));
    // Ten items make three rows, the last with two.
    QCOMPARE(view.itemRect(9), QRect(120, 250, 100, 110));
    QVERIFY(view.itemRect(10).isNull());
    QCOMPARE(view.contentHeight(), 10 + 3 * 120);

    view.resize(300, 200);
    QCOMPARE(view.itemWidth(), 100); // never narrower than 100
    view.resize(850, 400);
    QCOMPARE(view.itemWidth(), 200);
    QCOMPARE(view.itemHeight(), 210);

    view.setItems({});
    QCOMPARE(view.contentHeight(), view.height());
    QVERIFY(view.scrollThumbRect().isEmpty());
}

void TestLiveViews::hitTestFindsItemsAndNotTheGaps()
{
    ShareSourceView view;
    view.resize(450, 300);
    view.show();
    view.setItems(sources(6));
    QCOMPARE(view.indexAt(QPoint(15, 15)), 0);
    QCOMPARE(view.indexAt(QPoint(125, 15)), 1);
    QCOMPARE(view.indexAt(QPoint(125, 135)), 5);
    // Between two items, above the first row, right of the last column, below the list.
    QCOMPARE(view.indexAt(QPoint(115, 15)), -1);
    QCOMPARE(view.indexAt(QPoint(15, 5)), -1);
    QCOMPARE(view.indexAt(QPoint(445, 15)), -1);
    QCOMPARE(view.indexAt(QPoint(235, 135)), -1); // item 6 does not exist
    QCOMPARE(view.indexAt(QPoint(15, 125)), -1);  // the row gap

    QTest::mouseMove(&view, QPoint(125, 15));
    QCOMPARE(view.hoverIndex(), 1);
    QTest::mouseMove(&view, QPoint(115, 15));
    QCOMPARE(view.hoverIndex(), -1);
}

void TestLiveViews::wheelScrollsOnlyTallContentAndStaysInRange()
{
    ShareSourceView view;
    view.resize(450, 300);
    view.show();
    view.setItems(sources(4));
    wheel(&view, -240);
    QCOMPARE(view.scrollOffset(), 0);

    view.setItems(sources(10)); // 370 high in a 300 high view
    wheel(&view, -120);
    QCOMPARE(view.scrollOffset(), 60);
    QCOMPARE(view.itemRect(0).y(), 10 - 60);
    // Points are hit tested with the offset: the second row is now near the top.
    QCOMPARE(view.indexAt(QPoint(15, 75)), 4);
    const QRect thumb = view.scrollThumbRect();
    QCOMPARE(thumb.x(), 450 - 9);
    QCOMPARE(thumb.width(), 8);
    QCOMPARE(thumb.height(), 300 * 300 / 370);
    QCOMPARE(thumb.y(), (300 - thumb.height()) * 60 / 70);

    wheel(&view, -1200);
    QCOMPARE(view.scrollOffset(), 70);
    QCOMPARE(view.scrollThumbRect().bottom() + 1, 300); // the thumb reaches the bottom
    wheel(&view, 2400);
    QCOMPARE(view.scrollOffset(), 0);

    // New items start from the top again.
    wheel(&view, -120);
    view.setItems(sources(12));
    QCOMPARE(view.scrollOffset(), 0);
    // Growing the view until all fits brings the offset back into range.
    wheel(&view, -120);
    view.resize(450, 600);
    QCOMPARE(view.scrollOffset(), 0);
}

void TestLiveViews::pressOnAnItemChoosesIt()
{
    ShareSourceView view;
    view.resize(450, 300);
    view.show();
    view.setItems(sources(3));
    QSignalSpy chosen(&view, &ShareSourceView::signalClickedSourceInfo);
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(115, 40)); // a gap
    QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier, QPoint(125, 40));
    QCOMPARE(chosen.count(), 0);
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(125, 40));
    QCOMPARE(chosen.count(), 1);
    const auto item = chosen.at(0).at(0).value<ShareSourceItem>();
    QCOMPARE(item.name, QStringLiteral("source 1"));
    QCOMPARE(item.sourceId, quintptr(101));
}

void TestLiveViews::chooserReadsSdkSourcesSafely()
{
    FakeSourceList list;
    FakeSourceList::Source whole;
    whole.name = "终端 — Terminal";
    whole.width = 2;
    whole.height = 2;
    // Blue, green, red, alpha in memory: the first pixel is opaque red.
    whole.pixels = {0,         0, char(255), char(255), 0, char(255), 0, char(255),
                    char(255), 0, 0,         char(255), 0, 0,         0, 0};
    whole.length = 16;
    FakeSourceList::Source shortBuffer = whole;
    shortBuffer.name = "short";
    shortBuffer.length = 12; // claims 2x2 but holds three pixels
    FakeSourceList::Source none;
    none.name = "no picture";
    list.list = {whole, shortBuffer, none};

    const QList<ShareSourceItem> items = ShareOptionDlg::itemsFrom(&list);
    QCOMPARE(items.size(), 3);
    QCOMPARE(items.at(0).name, QStringLiteral("终端 — Terminal"));
    QCOMPARE(items.at(0).sourceId, quintptr(500));
    QCOMPARE(items.at(0).x, 10);
    QCOMPARE(items.at(0).width, 640);
    QCOMPARE(items.at(0).thumbnail.size(), QSize(2, 2));
    const QImage image = items.at(0).thumbnail.toImage();
    QCOMPARE(image.pixelColor(0, 0), QColor(255, 0, 0));
    QCOMPARE(image.pixelColor(1, 0), QColor(0, 255, 0));
    QVERIFY(items.at(1).thumbnail.isNull());
    QVERIFY(items.at(2).thumbnail.isNull());
    QVERIFY(ShareOptionDlg::itemsFrom(nullptr).isEmpty());

    const liteav::TRTCScreenCaptureSourceInfo info = ShareOptionDlg::sourceInfoFor(items.at(0));
    QCOMPARE(info.type, liteav::TRTCScreenCaptureSourceTypeWindow);
    QCOMPARE(reinterpret_cast<quintptr>(info.sourceId), quintptr(500));
    QCOMPARE(info.width, 640u);
    QVERIFY(info.sourceName == nullptr);
    QVERIFY(info.thumbBGRA.buffer == nullptr);
    QVERIFY(!info.isMinimizeWindow);
}

void TestLiveViews::chooserReportsTheChoiceAndHides()
{
    QWidget owner;
    ShareOptionDlg chooser(&owner);
    chooser.resize(600, 400);
    QCOMPARE(chooser.title(), QStringLiteral("选择共享内容"));
    QVERIFY(chooser.windowFlags() & Qt::WindowStaysOnTopHint);
    chooser.show();
    const int titleH = ThemeStyle::instance()->titleHeight;
    QCOMPARE(chooser.sourceView()->geometry(), QRect(20, titleH + 10, 560, 400 - titleH - 30));
    QVERIFY(chooser.refreshTimer()->isActive());
    QCOMPARE(chooser.refreshTimer()->interval(), 1500);
    QSignalSpy chosen(&chooser, &ShareOptionDlg::signalShareSourceChosen);
    chooser.sourceView()->setItems(sources(2));
    QTest::mouseClick(chooser.sourceView(), Qt::LeftButton, Qt::NoModifier, QPoint(15, 15));
    QCOMPARE(chosen.count(), 1);
    QVERIFY(!chooser.isVisible());
    QVERIFY(!chooser.refreshTimer()->isActive());

    // Without an owner there is nobody to share for: the choice only hides the chooser.
    ShareOptionDlg orphan(nullptr);
    QSignalSpy orphanChosen(&orphan, &ShareOptionDlg::signalShareSourceChosen);
    orphan.show();
    orphan.slotClickedSourceInfo(sources(1).first());
    QCOMPARE(orphanChosen.count(), 0);
    QVERIFY(!orphan.isVisible());
}

void TestLiveViews::shareFrameLaysOutAndHandsTheOwnerBack()
{
    QWidget owner;
    owner.show();
    auto *frame = new ShareFrameDlg(&owner);
    frame->resize(800, 600);
    frame->show();
    // Sharing hides the live window.
    QVERIFY(!owner.isVisible());
    QCOMPARE(frame->innerRect(), QRect(4, 4, 792, 592));
    QCOMPARE(frame->button(QStringLiteral("停止共享"))->geometry(), QRect(800 - 8 - 80, 8, 80, 28));
    QCOMPARE(frame->button(QStringLiteral("画笔"))->geometry(), QRect(800 - 8 - 168, 8, 80, 28));
    QCOMPARE(frame->button(QStringLiteral("鼠标"))->geometry(), QRect(800 - 8 - 256, 8, 80, 28));

    // Mouse mode lets the shared content take the clicks; the pen mode takes them itself.
    QVERIFY(!frame->isPenMode());
    QVERIFY(!frame->QWidget::mask().contains(QPoint(400, 300)));
    QVERIFY(frame->QWidget::mask().contains(QPoint(1, 300)));
    QVERIFY(frame->QWidget::mask().contains(QPoint(800 - 50, 20)));
    QTest::mouseClick(frame->button(QStringLiteral("画笔")), Qt::LeftButton);
    QVERIFY(frame->isPenMode());
    QVERIFY(frame->QWidget::mask().isEmpty());
    QTest::mouseClick(frame->button(QStringLiteral("鼠标")), Qt::LeftButton);
    QVERIFY(!frame->isPenMode());

    // The frame's picture: transparent inside, the green line around it.
    QImage image(frame->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    frame->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    QCOMPARE(image.pixelColor(400, 300).alpha(), 0);
    QCOMPARE(image.pixelColor(1, 300), ShareFrameDlg::frameColor);
    QCOMPARE(image.pixelColor(400, 598), ShareFrameDlg::frameColor);

    QSignalSpy closed(frame, &ShareFrameDlg::signalShareFrameClosed);
    QTest::mouseClick(frame->button(QStringLiteral("停止共享")), Qt::LeftButton);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!frame->isVisible());
    QVERIFY(owner.isVisible());
    delete frame;
}

QTEST_MAIN(TestLiveViews)
#include "tst_liveviews.moc"
