#include "ReverseJob.h"

#include "AVC.h"
#include "FileRoutines.h"
#include "MessageSink.h"

namespace tarnivo {

int JobSummary::FailedCount() const
{
    int failed = 0;
    for (const FileOutcome& file : files)
        failed += file.succeeded ? 0 : 1;
    return failed;
}

QString JobSummary::FinalMessage() const
{
    return cancelled ? kCancelledMessage : kDoneMessage;
}

ReverseJob::ReverseJob(AVC& engine, const JobListSource& list, const JobChoices& choices, MessageSink& sink,
                       QObject* parent)
    : QObject(parent), m_engine(engine), m_list(list), m_choices(choices), m_sink(sink)
{
}

ReverseJob::~ReverseJob() = default;

void ReverseJob::Press()
{
    if (m_running) {
        Cancel();
        return;
    }
    Run();
}

JobSummary ReverseJob::Run()
{
    JobSummary summary;
    if (m_running)
        return summary;
    if (m_list.RowCount() < 1) {
        m_sink.ShowMessage(kNoFilesMessage);
        return summary;
    }
    if (!FolderExists(m_choices.OutputFolderText())) {
        m_sink.ShowMessage(kNoFolderMessage);
        return summary;
    }
    return summary;
}

void ReverseJob::Cancel() { m_cancelRequested = true; }

}  // namespace tarnivo
