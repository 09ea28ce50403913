#include "MediaTestSupport.h"
#include "WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tarnivo;
using namespace tarnivo::test;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info;
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

}  // namespace

TEST(WorkFolder, FollowsTempAndIsCreatedPrivate)
{
    TempEnvironment temp;
    EXPECT_EQ(TempRoot(), temp.root());
    EXPECT_EQ(WorkFolder(), temp.root() + "/temp");
    EXPECT_EQ(RenameFolder(), temp.root() + "/temp/Renamed");
    EXPECT_EQ(PrepareWorkFolder(), QString());
    EXPECT_EQ(modeOf(WorkFolder()), 0700u);
    EXPECT_EQ(modeOf(RenameFolder()), 0700u);
    EXPECT_EQ(PrepareWorkFolder(), QString());  // a second time changes nothing
}

// Without TEMP the work is done on disk in the user's cache folder, never in the runtime
// folder, which lives in memory.
TEST(WorkFolder, WithoutTempUsesAPrivateFolderOnDisk)
{
    QTemporaryDir home;
    ScopedEnvironment noTemp("TEMP", "");
    ScopedEnvironment userHome("HOME", home.path());
    const QString runtime = home.path() + "/run";
    ScopedEnvironment xdgRuntime("XDG_RUNTIME_DIR", runtime);
    struct Case {
        QString cacheHome;  // XDG_CACHE_HOME
        QString root;       // the TEMP root used
    };
    const Case cases[] = {
        {"", home.path() + "/.cache/tarnivo"},
        {home.path() + "/cache", home.path() + "/cache/tarnivo"},
        {"relative/cache", home.path() + "/.cache/tarnivo"},
        {runtime + "/cache", home.path() + "/.cache/tarnivo"},
    };
    for (const Case& c : cases) {
        ScopedEnvironment xdgCache("XDG_CACHE_HOME", c.cacheHome);
        EXPECT_EQ(TempRoot(), c.root) << c.cacheHome.toStdString();
        EXPECT_EQ(modeOf(c.root), 0700u);
        EXPECT_EQ(PrepareWorkFolder(), QString());
        EXPECT_TRUE(QDir(c.root + "/temp/Renamed").exists());
    }
    EXPECT_FALSE(QDir(runtime).exists());

    // A cache folder that cannot be made is told with the file system's own reason.
    ScopedEnvironment unusableCache("XDG_CACHE_HOME", "/sys/tarnivo-cache");
    const QString problem = PrepareWorkFolder();
    EXPECT_TRUE(problem.startsWith("The folder /sys/tarnivo-cache cannot be created: "))
        << problem.toStdString();
    EXPECT_FALSE(problem.contains("No such file or directory")) << problem.toStdString();
}

TEST(WorkFolder, RefusesAFolderOthersCanWriteOrALink)
{
    TempEnvironment temp;
    ASSERT_TRUE(QDir().mkpath(temp.work()));
    ::chmod(QFile::encodeName(temp.work()).constData(), 0777);
    const QString message = PrepareWorkFolder();
    EXPECT_TRUE(message.contains("other users")) << message.toStdString();

    ASSERT_TRUE(QDir(temp.work()).removeRecursively());
    QTemporaryDir elsewhere;
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere.path()).constData(),
                        QFile::encodeName(temp.work()).constData()),
              0);
    EXPECT_TRUE(PrepareWorkFolder().contains("symbolic link"));

    ::unlink(QFile::encodeName(temp.work()).constData());
    QFile plain(temp.work());
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_TRUE(PrepareWorkFolder().contains("not a folder"));
}

TEST(WorkFolder, RefusesATempOthersCanWriteWithoutTheStickyBit)
{
    TempEnvironment temp;
    ::chmod(QFile::encodeName(temp.root()).constData(), 0777);
    const QString message = PrepareWorkFolder();
    EXPECT_TRUE(message.contains("sticky bit")) << message.toStdString();
    EXPECT_FALSE(QDir(temp.work()).exists());  // refused before anything was made in it

    ::chmod(QFile::encodeName(temp.root()).constData(), 01777);  // as /tmp
    EXPECT_EQ(PrepareWorkFolder(), QString());
}
