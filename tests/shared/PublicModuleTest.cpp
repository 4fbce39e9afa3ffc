#include "common/TestSupport.h"
#include "core/modTavrik.h"
#include "shared/Prompt.h"
#include "shared/bksPublicModule.h"

#include <QTemporaryDir>
#include <QTest>

using namespace bksPublicModule;

// Paths are native: on this platform the separator is "/"; "\\" appears where a character is given.
class PublicModuleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void isBlank_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("blank");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("spaces") << "   " << true;
        QTest::newRow("tab") << "\t" << false;
        QTest::newRow("line break") << " \n " << false;
        QTest::newRow("word") << " a " << false;
    }
    void isBlank()
    {
        QFETCH(QString, text);
        QFETCH(bool, blank);
        QCOMPARE(IsBlank(text), blank);
    }

    void getField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QString>("expected");
        for (const auto &[n, e] : {std::pair{0, ""}, {1, "a"}, {2, "b"}, {3, ""}, {4, "d"}, {5, ""}, {-3, ""}})
            QTest::addRow("a,b,,d field %d", n) << "a,b,,d" << n << "," << e;
        QTest::newRow("empty text") << "" << 1 << "," << "";
        QTest::newRow("trailing comma") << "Home,Work," << 3 << "," << "";
        QTest::newRow("long delimiter keeps its tail") << "a::b" << 2 << "::" << ":b";
        QTest::newRow("case matters") << "aXbxc" << 2 << "x" << "c";
        QTest::newRow("largest field number") << "a,b" << 32767 << "," << "";
    }
    void getField()
    {
        QFETCH(QString, text);
        QFETCH(int, field);
        QFETCH(QString, delimiter);
        QFETCH(QString, expected);
        QCOMPARE(GetField(text, qint16(field), delimiter), expected);
    }

    void paths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("file in directory") << "/seti/client.exe" << "/seti/" << "client.exe";
        QTest::newRow("no dot names a directory") << "/seti" << "/seti/" << "";
        QTest::newRow("dot in a directory") << "/my.dir/seti" << "/my.dir/" << "seti";
        QTest::newRow("bare file") << "log.wav" << "" << "log.wav";
        QTest::newRow("blank") << "   " << "" << "   ";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("foreign separator") << "C:\\Seti\\log.wav" << "" << "C:\\Seti\\log.wav";
    }
    void paths()
    {
        QFETCH(QString, path);
        QFETCH(QString, directory);
        QFETCH(QString, fileName);
        QCOMPARE(GetDirectory(path), directory);
        QString dirOut = QStringLiteral("unchanged");
        QCOMPARE(GetFileName(path, dirOut), fileName);
        QCOMPARE(dirOut, AddTrailingChar(directory));
    }

    void trailingChar_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("character"); // null: the default
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("removed");
        QTest::newRow("native") << "/seti" << QString() << "/seti/" << "/seti";
        QTest::newRow("native, ends with it") << "/seti/" << QString() << "/seti/" << "/seti";
        QTest::newRow("two at the end") << "/seti//" << QString() << "/seti//" << "/seti/";
        QTest::newRow("trimmed") << "  /seti  " << QString() << "/seti/" << "/seti";
        QTest::newRow("spaces only") << "   " << QString() << "" << "";
        QTest::newRow("root") << "/" << QString() << "/" << "";
        QTest::newRow("tab is content") << "a\t" << QString() << "a\t/" << "a\t";
        QTest::newRow("backslash") << "C:\\Seti" << "\\" << "C:\\Seti\\" << "C:\\Seti";
        QTest::newRow("backslash, ends with it") << "C:\\Seti\\" << "\\" << "C:\\Seti\\" << "C:\\Seti";
        QTest::newRow("backslash, two") << "C:\\Seti\\\\" << "\\" << "C:\\Seti\\\\" << "C:\\Seti\\";
        QTest::newRow("two-character text") << "abb" << "bb" << "abbbb" << "abb";
    }
    void trailingChar()
    {
        QFETCH(QString, value);
        QFETCH(QString, character);
        QFETCH(QString, added);
        QFETCH(QString, removed);
        QCOMPARE(character.isNull() ? AddTrailingChar(value) : AddTrailingChar(value, character), added);
        QCOMPARE(character.isNull() ? RemoveTrailingChar(value) : RemoveTrailingChar(value, character), removed);
    }

    void fileExistsAndPlayWave()
    {
        IsolatedSettings settings;
        QTemporaryDir dir;
        const QString wave = dir.filePath(QStringLiteral("a.wav"));
        QVERIFY(WriteTextFile(wave, "RIFF"));
        QVERIFY(FileExists(wave));
        for (const QString &no : {dir.path(), dir.filePath(QStringLiteral("b.wav")), QString(), dir.filePath("x/a.wav")})
            QVERIFY2(!FileExists(no), qPrintable(no));

        QStringList played;
        SetWavePlayer([&played](const QString &path, bool wait, bool loop) {
            played << QStringLiteral("%1 %2 %3").arg(path).arg(wait).arg(loop);
        });
        modTavrik::SoundsOn = false;
        PlayWave(wave);
        modTavrik::SoundsOn = true;
        PlayWave(dir.filePath(QStringLiteral("b.wav")));
        PlayWave(wave, false, false);
        QCOMPARE(played, QStringList{wave + QStringLiteral(" 0 0")});
    }

    void browseForFolder()
    {
        IsolatedSettings settings;
        for (const char *answer : {"/", "/tmp/x", "/tmp/x/", ""})
            Prompt::SetNextText(QString::fromLatin1(answer));
        QCOMPARE(BrowseForFolder(nullptr, QStringLiteral("t")), QStringLiteral("/"));
        QCOMPARE(BrowseForFolder(nullptr, QStringLiteral("t")), QStringLiteral("/tmp/x/"));
        QCOMPARE(BrowseForFolder(nullptr, QStringLiteral("t"), false), QStringLiteral("/tmp/x"));
        QCOMPARE(BrowseForFolder(nullptr, QStringLiteral("t")), QString());
        // Nothing scripted: headless, the picker answers Cancel instead of waiting for a person.
        QCOMPARE(BrowseForFolder(nullptr, QStringLiteral("t")), QString());
        QVERIFY(!Prompt::AskYesNo(nullptr, QStringLiteral("Sure?"), QStringLiteral("t")));
    }
};

TAVRIK_TEST(PublicModuleTest)
#include "PublicModuleTest.moc"
