// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help window: the program's user's guide (a Polish HTML page shipped inside the program)
// with its contents on the left, built from the guide's headings, and a search box that finds
// a word in the text and lists the sections that hold it.

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QTextBrowser;
class QTreeWidget;

namespace welarik {

class HelpWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // The guide's HTML (from the program's resources).
    static QString guideHtml();
    // The anchor of the guide's section for a dialog's object name; empty for the start.
    static QString sectionFor(const QString &dialogName);

    // Scrolls to the section with that anchor (the start when empty or unknown).
    void showSection(const QString &anchor);
    // Finds the next occurrence of word (from the cursor, wrapping once) and lists the sections
    // that hold it; false when the guide does not hold it.
    bool find(const QString &word);

    QTreeWidget *contents() const { return m_contents; }
    QTextBrowser *browser() const { return m_browser; }
    QLineEdit *searchEdit() const { return m_search; }
    QListWidget *foundList() const { return m_found; }
    QLabel *statusLabel() const { return m_status; }
    // The anchor of the section the view stands in.
    QString currentSection() const;

private:
    void buildContents();

    QTreeWidget *m_contents = nullptr;
    QTextBrowser *m_browser = nullptr;
    QLineEdit *m_search = nullptr;
    QListWidget *m_found = nullptr;
    QLabel *m_status = nullptr;
};

} // namespace welarik
