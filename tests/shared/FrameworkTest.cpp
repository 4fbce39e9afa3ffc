#include "shared/Framework.h"
#include "common/TestSupport.h"

#include <QMdiArea>
#include <QMdiSubWindow>
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
