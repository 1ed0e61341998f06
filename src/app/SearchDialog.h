// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The advanced search dialog "Wyszukiwanie zaawansowane": a line per condition (a films field,
// an operator fitting its kind, a value), joined by "wszystkie" or "dowolny". The conditions
// are written as a dBase filter expression (dbsearch.h), shown under them, where a user who
// knows dBase may edit it. "Szukaj" hands the expression to the apply function (the main
// window sets it as the films list's filter); an expression it refuses is reported in the
// dialog with the position of the fault, and the dialog stays open. The last ten expressions
// applied are kept in the settings and can be chosen again.

#include "dbsearch.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace welarik {

class SearchDialog final : public QDialog
{
    Q_OBJECT
public:
    // apply sets the expression as the filter; it throws StorageError when it cannot.
    explicit SearchDialog(std::function<void(const std::string &)> apply,
                          QWidget *parent = nullptr);

    struct Field
    {
        QString name;
        QString label;
        SearchKind kind;
    };
    // The films fields the dialog offers, in the editor's order, by their editor labels.
    static const std::vector<Field> &fields();
    static constexpr int kRecentCount = 10;

    // The widgets of condition row i (tests and the main window).
    QComboBox *fieldBox(int row) const;
    QComboBox *operatorBox(int row) const;
    QLineEdit *valueEdit(int row) const;
    QLineEdit *value2Edit(int row) const;
    int conditionCount() const { return static_cast<int>(m_rows.size()); }
    QComboBox *matchBox() const { return m_match; }
    QCheckBox *ignoreCaseBox() const { return m_ignoreCase; }
    QCheckBox *ignoreDiacriticsBox() const { return m_ignoreDiacritics; }
    QLineEdit *expressionEdit() const { return m_expression; }
    QComboBox *recentBox() const { return m_recent; }
    QLabel *errorLabel() const { return m_error; }
    QPushButton *searchButton() const { return m_search; }
    QPushButton *addButton() const { return m_add; }

    void addCondition();
    // Builds the expression from the conditions into the expression line; false (and the
    // fault shown) when a value does not fit.
    bool rebuildExpression();
    // "Szukaj": applies the expression line; closes the dialog on success.
    void search();

    static QStringList recentSearches();

private:
    struct Row
    {
        QWidget *box;
        QComboBox *field;
        QComboBox *op;
        QLineEdit *value;
        QLabel *to;
        QLineEdit *value2;
    };
    void buildLayout();
    void fillOperators(Row &row);
    void showValueEdits(Row &row);
    void removeRow(QWidget *box);
    std::vector<SearchCondition> conditions() const;
    void showError(const QString &text);
    void remember(const QString &expression);
    void fillRecent();

    std::function<void(const std::string &)> m_apply;
    std::vector<Row> m_rows;
    QVBoxLayout *m_rowsLayout = nullptr;
    QComboBox *m_match = nullptr;
    QCheckBox *m_ignoreCase = nullptr;
    QCheckBox *m_ignoreDiacritics = nullptr;
    QLineEdit *m_expression = nullptr;
    QComboBox *m_recent = nullptr;
    QLabel *m_error = nullptr;
    QPushButton *m_search = nullptr;
    QPushButton *m_add = nullptr;
};

} // namespace welarik
