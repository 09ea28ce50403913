#include "FileRoutines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tarnivo;

namespace {

void touch(const QString& path, const QByteArray& bytes = "x")
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

}  // namespace

TEST(ExistenceTests, FilesFoldersAndMissingPaths)
{
    QTemporaryDir folder;
    const QString file = folder.path() + "/clip.avi";
    touch(file);
    EXPECT_TRUE(PathExists(folder.path()));
    EXPECT_TRUE(FolderExists(folder.path()));
    EXPECT_FALSE(IsFile(folder.path()));
    EXPECT_TRUE(PathExists(file));
    EXPECT_FALSE(FolderExists(file));
    EXPECT_TRUE(IsFile(file));
    EXPECT_FALSE(PathExists(folder.path() + "/missing"));
    EXPECT_FALSE(FolderExists(""));
    EXPECT_FALSE(IsFile(""));

    // Links are followed; a dangling link is nothing.
    ASSERT_EQ(::symlink(QFile::encodeName(file).constData(),
                        QFile::encodeName(folder.path() + "/link").constData()),
              0);
    EXPECT_TRUE(IsFile(folder.path() + "/link"));
    ASSERT_EQ(::symlink("/nonexistent/target", QFile::encodeName(folder.path() + "/dangling").constData()),
              0);
    EXPECT_FALSE(PathExists(folder.path() + "/dangling"));

    if (::geteuid() != 0) {  // root can open anything
        ::chmod(QFile::encodeName(file).constData(), 0);
        EXPECT_FALSE(IsFile(file));
    }
}

TEST(ListFiles, ListsEveryMatchingFileBeyondTheFirstHundred)
{
    QTemporaryDir folder;
    for (int i = 1; i <= 150; ++i)
        touch(folder.path() + QString("/%1.jpg").arg(i, 6, 10, QChar('0')));
    touch(folder.path() + "/audio.wav");
    QDir(folder.path()).mkdir("sub.jpg");  // folders are never listed
    QStringList names = ListFiles(folder.path(), "*.jpg");
    EXPECT_EQ(names.size(), 150);
    names.sort();
    EXPECT_EQ(names.first(), "000001.jpg");
    EXPECT_EQ(names.last(), "000150.jpg");
    EXPECT_EQ(ListFiles(folder.path() + "/", "*.JPG").size(), 150);  // trailing "/" and letter case
    EXPECT_TRUE(ListFiles(folder.path(), "*.png").isEmpty());
    EXPECT_TRUE(ListFiles(folder.path() + "/missing", "*.*").isEmpty());
}

TEST(ListFiles, PatternsMatchWithoutRegardToCase)
{
    QTemporaryDir folder;
    for (const char* name : {"CLIP.AVI", "clip.avi", "README", ".hidden", "a[1].avi", "x.avi.bak"})
        touch(folder.path() + "/" + name);
    QStringList all = ListFiles(folder.path(), "*.*");
    all.sort();
    EXPECT_EQ(all, (QStringList{".hidden", "CLIP.AVI", "README", "a[1].avi", "clip.avi", "x.avi.bak"}));
    QStringList avis = ListFiles(folder.path(), "*.avi");
    avis.sort();
    EXPECT_EQ(avis, (QStringList{"CLIP.AVI", "a[1].avi", "clip.avi"}));
    EXPECT_EQ(ListFiles(folder.path(), "a[1].*"), QStringList{"a[1].avi"});  // brackets are literal
    EXPECT_EQ(ListFiles(folder.path(), "READM?"), QStringList{"README"});
    EXPECT_TRUE(MatchesPattern("Ünïcode.MP4", "ü*.mp4"));
    EXPECT_FALSE(MatchesPattern("clip.avi", "*.av"));
}

TEST(KillFiles, DeletesFilesByNameOrPatternAndNeverFolders)
{
    QTemporaryDir folder;
    const QString f = folder.path();
    for (const char* name : {"a.jpg", "B.JPG", "c.wav", "noext", "keep.txt"})
        touch(f + "/" + name);
    QDir(f).mkdir("Renamed");
    touch(f + "/Renamed/image1.jpg");

    KillFiles(f + "/*.jpg");
    EXPECT_FALSE(QFile::exists(f + "/a.jpg"));
    EXPECT_FALSE(QFile::exists(f + "/B.JPG"));
    EXPECT_TRUE(QFile::exists(f + "/c.wav"));
    EXPECT_TRUE(QFile::exists(f + "/Renamed/image1.jpg"));

    KillFiles(f + "/keep.txt");
    EXPECT_FALSE(QFile::exists(f + "/keep.txt"));
    KillFiles(f + "/missing.txt");  // nothing happens
    KillFiles(f + "/none*.xyz");

    KillFiles(f + "/*.*");
    EXPECT_FALSE(QFile::exists(f + "/c.wav"));
    EXPECT_FALSE(QFile::exists(f + "/noext"));
    EXPECT_TRUE(QDir(f + "/Renamed").exists());
    KillFiles(f + "/Renamed");  // a folder named directly stays
    EXPECT_TRUE(QDir(f + "/Renamed").exists());
}

TEST(KillFiles, RemovesALinkButNotWhatItPointsTo)
{
    QTemporaryDir folder;
    QTemporaryDir elsewhere;
    const QString precious = elsewhere.path() + "/precious.avi";
    touch(precious);
    ASSERT_EQ(::symlink(QFile::encodeName(precious).constData(),
                        QFile::encodeName(folder.path() + "/link.avi").constData()),
              0);
    KillFiles(folder.path() + "/*.*");
    EXPECT_FALSE(QFileInfo(folder.path() + "/link.avi").isSymLink());
    EXPECT_TRUE(QFile::exists(precious));
}

TEST(TextRoutines, WriteStripAndName)
{
    QTemporaryDir folder;
    const QString path = folder.path() + "/jpg2avi.tmp";
    touch(path, "a much longer old content that must go");
    WriteTextToFile("jpg2avi", path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("jpg2avi\r\n"));
    EXPECT_THROW(WriteTextToFile("x", folder.path() + "/missing/folder/f.txt"), FileRoutineError);

    EXPECT_EQ(StripExtension("my.holiday.clip.mov"), "my.holiday.clip");
    EXPECT_EQ(StripExtension("/w/temp/000001.jpg"), "/w/temp/000001");
    EXPECT_THROW(StripExtension("noext"), FileRoutineError);
    EXPECT_EQ(FileNameOf("/w/temp/000001"), "000001");
    EXPECT_EQ(FileNameOf("plain"), "plain");
    EXPECT_EQ(FileNameOf("/w/temp/"), "");
}
