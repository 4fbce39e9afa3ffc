#include "common/TestSupport.h"
#include "core/Schema.h"
#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

namespace {

// Names users may give their CPUs; each must keep a section of its own.
const QStringList TrickyNames = {
    QStringLiteral("Den/Attic"), QStringLiteral("Den"),     QStringLiteral("Attic"),      QStringLiteral("a\\b"),
    QStringLiteral("a/b"),       QStringLiteral("a"),       QStringLiteral("x=y"),        QStringLiteral("[z]"),
    QStringLiteral("%"),         QStringLiteral("%25"),     QStringLiteral("%2F"),        QString(),
    QStringLiteral("General"),   QStringLiteral("general"), QStringLiteral("GENERAL"),    QStringLiteral(" padded "),
    QStringLiteral("a,b"),       QStringLiteral("#;"),      QStringLiteral("Bäckerei €"), QStringLiteral("計算機"),
    QStringLiteral("0"),         QStringLiteral("/"),       QStringLiteral("\\"),         QStringLiteral("%G"),
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class SettingsStoreTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;

    // Moves the store to a fresh place holding a copy of the file, so the next reads parse it.
    void reloadFromDisk()
    {
        const QByteArray content = readAll(m_settings->configFile());
        QVERIFY(!content.isEmpty());
        m_settings = std::make_unique<IsolatedSettings>();
        QVERIFY(WriteTextFile(m_settings->configFile(), content));
    }

private Q_SLOTS:
    void init() { m_settings = std::make_unique<IsolatedSettings>(); }
    void cleanup()
    {
        SettingsStore::setFailureReporter({});
        m_settings.reset();
    }

    void everyNameKeepsItsOwnSection()
    {
        for (int i = 0; i < TrickyNames.size(); ++i) {
            QCOMPARE(SettingsStore::decodeSection(SettingsStore::encodeSection(TrickyNames[i])), TrickyNames[i]);
            QVERIFY(SettingsStore::save(TrickyNames[i], Schema::CPUPath, QStringLiteral("path %1").arg(i)));
        }
        reloadFromDisk();
        for (int i = 0; i < TrickyNames.size(); ++i) {
            QVERIFY2(SettingsStore::sectionExists(TrickyNames[i]), qPrintable(TrickyNames[i]));
            QCOMPARE(SettingsStore::get(TrickyNames[i], Schema::CPUPath, QString()), QStringLiteral("path %1").arg(i));
        }
    }

    void slashesDoNotNest()
    {
        QVERIFY(SettingsStore::save(QStringLiteral("Den/Attic"), Schema::CPUName, QStringLiteral("x")));
        QVERIFY(SettingsStore::save(QStringLiteral("a\\b"), Schema::CPUName, QStringLiteral("y")));
        for (const char *parent : {"Den", "a", "Attic", "b"})
            QVERIFY2(!SettingsStore::sectionExists(QString::fromLatin1(parent)), parent);
    }

    void deleteSection()
    {
        QVERIFY(!SettingsStore::deleteSection(QStringLiteral("missing")));
        for (const QString &name : {QStringLiteral("Den"), QStringLiteral("Den/Attic"), QString()})
            QVERIFY(SettingsStore::save(name, Schema::CPUPath, QStringLiteral("p")));
        QVERIFY(SettingsStore::save(QStringLiteral("Den"), Schema::Top, QStringLiteral("1")));

        QVERIFY(SettingsStore::deleteSection(QStringLiteral("Den")));
        QVERIFY(!SettingsStore::sectionExists(QStringLiteral("Den")));
        QCOMPARE(SettingsStore::get(QStringLiteral("Den"), Schema::Top, QStringLiteral("gone")), QStringLiteral("gone"));
        QVERIFY(!SettingsStore::deleteSection(QStringLiteral("Den")));
        QVERIFY(SettingsStore::sectionExists(QStringLiteral("Den/Attic")));
        QVERIFY(SettingsStore::sectionExists(QString()));
        QVERIFY(SettingsStore::deleteSection(QString()));
        QVERIFY(SettingsStore::sectionExists(QStringLiteral("Den/Attic")));
    }

    // Values written by hand into the file, read as the program reads them.
    void handEditedValues_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("number") << QByteArray("CPUs=40000") << "40000";
        QTest::newRow("list without quotes") << QByteArray("CPUs=Home,Work,") << "Home,Work,";
        QTest::newRow("quoted") << QByteArray("CPUs=\"a, b\"") << "a, b";
        QTest::newRow("empty") << QByteArray("CPUs=") << "";
        QTest::newRow("other key only") << QByteArray("TotalCPUs=2") << "default";
    }
    void handEditedValues()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        QVERIFY(WriteTextFile(m_settings->configFile(), "[AppSettings]\n" + line + "\n"));
        QCOMPARE(SettingsStore::get(Schema::AppSettings, Schema::CPUs, QStringLiteral("default")), expected);
    }

    void placementFallsBackPerKey()
    {
        const QRect defaults(105, 105, 4725, 1590);
        QVERIFY(SettingsStore::savePlacement(QStringLiteral("cpu"), QRect(-300, 12000, 9999999, 7)));
        reloadFromDisk();
        QCOMPARE(SettingsStore::getPlacement(QStringLiteral("cpu"), defaults), QRect(-300, 12000, 9999999, 7));
        QVERIFY(SettingsStore::save(QStringLiteral("cpu"), Schema::Width, QStringLiteral("wide")));
        QVERIFY(SettingsStore::save(QStringLiteral("cpu"), Schema::Top, QStringLiteral("3e10")));
        QCOMPARE(SettingsStore::getPlacement(QStringLiteral("cpu"), defaults), QRect(-300, 105, 4725, 7));
        QCOMPARE(SettingsStore::getPlacement(QStringLiteral("missing"), defaults), defaults);
    }

    void failedWriteIsReported()
    {
        // A directory where the file should be: nothing can be written there.
        QVERIFY(QDir().mkpath(m_settings->configFile()));
        QStringList reports;
        SettingsStore::setFailureReporter([&reports](const QString &what) { reports << what; });
        QVERIFY(!SettingsStore::save(Schema::AppSettings, Schema::CPUs, QString()));
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].contains(Schema::CPUs), qPrintable(reports[0]));
    }
};

TAVRIK_TEST(SettingsStoreTest)
#include "SettingsStoreTest.moc"
