// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record navigator: first, prior, next and last as flat buttons, enabled by the current
// record's place among the visible records.

#include <QWidget>

class QToolButton;

namespace welarik {

class DataSource;

class DBNavigator final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DBNavigator)
public:
    enum class Button { First, Prior, Next, Last };

    explicit DBNavigator(QWidget *parent = nullptr);
    DataSource *dataSource() const { return m_source; }
    void setDataSource(DataSource *source);
    QToolButton *button(Button which) const;
    // Sets the hint of the navigator and its buttons.
    void setHint(const QString &hint);

    void click(Button which);

protected:
    void resizeEvent(QResizeEvent *e) override;

private:
    void updateButtons();

    DataSource *m_source = nullptr;
    QToolButton *m_buttons[4] = {};
};

} // namespace welarik
