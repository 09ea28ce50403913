#include "OwnProcesses.h"

#include "ProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <map>
#include <set>
#include <sys/syscall.h>
#include <unistd.h>

namespace tarnivo {

namespace {

// The kernel keeps at most this many characters of a program name in /proc/PID/comm.
constexpr int kLongestKeptName = 15;

QByteArray readProcFile(pid_t pid, const char* entry)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry)));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Parent pid and start time from /proc/PID/stat. The name field (2nd) is in parentheses and
// may itself hold spaces and parentheses, so the fields are counted from the last ")".
bool readStat(pid_t pid, pid_t* parentPid, unsigned long long* startTime)
{
    const QByteArray stat = readProcFile(pid, "stat");
    const int nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0)
        return false;
    // After the name: state (3rd field), parent pid (4th), ..., start time (22nd).
    const QList<QByteArray> fields = stat.mid(nameEnd + 1).simplified().split(' ');
    constexpr int kParentPid = 1;
    constexpr int kStartTime = 19;
    if (fields.size() <= kStartTime)
        return false;
    bool parentOk = false;
    bool startOk = false;
    *parentPid = static_cast<pid_t>(fields[kParentPid].toInt(&parentOk));
    *startTime = fields[kStartTime].toULongLong(&startOk);
    return parentOk && startOk;
}

// The program name; a name the kernel cut short is completed from the program file's name
// when that file's name begins with it.
QString readName(pid_t pid)
{
    QString name = QString::fromUtf8(readProcFile(pid, "comm"));
    if (name.endsWith(QLatin1Char('\n')))
        name.chop(1);
    if (name.size() >= kLongestKeptName) {
        const QString program =
            QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid))).fileName();
        if (program.startsWith(name))
            name = program;
    }
    return name;
}

bool readEntry(pid_t pid, ProcessEntry* entry)
{
    entry->pid = pid;
    if (!readStat(pid, &entry->parentPid, &entry->startTime))
        return false;
    entry->name = readName(pid);
    return true;
}

}  // namespace

std::vector<ProcessEntry> RunningProcesses()
{
    std::vector<ProcessEntry> processes;
    const QStringList names = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& folderName : names) {
        bool isNumber = false;
        const pid_t pid = static_cast<pid_t>(folderName.toInt(&isNumber));
        ProcessEntry entry;
        if (isNumber && readEntry(pid, &entry))
            processes.push_back(entry);
    }
    return processes;
}

std::vector<ProcessEntry> DescendantsOf(pid_t root, const std::vector<ProcessEntry>& processes)
{
    std::multimap<pid_t, const ProcessEntry*> childrenOf;
    for (const ProcessEntry& entry : processes)
        childrenOf.emplace(entry.parentPid, &entry);

    // The list is read one process at a time while processes come and go, so a reused pid
    // could in theory close a loop; each process is visited once.
    std::set<pid_t> visited{root};
    std::vector<ProcessEntry> descendants;
    std::vector<pid_t> parents{root};
    while (!parents.empty()) {
        const pid_t parent = parents.back();
        parents.pop_back();
        const auto [first, last] = childrenOf.equal_range(parent);
        for (auto child = first; child != last; ++child) {
            if (!visited.insert(child->second->pid).second)
                continue;
            descendants.push_back(*child->second);
            parents.push_back(child->second->pid);
        }
    }
    return descendants;
}

bool IsConversionToolName(const QString& name)
{
    return name.endsWith(QLatin1String("ffmpeg.exe"), Qt::CaseInsensitive) || name == QLatin1String("ffmpeg");
}

}  // namespace tarnivo
