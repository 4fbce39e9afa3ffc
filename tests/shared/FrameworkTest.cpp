#include "common/TestSupport.h"
#include "shared/Framework.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QWidget>

#include <limits>
#include <memory>

class FrameworkTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void twipsAndPixels()
    {
        QWidget w;
        for (const QWidget *ref : {static_cast<const QWidget *>(nullptr), static_cast<const QWidget *>(&w)}) {
            for (int px : {0, 1, 7, 15, 96, 1000, -50}) {
                QCOMPARE(Framework::TwipsToPixelsX(Framework::PixelsToTwipsX(px, ref), ref), px);
                QCOMPARE(Framework::TwipsToPixelsY(Framework::PixelsToTwipsY(px, ref), ref), px);
            }
            // One inch is one inch, whatever the resolution.
            QCOMPARE(Framework::PixelsToTwipsX(Framework::TwipsToPixelsX(1440, ref), ref), 1440);
            const QRect twips(105, 105, 4725, 1590);
            const QRect back = Framework::PixelsToTwips(Framework::TwipsToPixels(twips, ref), ref);
            const int half = 1440 / (2 * w.logicalDpiX()) + 1;
            for (const auto &[a, b] : {std::pair{twips.left(), back.left()}, {twips.top(), back.top()},
                                      {twips.width(), back.width()}, {twips.height(), back.height()}})
                QVERIFY2(qAbs(a - b) <= half, qPrintable(QStringLiteral("%1 -> %2").arg(a).arg(b)));
        }
        // Hand-edited extremes saturate instead of wrapping round.
        QCOMPARE(Framework::PixelsToTwipsX(std::numeric_limits<int>::max()), std::numeric_limits<int>::max());
        QCOMPARE(Framework::PixelsToTwipsY(std::numeric_limits<int>::min()), std::numeric_limits<int>::min());
        QVERIFY(Framework::TwipsToPixelsX(std::numeric_limits<int>::max()) > 0);
    }

    void windowStateCodes()
    {
        QMdiArea area;
        area.show();
        auto *child = new QWidget;
        area.addSubWindow(child)->show();
        QWidget top;
        top.show();
        for (QWidget *w : {child, &top}) {
            for (int code : {1, 2, 0, 2, 1, 0}) {
                Framework::SetWindowStateCode(w, code);
                QCOMPARE(Framework::WindowStateCode(w), code);
            }
        }
        // Placement of a child is that of its frame in the area.
        const QRect twips = Framework::PixelsToTwips(QRect(10, 20, 300, 100), child);
        Framework::SetGeometryTwips(child, twips);
        QCOMPARE(Framework::FrameOf(child), child->parentWidget());
        QCOMPARE(Framework::FrameOf(child)->geometry(), QRect(10, 20, 300, 100));
        QCOMPARE(Framework::GeometryTwips(child), twips);
    }

    void loadedWindowsInLoadOrder()
    {
        auto a = std::make_unique<QWidget>();
        auto b = std::make_unique<QWidget>();
        auto c = std::make_unique<QWidget>();
        for (QWidget *w : {b.get(), a.get(), c.get(), b.get()})
            Framework::RegisterWindow(w);
        Framework::SetTag(a.get(), Framework::CpuWindowTag);
        QCOMPARE(Framework::LoadedWindows(), (QList<QWidget *>{b.get(), a.get(), c.get()}));
        a.reset();
        Framework::UnregisterWindow(c.get());
        QCOMPARE(Framework::LoadedWindows(), QList<QWidget *>{b.get()});
        QCOMPARE(Framework::Tag(b.get()), QString());
        Framework::SetTag(b.get(), Framework::CpuWindowTag);
        QCOMPARE(Framework::Tag(b.get()), QStringLiteral("-1"));
        Framework::UnregisterWindow(b.get());
    }
};

TAVRIK_TEST(FrameworkTest)
#include "FrameworkTest.moc"
