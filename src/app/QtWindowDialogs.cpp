#include "WindowDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace tarnivo {

namespace {

// The system's texts end their lines with CR (and CR LF); a Qt label breaks lines at LF.
QString forDisplay(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

void QtWindowDialogs::ShowMessage(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, forDisplay(text), QMessageBox::Ok, m_owner);
    box.exec();
}

void QtWindowDialogs::ShowWarning(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, forDisplay(text), QMessageBox::Ok, m_owner);
    box.exec();
}

bool QtWindowDialogs::AskYesNo(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, forDisplay(text), QMessageBox::Yes | QMessageBox::No,
                    m_owner);
    return box.exec() == QMessageBox::Yes;
}

QString QtWindowDialogs::AskText(const QString& title, const QString& prompt, const QString& proposed)
{
    bool confirmed = false;
    const QString answer =
        QInputDialog::getText(m_owner, title, forDisplay(prompt), QLineEdit::Normal, proposed, &confirmed);
    return confirmed ? answer : QString();
}

QStringList QtWindowDialogs::PickFiles(const QString& title, const QString& filter,
                                       const QString& startFolder)
{
    // Qt's own dialog, so that the name filter matches in any letter case (CLIP.AVI for *.avi).
    QFileDialog dialog(m_owner, title, startFolder, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString QtWindowDialogs::PickFolder(const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(m_owner, title, startFolder);
}

QString BrowseForFolder(WindowDialogs& dialogs, const QString& title, const QString& startFolder)
{
    return dialogs.PickFolder(title, startFolder);
}

}  // namespace tarnivo
