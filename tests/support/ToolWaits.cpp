#include "ToolWaits.h"

#include "MediaTestSupport.h"

#include <optional>

namespace tarnivo::test {

ToolOutcome RunToEnd(ToolRun& run)
{
    std::optional<ToolOutcome> ended;
    QObject::connect(&run, &ToolRun::Finished, [&ended](const ToolOutcome& outcome) { ended = outcome; });
    ProcessEventsUntil([&] { return ended.has_value(); }, 600000);
    return ended.value_or(ToolOutcome{kLostExitStatus, {}, {}});
}

int ShellAndWait(const QString& commandLine, RunningTools& tools, QStringList* errorLines,
                 const QStringList& environment)
{
    ToolRun run;
    run.StartCommandLine(tools, commandLine, environment);
    const ToolOutcome outcome = RunToEnd(run);
    if (errorLines)
        *errorLines = outcome.errorLines;
    return outcome.status;
}

int ShellExecuteAndWait(const QString& file, const QString& currentFolder, RunningTools& tools,
                        QStringList* errorLines)
{
    ToolRun run;
    run.StartBatchFile(tools, file, currentFolder);
    const ToolOutcome outcome = RunToEnd(run);
    if (errorLines)
        *errorLines = outcome.errorLines;
    return outcome.status;
}

SourceFacts ProbeAndWait(const QString& source)
{
    SourceIdentity identity;
    if (const QString problem = RecordSourceIdentity(source, &identity); !problem.isEmpty()) {
        SourceFacts facts;
        facts.problem = problem;
        return facts;
    }
    RunningTools tools;
    ToolRun run;
    run.Start(tools, "ffprobe", ProbeArguments(source));
    const ToolOutcome outcome = RunToEnd(run);
    SourceFacts facts = ParseProbe(source, outcome.status, outcome.output, outcome.errorLines);
    facts.identity = identity;
    if (!NeedsPictureColours(facts))
        return facts;
    ToolRun picture;
    picture.Start(tools, "ffprobe", PictureColoursArguments(source, facts.pictureStream));
    const ToolOutcome colours = RunToEnd(picture);
    return WithPictureColours(facts, colours.status, colours.output);
}

}  // namespace tarnivo::test
