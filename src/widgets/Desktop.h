// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop seam: every message box, the file-open dialog, the question dialog's answer and the
// default error box go through one Desktop object. The program runs on RealDesktop; tests install
// a ScriptedDesktop that answers from queues and records what would have been shown.

#include <QString>
#include <QStringList>

#include <deque>
#include <exception>
#include <optional>
#include <vector>

class QWidget;

namespace welarik {

enum class MessageKind { Error, Information, Warning, Plain, DefaultError, Question };

class Desktop
{
public:
    virtual ~Desktop() = default;

    // A standard message box of the given kind (Error, Information, Warning or Plain) with one
    // OK button; Plain has no icon and the application's title.
    virtual void message(QWidget *parent, MessageKind kind, const QString &text) = 0;
    // The file-open dialog. filter uses the "Description|pattern[;pattern]|..." form; folder is
    // the start folder. Returns the chosen path, or an empty string when cancelled.
    virtual QString openFileName(QWidget *parent, const QString &folder, const QString &filter) = 0;
    // The file-save dialog, same arguments; an existing file may be chosen (the caller decides
    // what to do with it). Returns the chosen path, or an empty string when cancelled.
    virtual QString saveFileName(QWidget *parent, const QString &folder, const QString &filter) = 0;
    // The folder chooser starting in folder. Returns the chosen folder, or an empty string.
    virtual QString existingFolder(QWidget *parent, const QString &folder) = 0;
    // The box for an error no handler caught: the error's own text, one OK button.
    virtual void defaultError(const QString &text) = 0;
    // Lets a script answer the question dialog instead of the user: a result (1 or 2), or
    // nothing to show the real dialog.
    virtual std::optional<int> questionAnswer(const QString &question) = 0;

    void error(QWidget *parent, const QString &text) { message(parent, MessageKind::Error, text); }
    void information(QWidget *parent, const QString &text)
    {
        message(parent, MessageKind::Information, text);
    }
    void warning(QWidget *parent, const QString &text)
    {
        message(parent, MessageKind::Warning, text);
    }
    void plain(QWidget *parent, const QString &text) { message(parent, MessageKind::Plain, text); }
    // Shows an exception in the default error box (its what() read as UTF-8).
    void defaultError(const std::exception &e);

    // The title of the plain message boxes: the program's name. Set once at start; not the
    // application's display name, which the window system would add to every window's title.
    static void setProgramTitle(const QString &title);
    static QString programTitle();

    // The desktop in use; RealDesktop unless a test installed another. setInstance(nullptr)
    // restores the real one. The object is not owned.
    static Desktop &instance();
    static void setInstance(Desktop *desktop);
};

// Converts a "Description|*.a;*.b|..." filter to Qt's "Description (*.a *.b);;..." form.
// A trailing "(...)" group of a description is replaced by the patterns, and "*.*" becomes "*"
// so that it also lists files without an extension.
QString toQtFileFilter(const QString &filter);

class RealDesktop final : public Desktop
{
public:
    void message(QWidget *parent, MessageKind kind, const QString &text) override;
    QString openFileName(QWidget *parent, const QString &folder, const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &folder, const QString &filter) override;
    QString existingFolder(QWidget *parent, const QString &folder) override;
    void defaultError(const QString &text) override;
    std::optional<int> questionAnswer(const QString &) override { return std::nullopt; }
    using Desktop::defaultError;
};

// For tests: never shows anything. File names and question answers come from queues (an empty
// file-name queue means "cancelled"; an empty answer queue shows the real question dialog, so a
// test can also drive it); every message, question and error is recorded.
class ScriptedDesktop final : public Desktop
{
public:
    struct Shown
    {
        MessageKind kind;
        QString text;
    };

    void message(QWidget *parent, MessageKind kind, const QString &text) override;
    QString openFileName(QWidget *parent, const QString &folder, const QString &filter) override;
    // Save and folder requests take from the same file-name queue as openFileName.
    QString saveFileName(QWidget *parent, const QString &folder, const QString &filter) override;
    QString existingFolder(QWidget *parent, const QString &folder) override;
    void defaultError(const QString &text) override;
    std::optional<int> questionAnswer(const QString &question) override;
    using Desktop::defaultError;

    void queueFileName(const QString &path) { m_fileNames.push_back(path); }
    void queueAnswer(int result) { m_answers.push_back(result); }
    const std::vector<Shown> &shown() const { return m_shown; }
    int count(MessageKind kind) const;
    QString lastText(MessageKind kind) const; // empty when none
    // The arguments of the last file-open request.
    QString lastFolder() const { return m_lastFolder; }
    QString lastFilter() const { return m_lastFilter; }
    int pendingAnswers() const { return int(m_answers.size()); }
    int pendingFileNames() const { return int(m_fileNames.size()); }
    void clear();

private:
    std::deque<QString> m_fileNames;
    std::deque<int> m_answers;
    std::vector<Shown> m_shown;
    QString m_lastFolder;
    QString m_lastFilter;
};

// Installs a ScriptedDesktop for the lifetime of the object.
class ScopedScriptedDesktop
{
public:
    ScopedScriptedDesktop() { Desktop::setInstance(&m_desktop); }
    ~ScopedScriptedDesktop() { Desktop::setInstance(nullptr); }
    ScopedScriptedDesktop(const ScopedScriptedDesktop &) = delete;
    ScopedScriptedDesktop &operator=(const ScopedScriptedDesktop &) = delete;
    ScriptedDesktop *operator->() { return &m_desktop; }
    ScriptedDesktop &get() { return m_desktop; }

private:
    ScriptedDesktop m_desktop;
};

} // namespace welarik
