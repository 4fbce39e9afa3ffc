#include "panel/CpuList.h"
#include "common/TestSupport.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"

#include <QTest>

#include <memory>

class CpuListTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<IsolatedSettings> m_settings;

    static QString get(const QString &section, const QString &key) { return SettingsStore::get(section, key, {}); }
    static void save(const QString &section, const QString &key, const QString &v)
    {
        SettingsStore::save(section, key, v);
    }

private Q_SLOTS:
    void init() { m_settings = std::make_unique<IsolatedSettings>(); }
    void cleanup() { m_settings.reset(); }

    // Stored as "section|key|value" lines; CPUs opened as "name|path". Damaged and hand-edited
    // stores included: a count the entries do not bear out is not believed.
    void build_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<QString>("cpusAfter");
        const QString home = Schema::DefaultCPUPath();
        const QString thisComputer = Schema::DefaultCPUName + u'|' + home;
        QTest::newRow("first run: the default CPU") << QStringList() << QStringList { thisComputer } << "";
        const QStringList three { "0|CPUName|Den/Attic", "1|CPUName|a\\b", "2|CPUName|Laptop",
            "Den/Attic|CPUPath|/mnt/den/", "a\\b|CPUPath|/srv/ab/", "Laptop|CPUPath|  " };
        const QStringList opened { "Den/Attic|/mnt/den/", "a\\b|/srv/ab/", "Laptop|" + home };
        const QString cpus = "Den/Attic,a\\b,Laptop,";
        QTest::newRow("hand-over list taken over")
            << three + QStringList { "AppSettings|TotalCPUs|3" } << opened << cpus;
        QTest::newRow("count below the entries")
            << three + QStringList { "AppSettings|TotalCPUs|2" } << opened.mid(0, 2) << "Den/Attic,a\\b,";
        for (const char *count : { "32767", "-5", "4", "abc", "1001" })
            QTest::addRow("count %s", count)
                << three + QStringList { QStringLiteral("AppSettings|TotalCPUs|") + count } << opened << cpus;
        // A gap in the entries (a blank name) makes no CPU up; "CPUs" adds what the entries lack.
        QTest::newRow("gap, and names only in CPUs")
            << QStringList { "0|CPUName|Den", "1|CPUName|", "2|CPUName|Loft", "AppSettings|TotalCPUs|3",
                   "AppSettings|CPUs|Den,Attic,", "Den|CPUPath|/d/", "Loft|CPUPath|/l/", "Attic|CPUPath|/a/" }
            << QStringList { "Den|/d/", "Loft|/l/", "Attic|/a/" } << "Den,Loft,Attic,";
        QTest::newRow("negative count, list in CPUs")
            << QStringList { "AppSettings|TotalCPUs|-5", "AppSettings|CPUs|Den,Attic,", "Den|CPUPath|/d/" }
            << QStringList { "Den|/d/", "Attic|" + home } << "Den,Attic,";
        // Names compared without letter case: the first spelling stays; the panel's own section
        // names are loaded under another, the path read from where it was kept.
        QTest::newRow("duplicates and a reserved name")
            << QStringList { "AppSettings|CPUs|Den,den,AppSettings,DEN,", "Den|CPUPath|/d/", "AppSettings|CPUPath|/s/" }
            << QStringList { "Den|/d/", "AppSettings (2)|/s/" } << "Den,den,AppSettings,DEN,";
        // An empty entry ends the list; a CPU without a path is passed on blank for its window to ask.
        QTest::newRow("list after an abnormal end")
            << QStringList { "AppSettings|CPUs|Den,Attic,,Lost,", "Den|CPUPath|/mnt/den/" }
            << QStringList { "Den|/mnt/den/", "Attic|" } << "Den,Attic,,Lost,";
    }
    void build()
    {
        QFETCH(QStringList, stored);
        for (const QString &line : stored)
            save(line.section(u'|', 0, 0), line.section(u'|', 1, 1), line.section(u'|', 2));
        QStringList opened;
        const CpuList::StoredList list = CpuList::Read();
        for (const auto &[name, path] : list.cpus)
            opened << name + u'|' + path;
        CpuList::TakeOver(list);
        QTEST(opened, "opened");
        QTEST(get(Schema::AppSettings, Schema::CPUs), "cpusAfter");
        QVERIFY(get(Schema::AppSettings, Schema::TotalCPUs).toInt() <= 0);
        for (int i = 0; i < 4; ++i)
            QVERIFY(!SettingsStore::sectionExists(QString::number(i)));
        if (!stored.isEmpty())
            QVERIFY(SettingsStore::sectionExists(opened.first().section(u'|', 0, 0))); // its own section stays
    }

    void listEdits()
    {
        const std::pair<QString, const char *> rows[]
            = { { CpuList::AppendName("A,", "B"), "A,B," }, { CpuList::AppendName("", "A"), "A," },
                  { CpuList::ReplaceName("A,B,C,", "B", "Den/Attic"), "A,Den/Attic,C," },
                  { CpuList::ReplaceName("A,", "X", "Y"), "A,Y," }, // an unknown name is appended
                  { CpuList::RemoveName("A,B,C,", "B"), "A,C," }, { CpuList::RemoveName("A,A,", "A"), "A," },
                  { CpuList::RemoveName("A,", "Z"), "A," } };
        for (const auto &[got, expected] : rows)
            QCOMPARE(got, QString::fromLatin1(expected));
    }

    void nameRules()
    {
        const QStringList others { "Den", "Attic" };
        for (const char *refused : { "den", " ATTIC", "AppSettings", "message", "SDisplay", "mfrmTavrik", "FRMOVERVIEW",
                 "Author", "General", "0", "12", "-3", "+7" })
            QVERIFY2(!CpuList::NameRefusal(QLatin1String(refused), others).isEmpty(), refused);
        for (const char *free : { "Den 2", "Loft", "7a", "AppSettings (2)" })
            QVERIFY2(CpuList::NameRefusal(QLatin1String(free), others).isEmpty(), free);
        QCOMPARE(CpuList::SafeName("Den", { "Den", "den (2)" }), QStringLiteral("Den (3)"));
        QVERIFY(CpuList::AddRefusal(CpuList::MaxCpus - 1).isEmpty());
        QVERIFY(CpuList::AddRefusal(CpuList::MaxCpus).contains("1000"));
    }

    void addedOnce()
    {
        CpuList::Added(QStringLiteral("Den"));
        CpuList::Added(QStringLiteral("Den"));
        QCOMPARE(get(Schema::AppSettings, Schema::CPUs), QStringLiteral("Den,"));
    }

    void removeTakesBackTheHandOverEntry()
    {
        save(Schema::AppSettings, Schema::CPUs, "Den,Attic,");
        save("Attic", Schema::CPUPath, "/mnt/attic/");
        // What the window's unload has just written:
        save("0", Schema::CPUName, "Attic");
        SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, 1);
        CpuList::ForgetUnloaded(QStringLiteral("Attic"));
        QVERIFY(!SettingsStore::sectionExists("0") && !SettingsStore::sectionExists("Attic"));
        QCOMPARE(get(Schema::AppSettings, Schema::TotalCPUs), QStringLiteral("0"));
        QCOMPARE(get(Schema::AppSettings, Schema::CPUs), QStringLiteral("Den,"));
        // Nothing was unloaded: the first delete finds nothing and the command stops there.
        save("Den", Schema::CPUPath, "/mnt/den/");
        CpuList::ForgetUnloaded(QStringLiteral("Den"));
        QVERIFY(SettingsStore::sectionExists("Den"));
    }
};

TAVRIK_TEST(CpuListTest)
#include "CpuListTest.moc"
