#include "MediaTestSupport.h"

#include "ProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <cstdlib>

namespace tarnivo::test {

ScopedEnvironment::ScopedEnvironment(const char* name, const QString& value)
    : m_name(name), m_oldValue(qgetenv(name)), m_hadValue(qEnvironmentVariableIsSet(name))
{
    qputenv(name, value.toUtf8());
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_hadValue)
        qputenv(m_name.constData(), m_oldValue);
    else
        qunsetenv(m_name.constData());
}

TempEnvironment::TempEnvironment() : m_temp("TEMP", m_folder.path()) {}

ToolResult RunTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.errors = process.readAllStandardError();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

bool MakeClip(const QString& path, const ClipOptions& options, QString* errors)
{
    const QStringList rate = options.frameRate.split('/');
    const double framesPerSecond =
        rate.size() == 2 ? rate[0].toDouble() / rate[1].toDouble() : rate[0].toDouble();
    const QString duration = options.frames > 0 ? QString::number(options.frames / framesPerSecond, 'f', 6)
                                                : QString::number(options.seconds);
    QStringList arguments{"-v", "error", "-y"};
    if (options.withVideo) {
        arguments << "-f"
                  << "lavfi"
                  << "-i"
                  << QString("nullsrc=s=%1x%2:r=%3,geq=lum='16+min(219,N*4)':cb=128:cr=128,format=yuv420p")
                         .arg(options.width)
                         .arg(options.height)
                         .arg(options.frameRate);
    }
    if (options.withAudio)
        arguments << "-f"
                  << "lavfi"
                  << "-i"
                  << "sine=f=440:r=44100";
    arguments << "-t" << duration;
    if (options.withVideo) {
        arguments << "-c:v"
                  << "mpeg4"
                  << "-q:v"
                  << "2";
        if (options.frames > 0)
            arguments << "-frames:v" << QString::number(options.frames);
    }
    if (options.withAudio)
        arguments << "-c:a"
                  << "pcm_s16le";
    arguments << path;
    const ToolResult result = RunTool("ffmpeg", arguments);
    if (errors)
        *errors = QString::fromUtf8(result.errors);
    return result.exitCode == 0 && QFile::exists(path);
}

std::vector<double> MeanGreyPerFrame(const QString& path)
{
    constexpr int kWidth = 16;
    constexpr int kHeight = 12;
    const ToolResult result =
        RunTool("ffmpeg", {"-v", "error", "-i", path, "-vf", QString("scale=%1:%2").arg(kWidth).arg(kHeight),
                           "-f", "rawvideo", "-pix_fmt", "gray", "-"});
    std::vector<double> means;
    const int frameBytes = kWidth * kHeight;
    for (int offset = 0; offset + frameBytes <= result.output.size(); offset += frameBytes) {
        double sum = 0;
        for (int i = 0; i < frameBytes; ++i)
            sum += static_cast<unsigned char>(result.output[offset + i]);
        means.push_back(sum / frameBytes);
    }
    return means;
}

QString StreamEntry(const QString& path, const QString& stream, const QString& entry)
{
    const ToolResult result = RunTool("ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                                                  "stream=" + entry, "-of", "csv=p=0", path});
    return QString::fromUtf8(result.output).trimmed();
}

double DecodedDuration(const QString& path, const QString& stream)
{
    const ToolResult result = RunTool("ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                                                  "packet=pts_time,duration_time", "-of", "csv=p=0", path});
    double end = -1;
    for (const QByteArray& line : result.output.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        if (fields.size() < 2)
            continue;
        bool ptsOk = false;
        bool durationOk = false;
        const double pts = fields[0].toDouble(&ptsOk);
        const double duration = fields[1].toDouble(&durationOk);
        if (ptsOk)
            end = std::max(end, pts + (durationOk ? duration : 0.0));
    }
    return end;
}

void InstallToolsInto(const QString& workFolder)
{
    QDir().mkpath(workFolder);
    QFile::setPermissions(workFolder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString helpers = HelperProgramFolder();
    const std::pair<const char*, const char*> tools[] = {
        {"tarnivo-ffmpeg", "ffmpeg.exe"}, {"tarnivo-sox", "sox.exe"}, {"tarnivo-frames", "tarnivo-frames"}};
    for (const auto& [from, to] : tools) {
        const QString target = workFolder + "/" + to;
        QFile::remove(target);
        QFile::copy(helpers + "/" + from, target);
        QFile::setPermissions(target,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

}  // namespace tarnivo::test
