// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: owner of the catalogue's six tables and their data sources, the tool bar,
// the main menu, the page control with the film list, and the status bar with the record
// count and navigator. Every dialog works on this window's tables.

#include "Clock.h"
#include "DataSource.h"
#include "DropDownPicker.h"
#include "catalogue.h"
#include "importplan.h"
#include "loans.h"
#include "scan.h"

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class QAction;
class QKeySequence;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace welarik {

class DBNavigator;
class HelpWindow;
class QuickFind;
class ScanDialog;
class SearchDialog;
class TableGrid;
class TableModel;
class TEStatusBar;
class TdlgDopiszFilm;
class TdlgPytanie;
class TdlgWypozycz;
class LoanMarks;
class TdlgSpojnosc;

class TfmGlowny final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfmGlowny)
public:
    explicit TfmGlowny(QWidget *parent = nullptr);
    ~TfmGlowny() override;

    // Folders, set in FormCreate from the executable's folder; each ends with a separator.
    QString ProgramDir;
    QString DataDir;
    // Points both folders at another program folder (tests and tools); DataDir is the side
    // tables' folder of the settings when they name one.
    void setProgramDir(const QString &dir);

    Catalogue catalogue;
    Table &dbfFilmy;
    Table &dbfConfig;
    Table &dbfDaneF;
    Table &dbfGatunekF;
    Table &dbfNrF;
    Table &dbfZnajomi;
    // The data sources are members declared after the catalogue: members go in reverse order and
    // before the window's children, so each source unhooks itself from its table while the table
    // still exists.
    DataSource sourceFilmy{&dbfFilmy, this};
    DataSource sourceConfig{&dbfConfig, this};
    DataSource sourceDaneF{&dbfDaneF, this};
    DataSource sourceGatunekF{&dbfGatunekF, this};
    DataSource sourceNrF{&dbfNrF, this};
    DataSource sourceZnajomi{&dbfZnajomi, this};
    DataSource *dsFilmy = &sourceFilmy;
    DataSource *dsConfig = &sourceConfig;
    DataSource *dsDaneF = &sourceDaneF;
    DataSource *dsGatunekF = &sourceGatunekF;
    DataSource *dsNrF = &sourceNrF;
    DataSource *dsZnajomi = &sourceZnajomi;

    // Tool bar and its buttons (actions; the buttons carry the same object names).
    QToolBar *tbGlowny = nullptr;
    QAction *cmdTPomoc = nullptr;
    QAction *cmdTKoniec = nullptr;
    QAction *cmdTOpen = nullptr;
    QAction *cmdTDodaj = nullptr;
    QAction *cmdTPopraw = nullptr;
    QAction *cmdTSzukaj = nullptr;

    // Main menu: top menus and the items that have handlers or are named in tests.
    QMenu *Plik1 = nullptr;
    QMenu *Edycja1 = nullptr;
    QMenu *Szukaj1 = nullptr;
    QMenu *Narzedzia1 = nullptr;
    QMenu *Opcje1 = nullptr;
    QMenu *Pomoc1 = nullptr;
    QMenu *Bazy1 = nullptr;
    QAction *Otworzbaze1 = nullptr;
    QAction *Koniecprogramu1 = nullptr;
    QAction *Nowapozycja1 = nullptr;
    QAction *Poprawpozycje1 = nullptr;
    QAction *Pokaszczegy2 = nullptr;
    QAction *Kasujfilm1 = nullptr;
    QAction *Usufiltrowanie1 = nullptr;
    QAction *PokaWszystkie1 = nullptr;
    QAction *Pokanastanie1 = nullptr;
    QAction *Pokawypozyczone1 = nullptr;
    QAction *Szybkiewyszukiwanie1 = nullptr;
    QAction *Edytujgatunekfilmu1 = nullptr;
    QAction *Edytujznajomych1 = nullptr;
    QAction *Edytujdanedodatkowe1 = nullptr;
    QAction *Autouzupelnienie1 = nullptr;
    QAction *Porzadkujbazy1 = nullptr;
    QAction *Sprawdzspojnoscbaz1 = nullptr;
    QAction *Ustawieniaprogramu1 = nullptr;
    QAction *Nowabaza1 = nullptr;
    QAction *Zapisz1 = nullptr;
    QAction *Zapiszjako1 = nullptr;
    QAction *Kasujcalabaze1 = nullptr;

    QMenu *pmenuGrid = nullptr;
    QAction *Poprawbiecacyfilm1 = nullptr;
    QAction *Dopisznowyfilm1 = nullptr;
    QAction *Pokaszczegy1 = nullptr;

    QTabWidget *pgGlowny = nullptr;
    QWidget *strFilmy = nullptr;
    QWidget *strMuzyka = nullptr;
    QWidget *strGry = nullptr;
    QPushButton *btnNr = nullptr;
    QPushButton *btnPL = nullptr;
    QPushButton *btnOrg = nullptr;
    QPushButton *btnGat = nullptr;
    DropDownPicker *cmdTRozwin = nullptr;
    TableGrid *gridFilmy = nullptr;
    TableModel *gridModel = nullptr;

    TEStatusBar *stbarGlowny = nullptr;
    QLabel *lbLiczba = nullptr;
    QLabel *lbIlosc = nullptr;
    DBNavigator *dbNavi = nullptr;

    // The view number of the "Szukaj" menu: 1 all films, 2 on the shelf, 3 lent.
    int viewNumber() const { return m_viewNumber; }
    // Whether the grid's pop-up menu is attached (right-click shows it).
    bool gridMenuAttached() const { return m_gridMenuAttached; }
    // Runs a menu item's shortcut the way the keyboard does: nothing while its top menu is
    // disabled; otherwise the top menu's click first, then the item if it is enabled.
    void runShortcut(QAction *item);

    // Handlers.
    void FormCreate();
    bool filmsPageActive() const;
    void cmdTOpenClick();
    // The open command once a file is chosen: the configuration table, then the films table
    // on file, then the side tables from DataDir, each failure with its message.
    void openCatalogue(const QString &file);
    // After a power cut the open repairs what never reached the disk; this says what it did.
    void reportOpenRepairs();
    void dbfFilmyAfterOpen();
    void showFilmCount();
    void dbfFilmyAfterClose();
    void dbfGatunekFAfterOpen();
    void Koniecprogramu1Click();
    void Edytujgatunekfilmu1Click();
    void Edytujznajomych1Click();
    void stbarGlownyTimer();
    void Szukaj1Click();
    void PokaWszystkie1Click(QAction *sender);
    void Usufiltrowanie1Click();
    void btnNrClick();
    void btnPLClick();
    void btnOrgClick();
    void btnGatClick();

    // Film record commands (GlownyCommands.cpp). FilmCommand takes one of the four modes;
    // NextCdNumber gives the number a new film gets: the pool's first that no film uses (used
    // ones leave the pool), else the highest number of all films plus one.
    enum FilmCommandMode : int { fcAdd = 0, fcCorrect = 1, fcShow = 2, fcDelete = 3 };
    void cmdTDodajClick();
    void cmdTPoprawClick();
    void Pokaszczegy2Click();
    void Kasujfilm1Click();
    void FilmCommand(int mode);
    int32_t NextCdNumber(bool DropCurrent);
    // The record commands' dialogs, set by the program once they are created.
    TdlgDopiszFilm *filmEditor = nullptr;
    TdlgPytanie *questionDialog = nullptr;
    // The genre view and the quick find (GlownyFind.cpp).
    QuickFind *dlgFastFind = nullptr;
    void dbfGatunekFAfterDelete();
    void cmdTRozwinCloseUp(QObject *Sender, Table *LookupTable, Table *FillTable, bool modified);
    void Szybkiewyszukiwanie1Click();

    // Import, export, joining catalogues and printing (GlownyExchange.cpp).
    void Import1Click();
    void export1Click();
    void Polaczbazy1Click();
    void Drukuj1Click();
    void Drukujokladke1Click();

    // The list editors' dialogs, set by the program once they are created.
    QDialog *genreListDialog = nullptr;

    // "skanuj hdd" (GlownyScan.cpp): the disc scan and its preview dialog (made on first use).
    QAction *Skanujhdd1 = nullptr;
    ScanDialog *scanDialog = nullptr;
    void Skanujhdd1Click();
    QDialog *friendsListDialog = nullptr;
    // The people list and the completion switch (GlownyPeople.cpp).
    QDialog *peopleListDialog = nullptr;
    void Edytujdanedodatkowe1Click();
    void Autouzupelnienie1Click();

    // Lending (GlownyLending.cpp): the loans of the open films table, the lend and return
    // commands in the grid's pop-up menu and in "&Edycja", the editor's loan line, the lent
    // view's overdue marks and the status bar's count of films out.
    LoanBook loans;
    // Where today's date comes from (tests set a fake clock).
    const Clock *clock = &SystemClock::instance();
    QAction *Wypozycztenfilm1 = nullptr; // pop-up "Wypożycz ten film"
    QAction *Zwroctenfilm1 = nullptr;    // pop-up "Zwróć ten film"
    QAction *Wypozyczfilm1 = nullptr;    // "&Edycja" item
    QAction *Zwrocfilm1 = nullptr;       // "&Edycja" item
    QLabel *lbWypozyczone = nullptr;
    LoanMarks *gridMarks = nullptr;
    TdlgWypozycz *lendDialog();
    void Wypozycztenfilm1Click();
    void Zwroctenfilm1Click();
    // Offers lend or return for the current film, on the films page only.
    void updateLendingCommands();
    // The film editor's loan line for the current film ("" when on the shelf).
    QString loanLineOfCurrentFilm();
    void showFriendFilms(int64_t friendId);
    // Reads the open loans again (after an open or a failed command), then refreshLoanMarks.
    void reloadOpenLoans();
    // Recounts the overdue loans among the open ones (status bar, lent view's marks).
    void refreshLoanMarks();
    // Catalogue tools (GlownyTools.cpp): a new catalogue, saving, a copy, tidying, the check
    // and emptying the films table. The work itself is in storage (cataloguetools.h,
    // cataloguecheck.h); these close the tables it needs, run it and open the catalogue again.
    void Nowabaza1Click();
    void Zapisz1Click();
    void Zapiszjako1Click();
    void Porzadkujbazy1Click();
    void Sprawdzspojnoscbaz1Click();
    void Kasujcalabaze1Click();
    QLabel *lbZapisano = nullptr;        // "Zapisano" for a few seconds after a save
    TdlgSpojnosc *dlgSpojnosc = nullptr; // the check's window, made at its first use

    // Advanced search (GlownySearch.cpp): the dialog sets its expression as the films filter,
    // which no view mark stands for (view number 0); F5 and the views clear it.
    QAction *Zaawansowane1 = nullptr;
    QMenu *menuTSzukaj = nullptr;      // the drop-down of cmdTSzukaj
    SearchDialog *dlgSzukaj = nullptr; // made at its first use
    void Zaawansowane1Click();
    void applySearch(const std::string &expression);
    // Help and about (GlownyHelp.cpp). F1 in a dialog opens the help at the dialog's section.
    QAction *Pomocdoprogramu1 = nullptr;
    QAction *Oprogramie1 = nullptr;
    HelpWindow *helpWindow = nullptr;
    void Pomocdoprogramu1Click();
    void showHelp(const QString &section, bool overDialog = false);
    void Oprogramie1Click();
    // Settings (GlownySettings.cpp).
    void Ustawieniaprogramu1Click();
    // The text "O programie..." shows.
    static QString aboutText();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Settles the Alt keys that a header button and a top menu share (see sharedAltKey).
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The view items' check marks from the view number.
    void showViewMarks();
    // Alt+N, Alt+P and Alt+O belong both to a header button ("&Nr CD", "Tytuł &Polski", "Tytuł
    // &Oryginalny") and to a top menu ("&Narzędzia", "&Pomoc", "&Opcje"). The header button
    // acts while it can be pressed (films page, enabled); otherwise the top menu opens if it is
    // enabled; otherwise the key is left alone. Returns what should act, or nothing.
    QObject *sharedAltKey(const QKeyEvent &key) const;
    void buildActions();
    void buildMenu();
    QMenu *addTopMenu(const char *name, QStringView title);
    // The top menus in their order, then the grid's pop-up menu.
    void buildFileMenu();
    void buildEditMenu();
    void buildSearchMenu();
    void buildToolsMenu(); // also "Opcje" and "Pomoc", disabled
    void buildGridMenu();
    void buildToolBar();
    void buildPages();
    void buildStatusBar();
    void buildGenrePicker(QWidget *header);
    void buildQuickFind();
    void setCatalogueCommandsEnabled(bool enabled);
    void buildCatalogueTools();
    // A name from the save dialog with ".DBF" added when missing; one that exists is refused
    // with a question offering another choice. Empty when the user gave up.
    QString chooseNewTableName();
    // Closes the six tables: the tools need their files, which the open tables lock.
    void closeAllTables();
    void attachGridMenu(bool attach);
    void connectFilmCommands();
    void connectExchangeCommands();
    void setExchangeCommandsEnabled(bool enabled);
    exchange::ImportTables importTables();
    void connectPeopleCommands();
    std::optional<int64_t> showEditorUntilSaved();
    void buildScan();
    std::optional<std::vector<ScannedFile>> scanFilesWithProgress(const std::filesystem::path &dir);
    void addScannedFilms(const std::vector<ScanRow> &rows, ScanNumbering numbering);
    QString m_scanFolder;
    bool poolHolds(int64_t number);
    void buildSearchCommands();
    void buildHelpCommands();
    void buildSettingsCommands();
    // Settings at start: the window's remembered place, the side tables' folder.
    void restoreWindowSettings();
    void applyDataFolderSetting();
    // At exit: asks first when the settings say so (false: stay); remembers the window's place
    // once the user changed it.
    bool confirmQuit();
    void rememberCatalogue();
    QRect m_defaultGeometry;
    QAction *addItem(QMenu *menu,
                     const char *name,
                     QStringView text,
                     const QKeySequence &shortcut,
                     bool enabled);

    void buildLending();
    void lendingAfterOpen();
    void lendingAfterClose();
    QString overdueMark(const QModelIndex &index) const;
    TdlgWypozycz *m_lendDialog = nullptr;
    std::map<int64_t, Loan> m_openLoans; // the open loans, by CD number, kept per command
    std::map<int64_t, Loan> m_overdue;   // those past their due date
    std::string m_marksDay;

    int m_viewNumber = 1;
    int m_shownCount = 0;
    bool m_gridMenuAttached = false;
    std::vector<std::pair<QAction *, QMenu *>> m_shortcutItems;
};

} // namespace welarik
