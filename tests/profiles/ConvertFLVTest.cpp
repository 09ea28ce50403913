// ConvertFLV with the real engine: the output names it finds in a real folder, the settings it
// hands over, its refusals, and real conversions through the deployed ffmpeg front end.
#include "AVC.h"
#include "ConvertFLV.h"
#include "MediaTestSupport.h"
#include "MessageSink.h"
#include "OutputFolder.h"
#include "ProcessRunner.h"
#include "WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tarnivo {
namespace {

using Result = ConversionAttempt::Result;

class RecordingSink : public MessageSink {
public:
    void ShowMessage(const QString& text) override { entries << "message:" + text; }
    void ShowErrorReport(const QString& text) override { entries << "error:" + text; }
    void ShowWarning(const QString& title, const QString& text) override
    {
        entries << "warning:" + title + "|" + text;
    }
    QStringList entries;
};

// The custom panel with all eight boxes empty, no option and no check selected.
CustomFormatValues EmptyPanel()
{
    CustomFormatValues panel;
    panel.stereo = false;
    return panel;
}

// The first-start panel with the extension typed without its dot, SameQuality greyed (not set)
// and DeInterlace checked.
CustomFormatValues AviPanelWithoutDot()
{
    return {"avi", "320x240", "29.97", "360", "mpeg4", "mp2", "128", "44100", 2, 1, false, true};
}

enum Tools { NoTools, DeployedTools };

struct Case {
    const char* what;
    const char* profile;
    const char* inputName;  // file name of the list entry
    CustomFormatValues custom;
    std::vector<const char*> before;  // already in the output folder: empty files, folders
                                      // ending in "/", links to nothing ending in "@"
    bool allNumbersTaken;             // clip.avi and clip0.avi to clip32767.avi exist
    bool folderEndsInSlash;
    Tools tools;  // without them the engine refuses and keeps its settings to look at
    Result result;
    const char* output;   // the result's name in the output folder ("" when nothing was made)
    const char* options;  // the command line's switches when the engine refused (nullptr: not checked)
    const char* message;  // what the user was told, "{out}" standing for the folder ("" for nothing)
};

const char* const kXvidBest = "AVI (MPEG4-XviD-Best Quality)";

// One engine serves every row in turn, as in a job: the custom row right after the refused
// xvid row shows that nothing of the refused call is left.
// clang-format off
const std::vector<Case> kCases = {
    {"xvid best quality", kXvidBest, "clip.mp4", {}, {}, false, true, NoTools, Result::Started, "",
     "-y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2 ", ""},
    {"custom, empty boxes", "Custom Format", "clip.mp4", EmptyPanel(), {}, false, true, NoTools, Result::Started, "", "-y ", ""},
    {"custom avi without dot", "Custom Format", "clip.mp4", AviPanelWithoutDot(), {}, false, true, NoTools, Result::Started, "",
     "-y -b 360 -r 29.97 -s 320x240 -vcodec mpeg4 -deinterlace -acodec mp2 -ab 128 -ar 44100 -ac 2 ", ""},
    {"clip and clip0 taken", kXvidBest, "clip.mp4", {}, {"clip.avi", "clip0.avi"}, false, true, DeployedTools, Result::Started, "clip1.avi", nullptr, ""},
    {"a folder blocks too", kXvidBest, "clip.mp4", {}, {"clip.avi/"}, false, true, DeployedTools, Result::Started, "clip0.avi", nullptr, ""},
    {"a link to nothing blocks", kXvidBest, "clip.mp4", {}, {"clip.avi@"}, false, true, DeployedTools, Result::Started, "clip0.avi", nullptr, ""},
    {"last extension only", "MP3 Sound (MP3)", "my.holiday.clip.mov", {}, {}, false, true, DeployedTools, Result::Started, "my.holiday.clip.mp3", nullptr, ""},
    {"outer spaces trimmed", kXvidBest, "  clip  .mp4", {}, {}, false, true, DeployedTools, Result::Started, "clip.avi", nullptr, ""},
    {"name without dot", kXvidBest, "clip", {}, {}, false, true, DeployedTools, Result::Started, "clip.avi", nullptr, ""},
    {"folder without slash", kXvidBest, "clip.mp4", {}, {}, false, false, DeployedTools, Result::Started, "clip.avi", nullptr, ""},
    {"wrong letter case", "avi (mpeg4-xvid-best quality)", "clip.mp4", {}, {}, false, true, DeployedTools, Result::ProfileNotDefined, "", nullptr,
     "warning:Not Supported|Error: avi (mpeg4-xvid-best quality) is not defined."},
    {"empty profile name", "", "clip.mp4", {}, {}, false, true, DeployedTools, Result::ProfileNotDefined, "", nullptr,
     "warning:Not Supported|Error:  is not defined."},
    {"every number taken", kXvidBest, "clip.mp4", {}, {}, true, true, DeployedTools, Result::NoFreeName, "", nullptr,
     "message:No free output name is left in the folder \"{out}/\": \"clip.avi\" and \"clip0.avi\" to "
     "\"clip32767.avi\" all exist. Nothing was converted."},
};
// clang-format on

void MakeEmptyFile(const QString& path) { QFile(path).open(QIODevice::WriteOnly); }

// The output folder's entries with their sizes ("clip.avi:0", "clip.avi/" for a folder).
QStringList FolderContents(const QString& folder)
{
    QStringList contents;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
        contents << entry.fileName() + (entry.isDir() ? "/" : ":" + QString::number(entry.size()));
    contents.sort();
    return contents;
}

TEST(ConvertFLV, NamesSettingsAndRefusals)
{
    QTemporaryDir media;
    const QString source = media.path() + "/rvideo.avi";
    test::ClipOptions clip;
    clip.frames = 10;
    ASSERT_TRUE(test::MakeClip(source, clip));

    AVC engine(nullptr, nullptr);
    int engineEvents = 0;
    QObject::connect(&engine, &AVC::Complete, [&] { ++engineEvents; });
    QObject::connect(&engine, &AVC::ErrorEvent, [&] { ++engineEvents; });

    for (const Case& row : kCases) {
        SCOPED_TRACE(row.what);
        test::TempEnvironment environment;
        if (row.tools == DeployedTools)
            test::InstallToolsInto(WorkFolder());
        // The folder's name holds a space, a quote and a non-ASCII letter: they reach ffmpeg as they are.
        const QString out = environment.root() + QString::fromUtf8("/out 'f\xc3\xbcr' me");
        ASSERT_TRUE(QDir().mkpath(out));
        for (const QString name : row.before) {
            if (name.endsWith("/"))
                ASSERT_TRUE(QDir().mkpath(out + "/" + name));
            else if (name.endsWith("@"))
                ASSERT_TRUE(QFile::link(out + "/missing", out + "/" + name.chopped(1)));
            else
                MakeEmptyFile(out + "/" + name);
        }
        if (row.allNumbersTaken) {
            MakeEmptyFile(out + "/clip.avi");
            for (int number = 0; number <= 32767; ++number)
                MakeEmptyFile(out + "/clip" + QString::number(number) + ".avi");
        }
        const QStringList contentsBefore = FolderContents(out);

        RecordingSink sink;
        engineEvents = 0;
        OutputFolder folder;
        ASSERT_EQ(folder.Open(row.folderEndsInSlash ? out + "/" : out), "");
        ConversionAttempt attempt =
            ConvertFLV(engine, source, QString::fromUtf8(row.profile),
                       "/in/" + QString::fromUtf8(row.inputName), folder, row.custom, sink);
        if (engine.IsConverting()) {
            // The result is named once its tool has ended and it reads back whole.
            ASSERT_TRUE(test::ProcessEventsUntil([&] { return !engine.IsConverting(); }, 600000));
            RunningTools tools;
            ConversionCheck check(tools, sink);
            bool checked = false;
            QObject::connect(&check, &ConversionCheck::Finished, [&](const ConversionAttempt& done) {
                attempt = done;
                checked = true;
            });
            check.Start(attempt, engine, folder, source, IntermediatePicture());
            ASSERT_TRUE(test::ProcessEventsUntil([&] { return checked; }, 600000));
        }

        EXPECT_EQ(attempt.result, row.result);
        const QString expectedMessage = QString::fromUtf8(row.message).replace("{out}", out);
        EXPECT_EQ(sink.entries, expectedMessage.isEmpty() ? QStringList() : QStringList{expectedMessage});
        const bool started = row.result == Result::Started;
        const QString destination = *row.output ? out + "/" + row.output : QString();
        EXPECT_EQ(attempt.destination, destination);
        EXPECT_EQ(engineEvents, started ? 1 : 0);
        QStringList contents = FolderContents(out);
        if (started && row.tools == NoTools) {
            EXPECT_EQ(engine.LastRun().refusal, kToolMissingMessage);
            EXPECT_EQ(attempt.failure, kToolMissingMessage);
            // ffmpeg was to write a hidden file of this call's own, deleted after the refusal.
            EXPECT_TRUE(QFileInfo(attempt.temporary).fileName().startsWith(".clip.tarnivo-"));
            if (row.options) {
                EXPECT_EQ(engine.BuildCommandLine(true), ProgramToken(ConversionToolPath()) + " -i " +
                                                             QuoteForCommandLine(source) + " " + row.options +
                                                             QuoteForCommandLine(attempt.temporary));
            }
        } else if (started) {
            EXPECT_EQ(engine.LastRun().exitStatus, 0) << engine.LastRun().errorLines.join("\n").toStdString();
            EXPECT_FALSE(test::StreamEntry(destination, "a:0", "codec_name").isEmpty());
            contents.removeAll(QString(row.output) + ":" + QString::number(QFileInfo(destination).size()));
        }
        // Nothing but the new output appeared, and nothing that was there changed.
        EXPECT_EQ(contents, contentsBefore);
    }
}

}  // namespace
}  // namespace tarnivo
