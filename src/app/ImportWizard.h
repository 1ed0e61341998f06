// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The import wizard: the file (with the CSV options), the columns' fields, the preview of the
// films as they will be stored, and the result. It reads and plans through src/exchange and
// adds through applyImport on the main window's tables, with a progress dialog whose cancel
// stops between films. "połącz bazy" uses it with another films table, starting at the preview.

#include "importplan.h"
#include "importsource.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTableWidget;

namespace welarik {

class ImportWizard final : public QDialog
{
    Q_OBJECT
public:
    ImportWizard(const exchange::ImportTables &tables, QWidget *parent = nullptr);

    enum Page { FilePage, ColumnsPage, PreviewPage, ResultPage };
    // Starts with another films table read: the preview comes first.
    void startWithFilms(const exchange::ImportSource &source);

    // Controls, named for the tests.
    QStackedWidget *pages = nullptr;
    QLineEdit *editFile = nullptr;
    QPushButton *btnBrowse = nullptr;
    QComboBox *cbFormat = nullptr;
    QComboBox *cbSeparator = nullptr;
    QComboBox *cbQuote = nullptr;
    QComboBox *cbEncoding = nullptr;
    QLabel *lbFileError = nullptr;
    QTableWidget *gridColumns = nullptr;
    QTableWidget *gridPreview = nullptr;
    QListWidget *listNew = nullptr;
    QLabel *lbSummary = nullptr;
    QLabel *lbResult = nullptr;
    QPushButton *btnBack = nullptr;
    QPushButton *btnNext = nullptr;
    QPushButton *btnImport = nullptr;
    QPushButton *btnClose = nullptr;

    const exchange::ImportPlan &plan() const { return m_plan; }
    const exchange::ImportResult &result() const { return m_result; }

private:
    void buildFilePage();
    void buildColumnsPage();
    void buildPreviewPage();
    void goNext();
    void goBack();
    bool readFile();
    void fillColumns();
    void makePlan();
    void fillPreview();
    void previewChecked(int row);
    void runImport();
    void showPage(Page page);

    exchange::ImportTables m_tables;
    exchange::ImportSource m_source;
    exchange::CatalogueState m_state;
    exchange::ImportPlan m_plan;
    exchange::ImportResult m_result;
    bool m_filling = false;
};

} // namespace welarik
