// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchDialog.h"

#include "EditorStrings.h"
#include "Guard.h"
#include "SearchStrings.h"
#include "Settings.h"
#include "dbexpr.h"
#include "errors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace welarik {

namespace {

namespace text = strings::search;

const QString keyRecent = QStringLiteral("search/recent");

QString label(QStringView editorLabel)
{
    QString s = editorLabel.toString().trimmed();
    if (s.endsWith(QLatin1Char(':')))
        s.chop(1);
    return s;
}

QString opText(SearchOp op)
{
    switch (op) {
    case SearchOp::Contains:
        return text::opContains.toString();
    case SearchOp::StartsWith:
        return text::opStartsWith.toString();
    case SearchOp::Equals:
        return text::opEquals.toString();
    case SearchOp::NotContains:
        return text::opNotContains.toString();
    case SearchOp::Eq:
        return QStringLiteral("=");
    case SearchOp::Ne:
        return QStringLiteral("≠");
    case SearchOp::Lt:
        return QStringLiteral("<");
    case SearchOp::Le:
        return QStringLiteral("≤");
    case SearchOp::Gt:
        return QStringLiteral(">");
    case SearchOp::Ge:
        return QStringLiteral("≥");
    case SearchOp::Between:
        return text::between.toString();
    case SearchOp::Yes:
        return text::opYes.toString();
    case SearchOp::No:
        break;
    }
    return text::opNo.toString();
}

} // namespace

const std::vector<SearchDialog::Field> &SearchDialog::fields()
{
    namespace e = strings;
    using K = SearchKind;
    static const std::vector<Field> all = {
        {QStringLiteral("ID_CD"), label(e::filmLabelIdCd), K::Number},
        {QStringLiteral("T_PL"), label(e::filmLabelTPl), K::Text},
        {QStringLiteral("T_ORG"), label(e::filmLabelTOrg), K::Text},
        {QStringLiteral("GATUNEK"), label(e::filmLabelGatunek), K::Text},
        {QStringLiteral("D_PROD"), label(e::filmLabelDProd), K::Year},
        {QStringLiteral("KRAJ"), label(e::filmLabelKraj), K::Text},
        {QStringLiteral("REZYSER"), label(e::filmLabelRezyser), K::Text},
        {QStringLiteral("SCENARIU"), label(e::filmLabelScenariu), K::Text},
        {QStringLiteral("ZDJECIA"), label(e::filmLabelZdjecia), K::Text},
        {QStringLiteral("AKTORZY"), label(e::filmLabelAktorzy), K::Text},
        {QStringLiteral("ILOSC_CD"), label(e::filmLabelIloscCd), K::Number},
        {QStringLiteral("OBEJRZAN"), label(e::filmLabelObejrzan), K::Logical},
        {QStringLiteral("ID_OSOBY"), text::labelLent.toString(), K::Flag},
        {QStringLiteral("UWAGI"), label(e::filmLabelUwagi), K::Text},
        {QStringLiteral("CZAS"), label(e::filmLabelCzas), K::Text},
        {QStringLiteral("ROZMIAR"), label(e::filmLabelRozmiar), K::Text},
        {QStringLiteral("KANALY"), label(e::filmLabelKanaly), K::Text},
        {QStringLiteral("CVIDEO"), label(e::filmLabelCVideo), K::Text},
        {QStringLiteral("CAUDIO"), label(e::filmLabelCAudio), K::Text},
        {QStringLiteral("ROZDZIEL"), label(e::filmLabelRozdziel), K::Text},
        {QStringLiteral("VBITRATE"), label(e::filmLabelVBitrate), K::Text},
        {QStringLiteral("SAMPLE_R"), label(e::filmLabelSampleR), K::Text},
        {QStringLiteral("FPS"), label(e::filmLabelFps), K::Text},
        {QStringLiteral("ABITRATE"), label(e::filmLabelABitrate), K::Text},
    };
    return all;
}

SearchDialog::SearchDialog(std::function<void(const std::string &)> apply, QWidget *parent)
    : QDialog(parent)
    , m_apply(std::move(apply))
{
    setObjectName(QStringLiteral("dlgSzukaj"));
    setWindowTitle(text::caption.toString());
    buildLayout();
    addCondition();
    fillRecent();
    resize(720, 360);
}

