// Tarnivo's window. Files and folders named on the command line ("Open With Tarnivo") are put
// into the job list at start-up, in order. SIGINT and SIGTERM close the window as its close
// button does, so a running job is cancelled and cleaned up first.
#include "Form1.h"
#include "ShellOpen.h"
#include "StopSignals.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    tarnivo::SetDocumentOpener(
        [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
    tarnivo::Form1 window;
    tarnivo::OnStopSignals(&window, [&window] { window.close(); });
    window.AddFilesFromCommandLine(QCoreApplication::arguments().mid(1));
    window.show();
    return application.exec();
}
