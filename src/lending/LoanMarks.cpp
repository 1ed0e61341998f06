// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoanMarks.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace welarik {

void LoanMarks::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!rowMark || rowMark(index).isEmpty())
        return;
    option->backgroundBrush = background();
    option->palette.setColor(QPalette::Text, foreground());
    option->palette.setColor(QPalette::HighlightedText, background());
    option->palette.setColor(QPalette::Highlight, foreground());
}

bool LoanMarks::helpEvent(QHelpEvent *event,
                          QAbstractItemView *view,
                          const QStyleOptionViewItem &option,
                          const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && rowMark) {
        const QString mark = rowMark(index);
        if (!mark.isEmpty()) {
            QToolTip::showText(event->globalPos(), mark, view);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace welarik
