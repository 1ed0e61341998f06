// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The film editor: a modal dialog whose edits, memo and check box are bound to the current
// record of the films table through the main window's data source. The caller sets the caption
// and the table's state (insert, edit, or browse with panelDopisz disabled), shows the dialog
// and posts on result 1 or cancels on result 2; the dialog itself never posts, cancels or moves
// the record.

#include "aviprobe.h"
#include "completion.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QToolBar;
class QToolButton;

namespace welarik {

class DataSource;
class DBCheckBox;
class FieldCompleter;
class DialogPicker;
class DropDownPicker;
class Table;
class DBEdit;
class DBMemo;
class TdlgPytanie;

class TdlgDopiszFilm final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgDopiszFilm)
public:
    // dsFilmy is the main window's films data source; it must outlive the dialog. Every bound
    // control registers with it at once, so a films table lacking one of their fields can no
    // longer be opened.
    explicit TdlgDopiszFilm(DataSource *dsFilmy, QWidget *parent = nullptr);
    ~TdlgDopiszFilm() override;

    // The pickers' lookup tables, reached through the main window's data sources: the pool of
    // free numbers, the genres, the people. Until they are set the pickers have no table.
    void setLookupSources(DataSource *dsNrF, DataSource *dsGatunekF, DataSource *dsDaneF);

    // Adds a person of a role (R, S, Z, A) and makes it the people table's current record;
    // true when one was saved. Given one, each people picker's dialog offers "Dodaj osobę...".
    void setPersonAdder(std::function<bool(char role)> adder);

    // Completion of the text edits (Completion.h), switched by the program's setting and
    // filled once each time the dialog is shown in add or correct mode: the four people edits
    // from the people table by role, the genre edit from the genre table, country and codecs
    // from the films. nullptr for an edit without completion.
    // The films' countries and codecs are read once per opening of the films table, in steps
    // while the program is idle (see FilmValues); a showing before they are all read reads the
    // rest at once.
    FieldCompleter *completion(const QLineEdit *edit) const;
    void refreshCompletion();
    // Every value is read: a showing now reads nothing.
    bool completionReady() const { return m_filmValues.complete() && !m_sideValuesDirty; }

    // The question dialog the OK action asks through. Without one the editor makes its own.
    void setQuestionDialog(TdlgPytanie *dialog) { m_question = dialog; }

    // The file button's Open dialog, shown through the desktop seam.
    struct OpenDialog
    {
        QString Filter;
        QString InitialDir;
        QString FileName;
        // True when a file was chosen (FileName then holds it).
        bool Execute(QWidget *parent);
    };
    OpenDialog dlgOpenFilm;

    QToolBar *tbDopisz = nullptr;
    QToolButton *btnDopiszOK = nullptr;
    QToolButton *btnDopiszCANCEL = nullptr;
    QToolButton *btnDopiszINFO = nullptr;
    QToolButton *btnDopiszWEB = nullptr;

    QWidget *panelDopisz = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QGroupBox *GroupBox4 = nullptr;

    DBEdit *EditID_CD = nullptr;
    DBEdit *EditT_PL = nullptr;
    DBEdit *EditT_ORG = nullptr;
    DBEdit *EditGATUNEK = nullptr;
    DBEdit *EditD_PROD = nullptr;
    DBEdit *EditKRAJ = nullptr;
    DBEdit *EditREZYSER = nullptr;
    DBEdit *EditSCENARIU = nullptr;
    DBEdit *EditZDJECIA = nullptr;
    DBEdit *EditAKTORZY = nullptr;
    DBMemo *MemoOPIS = nullptr;
    DBEdit *EditILOSC_CD = nullptr;
    DBCheckBox *cbOBEJRZAN = nullptr;
    DBEdit *EditUWAGI = nullptr;
    DBEdit *EditCZAS = nullptr;
    DBEdit *EditROZMIAR = nullptr;
    DBEdit *EditKANALY = nullptr;
    DBEdit *EditCVIDEO = nullptr;
    DBEdit *EditCAUDIO = nullptr;
    DBEdit *EditROZDZIEL = nullptr;
    DBEdit *EditVBITRATE = nullptr;
    DBEdit *EditSAMPLE_R = nullptr;
    DBEdit *EditFPS = nullptr;
    DBEdit *EditABITRATE = nullptr;

    // Pickers beside their edits: free numbers, genres, and the four people pickers.
    DropDownPicker *dbeNr = nullptr;
    DropDownPicker *dbeGatunek = nullptr;
    DialogPicker *dbeRezyser = nullptr;
    DialogPicker *dbeScenariu = nullptr;
    DialogPicker *dbeZdjecia = nullptr;
    DialogPicker *dbeAktorzy = nullptr;

    // The edit that shows a text of the video probe.
    DBEdit *probeEdit(ProbeEdit edit) const;
    // Writes the probe's texts into their edits (they reach the record like typed text) and
    // shows its message: a plain box, or the default error box for a file error.
    void applyProbeResult(const ProbeResult &result);

    void FormActivate();
    void FormPaint();
    // key is the character of the key: 27 (Esc) or 13 (Enter); others do nothing.
    void FormKeyPress(char16_t key);
    void btnDopiszOKClick();
    void btnDopiszCANCELClick();
    void btnDopiszINFOClick();
    void btnDopiszWEBClick();
    void dbeNrCloseUp(QObject *Sender, Table *LookupTable, Table *FillTable, bool modified);
    void dbeGatunekCloseUp(QObject *Sender, Table *LookupTable, Table *FillTable, bool modified);
    void dbeRezyserEnter(QObject *Sender);
    void dbeRezyserCloseUp(QObject *Sender, Table *LookupTable, Table *FillTable, bool modified);

    // The read-only loan line under the fields (lending): the text loanLine gives when the
    // dialog is shown, hidden when it gives none or is not set.
    QLabel *lbWypozyczenie = nullptr;
    std::function<QString()> loanLine;

    // Shows the dialog modally and returns mrOk or mrCancel. While scriptedRun is set (benchmarks,
    // tests that do not drive the window) it runs instead of the window and gives the result.
    int exec() override;
    std::function<int(TdlgDopiszFilm &)> scriptedRun;

    void reject() override;
    // A save (result 1) adds the film's country and codecs to the values completion offers.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void buildToolBar();
    void buildPanel(DataSource *dsFilmy);
    void buildTitleGroup(DataSource *dsFilmy);
    void buildDescriptionGroup(DataSource *dsFilmy);
    void buildRemarksGroup(DataSource *dsFilmy);
    void buildTechnicalGroup(DataSource *dsFilmy);
    void buildPickers(DataSource *dsFilmy);
    void arrangeTabOrder();
    Table *films() const;
    TdlgPytanie &questionDialog();

    DataSource *m_dsFilmy = nullptr;
    DataSource *m_dsNrF = nullptr;
    DataSource *m_dsGatunekF = nullptr;
    DataSource *m_dsDaneF = nullptr;
    std::vector<FieldCompleter *> m_completers;
    FilmValues m_filmValues;
    bool m_filmValuesDirty = true; // the films' completers lag behind m_filmValues
    bool m_sideValuesDirty = true; // people or genres changed since the last showing
    QTimer m_filmValuesStep;
    QTimer m_sideValuesRead;
    void readSideValues();
    void buildCompletion();
    void readFilmValues();
    TdlgPytanie *m_question = nullptr;
    std::unique_ptr<TdlgPytanie> m_ownQuestion;
};

} // namespace welarik
