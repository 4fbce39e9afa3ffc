#include "common/TestSupport.h"
#include "shared/Prompt.h"
#include "shared/bksPublicWindows.h"

#include <QTemporaryDir>
#include <QTest>

#include <array>

using namespace bksPublicModule;

// Paths are native: here the separator is "/"; "\\" appears where the character is given.
class PublicModuleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void isBlankAndGetField()
    {
        for (const auto &[text, blank] :
            { std::pair { "", true }, { "   ", true }, { "\t", false }, { " \n ", false } })
            QCOMPARE(IsBlank(QString::fromLatin1(text)), blank);

        const QStringList fields = { "", "a", "b", "", "d", "" };
        for (int n = -1; n < fields.size(); ++n)
            QCOMPARE(GetField(QStringLiteral("a,b,,d"), qint16(n), QStringLiteral(",")), fields.value(n));
        QCOMPARE(GetField(QString(), 1, QStringLiteral(",")), QString());
        QCOMPARE(GetField(QStringLiteral("a,b"), 32767, QStringLiteral(",")), QString());
        QCOMPARE(GetField(QStringLiteral("a::b"), 2, QStringLiteral("::")), QStringLiteral(":b"));
        QCOMPARE(GetField(QStringLiteral("aXbxc"), 2, QStringLiteral("x")), QStringLiteral("c"));
    }

    void paths()
    {
        // path, its directory, its file name
        const std::array<const char *, 3> rows[]
            = { { "/seti/client.exe", "/seti/", "client.exe" }, { "/seti", "/seti/", "" }, // no dot: a directory
                  { "/my.dir/seti", "/my.dir/", "seti" }, { "log.wav", "", "log.wav" }, { "   ", "", "   " },
                  { "C:\\Seti\\log.wav", "", "C:\\Seti\\log.wav" } };
        for (const auto &[path, directory, fileName] : rows) {
            QCOMPARE(GetDirectory(QString::fromLatin1(path)), QString::fromLatin1(directory));
            QString dirOut = QStringLiteral("unchanged");
            QCOMPARE(GetFileName(QString::fromLatin1(path), dirOut), QString::fromLatin1(fileName));
            QCOMPARE(dirOut, AddTrailingChar(QString::fromLatin1(directory)));
        }
    }

    void trailingChar()
    {
        // value, character (null: the default), with the character added, with it removed
        const std::array<const char *, 4> rows[] = { { "/seti", nullptr, "/seti/", "/seti" },
            { "/seti//", nullptr, "/seti//", "/seti/" }, { "  /seti/  ", nullptr, "/seti/", "/seti" },
            { "   ", nullptr, "", "" }, { "/", nullptr, "/", "" }, { "a\t", nullptr, "a\t/", "a\t" },
            { "C:\\Seti", "\\", "C:\\Seti\\", "C:\\Seti" }, { "C:\\Seti\\", "\\", "C:\\Seti\\", "C:\\Seti" },
            { "C:\\Seti\\\\", "\\", "C:\\Seti\\\\", "C:\\Seti\\" }, { "abb", "bb", "abbbb", "abb" } };
        for (const auto &[v, c, added, removed] : rows) {
            const QString value = QString::fromLatin1(v);
            QCOMPARE(c ? AddTrailingChar(value, QString::fromLatin1(c)) : AddTrailingChar(value),
                QString::fromLatin1(added));
            QCOMPARE(c ? RemoveTrailingChar(value, QString::fromLatin1(c)) : RemoveTrailingChar(value),
                QString::fromLatin1(removed));
        }
    }

    void fileExistsAndPlayWave()
    {
        IsolatedSettings settings;
        QTemporaryDir dir;
        const QString wave = dir.filePath(QStringLiteral("a.wav"));
        QVERIFY(WriteTextFile(wave, "RIFF"));
        QVERIFY(FileExists(wave));
        for (const QString &no : { dir.path(), dir.filePath(QStringLiteral("b.wav")), QString() })
            QVERIFY2(!FileExists(no), qPrintable(no));

        QStringList played;
        SetWavePlayer([&played](const QString &path, bool wait, bool loop) {
            played << QStringLiteral("%1 %2 %3").arg(path).arg(wait).arg(loop);
        });
        QCOMPARE(PlayWave(wave, false), QString()); // sounds off
        QCOMPARE(
            PlayWave(dir.filePath(QStringLiteral("b.wav")), true), QStringLiteral("the sound file does not exist"));
        QCOMPARE(PlayWave(wave, true, false, false), QString());
        QCOMPARE(played, QStringList { wave + QStringLiteral(" 0 0") });
    }
};

TAVRIK_TEST(PublicModuleTest)
#include "PublicModuleTest.moc"
