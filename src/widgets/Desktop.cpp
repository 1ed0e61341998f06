// SPDX-License-Identifier: GPL-3.0-or-later
#include "Desktop.h"

#include "WidgetStrings.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace welarik {

namespace {

Desktop *g_desktop = nullptr;

QString &storedTitle()
{
    static QString title;
    return title;
}

QString applicationTitle()
{
    if (!storedTitle().isEmpty())
        return storedTitle();
    const QString title = QGuiApplication::applicationDisplayName();
    return title.isEmpty() ? QGuiApplication::applicationName() : title;
}

} // namespace

void Desktop::setProgramTitle(const QString &title)
{
    storedTitle() = title;
}

QString Desktop::programTitle()
{
    return applicationTitle();
}

Desktop &Desktop::instance()
{
    static RealDesktop real;
    return g_desktop ? *g_desktop : real;
}

void Desktop::setInstance(Desktop *desktop)
{
    g_desktop = desktop;
}

void Desktop::defaultError(const std::exception &e)
{
    defaultError(QString::fromUtf8(e.what()));
}

QString toQtFileFilter(const QString &filter)
{
    static const QRegularExpression trailingGroup(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        QStringList patterns;
        if (i + 1 < parts.size()) {
            for (QString pattern : parts.at(i + 1).split(separators, Qt::SkipEmptyParts)) {
                if (pattern == u"*.*")
                    pattern = QStringLiteral("*");
                if (!patterns.contains(pattern))
                    patterns.append(pattern);
            }
        }
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        description.remove(trailingGroup);
        if (description.isEmpty())
            description = patterns.join(u' ');
        entries.append(description + u" (" + patterns.join(u' ') + u')');
    }
    return entries.join(QStringLiteral(";;"));
}

void RealDesktop::message(QWidget *parent, MessageKind kind, const QString &text)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title = applicationTitle();
    switch (kind) {
    case MessageKind::Error:
        icon = QMessageBox::Critical;
        title = strings::errorTitle.toString();
        break;
    case MessageKind::Information:
        icon = QMessageBox::Information;
        title = strings::informationTitle.toString();
        break;
    case MessageKind::Warning:
        icon = QMessageBox::Warning;
        title = strings::warningTitle.toString();
        break;
    case MessageKind::DefaultError:
        icon = QMessageBox::Critical;
        break;
    case MessageKind::Plain:
    case MessageKind::Question:
        break;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

QString RealDesktop::openFileName(QWidget *parent, const QString &folder, const QString &filter)
{
    // Qt's own dialog: its name filters ignore letter case, so "*.dbf" also lists FILMY.DBF.
    QFileDialog dialog(parent, QString(), folder, toQtFileFilter(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.constFirst();
}

QString RealDesktop::saveFileName(QWidget *parent, const QString &folder, const QString &filter)
{
    QFileDialog dialog(parent, QString(), folder, toQtFileFilter(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The caller asks its own question about an existing file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.constFirst();
}

QString RealDesktop::existingFolder(QWidget *parent, const QString &folder)
{
    return QFileDialog::getExistingDirectory(
        parent, QString(), folder, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

void RealDesktop::defaultError(const QString &text)
{
    message(QApplication::activeWindow(), MessageKind::DefaultError, text);
}

void ScriptedDesktop::message(QWidget *, MessageKind kind, const QString &text)
{
    m_shown.push_back({kind, text});
}

QString ScriptedDesktop::openFileName(QWidget *, const QString &folder, const QString &filter)
{
    m_lastFolder = folder;
    m_lastFilter = filter;
    if (m_fileNames.empty())
        return {};
    QString name = m_fileNames.front();
    m_fileNames.pop_front();
    return name;
}

QString ScriptedDesktop::saveFileName(QWidget *parent, const QString &folder, const QString &filter)
{
    return openFileName(parent, folder, filter);
}

QString ScriptedDesktop::existingFolder(QWidget *parent, const QString &folder)
{
    return openFileName(parent, folder, QString());
}

void ScriptedDesktop::defaultError(const QString &text)
{
    m_shown.push_back({MessageKind::DefaultError, text});
}

std::optional<int> ScriptedDesktop::questionAnswer(const QString &question)
{
    m_shown.push_back({MessageKind::Question, question});
    if (m_answers.empty())
        return std::nullopt;
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

int ScriptedDesktop::count(MessageKind kind) const
{
    int n = 0;
    for (const Shown &s : m_shown)
        n += s.kind == kind ? 1 : 0;
    return n;
}

QString ScriptedDesktop::lastText(MessageKind kind) const
{
    for (auto it = m_shown.rbegin(); it != m_shown.rend(); ++it) {
        if (it->kind == kind)
            return it->text;
    }
    return {};
}

void ScriptedDesktop::clear()
{
    m_fileNames.clear();
    m_answers.clear();
    m_shown.clear();
    m_lastFolder.clear();
    m_lastFilter.clear();
}

} // namespace welarik
