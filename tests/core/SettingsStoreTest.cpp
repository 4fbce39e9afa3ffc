#include "settings/SettingsStore.h"
#include "common/TestSupport.h"
#include "settings/Schema.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

class SettingsStoreTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;

    // Moves the store to a fresh place holding a copy of the file, so the next reads parse it.
    void reloadFromDisk()
    {
        QFile file(m_settings->configFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
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

    // Names users may give their CPUs; each keeps a section of its own, also after a restart.
    void everyNameKeepsItsOwnSection()
    {
        const QStringList names = { "Den/Attic", "Den", "Attic", "a\\b", "a/b", "a", "x=y", "[z]", "%", "%25", "%2F",
            "%G", "", "General", "general", "GENERAL", " padded ", "a,b", "#;", "Bäckerei €", "計算機", "0", "/", "\\",
            "Loft/Box", "Cellar\\Rack" };
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(SettingsStore::decodeSection(SettingsStore::encodeSection(names[i])), names[i]);
            QVERIFY(SettingsStore::save(names[i], Schema::CPUPath, QString::number(i)));
        }
        for (const char *parent : { "Loft", "Cellar" })
            QVERIFY(!SettingsStore::sectionExists(QString::fromUtf8(parent)));
        reloadFromDisk();
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY2(SettingsStore::sectionExists(names[i]), qPrintable(names[i]));
            QCOMPARE(SettingsStore::get(names[i], Schema::CPUPath, QString()), QString::number(i));
        }
    }

    void deleteSection()
    {
        QVERIFY(!SettingsStore::deleteSection(QStringLiteral("missing")));
        for (const QString &name : { QStringLiteral("Den"), QStringLiteral("Den/Attic"), QString() })
            QVERIFY(SettingsStore::save(name, Schema::CPUPath, QStringLiteral("p")));
        QVERIFY(SettingsStore::save(QStringLiteral("Den"), Schema::Top, QStringLiteral("1")));

        QVERIFY(SettingsStore::deleteSection(QStringLiteral("Den")));
        QCOMPARE(
            SettingsStore::get(QStringLiteral("Den"), Schema::Top, QStringLiteral("gone")), QStringLiteral("gone"));
        QVERIFY(!SettingsStore::deleteSection(QStringLiteral("Den")));
        QVERIFY(SettingsStore::deleteSection(QString()));
        QVERIFY(!SettingsStore::sectionExists(QString()));
        QVERIFY(SettingsStore::sectionExists(QStringLiteral("Den/Attic")));
    }

    // Values written by hand into the file, read as the program reads them.
    void handEditedValues()
    {
        const std::pair<const char *, const char *> rows[]
            = { { "CPUs=40000", "40000" }, { "CPUs=Home,Work,", "Home,Work," }, { "CPUs=\"a, b\"", "a, b" },
                  { "CPUs=", "" }, { "TotalCPUs=2", "default" } };
        for (const auto &[line, expected] : rows) {
            IsolatedSettings fresh;
            QVERIFY(WriteTextFile(fresh.configFile(), QByteArray("[AppSettings]\n") + line + "\n"));
            QCOMPARE(SettingsStore::get(Schema::AppSettings, Schema::CPUs, QStringLiteral("default")),
                QString::fromLatin1(expected));
        }
    }

    // A key that does not convert falls back alone; a place beyond ten times the screen or without
    // a size gives the default place whole (no QRect overflow, no window nobody can reach).
    void placementBounded()
    {
        const QRect defaults(105, 105, 4725, 1590);
        const struct
        {
            const char *left, *top, *width, *height;
            QRect expected;
        } rows[] = {
            { "-300", "12000", "999999", "7", QRect(-300, 12000, 999999, 7) },
            { "-300", "x", "wide", "7", QRect(-300, 105, 4725, 7) },
            { "99999999", "0", "100", "100", defaults },
            { "0", "0", "2147483647", "100", defaults },
            { "0", "0", "100", "-5", defaults },
            { "5e8", "5e8", "5e8", "5e8", defaults },
            { "0", "-3e10", "100", "100", defaults },
        };
        for (const auto &r : rows) {
            SettingsStore::save(QStringLiteral("cpu"), Schema::Left, QLatin1String(r.left));
            SettingsStore::save(QStringLiteral("cpu"), Schema::Top, QLatin1String(r.top));
            SettingsStore::save(QStringLiteral("cpu"), Schema::Width, QLatin1String(r.width));
            SettingsStore::save(QStringLiteral("cpu"), Schema::Height, QLatin1String(r.height));
            QCOMPARE(SettingsStore::getPlacement(QStringLiteral("cpu"), defaults), r.expected);
        }
        // A default as wild as the stored place gives way to a small place at the top left.
        const QRect wild(0, 0, 2000000000, 10);
        QCOMPARE(SettingsStore::BoundPlacement(1e12, 0, 1, 1, wild, { 28800, 16200 }), QRect(105, 105, 4725, 1590));
    }
};

TAVRIK_TEST(SettingsStoreTest)
#include "SettingsStoreTest.moc"
