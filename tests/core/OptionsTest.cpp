#include "common/TestSupport.h"
#include "core/Conv.h"
#include "core/Schema.h"
#include "core/SettingsStore.h"
#include "core/modTavrik.h"

#include <QFile>
#include <QTest>

#include <memory>
#include <tuple>

using namespace modTavrik;

namespace {

// The option variables as the texts the program would store.
QMap<QString, QString> currentOptions()
{
    return { { Schema::MonitorInterval, QString::number(MonitorInterval) },
        { Schema::AlarmInterval, QString::number(AlarmInterval) }, { Schema::AlarmSound, AlarmSound },
        { Schema::SoundsOn, Conv::BoolText(SoundsOn) }, { Schema::Scroll, Conv::BoolText(Scroll) },
        { Schema::ScrollInterval, QString::number(ScrollInterval) },
        { Schema::StartMinimized, Conv::BoolText(StartMinimized) },
        { Schema::DisplayTopMost, Conv::BoolText(DisplayTopMost) } };
}

void setOptions(qint16 interval, bool flag)
{
    MonitorInterval = interval;
    AlarmInterval = ScrollInterval = qint16(interval - 3);
    AlarmSound = QStringLiteral("/tmp/own.wav");
    SoundsOn = Scroll = DisplayTopMost = flag;
    StartMinimized = !flag;
}

} // namespace

class OptionsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;

private Q_SLOTS:
    void init() { m_settings = std::make_unique<IsolatedSettings>(); }
    void cleanup() { m_settings.reset(); }

    void freshStoreGivesDefaults()
    {
        LoadOptions();
        QCOMPARE(MonitorInterval, qint16(30));
        QCOMPARE(AlarmInterval, qint16(5));
        QCOMPARE(ScrollInterval, qint16(5));
        QVERIFY(SoundsOn && Scroll && DisplayTopMost && !StartMinimized);
        QVERIFY(ProgramFolder().endsWith(QDir::separator()));
        QCOMPARE(AlarmSound, ProgramFolder() + QStringLiteral("log.wav"));
    }

    // One hand-edited key, loaded over the values 12 (intervals 9), false and true.
    void handEditedValue_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        const std::tuple<QString, const char *, const char *> rows[] = { { Schema::MonitorInterval, "40000", "12" },
            { Schema::MonitorInterval, "abc", "12" }, { Schema::MonitorInterval, "44.5", "44" },
            { Schema::AlarmInterval, "-7", "-7" }, { Schema::ScrollInterval, "-32769", "9" },
            { Schema::SoundsOn, "-1", "True" }, { Schema::Scroll, "2", "True" },
            { Schema::StartMinimized, "0", "False" }, { Schema::StartMinimized, "FALSE", "False" },
            { Schema::StartMinimized, "maybe", "True" }, { Schema::AlarmSound, " /x/a b.wav ", " /x/a b.wav " } };
        for (const auto &[key, stored, expected] : rows)
            QTest::addRow("%s=%s", qPrintable(key), stored) << key << QString(stored) << QString(expected);
    }
    void handEditedValue()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QVERIFY(SettingsStore::save(Schema::AppSettings, key, stored));
        setOptions(12, false);
        LoadOptions();
        QCOMPARE(currentOptions().value(key), expected);
    }

    void saveWritesWordsAndAuthor()
    {
        setOptions(12, false);
        QVERIFY(SaveOptions());
        QFile file(m_settings->configFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray ini = file.readAll();
        for (const char *line :
            { "SoundsOn=False", "StartMinimized=True", "MonitorInterval=12", "ScrollInterval=9", "[Author]" })
            QVERIFY2(ini.contains(line), line);

        const auto saved = currentOptions();
        setOptions(99, true);
        LoadOptions();
        QCOMPARE(currentOptions(), saved);
    }
};

TAVRIK_TEST(OptionsTest)
#include "OptionsTest.moc"
