// Support of the window tests: dialogs answered from a script, a private settings store, and
// small helpers to reach Form1's controls by their designer names.
#pragma once

#include "Form1.h"
#include "MediaTestSupport.h"
#include "WindowDialogs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tarnivo::test {

// Answers every dialog from its queue (an empty queue cancels / says No) and logs every call as
// "kind:title|text" (and the start folders of the file and folder dialogs). whenShown, when set,
// runs as each message or question shows (to look at the window behind it).
class ScriptedDialogs : public WindowDialogs {
public:
    void ShowMessage(const QString& title, const QString& text) override
    {
        log << "message:" + title + "|" + text;
        shown();
    }
    void ShowWarning(const QString& title, const QString& text) override
    {
        log << "warning:" + title + "|" + text;
        shown();
    }
    bool AskYesNo(const QString& title, const QString& text) override
    {
        log << "question:" + title + "|" + text;
        shown();
        return take(yesNo, false);
    }
    QString AskText(const QString& title, const QString& prompt, const QString& proposed) override
    {
        log << "prompt:" + title + "|" + prompt + "|" + proposed;
        return take(texts, QString());
    }
    QStringList PickFiles(const QString& title, const QString& filter, const QString& startFolder) override
    {
        log << "files:" + title + "|" + filter;
        startFolders << startFolder;
        return take(files, QStringList());
    }
    QString PickFolder(const QString& title, const QString& startFolder) override
    {
        log << "folder:" + title;
        startFolders << startFolder;
        return take(folders, QString());
    }

    std::deque<bool> yesNo;
    std::deque<QString> texts;
    std::deque<QStringList> files;
    std::deque<QString> folders;
    QStringList log;
    QStringList startFolders;  // where each file or folder dialog started
    std::function<void()> whenShown;

private:
    void shown()
    {
        if (whenShown)
            whenShown();
    }

    template <typename T> static T take(std::deque<T>& queue, T none)
    {
        if (queue.empty())
            return none;
        T answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

// A fresh, empty settings store and data folder for every test (XDG_CONFIG_HOME, XDG_DATA_HOME
// and Qt's user path point into a temporary folder).
class WindowTest : public ::testing::Test {
protected:
    WindowTest()
        : m_config("XDG_CONFIG_HOME", m_folder.path() + "/config"),
          m_data("XDG_DATA_HOME", m_folder.path() + "/data")
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_folder.path() + "/config");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_folder.path() + "/config");
    }
    QString folder() const { return m_folder.path(); }

    template <typename Widget = QWidget> static Widget* Control(Form1& form, const char* name)
    {
        Widget* widget = form.findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    ScriptedDialogs dialogs;

private:
    QTemporaryDir m_folder;
    ScopedEnvironment m_config;
    ScopedEnvironment m_data;
};

// The texts of the job list's rows.
inline QStringList Rows(const Form1& form)
{
    QStringList rows;
    for (int row = 1; row <= form.RowCount(); ++row)
        rows << form.RowText(row);
    return rows;
}

// Creates the file (and its folders) with a little content.
inline void MakeFile(const QString& path)
{
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("data");
}

}  // namespace tarnivo::test
