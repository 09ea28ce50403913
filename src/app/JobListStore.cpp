#include "JobListStore.h"

#include "JobList.h"
#include "JobListView.h"
#include "WindowDialogs.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

namespace tarnivo {

namespace {

const char* const kStateNames[] = {"waiting", "made", "failed"};

QString stateName(SavedRow::State state) { return QLatin1String(kStateNames[static_cast<int>(state)]); }

SavedRow::State stateNamed(const QString& name)
{
    for (int state = 0; state < 3; ++state) {
        if (name == QLatin1String(kStateNames[state]))
            return static_cast<SavedRow::State>(state);
    }
    return SavedRow::State::Waiting;
}

QByteArray textOf(const std::vector<SavedRow>& rows)
{
    QJsonArray list;
    for (const SavedRow& row : rows) {
        QJsonObject entry{{QStringLiteral("path"), row.path},
                          {QStringLiteral("state"), stateName(row.state)}};
        if (!row.part.IsWhole()) {
            entry.insert(QStringLiteral("from"), row.part.from);
            entry.insert(QStringLiteral("to"), row.part.to);
        }
        if (!row.result.isEmpty())
            entry.insert(QStringLiteral("result"), row.result);
        if (!row.reason.isEmpty())
            entry.insert(QStringLiteral("reason"), row.reason);
        list.append(entry);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("rows"), list}}).toJson();
}

}  // namespace

QString SavedJobListFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tarnivo/job-list.json");
}

std::vector<SavedRow> LoadJobList(const QString& file)
{
    QFile saved(file);
    if (!saved.open(QIODevice::ReadOnly))
        return {};
    std::vector<SavedRow> rows;
    for (const QJsonValue& value :
         QJsonDocument::fromJson(saved.readAll())[QStringLiteral("rows")].toArray()) {
        const QJsonObject entry = value.toObject();
        SavedRow row;
        row.path = entry[QStringLiteral("path")].toString();
        if (row.path.isEmpty())
            continue;
        row.part.from = entry[QStringLiteral("from")].toDouble(0);
        row.part.to = entry[QStringLiteral("to")].toDouble(-1);
        row.state = stateNamed(entry[QStringLiteral("state")].toString());
        row.result = entry[QStringLiteral("result")].toString();
        row.reason = entry[QStringLiteral("reason")].toString();
        rows.push_back(row);
    }
    return rows;
}

QString SaveJobList(const QString& file, const std::vector<SavedRow>& rows)
{
    if (rows.empty()) {
        if (QFile::exists(file) && !QFile::remove(file))
            return QStringLiteral("Cannot remove the saved job list %1").arg(file);
        return QString();
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile saved(file);
    if (!saved.open(QIODevice::WriteOnly) || saved.write(textOf(rows)) < 0 || !saved.commit())
        return QStringLiteral("Cannot save the job list in %1: %2").arg(file, saved.errorString());
    return QString();
}

QString RestoreQuestion(const std::vector<SavedRow>& rows)
{
    const auto made = std::count_if(rows.begin(), rows.end(),
                                    [](const SavedRow& row) { return row.state == SavedRow::State::Made; });
    const QString files =
        rows.size() == 1 ? QStringLiteral("the file") : QStringLiteral("the %1 files").arg(rows.size());
    const QString madeText =
        made == 1 ? QStringLiteral("1 was made.") : QStringLiteral("%1 were made.").arg(made);
    return QStringLiteral("Restore %1 of the last job list? %2").arg(files, madeText);
}

JobListKeeper::JobListKeeper(const QString& file, JobList& list, JobListView& view, QObject* parent)
    : QObject(parent), m_file(file), m_list(list), m_pending(new QTimer(this))
{
    m_pending->setSingleShot(true);
    m_pending->setInterval(0);
    connect(m_pending, &QTimer::timeout, this, &JobListKeeper::SaveNow);
    QAbstractItemModel* rows = view.model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &JobListKeeper::Changed);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &JobListKeeper::Changed);
    connect(rows, &QAbstractItemModel::modelReset, this, &JobListKeeper::Changed);
    connect(rows, &QAbstractItemModel::dataChanged, this, &JobListKeeper::Changed);
    QFile saved(m_file);
    if (saved.open(QIODevice::ReadOnly))
        m_written = saved.readAll();
}

void JobListKeeper::OfferRestore(WindowDialogs& dialogs, const QString& title)
{
    const std::vector<SavedRow> rows = LoadJobList(m_file);
    if (!rows.empty() && dialogs.AskYesNo(title, RestoreQuestion(rows))) {
        for (const SavedRow& row : rows)
            m_list.AddSavedRow(row);
    }
    SaveNow();  // the list as it is now: restored, or the one not restored forgotten
}

void JobListKeeper::Changed() { m_pending->start(); }

void JobListKeeper::SaveNow()
{
    m_pending->stop();
    const std::vector<SavedRow> rows = m_list.SavedRows();
    const QByteArray text = rows.empty() ? QByteArray() : textOf(rows);
    if (text == m_written)
        return;
    if (SaveJobList(m_file, rows).isEmpty())
        m_written = text;
}

}  // namespace tarnivo
