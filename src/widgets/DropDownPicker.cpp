// SPDX-License-Identifier: GPL-3.0-or-later
#include "DropDownPicker.h"

#include "DataSource.h"
#include "Desktop.h"
#include "Guard.h"
#include "LookupStrings.h"
#include "TableModel.h"
#include "table.h"

#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>

#include <utility>

namespace welarik {

// The list window: a borderless grid of the lookup table in a pop-up frame. It lives while the
// list is open; keys and mouse presses that reach it go to its picker.
class PickerList final : public QFrame
{
public:
    PickerList(DropDownPicker *picker, Table &table, std::vector<ColumnSpec> columns)
        : QFrame(picker, Qt::Popup)
        , m_picker(picker)
        , m_source(new DataSource(&table, this))
        , m_model(new TableModel(m_source, std::move(columns), this))
        , m_grid(new TableGrid(this))
    {
        setObjectName(QStringLiteral("list"));
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
        m_grid->setObjectName(QStringLiteral("grid"));
        m_grid->setFrameStyle(QFrame::NoFrame);
        m_grid->setFocusPolicy(Qt::NoFocus);
        m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        GridOptions options = GridOptions(dgRowSelect | dgAlwaysShowSelection);
        const LookupOptions lines = picker->options();
        options.setFlag(dgColLines, lines.testFlag(loColLines));
        options.setFlag(dgRowLines, lines.testFlag(loRowLines));
        options.setFlag(dgTitles, lines.testFlag(loTitles));
        setupLookupGrid(m_grid, options, palette().color(QPalette::Base), taLeftJustify);
        m_grid->setTableModel(m_model);
        m_grid->viewport()->installEventFilter(this);
        connect(m_model, &TableModel::currentRowChanged, picker, [picker] {
            runGuarded([picker] { picker->highlightMoved(); });
        });
    }

    TableModel *model() const { return m_model; }
    TableGrid *grid() const { return m_grid; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QFrame::resizeEvent(event);
        m_grid->setGeometry(contentsRect());
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if (!m_picker->handleKey(event))
            QFrame::keyPressEvent(event);
    }

    void hideEvent(QHideEvent *event) override
    {
        QFrame::hideEvent(event);
        // Closed from outside (a press elsewhere, the window losing the pop-up): accept.
        if (m_picker->m_list == this)
            runGuarded([this] { m_picker->closeUp(true); });
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        if (!rect().contains(event->position().toPoint())) {
            // A press on the picker itself closes the list without reopening it; on its button
            // that is Escape, unless a row was clicked.
            const QPoint onPicker = m_picker->mapFromGlobal(event->globalPosition().toPoint());
            setAttribute(Qt::WA_NoMouseReplay, m_picker->rect().contains(onPicker));
            if (!m_rowClicked && m_picker->button()->geometry().contains(onPicker)) {
                runGuarded([this] { m_picker->closeUp(false); });
                return;
            }
        } else if (highlightAt(event->globalPosition().toPoint())) {
            m_rowClicked = true;
            return;
        }
        QFrame::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (event->buttons().testFlag(Qt::LeftButton))
            highlightAt(event->globalPosition().toPoint());
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (overRows(event->globalPosition().toPoint()))
            runGuarded([this] { m_picker->closeUp(true); });
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_grid->viewport())
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (event->type() != QEvent::MouseMove || mouse->buttons().testFlag(Qt::LeftButton))
                highlightAt(mouse->globalPosition().toPoint());
            m_rowClicked = m_rowClicked || event->type() != QEvent::MouseMove;
            return true;
        }
        case QEvent::MouseButtonRelease:
            mouseReleaseEvent(static_cast<QMouseEvent *>(event));
            return true;
        default:
            return false;
        }
    }

private:
    bool overRows(const QPoint &global) const
    {
        const QPoint pos = m_grid->viewport()->mapFromGlobal(global);
        return m_grid->viewport()->rect().contains(pos);
    }

    bool highlightAt(const QPoint &global)
    {
        if (!overRows(global))
            return false;
        const int row = m_grid->rowAt(m_grid->viewport()->mapFromGlobal(global).y());
        if (row >= 0)
            runGuarded([this, row] { m_model->setCurrentRow(row); });
        return true;
    }

    DropDownPicker *m_picker;
    bool m_rowClicked = false; // a press on a row during this opening
    DataSource *m_source;
    TableModel *m_model;
    TableGrid *m_grid;
};

DropDownPicker::DropDownPicker(QWidget *parent)
    : LookupPicker(ButtonStyle::DownArrow, csDropDown, parent)
{
    connect(textPart(), &QLineEdit::textEdited, this, [this] {
        if (m_autoDropDown && !isDroppedDown())
            runGuarded([this] { openLookup(); });
    });
}

