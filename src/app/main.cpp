// Tarnivo's window. Files and folders named on the command line ("Open With Tarnivo") are put
// into the job list at start-up, in order.
#include "Form1.h"
#include "ProcessRunner.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    tarnivo::SetDocumentOpener(
        [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
    tarnivo::Form1 window;
    window.AddFilesFromCommandLine(QCoreApplication::arguments().mid(1));
    window.show();
    return application.exec();
}
