// Output names made from an output folder's naming policy, and the hidden files of jobs that no
// longer run, removed by the next job into the folder, and only they.
#include "OutputFolder.h"
#include "OutputName.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tarnivo {
namespace {

const QString kTag = QStringLiteral("0123456789ab");

NamingPolicy BytesPolicy(int limit)
{
    NamingPolicy policy;
    policy.nameLimit = limit;
    return policy;
}

// FAT and exFAT: 255 UTF-16 units, " * : < > ? \ | and the control characters refused.
NamingPolicy FatPolicy()
{
    NamingPolicy policy;
    policy.limitInUtf16 = true;
    policy.refusedCharacters = CharactersFatRefuses();
    policy.move = NamingPolicy::Move::Claim;
    return policy;
}

TEST(OutputNames, AreMadeFromTheFoldersPolicy)
{
    const QString late = QString(61, u'a') + ":b";  // a refused character after the 60th
    const QString umlauts = QString(300, QChar(0xfc));
    struct Case {
        const char* what;
        NamingPolicy policy;
        QString base;
        int counter;
        QString extension;
        QString name;       // CandidateName
        QString temporary;  // TemporaryName
        QString problem;    // the start of OutputNamesProblem; empty for none
    };
    const Case cases[] = {
        {"plain", BytesPolicy(255), "clip", -1, ".avi", "clip.avi", ".clip.tarnivo-0123456789ab.avi", ""},
        {"numbered", BytesPolicy(255), "clip", 0, ".avi", "clip0.avi", ".clip.tarnivo-0123456789ab.avi", ""},
        {"26 bytes: the hidden name just fits", BytesPolicy(26), "ab", -1, ".avi", "ab.avi",
         "..tarnivo-0123456789ab.avi", ""},
        {"25 bytes: the hidden name does not", BytesPolicy(25), "ab", -1, ".avi", "ab.avi", "",
         "the hidden name that the result is written under until it is whole (\"..tarnivo-TAG.avi\") needs "
         "26 "
         "bytes, more than the 25"},
        {"an extension leaving no room", BytesPolicy(12), "clip", -1, ".avipart", "clip.avipart", "",
         "the output's extension \".avipart\" leaves no room for a name within the 12 bytes"},
        {"a refused character late in the name", FatPolicy(), late, -1, ".avi", QString(61, u'a') + "_b.avi",
         "." + QString(60, u'a') + ".tarnivo-0123456789ab.avi", ""},
        {"every refused character", FatPolicy(), "what? \"a\": b|\x01", 3, ".avi", "what_ _a__ b__3.avi",
         ".what_ _a__ b__.tarnivo-0123456789ab.avi", ""},
        {"a refused character in the extension", FatPolicy(), "clip", -1, ".a:b", "clip.a:b",
         ".clip.tarnivo-0123456789ab.a:b", "the output's extension \".a:b\" holds \":\""},
        {"long name, limit in bytes", BytesPolicy(255), umlauts, 7, ".avi",
         QString(125, QChar(0xfc)) + "7.avi", "." + QString(60, QChar(0xfc)) + ".tarnivo-0123456789ab.avi",
         ""},
        {"long name, limit in characters", FatPolicy(), umlauts, 7, ".avi",
         QString(250, QChar(0xfc)) + "7.avi", "." + QString(60, QChar(0xfc)) + ".tarnivo-0123456789ab.avi",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FittedName fitted = CandidateName(c.policy, c.base, c.counter, c.extension);
        EXPECT_EQ(fitted.name, c.name);
        const QString temporary = TemporaryName(c.policy, c.base, kTag, c.extension);
        EXPECT_EQ(temporary, c.temporary);
        const QString problem = OutputNamesProblem(c.policy, c.base, c.extension);
        EXPECT_TRUE(c.problem.isEmpty() ? problem.isEmpty() : problem.startsWith(c.problem))
            << problem.toStdString();
        if (c.problem.isEmpty()) {
            EXPECT_LE(NameLength(c.policy, fitted.name), c.policy.nameLimit);
            EXPECT_LE(NameLength(c.policy, temporary), c.policy.nameLimit);
            EXPECT_EQ(JobTagOf(temporary), kTag);
        }
    }
    // The tag of a job's hidden names, and only of those.
    EXPECT_EQ(JobTagOf(".tarnivo-0123456789ab.job"), kTag);
    EXPECT_EQ(JobTagOf(".clipavi.tarnivo-0123456789abavi"), kTag);  // an extension typed without its dot
    EXPECT_EQ(JobTagOf(".clip.tarnivo-1234-0a1b2c3d.avi"), "");     // another version's: left alone
    EXPECT_EQ(JobTagOf("clip.tarnivo-0123456789ab.avi"), "");
    EXPECT_EQ(JobTagOf("clip.avi"), "");
}

// A job of its own process, killed (it ends without a word) after it left what a job can leave in
// its output folder: its hidden file, the hidden name of a conversion, and the empty file that
// claimed a result's name; killed after its result took its claim's place, the result.
void KilledJob(const QString& folder, bool owned, bool resultInClaim)
{
    OutputFolder output;
    if (!output.Open(folder).isEmpty())
        std::_Exit(2);
    QString problem;
    const QString temporary = CreateTemporaryOutput(output, "clip", ".avi", &problem);
    struct stat claimed {};
    const QString claim = resultInClaim ? "made.avi" : "claimed.avi";
    if (temporary.isEmpty() || ClaimName(output, claim, &claimed) != 0)
        std::_Exit(3);
    if (resultInClaim) {
        QFile result(folder + "/result");
        if (!result.open(QIODevice::WriteOnly) || result.write("a whole result") < 0)
            std::_Exit(4);
        result.close();
        if (::rename(QFile::encodeName(result.fileName()).constData(),
                     QFile::encodeName(folder + "/" + claim).constData()) != 0)
            std::_Exit(4);
    }
    if (!owned) {
        // As a job of another user on a file system that records owners.
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
            if (!JobTagOf(name).isEmpty() || name == claim)
                if (::chown(QFile::encodeName(folder + "/" + name).constData(), 4242, 4242) != 0)
                    std::_Exit(5);
        }
    }
    std::_Exit(0);
}

QStringList Entries(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (QString& name : names) {
        const QString tag = JobTagOf(name);
        if (!tag.isEmpty())
            name.replace(tag, "TAG");
    }
    names.sort();
    return names;
}

TEST(OutputFolderTest, TheNextJobRemovesWhatKilledJobsLeftAndNothingElse)
{
    QTemporaryDir folder;
    // A file of the user's: as empty as a claim, but no job made it.
    QFile(folder.path() + "/claimed0.avi").open(QIODevice::WriteOnly);

    // A job that still runs: its files stay, whatever it is called and whoever runs it.
    OutputFolder running;
    ASSERT_EQ(running.Open(folder.path()), "");
    QString problem;
    const QString runningTemporary = CreateTemporaryOutput(running, "running", ".avi", &problem);
    ASSERT_FALSE(runningTemporary.isEmpty()) << problem.toStdString();

    EXPECT_EXIT(KilledJob(folder.path(), true, true), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(KilledJob(folder.path(), true, false), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(Entries(folder.path()),
              QStringList({".clip.tarnivo-TAG.avi", ".clip.tarnivo-TAG.avi", ".running.tarnivo-TAG.avi",
                           ".tarnivo-TAG.job", ".tarnivo-TAG.job", ".tarnivo-TAG.job", "claimed.avi",
                           "claimed0.avi", "made.avi"}));

    OutputFolder next;
    ASSERT_EQ(next.Open(folder.path()), "");
    EXPECT_EQ(next.RemoveStaleTemporaries(), 5);
    EXPECT_EQ(Entries(folder.path()), QStringList({".running.tarnivo-TAG.avi", ".tarnivo-TAG.job",
                                                   ".tarnivo-TAG.job", "claimed0.avi", "made.avi"}));
    next.Close();
    running.Close();
    QFile::remove(folder.path() + "/" + runningTemporary);
    EXPECT_EQ(Entries(folder.path()), QStringList({"claimed0.avi", "made.avi"}));

    // Where the file system records owners, another user's files stay, even of a killed job.
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving files to another user needs root";
    EXPECT_EXIT(KilledJob(folder.path(), false, false), ::testing::ExitedWithCode(0), "");
    const QStringList othersFiles = Entries(folder.path());
    ASSERT_EQ(next.Open(folder.path()), "");
    EXPECT_TRUE(next.Policy().ownersRecorded);
    EXPECT_EQ(next.RemoveStaleTemporaries(), 0);
    next.Close();
    EXPECT_EQ(Entries(folder.path()), othersFiles);
}

}  // namespace
}  // namespace tarnivo
