// SPDX-License-Identifier: GPL-3.0-or-later
#include "Completion.h"

#include "Guard.h"
#include "completion.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

#include <algorithm>

namespace welarik {

namespace {

constexpr int kVisibleValues = 8;

bool lessIgnoringCase(const QString &a, const QString &b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

} // namespace

FieldCompleter::FieldCompleter(QLineEdit *edit, bool list, QObject *parent)
    : QObject(parent)
    , m_edit(edit)
    , m_list(list)
{
    m_model = new QStringListModel(this);
    m_completer = new QCompleter(m_model, this);
    m_completer->setObjectName(edit->objectName() + QStringLiteral("Completer"));
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    m_completer->setFilterMode(Qt::MatchStartsWith);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setMaxVisibleItems(kVisibleValues);
    // Attached to the edit without taking it over: browsing the list leaves the text alone.
    m_completer->setWidget(edit);
    if (auto *view = qobject_cast<QListView *>(m_completer->popup()))
        view->setUniformItemSizes(true);
    connectGuarded(
        edit, &QLineEdit::textEdited, this, [this](const QString &text) { offer(text); });
    connectGuarded(m_completer,
                   qOverload<const QString &>(&QCompleter::activated),
                   this,
                   [this](const QString &value) { take(value); });
}

void FieldCompleter::setValues(const std::vector<std::string> &values)
{
    QStringList list;
    list.reserve(qsizetype(values.size()));
    for (const std::string &v : values)
        list.push_back(QString::fromStdString(v));
    std::sort(list.begin(), list.end(), lessIgnoringCase);
    list.erase(std::unique(list.begin(), list.end()), list.end());
    m_completer->popup()->hide();
    m_model->setStringList(list);
}

int FieldCompleter::valueCount() const
{
    return m_model->rowCount();
}

void FieldCompleter::setEnabled(bool on)
{
    m_enabled = on;
    if (!on)
        m_completer->popup()->hide();
}

bool FieldCompleter::listVisible() const
{
    return m_completer->popup()->isVisible();
}

// The text before the part that completion works on.
QString FieldCompleter::head(const QString &text) const
{
    const std::string utf8 = text.toStdString();
    const size_t start = completionStart(utf8, m_list);
    return QString::fromUtf8(utf8.data(), qsizetype(start));
}

void FieldCompleter::offer(const QString &text)
{
    QAbstractItemView *popup = m_completer->popup();
    const QString typed = text.mid(head(text).size());
    if (!m_enabled || m_edit->cursorPosition() != text.size() || typed.trimmed().isEmpty()) {
        popup->hide();
        return;
    }
    m_completer->setCompletionPrefix(typed);
    const int count = m_completer->completionCount();
    if (count == 0 || (count == 1 && m_completer->currentCompletion() == typed)) {
        popup->hide();
        return;
    }
    m_completer->complete();
    popup->setCurrentIndex(m_completer->completionModel()->index(0, 0));
}

void FieldCompleter::take(const QString &value)
{
    m_edit->setText(head(m_edit->text()) + value);
    m_edit->setCursorPosition(int(m_edit->text().size()));
}

} // namespace welarik
