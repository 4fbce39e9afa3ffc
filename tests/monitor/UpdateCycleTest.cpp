#include "monitor/UpdateCycle.h"
#include "common/TestSupport.h"
#include "settings/Options.h"
#include "shared/Failure.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// A "State.txt" that is a FIFO blocks open() for reading, like a share whose machine went away.
class UpdateCycleTest : public QObject
{
    Q_OBJECT

    struct Seen
    {
        quint64 key;
        QString path;
        int stateError;
        QString stateText;
    };

    std::unique_ptr<QTemporaryDir> m_root;
    QStringList m_fifos;
    Options m_options;

    QString client(const QString &name, bool hung)
    {
        const QString dir = m_root->filePath(name) + u'/';
        WriteTextFile(dir + QStringLiteral("User_Info.txt"), "nwus=3\n");
        if (!hung) {
            WriteTextFile(dir + QStringLiteral("State.txt"), "prog=0.5\ncpu=" + name.toLatin1() + "\n");
#ifdef Q_OS_UNIX
        } else if (::mkfifo(QFile::encodeName(dir + QStringLiteral("State.txt")).constData(), 0600) == 0) {
            m_fifos << dir + QStringLiteral("State.txt");
#endif
        }
        return dir;
    }

    // A writer that comes and goes lets every blocked open() of the FIFOs return.
    void releaseFifos()
    {
#ifdef Q_OS_UNIX
        for (const QString &fifo : std::as_const(m_fifos)) {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
#endif
    }

private Q_SLOTS:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_fifos.clear();
        m_options.setValues(OptionValues());
    }
    void cleanup()
    {
        // Hung reads return once their FIFO sees a writer; none may outlive the test.
        QTRY_VERIFY((releaseFifos(), UpdateCycle::hungReads() == 0));
    }

