// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Completion of one of the film editor's edits: while the user types, a list of the known
// values that begin with the typed part (letter case ignored) drops down under the edit, its
// first value highlighted. The list offers and never replaces: Enter (or a click) takes the
// highlighted value, Escape closes the list, typing on narrows it; the edit's text changes
// only when a value is taken. For a list field (genres, actors) the typed part and the part
// replaced is what follows the last ", ". Nothing is offered while completion is off, for an
// empty part, or when the only value is exactly what was typed.

#include <QObject>
#include <QString>

#include <string>
#include <vector>

class QCompleter;
class QLineEdit;
class QStringListModel;

namespace welarik {

class FieldCompleter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FieldCompleter)
public:
    FieldCompleter(QLineEdit *edit, bool list, QObject *parent = nullptr);

    // The values, in any order and with repeats (they are sorted and made distinct here).
    void setValues(const std::vector<std::string> &values);
    int valueCount() const;
    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }

    QLineEdit *edit() const { return m_edit; }
    QCompleter *completer() const { return m_completer; }
    // The list is open.
    bool listVisible() const;

private:
    QString head(const QString &text) const;
    void offer(const QString &text);
    void take(const QString &value);

    QLineEdit *m_edit;
    bool m_list;
    bool m_enabled = false;
    QStringListModel *m_model = nullptr;
    QCompleter *m_completer = nullptr;
};

} // namespace welarik
