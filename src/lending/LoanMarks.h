// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Marks rows of a grid: a row for which rowMark() gives a text is drawn in the overdue colours
// and shows that text as its tooltip (the lent view's overdue loans).

#include <QStyledItemDelegate>

#include <functional>

namespace welarik {

class LoanMarks final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The mark of the row of this index, empty for an unmarked row.
    std::function<QString(const QModelIndex &)> rowMark;

    static QColor background() { return QColor(255, 214, 214); }
    static QColor foreground() { return QColor(160, 0, 0); }

    bool helpEvent(QHelpEvent *event,
                   QAbstractItemView *view,
                   const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

} // namespace welarik
