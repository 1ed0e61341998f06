// SPDX-License-Identifier: GPL-3.0-or-later
#include "LookupDialog.h"

#include "DataSource.h"
#include "Guard.h"
#include "LookupStrings.h"
#include "Pictures.h"
#include "TableModel.h"
#include "table.h"
#include "tableengine.h"

#include <QComboBox>
#include <QDate>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace welarik {

namespace {

constexpr int kMargin = 8;
constexpr int kDefaultSearchDelayMs = 100;

bool sameField(const QString &a, const std::string &b)
{
    return a.compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

bool isNumericType(char type)
{
    return type == 'N' || type == 'F' || type == 'I' || type == '+';
}

// A date typed for a date key, as YYYYMMDD; empty when the text is none.
QString dateKey(const QString &text)
{
    for (const QString &format : {QStringLiteral("yyyyMMdd"),
                                  QStringLiteral("yyyy-MM-dd"),
                                  QStringLiteral("dd.MM.yyyy"),
                                  QStringLiteral("dd-MM-yyyy")}) {
        const QDate date = QDate::fromString(text, format);
        if (date.isValid())
            return date.toString(QStringLiteral("yyyyMMdd"));
    }
    return {};
}

} // namespace

LookupDialog::LookupDialog(Table &table, const LookupDialogSettings &settings, QWidget *parent)
    : QDialog(parent)
    , m_table(table)
    , m_settings(settings)
{
    // The columns first: bad column lines throws before anything is built.
    m_columns = lookupColumns(table, settings.selected, settings.lookupField, settings.useTFields);
    m_searchField = QString::fromStdString(table.tagFieldName(table.indexName()));
    buildColumns();

    setObjectName(QStringLiteral("LookupDialog"));
    setWindowTitle(settings.caption);

    lbSearch = new QLabel(strings::searchCharacters.toString(), this);
    lbSearch->setObjectName(QStringLiteral("lbSearch"));
    edSearch = new QLineEdit(this);
    edSearch->setObjectName(QStringLiteral("edSearch"));
    edSearch->setToolTip(strings::searchCharactersHint.toString());
    applyCharCase(edSearch, settings.charCase);
    lbSearch->setBuddy(edSearch);

    grid = new TableGrid(this);
    grid->setObjectName(QStringLiteral("grid"));
    m_source = new DataSource(&table, this);
    m_model = new TableModel(m_source, m_columns, this);
    setupLookupGrid(grid, settings.gridOptions, settings.gridColor, settings.gridTitleAlignment);
    grid->setTableModel(m_model);
    connect(grid, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            done(mrOk);
    });

    if (settings.options.testFlag(opShowSearchBy))
        buildSelector();

