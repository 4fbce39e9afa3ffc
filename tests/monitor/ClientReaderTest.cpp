#include "monitor/ClientReader.h"
#include "common/TestSupport.h"
#include "shared/Failure.h"

#include <QDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

class ClientReaderTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString dir() const { return m_tmp.path() + u'/'; }
    bool write(const QString &name, const QByteArray &content) const { return WriteTextFile(dir() + name, content); }

private Q_SLOTS:
    void init() { QVERIFY(m_tmp.isValid()); }

    void cleanup()
    {
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_tmp.path());
    }

    void failureCodes_data()
    {
        QTest::addColumn<QStringList>("files"); // "name/" is a folder, "name!" a file beyond the limit
        QTest::addColumn<QString>("subPath");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("user");
        QTest::addColumn<int>("wtemp");
        QTest::addColumn<bool>("detail");
        const QStringList all { "State.txt", "User_Info.txt", "wtemp.txt" };
        QTest::newRow("directory missing") << QStringList() << "gone/" << 76 << 76 << 76 << false;
        QTest::newRow("machine and share missing") << QStringList() << "host/share/seti/" << 76 << 76 << 76 << false;
        QTest::newRow("folder name too long") << QStringList() << QString(300, u'n') + u'/' << 52 << 52 << 52 << false;
        QTest::newRow("user info missing") << QStringList { "State.txt" } << "" << 0 << 53 << 53 << false;
        QTest::newRow("everything there") << all << "" << 0 << 0 << 0 << false;
        QTest::newRow("path runs through a file") << QStringList { "plain" } << "plain/" << 76 << 76 << 76 << false;
        QTest::newRow("state is a folder")
            << QStringList { "State.txt/", "User_Info.txt" } << "" << 75 << 0 << 53 << true;
        QTest::newRow("state beyond 1 MiB")
            << QStringList { "State.txt!", "User_Info.txt" } << "" << 7 << 0 << 53 << true;
        QTest::newRow("wtemp is a folder")
            << QStringList { "State.txt", "User_Info.txt", "wtemp.txt/" } << "" << 0 << 0 << 53 << false;
    }
    void failureCodes()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, subPath);
        QFETCH(bool, detail);
        for (QString name : files) {
            if (name.endsWith(u'/'))
                QVERIFY(QDir().mkpath(dir() + name));
            else if (name.endsWith(u'!'))
                QVERIFY(write(name.chopped(1), QByteArray(ClientReader::MaxFileSize + 1, 'x')));
            else
                QVERIFY(write(name, name == u"State.txt" ? "prog=0.5\ncpu=1\n" : "nwus=1\n"));
        }
        const ClientSnapshot s = ClientReader::Read(dir() + subPath);
        QTEST(s.state.error, "state");
        QTEST(s.user.error, "user");
        QTEST(s.wtempError, "wtemp");
        QCOMPARE(!s.state.detail.isEmpty(), detail);
        if (detail)
            QVERIFY(s.state.detail.contains(dir() + QStringLiteral("State.txt")));
        if (s.state.error)
            QVERIFY(s.state.text.isEmpty());

        // The three calls of a cycle, made apart, give the same reading or hand over to Read.
        ClientReader::PartResult parts[ClientReader::PartCount];
        for (int p = 0; p < ClientReader::PartCount; ++p)
            parts[p] = ClientReader::ReadPart(dir() + subPath, ClientReader::Part(p));
        ClientSnapshot combined;
        const bool bothFound = s.state.error != Failure::FileNotFound && s.state.error != Failure::PathNotFound
            && s.user.error != Failure::FileNotFound;
        const bool combines = ClientReader::Combine(parts, combined);
        QVERIFY(combines || !bothFound);
        if (combines) {
            QCOMPARE(combined.state.error, s.state.error);
            QCOMPARE(combined.state.text, s.state.text);
            QCOMPARE(combined.user.error, s.user.error);
            QCOMPARE(combined.wtempError, s.wtempError);
        }
    }

    void contents()
    {
        QByteArray bytes;
        for (int i = 0; i < 256; ++i)
            bytes += char(i);
        bytes += "\r\nprog=0.5\n";
        QVERIFY(write(QStringLiteral("State.txt"), bytes));
        const QByteArray full(ClientReader::MaxFileSize, 'u');
        QVERIFY(write(QStringLiteral("User_Info.txt"), full));
        QVERIFY(write(QStringLiteral("wtemp.txt"), QByteArray(360449, 'w')));

        const ClientSnapshot s = ClientReader::Read(dir());
        QCOMPARE(s.state.error, 0);
        QCOMPARE(s.state.text.toLatin1(), bytes); // every byte, NUL and CR included
        QCOMPARE(s.user.error, 0);
        QCOMPARE(s.user.text.size(), full.size()); // exactly the limit is still read
        QCOMPARE(s.wtempLength, qint64(360449));
    }

    // On a case-sensitive file system a client may write its names in another letter case.
    void letterCaseOfNames_data()
    {
        QTest::addColumn<QStringList>("names"); // files written; each holds its own name
        QTest::addColumn<QString>("prefix"); // added to the directory path, as a path without separator does
        QTest::addColumn<QString>("stateFrom");
        QTest::addColumn<QString>("userFrom");
        QTest::addColumn<int>("wtempError");

        QTest::newRow("lower case") << QStringList { "state.txt", "user_info.txt", "wtemp.txt" } << ""
                                    << "state.txt"
                                    << "user_info.txt" << 0;
        QTest::newRow("upper case") << QStringList { "STATE.TXT", "USER_INFO.TXT", "WTEMP.TXT" } << ""
                                    << "STATE.TXT"
                                    << "USER_INFO.TXT" << 0;
#ifdef Q_OS_UNIX // two names that differ in case only are one file elsewhere
        QTest::newRow("exact name first")
            << QStringList { "state.txt", "State.txt", "User_Info.txt", "USER_INFO.TXT" } << ""
            << "State.txt"
            << "User_Info.txt" << 53;
#endif
        QTest::newRow("path without separator") << QStringList { "seti1state.txt", "seti1User_Info.txt" } << "seti1"
                                                << "seti1state.txt"
                                                << "seti1User_Info.txt" << 53;
    }

    void letterCaseOfNames()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, prefix);
        for (const QString &name : names)
            QVERIFY(write(name, name.toLatin1()));
        const ClientSnapshot s = ClientReader::Read(dir() + prefix);
        QCOMPARE(s.state.error, 0);
        QTEST(s.state.text, "stateFrom");
        QCOMPARE(s.user.error, 0);
        QTEST(s.user.text, "userFrom");
        QTEST(s.wtempError, "wtempError");
    }

    void tooManyOpenFiles()
    {
#ifndef Q_OS_UNIX
        QSKIP("The limit on open files is lowered through setrlimit");
#else
        QVERIFY(write(QStringLiteral("State.txt"), "prog=0.5\n"));
        QVERIFY(write(QStringLiteral("User_Info.txt"), "nwus=1\n"));
        rlimit saved {};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        const int lowestFree = ::dup(0);
        QVERIFY(lowestFree >= 0);
        ::close(lowestFree);
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(lowestFree); // every descriptor below it is taken
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
        const ClientSnapshot s = ClientReader::Read(dir());
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QCOMPARE(s.state.error, int(Failure::TooManyFiles));
        QCOMPARE(s.user.error, int(Failure::TooManyFiles));
#endif
    }
};

TAVRIK_TEST(ClientReaderTest)
#include "ClientReaderTest.moc"
