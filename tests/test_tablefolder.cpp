// Putting a new folder of tables in place: a run killed at any step leaves either none of the
// five tables or, once the next run has followed the mark it left, all five; and the next run
// clears away whatever hidden work the killed one left.
#include "catalogue/tabledefinitions.h"
#include "tablefolder.h"
#include "tabletool.h"
#include "testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kKilled = 77;
int g_stopAt = 0;
int g_steps = 0;

void stopAtStep(const char *)
{
    if (++g_steps == g_stopAt)
        ::_exit(kKilled); // as a kill would: no destructor, no clean-up
}

// `work` run in a child process that dies when it reaches step number `stopAt`; false when
// the work ended before that step.
bool killedAtStep(int stopAt, const std::function<void()> &work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        g_stopAt = stopAt;
        tabletool::setInstallStepHook(stopAtStep);
        try {
            work();
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != kKilled && WEXITSTATUS(status) != 0))
        qFatal("the child ended with status %d", status);
    return WEXITSTATUS(status) == kKilled;
}

int tablesIn(const QString &folder)
{
    int n = 0;
    for (const QString &name : catalogue::tableFileNames())
        n += QFileInfo::exists(QDir(folder).filePath(name));
    return n;
}

QStringList hiddenEntries(const QString &folder)
{
    return folderEntries(folder).filter(QRegularExpression(QStringLiteral("^\\.")));
}

} // namespace

class TestTableFolder : public QObject
{
    Q_OBJECT

private slots:
    void killedAtEveryStep_data();
    void killedAtEveryStep();
    void livingRunsWorkIsLeftAlone();
};

void TestTableFolder::killedAtEveryStep_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("new folder, renamed into place") << false;
    QTest::newRow("existing folder, tables moved in under a mark") << true;
}

void TestTableFolder::killedAtEveryStep()
{
    QFETCH(bool, targetExists);
    int stepsSeen = 0;
    for (int stopAt = 1;; ++stopAt) {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("tablas"));
        if (targetExists) {
            QDir().mkpath(target);
            writeFile(QDir(target).filePath(QStringLiteral("Config.Dat")), "otros datos");
        }
        if (!killedAtStep(stopAt, [&] { tabletool::importCsv(QStringLiteral(VANTOLIA_TEST_DATA), target); }))
            break;
        stepsSeen = stopAt;

        const int left = tablesIn(target);
        const bool marked = !tabletool::interruptedInstalls(target).isEmpty();
        if (left != 0 && left != 5) {
            // Only a folder that existed gets its tables one by one, and only under the mark.
            QVERIFY(targetExists);
            QCOMPARE(tabletool::interruptedInstalls(target).size(), 1);
            const QStringList problems = tabletool::verifyTables(target);
            QVERIFY2(problems.join(QLatin1Char('\n')).contains(QStringLiteral("quedó a medias")),
                     qPrintable(problems.join(QLatin1Char('\n'))));
        }

        // The next run: it installs when the killed one left nothing, and otherwise finishes
        // the killed one's work and then refuses to overwrite it.
        try {
            tabletool::importCsv(QStringLiteral(VANTOLIA_TEST_DATA), target);
            QVERIFY(left == 0 && !marked);
        } catch (const store::Error &e) {
            QVERIFY2((left != 0 || marked) && e.message().contains(QStringLiteral("Ya existe")), qPrintable(e.message()));
        }
        QCOMPARE(tablesIn(target), 5);
        QCOMPARE(tabletool::verifyTables(target), QStringList());
        QCOMPARE(hiddenEntries(target), QStringList());
        QCOMPARE(hiddenEntries(dir.path()), QStringList());
        QCOMPARE(folderEntries(target).size(), targetExists ? 6 : 5);
    }
    // Five tables written, then the rename; or the mark, five moves and the mark removed.
    QCOMPARE(stepsSeen, targetExists ? 12 : 6);
}

// Hidden work that a living run still holds is not taken for a killed run's leftovers.
void TestTableFolder::livingRunsWorkIsLeftAlone()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("tablas"));
    QDir().mkpath(target);
    tabletool::WorkFolder living(target, QString());
    writeFile(living.filePath(QStringLiteral("Flores.db")), "a medio escribir");
    tabletool::createTables(target);
    QCOMPARE(readFile(living.filePath(QStringLiteral("Flores.db"))), QByteArray("a medio escribir"));
    QCOMPARE(tablesIn(target), 5);
}

QTEST_GUILESS_MAIN(TestTableFolder)
#include "test_tablefolder.moc"
