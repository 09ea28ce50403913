#include "Usage.h"

#include "FileIntake.h"
#include "FileRoutines.h"
#include "ProfileCatalogue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <utility>

namespace tarnivo {

namespace {

void printLine(FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

void say(const QString& text) { printLine(stdout, text); }

// Bad usage, in the voice of every usage error; returns the exit status for it.
int refuse(const QString& text)
{
    printLine(stderr, QStringLiteral("tarnivo-reverse: ") + text);
    return kExitUsage;
}

QString helpText()
{
    return QStringLiteral(
        "Makes videos play backwards. Every FILE is split into frames, reversed with its sound, and\n"
        "converted into the chosen output profile in the output folder. An existing file is never\n"
        "overwritten: the output is named after the file, with a number added when the name is taken.\n"
        "\n"
        "A profile is named by its short id (mp4, webm, avi-xvid, ...) or by its full name;\n"
        "--list-profiles prints both.\n"
        "\n"
        "The profile and the output folder default to the ones last chosen in Tarnivo's window\n"
        "(\"AVI (MPEG4-XviD-Best Quality)\" and the desktop folder, else the videos folder, else the\n"
        "home folder on a first start); the first line then names the profile. \"Custom Format\"\n"
        "uses the custom settings last chosen there.\n"
        "\n"
        "The work is done in $TEMP/temp; when TEMP is not set, in $XDG_CACHE_HOME/tarnivo/temp\n"
        "(~/.cache/tarnivo/temp), on disk: a film's frames can need gigabytes. One job at a time\n"
        "uses a working folder; give each job its own TEMP to run several side by side. Tarnivo\n"
        "works only in a working folder of its own (marked by tarnivo-working-folder.txt) and\n"
        "deletes only the files it made there.\n"
        "\n"
        "--from and --to reverse a part of every FILE instead of the whole: a TIME is seconds\n"
        "(12.5) or h:mm:ss.ms (1:02:03.5, 2:03); without --from the part starts with the film,\n"
        "without --to it ends with it. --boomerang makes the film (or its part) play forward and\n"
        "then backward, its sound too, the turning picture shown once.\n"
        "\n"
        "A FILE that is a folder brings all its files, those of its sub-folders included, in name\n"
        "order. While the job runs, a line on the terminal tells the file, the step, how far it\n"
        "is, the speed, the time spent and the time left.\n"
        "\n"
        "Exit status: 0 when every file gave its output, 1 when a file failed or the job was\n"
        "cancelled (Ctrl+C), 2 for bad usage. Ctrl+Z pauses the job (its tools stop too) and fg\n"
        "goes on with it.");
}

// What the parser could not take, in the voice of the other usage errors: "unknown option
// '--bogus' (see --help)" rather than Qt's "Unknown option 'bogus'.".
QString parseProblem(const QCommandLineParser& parser)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString& name = unknown.front();
        const QString dashes = name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
        return QStringLiteral("unknown option '%1%2' (see --help)").arg(dashes, name);
    }
    QString text = parser.errorText();  // "Missing value after '--out'." and the like
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text + QStringLiteral(" (see --help)");
}

// The files to reverse: each FILE as given, a folder replaced by its files. A folder that
// brings no file is named in *emptyFolders, a file in it whose name is not UTF-8 in *refused.
QStringList filesToReverse(const QStringList& arguments, QStringList* emptyFolders, QStringList* refused)
{
    QStringList files;
    for (const QString& argument : arguments) {
        if (FolderExists(argument)) {
            const qsizetype refusedBefore = refused->size();
            const QStringList found = FilesOfFolderTree(
                QDir::cleanPath(QDir::current().absoluteFilePath(argument)), QStringLiteral("*.*"), refused);
            if (found.isEmpty() && refused->size() == refusedBefore)
                *emptyFolders << argument;
            files << found;
        } else {
            files << argument;
        }
    }
    return files;
}

// Every profile's id and name, one a line, the names aligned.
void listProfiles()
{
    int width = 0;
    for (const std::string& name : ProfileNames())
        width = std::max(width, static_cast<int>(ProfileId(name).size()));
    for (const std::string& name : ProfileNames())
        say(QString::fromStdString(ProfileId(name)).leftJustified(width + 2) + QString::fromStdString(name));
}

// Why the custom settings cannot make a file of their extension (the job would refuse them
// before its first file); empty for another profile or settings that fit.
QString customContainerProblem(const StoredChoices& choices)
{
    if (choices.profileName != QLatin1String(kCustomFormat))
        return QString();
    const CustomFormatValues& custom = choices.custom;
    return QString::fromStdString(CustomContainerProblem(
        custom.videoCodec.toStdString(), custom.audioCodec.toStdString(), custom.extension.toStdString()));
}

// The part --from and --to ask for, or why they cannot be one.
QString readPart(const QCommandLineParser& parser, const QCommandLineOption& from,
                 const QCommandLineOption& to, FilmPart& part)
{
    const std::pair<const QCommandLineOption*, double FilmPart::*> times[] = {{&from, &FilmPart::from},
                                                                              {&to, &FilmPart::to}};
    for (const auto& [option, member] : times) {
        if (!parser.isSet(*option))
            continue;
        const QString text = parser.value(*option);
        const std::optional<double> seconds = ParseFilmTime(text);
        if (!seconds)
            return QStringLiteral(
                       "--%1 '%2' is no time (seconds such as 12.5, or h:mm:ss.ms such as 1:02:03.5)")
                .arg(option->names().constLast(), ShownValue(text));
        part.*member = *seconds;
    }
    if (part.to >= 0 && part.to <= part.from)
        return QStringLiteral("--to %1 is not after --from %2")
            .arg(FilmTimeText(part.to), FilmTimeText(part.from));
    return QString();
}

// The first line when the profile comes from the window's choice.
QString profileLine(const StoredChoices& choices)
{
    const std::string name = choices.profileName.toStdString();
    QString line = QStringLiteral("Profile \"%1\" (%2), the window's choice")
                       .arg(choices.profileName, QString::fromStdString(ProfileId(name)));
    if (name == kCustomFormat)
        line += QStringLiteral(" with its custom settings (video %1, sound %2, %3)")
                    .arg(choices.custom.videoCodec, choices.custom.audioCodec, choices.custom.extension);
    return line + QStringLiteral("; --profile chooses another.");
}

// The output folder's problem, or empty when it is a folder.
QString outputFolderProblem(const QString& asked, const QString& absolute)
{
    if (QFileInfo(absolute).isDir())
        return QString();
    // Bytes that are not UTF-8 come in as U+FFFD: the folder may well exist under its real name.
    if (asked.contains(QChar(QChar::ReplacementCharacter)))
        return QStringLiteral("output folder '%1': the name is not valid UTF-8; rename the folder")
            .arg(ShownValue(asked));
    return QStringLiteral("output folder '%1' does not exist").arg(ShownValue(asked));
}

}  // namespace

