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

TEST(WorkFolder, WithoutTempUsesAPrivateFolderOfTheUsersOwn)
{
    QTemporaryDir runtime;
    ScopedEnvironment noTemp("TEMP", "");
    ScopedEnvironment xdg("XDG_RUNTIME_DIR", runtime.path());
    EXPECT_EQ(TempRoot(), runtime.path() + "/tarnivo");
    EXPECT_EQ(modeOf(runtime.path() + "/tarnivo"), 0700u);
    EXPECT_EQ(PrepareWorkFolder(), QString());
    EXPECT_TRUE(QDir(runtime.path() + "/tarnivo/temp/Renamed").exists());

    ScopedEnvironment noXdg("XDG_RUNTIME_DIR", "");
    EXPECT_EQ(TempRoot(), QDir::tempPath() + "/tarnivo-" + QString::number(::getuid()));
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
