#include "settings/Options.h"
#include "common/TestSupport.h"
#include "settings/Conv.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <tuple>

using namespace modTavrik;

namespace {

// The option values as the texts the program would store.
QMap<QString, QString> texts(const OptionValues &o)
{
    return { { Schema::MonitorInterval, QString::number(o.MonitorInterval) },
        { Schema::AlarmInterval, QString::number(o.AlarmInterval) }, { Schema::AlarmSound, o.AlarmSound },
        { Schema::SoundsOn, Conv::BoolText(o.SoundsOn) }, { Schema::Scroll, Conv::BoolText(o.Scroll) },
        { Schema::ScrollInterval, QString::number(o.ScrollInterval) },
        { Schema::StartMinimized, Conv::BoolText(o.StartMinimized) },
        { Schema::DisplayTopMost, Conv::BoolText(o.DisplayTopMost) } };
}

OptionValues someOptions(qint16 interval, bool flag)
{
    OptionValues o;
    o.MonitorInterval = interval;
    o.AlarmInterval = o.ScrollInterval = qint16(interval - 3);
    o.AlarmSound = QStringLiteral("/tmp/own.wav");
    o.SoundsOn = o.Scroll = o.DisplayTopMost = flag;
    o.StartMinimized = !flag;
    return o;
}

} // namespace

class OptionsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;

private Q_SLOTS:
    void init() { m_settings = std::make_unique<IsolatedSettings>(); }
    void cleanup() { m_settings.reset(); }

    // A stored alarm that is gone falls back to the installed one only when it was the default
    // sound or lay in a build folder.
    void alarmFallback_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("installedExists");
        QTest::addColumn<bool>("fallsBack");
        QTest::newRow("build's default gone") << "gone/bin/log.wav" << true << true;
        QTest::newRow("no installed sound") << "gone/bin/log.wav" << false << false;
        QTest::newRow("own sound gone") << "gone/bin/beep.wav" << true << false;
        QTest::newRow("own sound in a build tree") << "build/bin/beep.wav" << true << true;
        QTest::newRow("still there") << "build/bin/log.wav" << true << false;
        QTest::newRow("empty") << "" << true << false;
    }
    void alarmFallback()
    {
        QFETCH(QString, stored);
        QFETCH(bool, installedExists);
        QFETCH(bool, fallsBack);
        const QDir dir(m_settings->dir());
        QVERIFY(WriteTextFile(dir.filePath("build/CMakeCache.txt"), "")
            && WriteTextFile(dir.filePath("build/bin/log.wav"), "RIFF"));
        const QString installed = dir.filePath(installedExists ? "build/bin/log.wav" : "share/log.wav");
        const QString path = stored.isEmpty() ? stored : dir.filePath(stored);
        QCOMPARE(AlarmSoundOrInstalled(path, installed), fallsBack ? installed : path);
    }

    void freshStoreGivesDefaults()
    {
        Options options;
        LoadOptions(options);
        const OptionValues &o = options.values();
        QCOMPARE(o.MonitorInterval, qint16(30));
        QCOMPARE(o.AlarmInterval, qint16(5));
        QCOMPARE(o.ScrollInterval, qint16(5));
        QVERIFY(o.SoundsOn && o.Scroll && o.DisplayTopMost && !o.StartMinimized);
        QVERIFY(ProgramFolder().endsWith(QDir::separator()));
        QCOMPARE(o.AlarmSound, ProgramFolder() + QStringLiteral("log.wav"));
    }

    // One hand-edited key, loaded over the values 12 (intervals 9), false and true.
    void handEditedValue_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        const std::tuple<QString, const char *, const char *> rows[]
            = { { Schema::MonitorInterval, "40000", "12" }, { Schema::MonitorInterval, "abc", "12" },
                  { Schema::MonitorInterval, "44.5", "44" }, { Schema::AlarmInterval, "-7", "5" },
                  { Schema::MonitorInterval, "30001", "30" }, { Schema::ScrollInterval, "-32769", "9" },
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
        Options o;
        o.setValues(someOptions(12, false));
        LoadOptions(o);
        QCOMPARE(texts(o.values()).value(key), expected);
    }

    void saveWritesWordsAndAuthor()
    {
        Options saved;
        saved.setValues(someOptions(12, false));
        QVERIFY(SaveOptions(saved));
        QFile file(m_settings->configFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray ini = file.readAll();
        for (const char *line :
            { "SoundsOn=False", "StartMinimized=True", "MonitorInterval=12", "ScrollInterval=9", "[Author]" })
            QVERIFY2(ini.contains(line), line);

        // Loading names each option that changed, once, and no other.
        Options loaded;
        loaded.setValues(someOptions(99, true));
        QSignalSpy changed(&loaded, &Options::changed);
        LoadOptions(loaded);
        QCOMPARE(texts(loaded.values()), texts(saved.values()));
        QStringList names;
        for (const QList<QVariant> &args : std::as_const(changed))
            names.append(args.first().toString());
        QCOMPARE(names,
            (QStringList { Schema::MonitorInterval, Schema::AlarmInterval, Schema::SoundsOn, Schema::Scroll,
                Schema::ScrollInterval, Schema::StartMinimized, Schema::DisplayTopMost }));
    }
};

TAVRIK_TEST(OptionsTest)
#include "OptionsTest.moc"
