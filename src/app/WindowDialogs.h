// Every dialog and message box of the window goes through this one interface: Qt's widgets in
// the program, a scripted answerer in the tests (which never block).
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tarnivo {

class WindowDialogs {
public:
    virtual ~WindowDialogs() = default;
    // A box with an OK button only and no icon.
    virtual void ShowMessage(const QString& title, const QString& text) = 0;
    // A box with the exclamation icon and an OK button.
    virtual void ShowWarning(const QString& title, const QString& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(const QString& title, const QString& text) = 0;
    // A text prompt with a proposed answer; "" when cancelled.
    virtual QString AskText(const QString& title, const QString& prompt, const QString& proposed) = 0;
    // The open-file dialog with multiple selection, showing startFolder first; filter holds
    // one or more name filters separated by ";;". The chosen files' full paths, or none.
    virtual QStringList PickFiles(const QString& title, const QString& filter,
                                  const QString& startFolder) = 0;
    // The folder picker, showing startFolder first; the chosen folder ("/" for the root,
    // otherwise without a trailing "/"), or "" when cancelled.
    virtual QString PickFolder(const QString& title, const QString& startFolder) = 0;
};

// The folder picker (see PickFolder).
QString BrowseForFolder(WindowDialogs& dialogs, const QString& title, const QString& startFolder);

// The dialogs as Qt shows them, owned by the given window.
class QtWindowDialogs : public WindowDialogs {
public:
    explicit QtWindowDialogs(QWidget* owner) : m_owner(owner) {}
    void ShowMessage(const QString& title, const QString& text) override;
    void ShowWarning(const QString& title, const QString& text) override;
    bool AskYesNo(const QString& title, const QString& text) override;
    QString AskText(const QString& title, const QString& prompt, const QString& proposed) override;
    QStringList PickFiles(const QString& title, const QString& filter, const QString& startFolder) override;
    QString PickFolder(const QString& title, const QString& startFolder) override;

private:
    QWidget* m_owner;
};

}  // namespace tarnivo