int ReadUsage(const QStringList& arguments, Usage& usage)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(helpText());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption profile(
        QStringList{QStringLiteral("p"), QStringLiteral("profile")},
        QStringLiteral("The output profile: its id or its full name (see --list-profiles)."),
        QStringLiteral("ID|NAME"));
    const QCommandLineOption out(QStringList{QStringLiteral("o"), QStringLiteral("out")},
                                 QStringLiteral("The folder the outputs are written to."),
                                 QStringLiteral("FOLDER"));
    const QCommandLineOption list(QStringLiteral("list-profiles"),
                                  QStringLiteral("Print each profile's id and name, and exit."));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Print only problems and failed files."));
    const QCommandLineOption from(
        QStringLiteral("from"),
        QStringLiteral("Reverse every file from this time on (seconds or h:mm:ss.ms)."),
        QStringLiteral("TIME"));
    const QCommandLineOption to(QStringLiteral("to"),
                                QStringLiteral("Reverse every file up to this time (seconds or h:mm:ss.ms)."),
                                QStringLiteral("TIME"));
    const QCommandLineOption boomerang(
        QStringLiteral("boomerang"),
        QStringLiteral("Forward, then backward: the film, then the film reversed."));
    parser.addOptions({profile, out, from, to, boomerang, list, quiet});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The videos to reverse."),
                                 QStringLiteral("FILE..."));
    if (!parser.parse(arguments))
        return refuse(parseProblem(parser));
    if (parser.isSet(QStringLiteral("help"))) {
        say(parser.helpText().trimmed());
        return kExitSuccess;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        say(QStringLiteral("tarnivo-reverse ") + QCoreApplication::applicationVersion());
        return kExitSuccess;
    }
    if (parser.isSet(list)) {
        listProfiles();
        return kExitSuccess;
    }

    usage.quiet = parser.isSet(quiet);
    usage.boomerang = parser.isSet(boomerang);
    if (const QString problem = readPart(parser, from, to, usage.part); !problem.isEmpty())
        return refuse(problem);
    usage.choices = ReadStoredChoices();
    const QString asked = parser.isSet(profile) ? parser.value(profile) : usage.choices.profileName;
    usage.choices.profileName = QString::fromStdString(ProfileNameFor(asked.toStdString()));
    const QString outputFolder = parser.isSet(out) ? parser.value(out) : usage.choices.outputFolder;
    usage.choices.outputFolder = QDir::current().absoluteFilePath(outputFolder);
    for (const QString& notice : NoticesOfChoicesUsed(usage.choices, parser.isSet(out), parser.isSet(profile)))
        printLine(stderr, QStringLiteral("tarnivo-reverse: ") + notice);

    if (usage.choices.profileName.isEmpty())
        return refuse(QStringLiteral("unknown profile '%1' (see --list-profiles)").arg(ShownValue(asked)));
    if (QString problem = customContainerProblem(usage.choices); !problem.isEmpty()) {
        // "... Choose the extension .mp4, .mov, or another codec." said where to choose them.
        if (problem.endsWith(QLatin1Char('.')))
            problem.chop(1);
        return refuse(problem +
                      QStringLiteral(" in Tarnivo's window, or another profile (see --list-profiles)"));
    }
    if (const QString problem = outputFolderProblem(outputFolder, usage.choices.outputFolder);
        !problem.isEmpty())
        return refuse(problem);
    QStringList emptyFolders;
    try {
        usage.files = filesToReverse(parser.positionalArguments(), &emptyFolders, &usage.refused);
    } catch (const std::exception& error) {
        return refuse(QString::fromUtf8(error.what()));
    }
    if (usage.files.isEmpty() && usage.refused.isEmpty())
        return refuse(parser.positionalArguments().isEmpty()
                          ? QStringLiteral("no FILE given (see --help)")
                          : QStringLiteral("no files in the folders given"));
    // Beside other files an empty folder is no reason to stop, but it is not passed over in silence.
    for (const QString& folder : std::as_const(emptyFolders))
        printLine(stderr, QStringLiteral("tarnivo-reverse: the folder '%1' holds no files").arg(folder));
    if (!parser.isSet(profile) && !usage.quiet)
        say(profileLine(usage.choices));
    return kRunTheJob;
}

}  // namespace tarnivo
