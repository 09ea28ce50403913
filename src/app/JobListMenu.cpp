#include "JobListMenu.h"

#include "JobList.h"
#include "JobListView.h"
#include "Main.h"
#include "ReverseJob.h"
#include "WindowDialogs.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>

namespace tarnivo {

std::optional<FilmPart> ParseFilmPartText(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^\\s*(\\S+)\\s+to(?:\\s+(.*))?$"));
    const QRegularExpressionMatch match = shape.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const std::optional<double> from = ParseFilmTime(match.captured(1));
    const QString end = match.captured(2).trimmed();
    const bool toTheEnd = end.isEmpty() || end.compare(QLatin1String("the end"), Qt::CaseInsensitive) == 0 ||
                          end.compare(QLatin1String("end"), Qt::CaseInsensitive) == 0;
    const std::optional<double> to = toTheEnd ? std::optional<double>(-1) : ParseFilmTime(end);
    if (!from || !to)
        return std::nullopt;
    const FilmPart part{*from, *to};
    if (!FilmPartProblem(part).isEmpty())
        return std::nullopt;
    return part;
}

JobListMenu::JobListMenu(JobListView& view, JobList& list, ReverseJob& job, WindowDialogs& dialogs,
                         QWidget* window)
    : QObject(window), m_view(view), m_list(list), m_job(job), m_dialogs(dialogs), m_menu(new QMenu(&view))
{
    m_menu->setObjectName(QStringLiteral("JobListMenu"));
    m_part = m_menu->addAction(kReversePartAction, this, [this] { AskPart(m_row); });
    m_pause = m_menu->addAction(kPauseAction, this, &JobListMenu::TogglePause);
    m_pause->setCheckable(true);
    // The Pause key works anywhere in the window, through the same action.
    m_pause->setShortcut(Qt::Key_Pause);
    m_pause->setShortcutContext(Qt::WindowShortcut);
    window->addAction(m_pause);
    m_pause->setEnabled(false);
    connect(&m_job, &ReverseJob::Started, this, [this] { m_pause->setEnabled(true); });
    connect(&m_job, &ReverseJob::Finished, this, [this] {
        m_pause->setEnabled(false);
        m_pause->setChecked(false);
    });
    m_view.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_view, &QWidget::customContextMenuRequested, this, &JobListMenu::ShowAt);
}

void JobListMenu::ShowAt(const QPoint& point)
{
    QTreeWidgetItem* item = m_view.itemAt(point);
    m_row = item ? m_view.indexOfTopLevelItem(item) + 1 : 0;
    // A part is read when a job starts: it is chosen between jobs.
    m_part->setEnabled(m_row > 0 && !m_job.IsRunning());
    m_pause->setChecked(m_job.IsPaused());
    m_menu->popup(m_view.viewport()->mapToGlobal(point));
}

void JobListMenu::AskPart(int row)
{
    if (row < 1 || row > m_list.RowCount() || m_job.IsRunning())
        return;
    const QString path = m_list.RowText(row);
    const qint64 lengthMs = m_view.FilmLengthMs(row);
    const QString length = lengthMs >= 0
                               ? QStringLiteral("The film is %1 long.").arg(FilmTimeText(lengthMs / 1000.0))
                               : QStringLiteral("The film's length is not known.");
    const QString prompt = QStringLiteral("Reverse a part of %1\n%2\nFrom and to, such as 0:10 to 0:20, "
                                          "or 0:10 to the end (0 to the end: the whole film):")
                               .arg(QFileInfo(path).fileName(), length);
    const QString answer = m_dialogs.AskText(ApplicationTitle(), prompt, FilmPartText(m_list.RowPart(row)));
    if (answer.isEmpty())
        return;  // cancelled
    const std::optional<FilmPart> part = ParseFilmPartText(answer);
    if (!part) {
        m_dialogs.ShowMessage(
            ApplicationTitle(),
            QStringLiteral("\"%1\" is no part of a film: write it as 0:10 to 0:20, or 0:10 to "
                           "the end.")
                .arg(answer));
        return;
    }
    m_list.SetRowPart(row, part->from <= 0 && part->to < 0 ? FilmPart() : *part);
}

void JobListMenu::TogglePause()
{
    if (m_job.IsRunning())
        m_job.Pause(!m_job.IsPaused());
    m_pause->setChecked(m_job.IsPaused());
}

}  // namespace tarnivo
