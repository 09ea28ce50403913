// Draws the window at build time for the AppStream entry: Form1 built offscreen, the given
// files in its job list, grabbed into a PNG file.
// Usage: tarnivo-screenshot OUTPUT.png [FILE...]
//
// It never touches the settings of whoever builds it: the window reads and writes its settings
// in a folder of its own that is removed at the end. The picture shows no path of the build
// machine: once the list has read the files, its rows and the output folder name a plain home
// folder instead, as a user's window shows them. The window is made just tall enough for every
// row to show whole.
#include "Form1.h"
#include "JobListView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

namespace {

constexpr int kBackgroundWorkDeadlineMs = 60000;
const QString kShownVideos = QStringLiteral("/home/user/Videos/");

void complain(const QString& text) { std::fprintf(stderr, "tarnivo-screenshot: %s\n", qPrintable(text)); }

// A home of its own for the settings and caches.
bool makeHome(const QTemporaryDir& home)
{
    if (!home.isValid())
        return false;
    const QDir folder(home.path());
    const std::pair<const char*, const char*> variables[] = {
        {"XDG_CONFIG_HOME", ".config"}, {"XDG_CACHE_HOME", ".cache"}, {"XDG_DATA_HOME", ".local/share"}};
    for (const auto& [variable, subfolder] : variables) {
        if (!folder.mkpath(QLatin1String(subfolder)))
            return false;
        qputenv(variable, QFile::encodeName(folder.filePath(QLatin1String(subfolder))));
    }
    qputenv("HOME", QFile::encodeName(home.path()));
    const QString runtime = folder.filePath(QStringLiteral("runtime"));
    if (!folder.mkpath(runtime) ||
        !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return false;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    return true;
}

// Lets the window's events run until done() holds or the deadline passes.
void waitUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(kBackgroundWorkDeadlineMs);
    QEventLoop waiting;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (done() || deadline.hasExpired())
            waiting.quit();
    });
    look.start(50);
    waiting.exec();
    QCoreApplication::processEvents();
}

// The list's rows named as if the files lay in kShownVideos; what the list read of the files
// (pictures, lengths, sizes) stays with the rows.
void showPlainPaths(tarnivo::JobListView& list)
{
    for (int index = 0; index < list.topLevelItemCount(); ++index) {
        QTreeWidgetItem* row = list.topLevelItem(index);
        row->setText(0, kShownVideos + QFileInfo(row->text(0)).fileName());
    }
}

// The window's height at which the list shows its header and every row whole.
int heightForWholeRows(const QWidget& window, const tarnivo::JobListView& list)
{
    int rows = 0;
    for (int index = 0; index < list.topLevelItemCount(); ++index)
        rows += list.sizeHintForRow(index);
    const int wanted = list.header()->height() + rows + 2 * list.frameWidth();
    return window.height() + std::max(0, wanted - list.height());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        complain(QStringLiteral("usage: tarnivo-screenshot OUTPUT.png [FILE...]"));
        return 2;
    }
    // Built anywhere, drawn nowhere on a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tarnivo-screenshot-XXXXXX"));
    if (!makeHome(home)) {
        complain(QStringLiteral("cannot make a folder in %1").arg(QDir::tempPath()));
        return 1;
    }
    QApplication application(argc, argv);
    const QString output = QFile::decodeName(argv[1]);
    QStringList files;
    for (int i = 2; i < argc; ++i)
        files << QFileInfo(QFile::decodeName(argv[i])).absoluteFilePath();

    tarnivo::Form1 window;
    window.findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(kShownVideos);
    window.AddFilesFromCommandLine(files);
    window.show();
    auto* list = window.findChild<tarnivo::JobListView*>(QStringLiteral("ListView1"));
    if (!list) {
        complain(QStringLiteral("the window has no job list"));
        return 1;
    }
    // What the list reads about its films in the background is shown before the picture is taken.
    waitUntil([list] { return !list->ReadingFilms(); });
    showPlainPaths(*list);
    const int height = heightForWholeRows(window, *list);
    window.resize(window.width(), height);
    waitUntil([&] { return window.height() == height && list->verticalScrollBar()->maximum() == 0; });
    const QImage picture = window.grab().toImage();
    window.close();

    if (picture.isNull() || !picture.save(output, "PNG") || QImage(output).size() != picture.size()) {
        complain(QStringLiteral("cannot write %1").arg(output));
        QFile::remove(output);
        return 1;
    }
    return 0;
}