    void cycleEveryIntervalPlusOneTicks_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("cycles");
        QTest::newRow("default 30: none in 30 ticks") << 30 << 30 << 0;
        QTest::newRow("default 30: 31st tick") << 30 << 31 << 1;
        QTest::newRow("default 30: two in 62") << 30 << 62 << 2;
        QTest::newRow("0 every tick") << 0 << 5 << 5;
        QTest::newRow("negative acts like 0") << -4 << 3 << 3;
    }
    void cycleEveryIntervalPlusOneTicks()
    {
        QFETCH(int, interval);
        QFETCH(int, ticks);
        QFETCH(int, cycles);
        m_options.update([&](OptionValues &v) { v.MonitorInterval = qint16(interval); });
        UpdateCycle cycle(m_options);
        QSignalSpy started(&cycle, &UpdateCycle::cycleStarted);
        QSignalSpy finished(&cycle, &UpdateCycle::cycleFinished);
        for (int i = 0; i < ticks; ++i) {
            cycle.tick();
            if (cycle.isCycling())
                cycle.tick(); // not counted
            QTRY_VERIFY(!cycle.isCycling());
        }
        QCOMPARE(started.count(), cycles);
        QCOMPARE(finished.count(), cycles);
    }

    // Every folder is read at once; readings come back in the order asked for, a hung folder as
    // unreachable once the limit has passed, and a refresh during the cycle runs one cycle after it.
    void cycleReadsInOrderWithinTheLimit()
    {
#ifndef Q_OS_UNIX
        QSKIP("A FIFO stands for the share that hangs; Windows has no file whose open blocks");
#else
        m_options.update([](OptionValues &v) { v.MonitorInterval = 30; });
        QList<UpdateCycle::Target> targets;
        for (int i = 0; i < 6; ++i)
            targets.append({ quint64(100 + i), client(QString::number(i), i == 1 || i == 4) });
        UpdateCycle cycle(m_options);
        cycle.setTimeLimit(300);
        cycle.setTargets([&targets] { return targets; });
        QList<Seen> seen;
        connect(&cycle, &UpdateCycle::readingReady, this,
            [&seen](quint64 key, const QString &path, const ClientSnapshot &files) {
                seen.append({ key, path, files.state.error, files.state.text });
            });
        QSignalSpy finished(&cycle, &UpdateCycle::cycleFinished);
        QSignalSpy started(&cycle, &UpdateCycle::cycleStarted);
        qsizetype seenAtFirstEnd = -1;
        connect(&cycle, &UpdateCycle::cycleFinished, this, [&] {
            if (seenAtFirstEnd < 0)
                seenAtFirstEnd = seen.size();
        });

        cycle.refresh();
        cycle.refresh(); // during the cycle: one more, after it
        QVERIFY(cycle.isCycling());
        QTRY_VERIFY(finished.count() >= 1);
        QCOMPARE(seenAtFirstEnd, 6);
        for (int i = 0; i < 6; ++i) {
            const bool hung = i == 1 || i == 4;
            QCOMPARE(seen[i].key, quint64(100 + i));
            QCOMPARE(seen[i].path, targets[i].path);
            QCOMPARE(seen[i].stateError, hung ? int(Failure::PathNotFound) : 0);
            if (!hung)
                QCOMPARE(seen[i].stateText, QStringLiteral("prog=0.5\ncpu=%1\n").arg(i));
        }
        QCOMPARE(started.count(), 2);
        QCOMPARE(cycle.hungReads(), 2);

        // The second cycle does not start another read of a folder that still hangs.
        QTRY_COMPARE(finished.count(), 2);
        QCOMPARE(seen.size(), 12);
        QCOMPARE(seen[7].stateError, int(Failure::PathNotFound));
        QCOMPARE(cycle.hungReads(), 2);
        QVERIFY(cycle.isIdle() && !cycle.isCycling());
#endif
    }

    // However many folders hang, a healthy one is read; a hung CPU given a good folder is read at
    // once; a forgotten CPU is not handed on.
    void hungFoldersNeverStarveHealthyOnes()
    {
#ifndef Q_OS_UNIX
        QSKIP("A FIFO stands for the share that hangs; Windows has no file whose open blocks");
#else
        QList<UpdateCycle::Target> targets;
        for (int i = 0; i < 64; ++i)
            targets.append({ quint64(i), client(QStringLiteral("hung%1").arg(i), true) });
        targets.append({ 64, client(QStringLiteral("healthy"), false) });
        UpdateCycle cycle(m_options);
        cycle.setTimeLimit(400);
        QList<Seen> seen;
        connect(&cycle, &UpdateCycle::readingReady, this,
            [&seen](quint64 key, const QString &path, const ClientSnapshot &files) {
                seen.append({ key, path, files.state.error, files.state.text });
            });
        cycle.readNow(targets);
        // Outside a cycle a reading is handed on as soon as it is there, ahead of the hung ones.
        QTRY_COMPARE(seen.size(), 1);
        QCOMPARE(seen.first().key, quint64(64));
        QCOMPARE(seen.first().stateText, QStringLiteral("prog=0.5\ncpu=healthy\n"));
        QTRY_COMPARE(seen.size(), 65);
        QCOMPARE(cycle.hungReads(), 64);

        seen.clear();
        const QString good = client(QStringLiteral("good"), false);
        cycle.readNow({ { 3, targets[3].path }, { 5, good }, { 7, good } });
        cycle.forget(7);
        QTRY_VERIFY(cycle.isIdle());
        QCOMPARE(seen.size(), 2);
        std::sort(seen.begin(), seen.end(), [](const Seen &a, const Seen &b) { return a.key < b.key; });
        QCOMPARE(seen[0].stateError, int(Failure::PathNotFound)); // still hung
        QCOMPARE(seen[1].key, quint64(5));
        QCOMPARE(seen[1].stateText, QStringLiteral("prog=0.5\ncpu=good\n"));

        // A read whose calls all returned before the limit, while the user-interface thread was
        // busy, is handed on with its files, never as unreachable.
        seen.clear();
        cycle.setTimeLimit(1);
        for (int i = 0; i < 20; ++i) {
            cycle.readNow({ { quint64(1000 + i), good } });
            QThread::msleep(30);
            QTRY_VERIFY(cycle.isIdle());
        }
        QCOMPARE(seen.size(), 20);
        for (const Seen &s : std::as_const(seen))
            QCOMPARE(s.stateError, 0);
#endif
    }
};

TAVRIK_TEST(UpdateCycleTest)
#include "UpdateCycleTest.moc"
