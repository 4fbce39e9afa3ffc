#include "panel/GridPlacement.h"
#include "common/TestSupport.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

class GridPlacementTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noOverlap_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QSize>("cell");
        QTest::addColumn<QRect>("log"); // a window already there
        QTest::addColumn<int>("perRow");
        QTest::newRow("12 at 1600x1000") << 1590 << QSize(319, 132) << QRect() << 4;
        QTest::newRow("beside the log") << 1590 << QSize(319, 132) << QRect(7, 7, 300, 110) << 4;
        QTest::newRow("narrower than a window") << 200 << QSize(319, 132) << QRect() << 1;
    }
    void noOverlap()
    {
        QFETCH(int, width);
        QFETCH(QSize, cell);
        QFETCH(QRect, log);
        QFETCH(int, perRow);
        const QPoint origin(7, 7);
        QList<QRect> taken;
        if (!log.isNull())
            taken.append(log);
        for (int i = 0; i < 12; ++i)
            taken.append(QRect(GridPlacement::FirstFree(origin, cell, width, taken), cell));
        QList<QSize> sizes(12, cell);
        sizes[3] = cell - QSize(20, 10); // a smaller one keeps its size
        const QList<QRect> tiled = GridPlacement::Tile(sizes, width);
        for (const QList<QRect> &set : { taken, tiled }) {
            for (int i = 0; i < set.size(); ++i) {
                QVERIFY(set[i].right() < qMax(width, cell.width() + origin.x()));
                for (int j = i + 1; j < set.size(); ++j)
                    QVERIFY2(!set[i].intersects(set[j]), qPrintable(QStringLiteral("%1 and %2").arg(i).arg(j)));
            }
        }
        QCOMPARE(tiled[3].size(), sizes[3]);
        QCOMPARE(tiled[perRow].topLeft(), QPoint(0, cell.height()));
        QCOMPARE(taken.size() - (log.isNull() ? 0 : 1), 12);

        // Windows anywhere, moved by hand: the first free cell is the first that overlaps none.
        QRandomGenerator rng(width);
        QList<QRect> scattered;
        for (int i = 0; i < 40; ++i) {
            scattered.append(
                QRect(rng.bounded(-50, width), rng.bounded(-50, 900), rng.bounded(1, 400), rng.bounded(1, 300)));
            const QPoint at = GridPlacement::FirstFree(origin, cell, width, scattered);
            int first = 0;
            auto overlaps = [&](int k) {
                const QRect r(GridPlacement::Cell(k, origin, cell, width), cell);
                return std::any_of(
                    scattered.cbegin(), scattered.cend(), [&](const QRect &t) { return r.intersects(t); });
            };
            while (overlaps(first))
                ++first;
            QCOMPARE(at, GridPlacement::Cell(first, origin, cell, width));
        }
    }

    // A place from a bigger screen (or a 2x run) comes back inside the area; one inside stays.
    void fitInside_data()
    {
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("fitted");
        const QRect screen(0, 0, 1600, 976);
        QTest::newRow("inside") << QRect(10, 20, 700, 400) << screen << QRect(10, 20, 700, 400);
        QTest::newRow("2x main window") << QRect(0, 0, 3200, 1906) << screen << screen;
        QTest::newRow("below the foot") << QRect(800, 962, 700, 300) << screen << QRect(800, 676, 700, 300);
        QTest::newRow("left and above") << QRect(-900, -50, 700, 300) << screen << QRect(0, 0, 700, 300);
        QTest::newRow("second screen") << QRect(100, 100, 300, 200) << QRect(1600, 0, 1280, 1024)
                                       << QRect(1600, 100, 300, 200);
        QTest::newRow("scrolling area keeps rows")
            << QRect(1500, 2000, 319, 132) << QRect(0, 0, 1590, 0) << QRect(1271, 2000, 319, 132);
        QTest::newRow("no area yet") << QRect(-5, -5, 10, 10) << QRect() << QRect(-5, -5, 10, 10);
    }

    void logBelowGrid()
    {
        const QSize visible(1590, 900);
        const QList<QRect> rows { QRect(0, 0, 319, 132), QRect(957, 132, 319, 132) };
        QCOMPARE(GridPlacement::BelowGrid(rows, visible, 160), QRect(0, 264, 1276, 636));
        QCOMPARE(GridPlacement::BelowGrid({}, visible, 160), QRect(0, 0, 1590, 900));
        // A grid that fills the area: the log takes the foot, over the last row.
        QCOMPARE(GridPlacement::BelowGrid({ QRect(0, 0, 2000, 850) }, visible, 160), QRect(0, 740, 1590, 160));
    }
    void fitInside()
    {
        QFETCH(QRect, place);
        QFETCH(QRect, area);
        QFETCH(QRect, fitted);
        QCOMPARE(GridPlacement::FitInside(place, area), fitted);
    }
};

TAVRIK_TEST(GridPlacementTest)
#include "GridPlacementTest.moc"