    if (settings.options.testFlag(opShowOKCancel)) {
        btnOk = new QPushButton(pictureIcon(u"tick", 16), strings::lookupOk.toString(), this);
        btnOk->setObjectName(QStringLiteral("btnOk"));
        btnOk->setDefault(true);
        btnCancel
            = new QPushButton(pictureIcon(u"cross", 16), strings::lookupCancel.toString(), this);
        btnCancel->setObjectName(QStringLiteral("btnCancel"));
        btnCancel->setAutoDefault(false);
        connect(btnOk, &QPushButton::clicked, this, [this] { done(mrOk); });
        connect(btnCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    }

    if (!settings.actionText.isEmpty()) {
        btnAction = new QPushButton(settings.actionText, this);
        btnAction->setObjectName(QStringLiteral("btnAction"));
        btnAction->setAutoDefault(false);
        connect(btnAction, &QPushButton::clicked, this, [this] {
            runGuarded([this] { runAction(); });
        });
    }

    m_delay.setSingleShot(true);
    m_delay.setInterval(settings.searchDelay > 0 ? settings.searchDelay : kDefaultSearchDelayMs);
    connect(&m_delay, &QTimer::timeout, this, [this] { runGuarded([this] { searchNow(); }); });
    edSearch->installEventFilter(this);
    grid->installEventFilter(this);

    layoutParts();
    edSearch->setFocus();
    const int current = m_model->currentRow();
    if (current >= 0)
        grid->scrollTo(m_model->index(current, 0), QAbstractItemView::PositionAtTop);
}

LookupDialog::~LookupDialog() = default;

void LookupDialog::buildColumns()
{
    // The search field's column comes first.
    if (m_settings.useTFields) {
        if (!m_searchField.isEmpty()) {
            moveFieldFirst(m_table, m_searchField);
            m_columns = fieldColumns(m_table);
        }
        return;
    }
    auto it = std::find_if(m_columns.begin(), m_columns.end(), [this](const ColumnSpec &c) {
        return c.field.compare(m_searchField, Qt::CaseInsensitive) == 0;
    });
    if (it != m_columns.end())
        std::rotate(m_columns.begin(), it, it + 1);
}

void LookupDialog::buildSelector()
{
    lbSearchBy = new QLabel(strings::searchBy.toString(), this);
    lbSearchBy->setObjectName(QStringLiteral("lbSearchBy"));
    cbSearchBy = new QComboBox(this);
    cbSearchBy->setObjectName(QStringLiteral("cbSearchBy"));
    cbSearchBy->setToolTip(strings::searchByHint.toString());
    lbSearchBy->setBuddy(cbSearchBy);

    const TagInfo *selectedTag = m_table.tagInfo(m_table.indexName());
    int preselected = -1;
    for (const std::string &name : m_table.tagNames()) {
        const TagInfo *tag = m_table.tagInfo(name);
        if (!tag)
            continue;
        auto column = std::find_if(m_columns.begin(), m_columns.end(), [tag](const ColumnSpec &c) {
            return sameField(c.field, tag->firstField);
        });
        if (column == m_columns.end())
            continue;
        const QString text
            = column->title + (tag->descending ? strings::descendingSuffix.toString() : QString());
        if (std::any_of(m_entries.begin(), m_entries.end(), [&text](const Entry &e) {
                return e.text == text;
            }))
            continue;
        if (selectedTag && sameField(column->field, selectedTag->firstField)
            && selectedTag->descending == tag->descending)
            preselected = int(m_entries.size());
        m_entries.push_back({text, column->field, tag->descending});
        cbSearchBy->addItem(text);
    }
    cbSearchBy->setCurrentIndex(preselected);
    connect(cbSearchBy, &QComboBox::activated, this, [this](int index) {
        runGuarded([this, index] { chooseEntry(index); });
    });
    cbSearchBy->installEventFilter(this);
}

void LookupDialog::chooseEntry(int index)
{
    if (index < 0 || size_t(index) >= m_entries.size())
        return;
    const Entry &entry = m_entries[size_t(index)];
    // Among the tags on the entry's field: one that ignores letter case, then one on the field
    // alone, then any.
    std::string chosen;
    int chosenRank = 3;
    for (const std::string &name : m_table.tagNames()) {
        const TagInfo *tag = m_table.tagInfo(name);
        if (!tag || !sameField(entry.field, tag->firstField) || tag->descending != entry.descending)
            continue;
        const int rank = tag->upperCase ? 0 : (!isExpressionTag(*tag) ? 1 : 2);
        if (rank < chosenRank) {
            chosen = name;
            chosenRank = rank;
        }
    }
    if (chosen.empty())
        return;
    m_table.setIndexName(chosen);
    m_delay.stop();
    edSearch->clear();
    m_lastSearched.clear();
    m_searchField = entry.field;
    buildColumns();
    m_model->setColumns(m_columns);
    edSearch->setFocus();
}

void LookupDialog::layoutParts()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid);
    const int frame = 2 * grid->frameWidth();

    const int columnsWidth = columnsPixelWidth(grid, m_model->visibleColumns());
    const int maxWidth = m_settings.maxWidth > 0 ? m_settings.maxWidth : screenRect.width() - 40;
    int width = qMin(columnsWidth + scrollBar + frame, maxWidth);
    int buttons = btnOk ? btnOk->sizeHint().width() + kMargin + btnCancel->sizeHint().width() : 0;
    if (btnAction)
        buttons += btnAction->sizeHint().width() + (btnOk ? 2 * kMargin : 0);
    width = qMax(width, buttons);
    const bool horizontalBar = columnsWidth + scrollBar + frame > width;
    grid->setHorizontalScrollBarPolicy(horizontalBar ? Qt::ScrollBarAlwaysOn
                                                     : Qt::ScrollBarAlwaysOff);

    int height
        = qMin(m_settings.maxHeight > 0 ? m_settings.maxHeight : 209, screenRect.height() - 200);
    if (m_settings.gridOptions.testFlag(dgPerfectRowFit)) {
        const int rowHeight = grid->verticalHeader()->defaultSectionSize();
        const int titles = m_settings.gridOptions.testFlag(dgTitles)
                               ? grid->horizontalHeader()->sizeHint().height()
                               : 0;
        const int fixed = frame + titles + (horizontalBar ? scrollBar : 0);
        height = fixed + qMax(1, (height - fixed) / rowHeight) * rowHeight;
    }

    int y = kMargin;
    lbSearch->adjustSize();
    lbSearch->move(kMargin, y);
    y += lbSearch->height() + 2;
    edSearch->setGeometry(kMargin, y, width, edSearch->sizeHint().height());
    y += edSearch->height() + 6;
    grid->setGeometry(kMargin, y, width, height);
    y += height;
    if (cbSearchBy) {
        y += 8;
        lbSearchBy->adjustSize();
        lbSearchBy->move(kMargin, y);
        y += lbSearchBy->height() + 2;
        cbSearchBy->setGeometry(kMargin, y, width, cbSearchBy->sizeHint().height());
        y += cbSearchBy->height();
    }
    if (btnOk) {
        y += kMargin;
        const QSize cancel = btnCancel->sizeHint();
        const QSize ok = btnOk->sizeHint();
        btnCancel->setGeometry(
            kMargin + width - cancel.width(), y, cancel.width(), cancel.height());
        btnOk->setGeometry(btnCancel->x() - kMargin - ok.width(), y, ok.width(), ok.height());
        if (btnAction) {
            const QSize action = btnAction->sizeHint();
            btnAction->setGeometry(kMargin, y, action.width(), action.height());
        }
        y += qMax(ok.height(), cancel.height());
    } else if (btnAction) {
        y += kMargin;
        const QSize action = btnAction->sizeHint();
        btnAction->setGeometry(kMargin, y, action.width(), action.height());
        y += action.height();
    }
    setFixedSize(width + 2 * kMargin, y + kMargin);
    move(screenRect.center() - QPoint(this->width() / 2, this->height() / 2));
}

