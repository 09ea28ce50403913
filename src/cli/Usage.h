// tarnivo-reverse's command line, read before any work:
//
//   tarnivo-reverse [--profile ID|NAME] [--out FOLDER] [--from TIME] [--to TIME] [--boomerang]
//                   [--quiet] FILE...
//   tarnivo-reverse --list-profiles | --help | --version
//
// Bad usage is told in one line on standard error, "tarnivo-reverse: ...", with a pointer to
// --help or --list-profiles where they help, and ends the program with kExitUsage.
#pragma once

#include "FilmPart.h"
#include "SettingsStore.h"

#include <QStringList>

namespace tarnivo {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// ReadUsage's answer when the job is to run.
constexpr int kRunTheJob = -1;

struct Usage {
    QStringList files;      // each FILE as given, a folder replaced by its files
    QStringList refused;    // files in the folders given whose names cannot be handed on, escaped
    StoredChoices choices;  // the window's stored choices, --profile and --out applied
    bool quiet = false;     // print only problems and failed files
    FilmPart part;          // of every file, --from and --to
    bool boomerang = false;  // forward, then backward
};

// Reads the command line (arguments()[0] is the program). Answers --help, --version and
// --list-profiles on standard output and tells bad usage on standard error; returns the exit
// status then. Otherwise fills usage, names the profile on standard output when --profile did
// not choose it (unless quiet), and returns kRunTheJob.
int ReadUsage(const QStringList& arguments, Usage& usage);

}  // namespace tarnivo
