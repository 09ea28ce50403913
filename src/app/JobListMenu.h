// The job list's context menu: "Reverse a part…" of a row's film (asked as "0:10 to 0:20" with
// the film's length shown, kept with the row), and "Pause" of the running job, which the Pause
// key also toggles. The menu is where the rows and their statuses are, so the row a part is
// asked for is the one clicked, and the status the pause changes ("… · paused") is in sight.
#pragma once

#include "FilmPart.h"

#include <QObject>

#include <optional>

class QAction;
class QMenu;
class QPoint;
class QWidget;

namespace tarnivo {

class JobList;
class JobListView;
class ReverseJob;
class WindowDialogs;

inline const QString kReversePartAction = QStringLiteral("Reverse a part\u2026");
inline const QString kPauseAction = QStringLiteral("Pause");

// A part as the prompt takes it: "0:10 to 0:20", "12.5 to 20", "0:10 to the end" (or "0:10 to"),
// times as ParseFilmTime reads them; nothing when the text is no such part.
std::optional<FilmPart> ParseFilmPartText(const QString& text);

class JobListMenu : public QObject {
    Q_OBJECT

public:
    JobListMenu(JobListView& view, JobList& list, ReverseJob& job, WindowDialogs& dialogs, QWidget* window);

    // The menu for the row at the point (in the list's viewport), shown there.
    void ShowAt(const QPoint& point);
    // Asks for the part of the row's film (rows count from 1) and keeps the answer.
    void AskPart(int row);
    // Pauses the running job, or lets it go on.
    void TogglePause();

private:
    JobListView& m_view;
    JobList& m_list;
    ReverseJob& m_job;
    WindowDialogs& m_dialogs;
    QMenu* m_menu;
    QAction* m_part;
    QAction* m_pause;
    int m_row = 0;  // the row the menu was opened on
};

}  // namespace tarnivo