DropDownPicker::~DropDownPicker()
{
    if (m_list) {
        PickerList *list = std::exchange(m_list, nullptr);
        delete list;
    }
}

QFrame *DropDownPicker::listWindow() const
{
    return m_list;
}

TableGrid *DropDownPicker::listGrid() const
{
    return m_list ? m_list->grid() : nullptr;
}

void DropDownPicker::openLookup()
{
    if (m_list)
        return;
    Table *table = lookupTable();
    if (!table || !table->isOpen()) {
        Desktop::instance().warning(this, strings::noLookupTable.toString());
        return;
    }
    std::vector<ColumnSpec> columns
        = lookupColumns(*table, selected(), lookupField(), useTFields());
    if (!locateValue(*table, lookupField(), text()))
        table->first();

    auto *list = new PickerList(this, *table, std::move(columns));
    TableGrid *grid = list->grid();
    const int records = list->model()->rowCount();
    const int rows = qMax(1, qMin(m_dropDownCount, records));
    grid->setVerticalScrollBarPolicy(records > m_dropDownCount ? Qt::ScrollBarAlwaysOn
                                                               : Qt::ScrollBarAlwaysOff);
    const int frame = 2 * list->frameWidth();
    const int rowHeight = grid->verticalHeader()->defaultSectionSize();
    const int titles
        = m_options.testFlag(loTitles) ? grid->horizontalHeader()->sizeHint().height() : 0;
    const int height = rows * rowHeight + titles + frame;

    const QRect area = screen()->availableGeometry();
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    int width = m_dropDownWidth;
    if (width == 0) {
        const std::vector<ColumnSpec> &shown = list->model()->visibleColumns();
        width = columnsPixelWidth(grid, shown) + int(shown.size()) + button()->width() + frame;
    }
    width = qMax(width, this->width() - 4);
    const bool extendsLeft = m_alignment == taRightJustify;
    const int room
        = extendsLeft ? origin.x() + this->width() - area.left() : area.right() + 1 - origin.x();
    width = qMin(width, room);
    const int x = extendsLeft ? origin.x() + this->width() - width : origin.x();
    int y = origin.y() + this->height();
    if (y + height > area.bottom() + 1 && origin.y() - height >= screen()->geometry().top())
        y = origin.y() - height;

    m_list = list;
    list->setGeometry(x, y, width, height);
    button()->setDown(true);
    list->show();
    const int current = list->model()->currentRow();
    if (current >= 0)
        grid->scrollTo(list->model()->index(current, 0));
}

void DropDownPicker::closeUp(bool accept)
{
    if (!m_list)
        return;
    PickerList *list = std::exchange(m_list, nullptr);
    list->hide();
    list->deleteLater();
    button()->setDown(false);
    Table *table = lookupTable();
    const bool modified = accept && table && table->isOpen() && table->currentRow() >= 0;
    if (modified)
        setText(lookupValue(*table, lookupField()));
    finishCloseUp(modified);
}

void DropDownPicker::highlightMoved()
{
    Table *table = lookupTable();
    if (m_list && table && table->isOpen() && table->currentRow() >= 0)
        setText(lookupValue(*table, lookupField()));
}

void DropDownPicker::moveHighlight(int key)
{
    TableModel *model = m_list->model();
    const int rows = model->rowCount();
    if (rows == 0)
        return;
    const int page = qMax(1, qMin(m_dropDownCount, rows));
    int row = model->currentRow();
    switch (key) {
    case Qt::Key_Up:
        row = row < 0 ? 0 : row - 1;
        break;
    case Qt::Key_Down:
        row = row + 1;
        break;
    case Qt::Key_PageUp:
        row = row < 0 ? 0 : row - page;
        break;
    default:
        row = row + page;
        break;
    }
    model->setCurrentRow(qBound(0, row, rows - 1));
}

bool DropDownPicker::handleKey(QKeyEvent *event)
{
    if (!m_list)
        return LookupPicker::handleKey(event);
    const bool alt = event->modifiers().testFlag(Qt::AltModifier);
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (alt)
            runGuarded([this] { closeUp(true); });
        else
            runGuarded([this, event] { moveHighlight(event->key()); });
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F4:
        runGuarded([this] { closeUp(true); });
        return true;
    case Qt::Key_Escape:
        runGuarded([this] { closeUp(false); });
        return true;
    default:
        return false;
    }
}

void DropDownPicker::focusLeft()
{
    closeUp(true);
}

} // namespace welarik
