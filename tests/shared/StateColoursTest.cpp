#include "shared/StateColours.h"
#include "common/TestSupport.h"

#include <QTest>

Q_DECLARE_METATYPE(QPalette)

class StateColoursTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readableOnBothPalettes_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<bool>("plainBlue"); // pure blue is readable on it
        QPalette light(QColor(240, 240, 240));
        light.setColor(QPalette::WindowText, Qt::black);
        light.setColor(QPalette::Link, QColor(0, 0, 255));
        QPalette dark(QColor(53, 53, 53));
        dark.setColor(QPalette::Window, QColor(53, 53, 53));
        dark.setColor(QPalette::Base, QColor(35, 35, 35));
        dark.setColor(QPalette::WindowText, QColor(220, 220, 220));
        dark.setColor(QPalette::Text, QColor(220, 220, 220));
        dark.setColor(QPalette::Link, QColor(42, 130, 218));
        QTest::newRow("light") << light << true;
        QTest::newRow("dark") << dark << false;
    }
    void readableOnBothPalettes()
    {
        QFETCH(QPalette, palette);
        QFETCH(bool, plainBlue);
        const QColor back = palette.color(QPalette::Window);
        const StateColours::Set s = StateColours::For(palette);
        for (const QColor &c : { s.moving, s.stalled, s.text })
            QVERIFY2(StateColours::Contrast(c, back) >= 4.5, qPrintable(c.name()));
        for (int st = int(CpuState::Unknown); st <= int(CpuState::Failed); ++st)
            QVERIFY(StateColours::Contrast(StateColours::ForState(CpuState(st), palette), palette.color(QPalette::Base))
                >= 4.5);
        // Red stays red; blue is plain blue where it reads, else the palette's link colour's hue.
        QVERIFY(s.stalled.red() > 2 * qMax(s.stalled.green(), s.stalled.blue()));
        QCOMPARE(s.moving == QColor(0, 0, 255), plainBlue);
        QVERIFY(s.moving.blue() > s.moving.red());
    }

    void contrastRatio()
    {
        QCOMPARE(qRound(StateColours::Contrast(Qt::black, Qt::white) * 10), 210);
        QCOMPARE(qRound(StateColours::Contrast(QColor(255, 0, 0), Qt::white) * 100), 400);
    }
};

TAVRIK_TEST(StateColoursTest)
#include "StateColoursTest.moc"
