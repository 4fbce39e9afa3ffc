#include "common/TestSupport.h"
#include "core/Schema.h"
#include "core/SettingsStore.h"
#include "panel/CpuList.h"

#include <QTest>

using Loaded = QList<QPair<QString, QString>>;

class CpuListTest : public QObject
{
    Q_OBJECT

    // Opens CPUs the way a CPU window's load does: it takes one off the hand-over count.
    static CpuList::LoadCpu recorder(Loaded &loaded)
    {
        return [&loaded](const QString &name, const QString &path) {
            loaded.append({name, path});
            const int n = SettingsStore::getInt16(Schema::AppSettings, Schema::TotalCPUs, QStringLiteral("0")).value_or(0);
            if (n > 0)
                SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, n - 1);
        };
    }

private Q_SLOTS:
    void firstRunOpensDefaultCpu()
    {
        IsolatedSettings settings;
        Loaded loaded;
        CpuList::Build(recorder(loaded));
        QCOMPARE(loaded, (Loaded {{Schema::DefaultCPUName, Schema::DefaultCPUPath()}}));
    }

    void handOverListIsTakenOver()
    {
        IsolatedSettings settings;
        const QStringList names {QStringLiteral("Den/Attic"), QStringLiteral("a\\b"), QStringLiteral(""),
                                 QStringLiteral("Laptop")};
        for (int i = 0; i < names.size(); ++i)
            SettingsStore::save(QString::number(i), Schema::CPUName, names[i]);
        SettingsStore::save(names[0], Schema::CPUPath, QStringLiteral("/mnt/den/"));
        SettingsStore::save(names[1], Schema::CPUPath, QStringLiteral("/srv/ab/"));
        SettingsStore::save(names[3], Schema::CPUPath, QStringLiteral("  "));
        SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, 4);

        Loaded loaded;
        CpuList::Build(recorder(loaded));
        const Loaded expected {{names[0], QStringLiteral("/mnt/den/")},
                               {names[1], QStringLiteral("/srv/ab/")},
                               {Schema::DefaultCPUName, Schema::DefaultCPUPath()},
                               {names[3], Schema::DefaultCPUPath()}};
        QCOMPARE(loaded, expected);
        QCOMPARE(SettingsStore::get(Schema::AppSettings, Schema::CPUs, QString()),
                 QStringLiteral("Den/Attic,a\\b,This Computer,Laptop,"));
        QCOMPARE(SettingsStore::get(Schema::AppSettings, Schema::TotalCPUs, QString()), QStringLiteral("0"));
        for (int i = 0; i < 4; ++i)
            QVERIFY(!SettingsStore::sectionExists(QString::number(i)));
        QVERIFY(SettingsStore::sectionExists(names[0])); // the CPU's own section stays
    }

    void listAfterAbnormalEnd()
    {
        IsolatedSettings settings;
        SettingsStore::save(Schema::AppSettings, Schema::CPUs, QStringLiteral("Den,Attic,,Lost,"));
        SettingsStore::save(QStringLiteral("Den"), Schema::CPUPath, QStringLiteral("/mnt/den/"));
        Loaded loaded;
        CpuList::Build(recorder(loaded));
        // An empty entry ends the list; a CPU without a path is passed on blank for its window to ask.
        QCOMPARE(loaded, (Loaded {{QStringLiteral("Den"), QStringLiteral("/mnt/den/")}, {QStringLiteral("Attic"), QString()}}));
        QCOMPARE(SettingsStore::get(Schema::AppSettings, Schema::CPUs, QString()), QStringLiteral("Den,Attic,,Lost,"));
    }

    void listEdits_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("expected");
        QTest::newRow("append") << "A," << "add" << "B" << "" << "A,B,";
        QTest::newRow("append to empty") << "" << "add" << "A" << "" << "A,";
        QTest::newRow("rename middle") << "A,B,C," << "rename" << "B" << "Den/Attic" << "A,Den/Attic,C,";
        QTest::newRow("rename unknown appends") << "A," << "rename" << "X" << "Y" << "A,Y,";
        QTest::newRow("remove") << "A,B,C," << "remove" << "B" << "" << "A,C,";
        QTest::newRow("remove first of twins") << "A,A," << "remove" << "A" << "" << "A,";
        QTest::newRow("remove unknown") << "A," << "remove" << "Z" << "" << "A,";
    }
    void listEdits()
    {
        QFETCH(QString, list);
        QFETCH(QString, op);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, expected);
        const QString got = op == QLatin1String("add") ? CpuList::AppendName(list, a)
                            : op == QLatin1String("rename") ? CpuList::ReplaceName(list, a, b)
                                                            : CpuList::RemoveName(list, a);
        QCOMPARE(got, expected);
    }

    void recordsAreWrittenAtOnce()
    {
        IsolatedSettings settings;
        CpuList::SaveRecord({QStringLiteral("Den"), QStringLiteral("/mnt/den/"), 0, false, true, QRect(15, 30, 4725, 1590)});
        CpuList::Added(QStringLiteral("Den"));
        CpuList::Added(QStringLiteral("Den"));
        QCOMPARE(SettingsStore::get(QStringLiteral("Den"), Schema::AllowUpdates, QString()), QStringLiteral("False"));
        QCOMPARE(SettingsStore::get(QStringLiteral("Den"), Schema::Width, QString()), QStringLiteral("4725"));
        QCOMPARE(SettingsStore::get(Schema::AppSettings, Schema::CPUs, QString()), QStringLiteral("Den,"));

        // A minimised window keeps its last normal place.
        CpuList::SaveRecord({QStringLiteral("Den"), QStringLiteral("/mnt/den/"), 1, true, true, QRect(0, 0, 10, 10)});
        QCOMPARE(SettingsStore::get(QStringLiteral("Den"), Schema::Width, QString()), QStringLiteral("4725"));
        QVERIFY(!CpuList::SaveRecord({QStringLiteral(" "), QStringLiteral("/x/"), 0, true, true, QRect()}));
    }

    void removeTakesBackTheHandOverEntry()
    {
        IsolatedSettings settings;
        SettingsStore::save(Schema::AppSettings, Schema::CPUs, QStringLiteral("Den,Attic,"));
        SettingsStore::save(QStringLiteral("Attic"), Schema::CPUPath, QStringLiteral("/mnt/attic/"));
        // What the window's unload has just written:
        SettingsStore::save(QStringLiteral("0"), Schema::CPUName, QStringLiteral("Attic"));
        SettingsStore::saveInt(Schema::AppSettings, Schema::TotalCPUs, 1);

        CpuList::ForgetUnloaded(QStringLiteral("Attic"));
        QVERIFY(!SettingsStore::sectionExists(QStringLiteral("0")));
        QVERIFY(!SettingsStore::sectionExists(QStringLiteral("Attic")));
        QCOMPARE(SettingsStore::get(Schema::AppSettings, Schema::TotalCPUs, QString()), QStringLiteral("0"));
        QCOMPARE(SettingsStore::get(Schema::AppSettings, Schema::CPUs, QString()), QStringLiteral("Den,"));

        // Nothing was unloaded: the first delete finds nothing and the command stops there.
        SettingsStore::save(QStringLiteral("Den"), Schema::CPUPath, QStringLiteral("/mnt/den/"));
        CpuList::ForgetUnloaded(QStringLiteral("Den"));
        QVERIFY(SettingsStore::sectionExists(QStringLiteral("Den")));
    }
};

TAVRIK_TEST(CpuListTest)
#include "CpuListTest.moc"
