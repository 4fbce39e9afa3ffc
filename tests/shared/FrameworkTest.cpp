#include "shared/Framework.h"
#include "common/TestSupport.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <limits>
#include <memory>

class FrameworkTest : public QObject
{
    Q_OBJECT

    IsolatedSettings m_settings; // nothing here may reach the user's settings

private Q_SLOTS:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void twipsAndPixels()
    {
        QWidget w;
        for (const QWidget *ref : { static_cast<const QWidget *>(nullptr), static_cast<const QWidget *>(&w) }) {
            for (int px : { 0, 1, 7, 15, 96, 1000, -50 }) {
                QCOMPARE(Framework::TwipsToPixelsX(Framework::PixelsToTwipsX(px, ref), ref), px);
                QCOMPARE(Framework::TwipsToPixelsY(Framework::PixelsToTwipsY(px, ref), ref), px);
            }
            // One inch is one inch, whatever the resolution.
            QCOMPARE(Framework::PixelsToTwipsX(Framework::TwipsToPixelsX(1440, ref), ref), 1440);
        }
        // Hand-edited extremes saturate instead of wrapping round.
        QCOMPARE(Framework::PixelsToTwipsX(std::numeric_limits<int>::max()), std::numeric_limits<int>::max());
        QCOMPARE(Framework::PixelsToTwipsY(std::numeric_limits<int>::min()), std::numeric_limits<int>::min());
        QVERIFY(Framework::TwipsToPixelsX(std::numeric_limits<int>::max()) > 0);
    }

    // A place from a bigger screen is applied inside this one, and saved as it was stored until the
    // window is moved; an MDI child is kept within its area's width.
    void placesFitTheScreen()
    {
        QWidget w;
        const QRect stored = Framework::PixelsToTwips(QRect(-40, 962, 3200, 1906));
        Framework::SetGeometryTwips(&w, stored);
        const QRect screen = w.screen()->availableGeometry();
        QVERIFY(screen.contains(QRect(w.pos(), w.size())));
        QCOMPARE(Framework::GeometryTwips(&w), stored);
        w.resize(w.size() - QSize(10, 10));
        QCOMPARE(Framework::GeometryTwips(&w), Framework::PixelsToTwips(QRect(w.pos(), w.size())));

        QMdiArea area;
        area.resize(600, 400);
        area.show();
        QMdiSubWindow *child = area.addSubWindow(new QWidget);
        child->show();
        Framework::SetGeometryTwips(child->widget(), Framework::PixelsToTwips(QRect(900, 700, 300, 100)));
        QCOMPARE(child->geometry(), QRect(area.viewport()->width() - 300, 700, 300, 100));
    }

    void loadedWindowsInLoadOrder()
    {
        auto a = std::make_unique<QWidget>();
        QWidget b, c;
        for (QWidget *w : { &b, a.get(), &c, &b })
            Framework::RegisterWindow(w);
        QCOMPARE(Framework::LoadedWindows(), (QList<QWidget *> { &b, a.get(), &c }));
        a.reset();
        Framework::UnregisterWindow(&c);
        QCOMPARE(Framework::LoadedWindows(), QList<QWidget *> { &b });
        Framework::UnregisterWindow(&b);
    }
};

TAVRIK_TEST(FrameworkTest)
#include "FrameworkTest.moc"
