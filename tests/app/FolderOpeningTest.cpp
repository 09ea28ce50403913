// "Open this folder?" answered Yes: the folder goes to the desktop's opener through xdg-open (a
// script here) exactly as named, and a folder that cannot be opened is told in a warning with
// its path instead of a line on standard error.
#include "DesktopOpener.h"
#include "JobFeedback.h"
#include "ShellOpen.h"
#include "WindowTestSupport.h"

namespace tarnivo {
namespace {

class FolderOpening : public test::WindowTest {};

TEST_F(FolderOpening, AFolderThatCannotBeOpenedIsToldWithItsPath)
{
    const QString folder = this->folder() + "/it's $HOME 100% \"Ü\" \\ out/";
    QDir().mkpath(folder);
    const QString bin = this->folder() + "/bin";
    QDir().mkpath(bin);
    test::ScopedEnvironment path("PATH", bin);
    // The scripts end at once: the verdict never waits for the deadline.
    SetDocumentOpener([](const QString& opened) { return OpenWithDesktop(opened, 600000); });
    const QString told = "warning:Tarnivo|The folder could not be opened:\n%1\n\n";
    const QString noProgram = "No program to show folders (a file manager) could open it; open it yourself.";
    struct Case {
        const char* what;
        const char* xdgOpen;  // the script's status, or nullptr for none on PATH
        QString folder;
        QString log;  // what the dialogs showed
    };
    const Case cases[] = {
        {"xdg-open opens it", "0", folder, ""},
        {"xdg-open finds no program for folders", "3", folder, told.arg(folder) + noProgram},
        {"no xdg-open: Qt's opener has none on this platform", nullptr, folder, told.arg(folder) + noProgram},
        {"the folder is gone", "0", folder + "gone/", told.arg(folder + "gone/") + "It no longer exists."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(bin + "/xdg-open");
        QFile::remove(bin + "/xdg-open.arg");
        if (c.xdgOpen) {
            QFile script(bin + "/xdg-open");
            ASSERT_TRUE(script.open(QIODevice::WriteOnly));
            script.write(QByteArray("#!/bin/sh\nprintf '%s' \"$1\" > \"$0.arg\"\nexit ") + c.xdgOpen + "\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        dialogs.log.clear();
        OpenFolder(dialogs, "Tarnivo", c.folder);
        EXPECT_EQ(dialogs.log.join('\n'), c.log);
        if (c.xdgOpen && c.folder == folder) {
            QFile argument(bin + "/xdg-open.arg");
            ASSERT_TRUE(argument.open(QIODevice::ReadOnly));
            EXPECT_EQ(QString::fromUtf8(argument.readAll()), folder);
        }
    }
    SetDocumentOpener(nullptr);
}

}  // namespace
}  // namespace tarnivo