void SearchDialog::buildLayout()
{
    auto *column = new QVBoxLayout(this);
    auto *matchLine = new QHBoxLayout;
    m_match = new QComboBox(this);
    m_match->setObjectName(QStringLiteral("cbDopasowanie"));
    m_match->addItems({text::matchAll.toString(), text::matchAny.toString()});
    matchLine->addWidget(new QLabel(text::matchLabel.toString(), this));
    matchLine->addWidget(m_match);
    matchLine->addWidget(new QLabel(text::matchTail.toString(), this));
    matchLine->addStretch(1);
    column->addLayout(matchLine);

    m_rowsLayout = new QVBoxLayout;
    column->addLayout(m_rowsLayout);
    auto *optionsLine = new QHBoxLayout;
    m_add = new QPushButton(text::addCondition.toString(), this);
    m_add->setObjectName(QStringLiteral("btnDodajWarunek"));
    m_add->setAutoDefault(false);
    m_ignoreCase = new QCheckBox(text::ignoreCase.toString(), this);
    m_ignoreCase->setObjectName(QStringLiteral("chkWielkoscLiter"));
    m_ignoreCase->setChecked(true);
    m_ignoreDiacritics = new QCheckBox(text::ignoreDiacritics.toString(), this);
    m_ignoreDiacritics->setObjectName(QStringLiteral("chkOgonki"));
    optionsLine->addWidget(m_add);
    optionsLine->addWidget(m_ignoreCase);
    optionsLine->addWidget(m_ignoreDiacritics);
    optionsLine->addStretch(1);
    column->addLayout(optionsLine);

    auto *expressionLabel = new QLabel(text::expressionLabel.toString(), this);
    m_expression = new QLineEdit(this);
    m_expression->setObjectName(QStringLiteral("edWyrazenie"));
    expressionLabel->setBuddy(m_expression);
    column->addWidget(expressionLabel);
    column->addWidget(m_expression);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("lbBlad"));
    m_error->setStyleSheet(QStringLiteral("color: #b00000"));
    m_error->setWordWrap(true);
    column->addWidget(m_error);

    auto *recentLine = new QHBoxLayout;
    auto *recentLabel = new QLabel(text::recentLabel.toString(), this);
    m_recent = new QComboBox(this);
    m_recent->setObjectName(QStringLiteral("cbOstatnie"));
    m_recent->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    recentLabel->setBuddy(m_recent);
    recentLine->addWidget(recentLabel);
    recentLine->addWidget(m_recent, 1);
    column->addLayout(recentLine);
    column->addStretch(1);

    auto *buttons = new QDialogButtonBox(this);
    m_search = buttons->addButton(text::searchButton.toString(), QDialogButtonBox::AcceptRole);
    m_search->setObjectName(QStringLiteral("btnSzukaj"));
    m_search->setDefault(true);
    QPushButton *close
        = buttons->addButton(text::closeButton.toString(), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("btnZamknij"));
    column->addWidget(buttons);

    connectGuarded(m_add, &QPushButton::clicked, this, [this] { addCondition(); });
    connectGuarded(m_search, &QPushButton::clicked, this, [this] { search(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connectGuarded(m_match, &QComboBox::currentIndexChanged, this, [this] { rebuildExpression(); });
    connectGuarded(m_ignoreCase, &QCheckBox::toggled, this, [this] { rebuildExpression(); });
    connectGuarded(m_ignoreDiacritics, &QCheckBox::toggled, this, [this] { rebuildExpression(); });
    connectGuarded(m_recent, &QComboBox::activated, this, [this] {
        const int index = m_recent->currentIndex();
        if (index > 0)
            m_expression->setText(m_recent->itemText(index));
        m_error->clear();
    });
}

void SearchDialog::addCondition()
{
    Row row{};
    row.box = new QWidget(this);
    auto *line = new QHBoxLayout(row.box);
    line->setContentsMargins(0, 0, 0, 0);
    const int n = static_cast<int>(m_rows.size());
    row.field = new QComboBox(row.box);
    row.field->setObjectName(QStringLiteral("cbPole%1").arg(n));
    for (const Field &f : fields())
        row.field->addItem(f.label, f.name);
    row.field->setCurrentIndex(1); // the Polish title
    row.op = new QComboBox(row.box);
    row.op->setObjectName(QStringLiteral("cbOperator%1").arg(n));
    row.value = new QLineEdit(row.box);
    row.value->setObjectName(QStringLiteral("edWartosc%1").arg(n));
    row.to = new QLabel(text::to.toString(), row.box);
    row.value2 = new QLineEdit(row.box);
    row.value2->setObjectName(QStringLiteral("edWartosc2_%1").arg(n));
    auto *remove = new QToolButton(row.box);
    remove->setText(QStringLiteral("✕"));
    remove->setToolTip(text::removeCondition.toString());
    line->addWidget(row.field, 2);
    line->addWidget(row.op, 1);
    line->addWidget(row.value, 3);
    line->addWidget(row.to);
    line->addWidget(row.value2, 1);
    line->addWidget(remove);
    m_rowsLayout->addWidget(row.box);
    m_rows.push_back(row);
    fillOperators(m_rows.back());

    QWidget *box = row.box;
    auto changed = [this] {
        rebuildExpression();
    };
    connectGuarded(row.field, &QComboBox::currentIndexChanged, this, [this, box] {
        for (Row &r : m_rows) {
            if (r.box == box)
                fillOperators(r);
        }
        rebuildExpression();
    });
    connectGuarded(row.op, &QComboBox::currentIndexChanged, this, [this, box] {
        for (Row &r : m_rows) {
            if (r.box == box)
                showValueEdits(r);
        }
        rebuildExpression();
    });
    connectGuarded(row.value, &QLineEdit::textEdited, this, changed);
    connectGuarded(row.value2, &QLineEdit::textEdited, this, changed);
    connectGuarded(remove, &QToolButton::clicked, this, [this, box] { removeRow(box); });
    rebuildExpression();
}

void SearchDialog::fillOperators(Row &row)
{
    const SearchKind kind = fields()[static_cast<size_t>(row.field->currentIndex())].kind;
    const QSignalBlocker block(row.op);
    row.op->clear();
    for (SearchOp op : searchOpsFor(kind))
        row.op->addItem(opText(op), static_cast<int>(op));
    showValueEdits(row);
}

void SearchDialog::showValueEdits(Row &row)
{
    const auto op = static_cast<SearchOp>(row.op->currentData().toInt());
    const bool yesNo = op == SearchOp::Yes || op == SearchOp::No;
    row.value->setVisible(!yesNo);
    row.to->setVisible(op == SearchOp::Between);
    row.value2->setVisible(op == SearchOp::Between);
}

void SearchDialog::removeRow(QWidget *box)
{
    for (auto it = m_rows.begin(); it != m_rows.end(); ++it) {
        if (it->box == box) {
            m_rows.erase(it);
            box->deleteLater();
            break;
        }
    }
    rebuildExpression();
}

std::vector<SearchCondition> SearchDialog::conditions() const
{
    std::vector<SearchCondition> all;
    for (const Row &row : m_rows) {
        const Field &f = fields()[static_cast<size_t>(row.field->currentIndex())];
        SearchCondition c;
        c.field = f.name.toStdString();
        c.kind = f.kind;
        c.op = static_cast<SearchOp>(row.op->currentData().toInt());
        c.value = row.value->text().toStdString();
        c.value2 = row.value2->text().toStdString();
        c.ignoreCase = m_ignoreCase->isChecked();
        c.ignoreDiacritics = m_ignoreDiacritics->isChecked();
        all.push_back(c);
    }
    return all;
}

bool SearchDialog::rebuildExpression()
{
    const SearchExpression e = buildSearchExpression(conditions(), m_match->currentIndex() == 0);
    if (e.badCondition >= 0) {
        const Row &row = m_rows[static_cast<size_t>(e.badCondition)];
        const bool firstBad = e.fault == SearchExpression::Fault::NotANumber
                              && row.value->text().trimmed().isEmpty() == false;
        showError(e.fault == SearchExpression::Fault::Unquotable
                      ? text::unquotable.toString().arg(e.badCondition + 1)
                      : text::notANumber.toString()
                            .arg(e.badCondition + 1)
                            .arg(firstBad || row.value2->isHidden() ? row.value->text()
                                                                    : row.value2->text()));
        return false;
    }
    m_error->clear();
    m_expression->setText(QString::fromStdString(e.text));
    m_expression->setCursorPosition(0); // its start in sight
    return true;
}

void SearchDialog::showError(const QString &message)
{
    m_error->setText(message);
}

void SearchDialog::search()
{
    const QString expression = m_expression->text().trimmed();
    if (expression.isEmpty()) {
        showError(text::nothingToSearch.toString());
        return;
    }
    try {
        m_apply(expression.toStdString());
    } catch (const dbexpr::ExpressionError &e) {
        const auto kind = static_cast<size_t>(e.kind());
        const QString fault
            = kind < std::size(text::faults) ? text::faults[kind].toString() : QString();
        showError(text::expressionError.toString()
                      .arg(e.position())
                      .arg(fault + QStringLiteral(" — ") + QString::fromStdString(e.detail())));
        m_expression->setFocus();
        m_expression->setCursorPosition(static_cast<int>(e.position()) - 1);
        return;
    } catch (const StorageError &e) {
        showError(QString::fromStdString(e.fault()));
        return;
    }
    m_error->clear();
    remember(expression);
    accept();
}

QStringList SearchDialog::recentSearches()
{
    return Settings::value(keyRecent).toStringList();
}

void SearchDialog::remember(const QString &expression)
{
    QStringList recent = recentSearches();
    recent.removeAll(expression);
    recent.prepend(expression);
    while (recent.size() > kRecentCount)
        recent.removeLast();
    Settings::setValue(keyRecent, recent);
    fillRecent();
}

void SearchDialog::fillRecent()
{
    m_recent->clear();
    m_recent->addItem(QString());
    m_recent->addItems(recentSearches());
}

QComboBox *SearchDialog::fieldBox(int row) const
{
    return m_rows.at(static_cast<size_t>(row)).field;
}
QComboBox *SearchDialog::operatorBox(int row) const
{
    return m_rows.at(static_cast<size_t>(row)).op;
}
QLineEdit *SearchDialog::valueEdit(int row) const
{
    return m_rows.at(static_cast<size_t>(row)).value;
}
QLineEdit *SearchDialog::value2Edit(int row) const
{
    return m_rows.at(static_cast<size_t>(row)).value2;
}

} // namespace welarik
