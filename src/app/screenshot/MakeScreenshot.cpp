// Draws the window at build time for the AppStream entry: Form1 built offscreen, the given
// files in its job list, grabbed into a PNG file.
// Usage: tarnivo-screenshot OUTPUT.png [FILE...]
//
// It never touches the settings of whoever builds it: the window reads and writes its settings
// in a folder of its own that is removed at the end, and the files are listed from copies in
// that folder's "Videos", so the picture shows no path of the build machine.
#include "Form1.h"
#include "JobListView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace {

constexpr int kBackgroundWorkDeadlineMs = 60000;

void complain(const QString& text) { std::fprintf(stderr, "tarnivo-screenshot: %s\n", qPrintable(text)); }

// A home of its own, with the "Videos" folder the listed files are copied into.
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
    return folder.mkpath(QStringLiteral("Videos/Reversed"));
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
    const QString videos = home.path() + QStringLiteral("/Videos/");
    QStringList files;
    for (int i = 2; i < argc; ++i) {
        const QString source = QFile::decodeName(argv[i]);
        const QString copy = videos + QFileInfo(source).fileName();
        if (!QFile::copy(source, copy)) {
            complain(QStringLiteral("cannot copy %1").arg(source));
            return 1;
        }
        files << copy;
    }

    tarnivo::Form1 window;
    window.findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(videos + QStringLiteral("Reversed/"));
    window.AddFilesFromCommandLine(files);
    window.show();
    // What the list reads about its films in the background (pictures, lengths, sizes) is
    // shown before the picture is taken.
    const auto* list = window.findChild<tarnivo::JobListView*>(QStringLiteral("ListView1"));
    const QDeadlineTimer deadline(kBackgroundWorkDeadlineMs);
    QEventLoop waiting;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (!list || !list->ReadingFilms() || deadline.hasExpired())
            waiting.quit();
    });
    look.start(50);
    waiting.exec();
    QCoreApplication::processEvents();
    const QImage picture = window.grab().toImage();
    window.close();

    if (picture.isNull() || !picture.save(output, "PNG") || QImage(output).size() != picture.size()) {
        complain(QStringLiteral("cannot write %1").arg(output));
        QFile::remove(output);
        return 1;
    }
    return 0;
}
