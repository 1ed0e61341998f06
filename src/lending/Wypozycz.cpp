// SPDX-License-Identifier: GPL-3.0-or-later
#include "Wypozycz.h"

#include "DataSource.h"
#include "Desktop.h"
#include "Guard.h"
#include "LendingStrings.h"
#include "LendingText.h"
#include "TableModel.h"
#include "table.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace welarik {

namespace {

namespace text = strings::lending;

constexpr int kWidth = 520;
constexpr int kHeight = 420;

QDateEdit *dateEdit(QWidget *parent, const char *name)
{
    auto *edit = new QDateEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

TdlgWypozycz::TdlgWypozycz(DataSource *dsZnajomi, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowCloseButtonHint)
    , m_source(dsZnajomi)
{
    setObjectName(QStringLiteral("dlgWypozycz"));
    setWindowTitle(text::lendCaption.toString());
    resize(kWidth, kHeight);

    auto *column = new QVBoxLayout(this);
    lbFilm = new QLabel(this);
    lbFilm->setObjectName(QStringLiteral("lbFilm"));
    lbFilm->setWordWrap(true);
    QFont bold = lbFilm->font();
    bold.setBold(true);
    lbFilm->setFont(bold);
    column->addWidget(lbFilm);

    auto *form = new QGridLayout;
    column->addLayout(form, 1);
    edSzukaj = new QLineEdit(this);
    edSzukaj->setObjectName(QStringLiteral("edSzukaj"));
    auto *lbSzukaj = new QLabel(text::lendSearch.toString(), this);
    lbSzukaj->setBuddy(edSzukaj);
    form->addWidget(lbSzukaj, 0, 0);
    form->addWidget(edSzukaj, 0, 1);
    buildFriendList();
    auto *lbKomu = new QLabel(text::lendFriend.toString(), this);
    lbKomu->setBuddy(gridZnajomi);
    lbKomu->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->addWidget(lbKomu, 1, 0);
    form->addWidget(gridZnajomi, 1, 1);
    form->setRowStretch(1, 1);
    btnDodajOsobe = new QPushButton(text::lendAddFriend.toString(), this);
    btnDodajOsobe->setObjectName(QStringLiteral("btnDodajOsobe"));
    btnDodajOsobe->setAutoDefault(false);
    form->addWidget(btnDodajOsobe, 2, 1, Qt::AlignLeft);
    buildDates(form);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk = new QPushButton(text::lendOk.toString(), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnAnuluj = new QPushButton(text::lendCancel.toString(), this);
    btnAnuluj->setObjectName(QStringLiteral("btnAnuluj"));
    btnAnuluj->setAutoDefault(false);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnAnuluj);
    column->addLayout(buttons);

    connect(edSzukaj, &QLineEdit::textChanged, this, [this](const QString &t) {
        runGuarded([this, t] { search(t); });
    });
    connectGuarded(btnDodajOsobe, &QPushButton::clicked, this, [this] { addFriendClicked(); });
    connect(cbTermin, &QCheckBox::toggled, edTermin, &QWidget::setEnabled);
    connect(btnOk, &QPushButton::clicked, this, &TdlgWypozycz::accept);
    connect(btnAnuluj, &QPushButton::clicked, this, &TdlgWypozycz::reject);
    edSzukaj->installEventFilter(this);
    setTabOrder(edSzukaj, gridZnajomi);
}

TdlgWypozycz::~TdlgWypozycz() = default;

void TdlgWypozycz::buildFriendList()
{
    gridZnajomi = new TableGrid(this);
    gridZnajomi->setObjectName(QStringLiteral("gridZnajomi"));
    std::vector<ColumnSpec> columns;
    for (const auto &[field, width, title] : {std::tuple{"NAZWISKO", 150, text::columnSurname},
                                              std::tuple{"IMIE", 110, text::columnFirstName},
                                              std::tuple{"NICK", 90, text::columnNick}}) {
        ColumnSpec c;
        c.field = QString::fromLatin1(field);
        c.width = width;
        c.unit = ColumnSpec::Unit::Pixels;
        c.title = title.toString();
        c.readOnly = true;
        columns.push_back(c);
    }
    gridModel = new TableModel(m_source, columns, this);
    gridZnajomi->setTableModel(gridModel);
    gridZnajomi->setTitlesVisible(true);
    connect(gridZnajomi, &QAbstractItemView::doubleClicked, this, &TdlgWypozycz::accept);
}

void TdlgWypozycz::buildDates(QGridLayout *form)
{
    edData = dateEdit(this, "edData");
    auto *lbData = new QLabel(text::lendDate.toString(), this);
    lbData->setBuddy(edData);
    form->addWidget(lbData, 3, 0);
    form->addWidget(edData, 3, 1, Qt::AlignLeft);
    cbTermin = new QCheckBox(text::lendDue.toString(), this);
    cbTermin->setObjectName(QStringLiteral("cbTermin"));
    edTermin = dateEdit(this, "edTermin");
    edTermin->setEnabled(false);
    form->addWidget(cbTermin, 4, 0);
    form->addWidget(edTermin, 4, 1, Qt::AlignLeft);
    edUwagi = new QLineEdit(this);
    edUwagi->setObjectName(QStringLiteral("edUwagi"));
    edUwagi->setMaxLength(100);
    auto *lbUwagi = new QLabel(text::lendRemarks.toString(), this);
    lbUwagi->setBuddy(edUwagi);
    form->addWidget(lbUwagi, 5, 0);
    form->addWidget(edUwagi, 5, 1);
}

Table &TdlgWypozycz::friends() const
{
    return *m_source->table();
}

void TdlgWypozycz::prepare(const QString &filmText, const QDate &today)
{
    lbFilm->setText(text::lendFilm.toString() + QLatin1Char(' ') + filmText);
    edSzukaj->clear();
    edData->setDate(today);
    cbTermin->setChecked(false);
    edTermin->setDate(today.addDays(14));
    edTermin->setEnabled(false);
    edUwagi->clear();
}

LendRequest TdlgWypozycz::request() const
{
    LendRequest r;
    const Table &t = friends();
    r.friendId = t.recNo() ? t.asInteger("ID_OSOBY") : 0;
    r.since = toStoredDate(edData->date());
    r.due = cbTermin->isChecked() ? toStoredDate(edTermin->date()) : std::string();
    r.remarks = edUwagi->text().toStdString();
    return r;
}

void TdlgWypozycz::search(const QString &typed)
{
    Table &t = friends();
    if (!t.isOpen())
        return;
    if (typed.isEmpty()) {
        t.first();
        return;
    }
    if (t.findPrefix(typed.toStdString()))
        return;
    const QString capital = typed.left(1).toUpper() + typed.mid(1);
    if (capital != typed)
        t.findPrefix(capital.toStdString());
}

void TdlgWypozycz::addFriendClicked()
{
    if (!addFriend)
        return;
    addFriend();
    gridZnajomi->setFocus();
}

int TdlgWypozycz::exec()
{
    Table &t = friends();
    m_savedIndex = t.indexName();
    const std::vector<std::string> tags = t.isOpen() ? t.tagNames() : std::vector<std::string>{};
    if (std::find(tags.begin(), tags.end(), "NAZWISKO") != tags.end())
        t.setIndexName("NAZWISKO");
    t.first();
    edSzukaj->setFocus();
    const int result = QDialog::exec();
    if (t.isOpen() && t.indexName() != m_savedIndex)
        t.setIndexName(m_savedIndex);
    return result;
}

void TdlgWypozycz::accept()
{
    if (friends().isEmpty() || friends().recNo() == 0) {
        Desktop::instance().warning(this, text::noFriend.toString());
        return;
    }
    QDialog::accept();
}

bool TdlgWypozycz::eventFilter(QObject *watched, QEvent *event)
{
    // Up, Down, PageUp and PageDown move in the list from the search box too.
    if (watched == edSzukaj && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp
            || key == Qt::Key_PageDown) {
            QKeyEvent copy(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(gridZnajomi, &copy);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace welarik