bool LookupDialog::searchKey(const QKeyEvent *event) const
{
    const int key = event->key();
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete)
        return true;
    if (event->modifiers().testFlag(Qt::KeypadModifier))
        return true;
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.at(0);
    return c.isLetterOrNumber() || c.isPunct() || c.isSymbol() || c == u' ';
}

void LookupDialog::searchNow()
{
    m_delay.stop();
    search(edSearch->text());
}

void LookupDialog::search(const QString &text)
{
    if (text == m_lastSearched)
        return;
    m_lastSearched = text;
    if (text.isEmpty()) {
        m_table.first();
        return;
    }
    const TagInfo *tag = m_table.tagInfo(m_table.indexName());
    if (!tag || m_searchField.isEmpty() || !m_table.hasField(m_searchField.toStdString()))
        return;
    QString key = text;
    const char type = m_table.fieldByName(m_searchField.toStdString()).type;
    if (isNumericType(type)) {
        bool ok = false;
        QLocale::c().toDouble(text.trimmed(), &ok);
        if (!ok)
            return;
        key = text.trimmed();
    } else if (type == 'D') {
        key = dateKey(text.trimmed());
        if (key.isEmpty())
            return;
    }
    if (isExpressionTag(*tag))
        m_table.findNearest(key.toStdString());
    else
        m_table.findPrefix(key.toStdString());
}

void LookupDialog::runAction()
{
    if (!m_settings.action || !m_settings.action(m_table))
        return;
    // The new record: the searched text no longer describes the highlight.
    m_delay.stop();
    edSearch->clear();
    m_lastSearched.clear();
    const int current = m_model->currentRow();
    if (current >= 0) {
        grid->scrollTo(m_model->index(current, 0));
        grid->setFocus();
    }
}

void LookupDialog::done(int result)
{
    if (m_delay.isActive())
        runGuarded([this] { searchNow(); });
    QDialog::done(result == QDialog::Rejected ? int(mrCancel) : result);
}

bool LookupDialog::eventFilter(QObject *watched, QEvent *event)
{
    const bool press = event->type() == QEvent::KeyPress;
    const bool release = event->type() == QEvent::KeyRelease;
    if (!press && !release)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == cbSearchBy) {
        if (press && enter) {
            cbSearchBy->hidePopup();
            edSearch->setFocus();
            return true;
        }
        return false;
    }
    if (press && enter) {
        done(mrOk);
        return true;
    }
    if (watched != edSearch)
        return false;
    if (press) {
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
            QCoreApplication::sendEvent(grid, &copy);
            return true;
        }
        default:
            if (!key->isAutoRepeat())
                m_textAtPress = edSearch->text();
            return false;
        }
    }
    if (!key->isAutoRepeat() && searchKey(key) && edSearch->text() != m_textAtPress)
        m_delay.start();
    return false;
}

void LookupDialog::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(cbSearchBy && cbSearchBy->hasFocus())) {
        done(mrOk);
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace welarik
