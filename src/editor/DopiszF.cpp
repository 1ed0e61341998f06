#include "DopiszF.h"

#include "DataSource.h"
#include "Desktop.h"
#include "EditorStrings.h"
#include "EnginePath.h"
#include "FieldBinding.h"
#include "Guard.h"
#include "ModalResult.h"
#include "Pictures.h"
#include "Pytanie.h"

#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace welarik {

namespace {

constexpr int kClientWidth = 748;
constexpr int kClientHeight = 393;
constexpr int kToolPicture = 25;
constexpr int kYearChars = 4;
constexpr char16_t kEscChar = 27;
constexpr char16_t kEnterChar = 13;

QLabel *makeLabel(QWidget *parent, QStringView caption, const QString &field, bool above)
{
    auto *label = new QLabel(caption.toString(), parent);
    label->setObjectName(u"lb" + field);
    label->setAlignment(above ? Qt::AlignLeft | Qt::AlignBottom
                              : Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

DBEdit *makeEdit(QWidget *parent, DataSource *source, const QString &field)
{
    auto *edit = new DBEdit(parent);
    edit->setObjectName(u"Edit" + field);
    edit->bind(source, field);
    return edit;
}

QGroupBox *makeGroup(QWidget *parent, const QString &name)
{
    auto *group = new QGroupBox(parent);
    group->setObjectName(name);
    return group;
}

void compact(QGridLayout *grid)
{
    grid->setContentsMargins(6, 3, 6, 3);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
}

} // namespace

TdlgDopiszFilm::TdlgDopiszFilm(DataSource *dsFilmy, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("dlgDopiszFilm"));
    setFixedSize(kClientWidth, kClientHeight);
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    dlgOpenFilm.Filter = strings::filmOpenFilter.toString();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    layout->addWidget(tbDopisz);
    buildPanel(dsFilmy);
    layout->addWidget(panelDopisz, 1);
    arrangeTabOrder();

    connect(EditT_PL, &QLineEdit::textChanged, this, &TdlgDopiszFilm::FormPaint);
    connect(EditT_ORG, &QLineEdit::textChanged, this, &TdlgDopiszFilm::FormPaint);
    FormPaint();
}

TdlgDopiszFilm::~TdlgDopiszFilm()
{
    qApp->removeEventFilter(this);
}

void TdlgDopiszFilm::buildToolBar()
{
    tbDopisz = new QToolBar(this);
    tbDopisz->setObjectName(QStringLiteral("tbDopisz"));
    tbDopisz->setOrientation(Qt::Vertical);
    tbDopisz->setMovable(false);
    tbDopisz->setFloatable(false);
    tbDopisz->setIconSize(QSize(kToolPicture, kToolPicture));

    const auto button = [this](const char *name, QStringView hint, QStringView picture) {
        auto *b = new QToolButton(tbDopisz);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint.toString());
        b->setIcon(pictureIcon(picture, kToolPicture));
        b->setIconSize(QSize(kToolPicture, kToolPicture));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        tbDopisz->addWidget(b);
        return b;
    };
    btnDopiszOK = button("btnDopiszOK", strings::filmHintOk, u"tick");
    btnDopiszCANCEL = button("btnDopiszCANCEL", strings::filmHintCancel, u"cross");
    btnDopiszINFO = button("btnDopiszINFO", strings::filmHintInfo, u"film-info");
    btnDopiszWEB = button("btnDopiszWEB", strings::filmHintWeb, u"web");
    btnDopiszWEB->setEnabled(false);

    connectGuarded(btnDopiszOK, &QToolButton::clicked, this, [this] { btnDopiszOKClick(); });
    connectGuarded(
        btnDopiszCANCEL, &QToolButton::clicked, this, [this] { btnDopiszCANCELClick(); });
    connectGuarded(btnDopiszINFO, &QToolButton::clicked, this, [this] { btnDopiszINFOClick(); });
    connectGuarded(btnDopiszWEB, &QToolButton::clicked, this, [this] { btnDopiszWEBClick(); });
}

void TdlgDopiszFilm::buildPanel(DataSource *ds)
{
    panelDopisz = new QWidget(this);
    panelDopisz->setObjectName(QStringLiteral("panelDopisz"));
    auto *panel = new QVBoxLayout(panelDopisz);
    panel->setContentsMargins(4, 4, 4, 4);
    panel->setSpacing(4);

    // Group 1: the CD number and the two titles, labels above their edits.
    GroupBox1 = makeGroup(panelDopisz, QStringLiteral("GroupBox1"));
    auto *g1 = new QGridLayout(GroupBox1);
    compact(g1);
    g1->setVerticalSpacing(1);
    EditID_CD = makeEdit(GroupBox1, ds, QStringLiteral("ID_CD"));
    EditID_CD->setEnabled(false);
    EditID_CD->setFixedWidth(70);
    EditT_PL = makeEdit(GroupBox1, ds, QStringLiteral("T_PL"));
    EditT_ORG = makeEdit(GroupBox1, ds, QStringLiteral("T_ORG"));
    g1->addWidget(
        makeLabel(GroupBox1, strings::filmLabelIdCd, QStringLiteral("ID_CD"), true), 0, 0);
    g1->addWidget(makeLabel(GroupBox1, strings::filmLabelTPl, QStringLiteral("T_PL"), true), 0, 2);
    g1->addWidget(
        makeLabel(GroupBox1, strings::filmLabelTOrg, QStringLiteral("T_ORG"), true), 0, 3);
    g1->addWidget(EditID_CD, 1, 0);
    // Column 1 is kept for the free-number picker beside the number edit.
    g1->addWidget(EditT_PL, 1, 2);
    g1->addWidget(EditT_ORG, 1, 3);
    g1->setColumnStretch(2, 1);
    g1->setColumnStretch(3, 1);
    panel->addWidget(GroupBox1);

    // Group 2: genre, people, year and country on the left half, the description on the right.
    // Column 2 is kept for the pickers beside their edits.
    GroupBox2 = makeGroup(panelDopisz, QStringLiteral("GroupBox2"));
    auto *g2 = new QGridLayout(GroupBox2);
    compact(g2);
    int row = 0;
    const auto personRow = [&](QStringView caption, const QString &field) {
        DBEdit *edit = makeEdit(GroupBox2, ds, field);
        g2->addWidget(makeLabel(GroupBox2, caption, field, false), row, 0);
        g2->addWidget(edit, row, 1, 1, 4);
        ++row;
        return edit;
    };
    EditGATUNEK = personRow(strings::filmLabelGatunek, QStringLiteral("GATUNEK"));
    EditREZYSER = personRow(strings::filmLabelRezyser, QStringLiteral("REZYSER"));
    EditSCENARIU = personRow(strings::filmLabelScenariu, QStringLiteral("SCENARIU"));
    EditZDJECIA = personRow(strings::filmLabelZdjecia, QStringLiteral("ZDJECIA"));
    EditAKTORZY = personRow(strings::filmLabelAktorzy, QStringLiteral("AKTORZY"));
    EditD_PROD = makeEdit(GroupBox2, ds, QStringLiteral("D_PROD"));
    EditD_PROD->setMaxChars(kYearChars);
    EditD_PROD->setFixedWidth(48);
    EditKRAJ = makeEdit(GroupBox2, ds, QStringLiteral("KRAJ"));
    g2->addWidget(
        makeLabel(GroupBox2, strings::filmLabelDProd, QStringLiteral("D_PROD"), false), row, 0);
    g2->addWidget(EditD_PROD, row, 1);
    g2->addWidget(
        makeLabel(GroupBox2, strings::filmLabelKraj, QStringLiteral("KRAJ"), false), row, 3);
    g2->addWidget(EditKRAJ, row, 4);
    ++row;
    g2->setRowStretch(row, 1);
    g2->setColumnStretch(4, 1);
    MemoOPIS = new DBMemo(GroupBox2);
    MemoOPIS->setObjectName(QStringLiteral("MemoOPIS"));
    MemoOPIS->bind(ds, QStringLiteral("OPIS"));
    g2->addWidget(MemoOPIS, 0, 6, row + 1, 1);
    g2->setColumnMinimumWidth(5, 4);
    // The description fills the right half of the group.
    g2->setColumnStretch(6, 0);
    MemoOPIS->setFixedWidth((kClientWidth - 40) / 2 - 8);
    panel->addWidget(GroupBox2, 1);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(4);

    // Group 3: number of CDs, watched, remarks.
    GroupBox3 = makeGroup(panelDopisz, QStringLiteral("GroupBox3"));
    auto *g3 = new QGridLayout(GroupBox3);
    compact(g3);
    EditILOSC_CD = makeEdit(GroupBox3, ds, QStringLiteral("ILOSC_CD"));
    EditILOSC_CD->setFixedWidth(48);
    cbOBEJRZAN = new DBCheckBox(GroupBox3);
    cbOBEJRZAN->setObjectName(QStringLiteral("cbOBEJRZAN"));
    cbOBEJRZAN->setValueChecked(QStringLiteral("True"));
    cbOBEJRZAN->setValueUnchecked(QStringLiteral("False"));
    cbOBEJRZAN->bind(ds, QStringLiteral("OBEJRZAN"));
    EditUWAGI = makeEdit(GroupBox3, ds, QStringLiteral("UWAGI"));
    g3->addWidget(
        makeLabel(GroupBox3, strings::filmLabelIloscCd, QStringLiteral("ILOSC_CD"), false), 0, 0);
    g3->addWidget(EditILOSC_CD, 0, 1, Qt::AlignLeft);
    g3->addWidget(
        makeLabel(GroupBox3, strings::filmLabelObejrzan, QStringLiteral("OBEJRZAN"), false), 1, 0);
    g3->addWidget(cbOBEJRZAN, 1, 1, Qt::AlignLeft);
    g3->addWidget(
        makeLabel(GroupBox3, strings::filmLabelUwagi, QStringLiteral("UWAGI"), false), 2, 0);
    g3->addWidget(EditUWAGI, 2, 1);
    g3->setColumnStretch(1, 1);
    g3->setRowStretch(3, 1);
    bottom->addWidget(GroupBox3, 2);

    // Group 4: the technical data, video on the left, audio on the right (the probe fills them).
    GroupBox4 = makeGroup(panelDopisz, QStringLiteral("GroupBox4"));
    auto *g4 = new QGridLayout(GroupBox4);
    compact(g4);
    const auto techRow = [&](int r, int c, QStringView caption, const QString &field) {
        DBEdit *edit = makeEdit(GroupBox4, ds, field);
        g4->addWidget(makeLabel(GroupBox4, caption, field, false), r, c);
        g4->addWidget(edit, r, c + 1);
        return edit;
    };
    EditCZAS = techRow(0, 0, strings::filmLabelCzas, QStringLiteral("CZAS"));
    EditROZMIAR = techRow(1, 0, strings::filmLabelRozmiar, QStringLiteral("ROZMIAR"));
    EditCVIDEO = techRow(2, 0, strings::filmLabelCVideo, QStringLiteral("CVIDEO"));
    EditROZDZIEL = techRow(3, 0, strings::filmLabelRozdziel, QStringLiteral("ROZDZIEL"));
    EditVBITRATE = techRow(4, 0, strings::filmLabelVBitrate, QStringLiteral("VBITRATE"));
    EditFPS = techRow(0, 2, strings::filmLabelFps, QStringLiteral("FPS"));
    EditKANALY = techRow(1, 2, strings::filmLabelKanaly, QStringLiteral("KANALY"));
    EditCAUDIO = techRow(2, 2, strings::filmLabelCAudio, QStringLiteral("CAUDIO"));
    EditSAMPLE_R = techRow(3, 2, strings::filmLabelSampleR, QStringLiteral("SAMPLE_R"));
    EditABITRATE = techRow(4, 2, strings::filmLabelABitrate, QStringLiteral("ABITRATE"));
    g4->setColumnStretch(1, 1);
    g4->setColumnStretch(3, 1);
    bottom->addWidget(GroupBox4, 5);

    panel->addLayout(bottom);
}

void TdlgDopiszFilm::arrangeTabOrder()
{
    // The pickers, once present, are skipped by Tab, except the number picker, which comes last.
    const QWidget *order[]
        = {EditT_PL,    EditT_ORG,  EditGATUNEK, EditREZYSER,  EditSCENARIU, EditZDJECIA,
           EditAKTORZY, EditD_PROD, EditKRAJ,    MemoOPIS,     EditILOSC_CD, cbOBEJRZAN,
           EditUWAGI,   EditCZAS,   EditROZMIAR, EditCVIDEO,   EditROZDZIEL, EditVBITRATE,
           EditFPS,     EditKANALY, EditCAUDIO,  EditSAMPLE_R, EditABITRATE};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget *>(order[i - 1]), const_cast<QWidget *>(order[i]));
}

DBEdit *TdlgDopiszFilm::probeEdit(ProbeEdit edit) const
{
    switch (edit) {
    case ProbeEdit::Fps:
        return EditFPS;
    case ProbeEdit::Rozmiar:
        return EditROZMIAR;
    case ProbeEdit::Czas:
        return EditCZAS;
    case ProbeEdit::Rozdziel:
        return EditROZDZIEL;
    case ProbeEdit::CVideo:
        return EditCVIDEO;
    case ProbeEdit::VBitrate:
        return EditVBITRATE;
    case ProbeEdit::CAudio:
        return EditCAUDIO;
    case ProbeEdit::ABitrate:
        return EditABITRATE;
    case ProbeEdit::Kanaly:
        return EditKANALY;
    case ProbeEdit::SampleR:
        return EditSAMPLE_R;
    }
    return nullptr;
}

void TdlgDopiszFilm::applyProbeResult(const ProbeResult &result)
{
    for (size_t i = 0; i < kProbeEditCount; ++i) {
        if (const std::optional<std::string> &text = result.edits[i])
            probeEdit(static_cast<ProbeEdit>(i))->setText(QString::fromStdString(*text));
    }
    const std::string message = result.errorText();
    if (message.empty())
        return;
    // A file that cannot be opened or read is reported like any other uncaught file error.
    if (result.status == ProbeStatus::FileFailed)
        Desktop::instance().defaultError(QString::fromStdString(message));
    else
        Desktop::instance().plain(this, QString::fromStdString(message));
}

bool TdlgDopiszFilm::OpenDialog::Execute(QWidget *parent)
{
    const QString chosen = Desktop::instance().openFileName(parent, InitialDir, Filter);
    if (chosen.isEmpty())
        return false;
    FileName = chosen;
    return true;
}

void TdlgDopiszFilm::FormActivate()
{
    const bool editing = panelDopisz->isEnabled();
    if (editing)
        EditT_PL->setFocus(Qt::OtherFocusReason);
    btnDopiszCANCEL->setEnabled(editing);
    btnDopiszINFO->setEnabled(editing);
    FormPaint();
}

void TdlgDopiszFilm::FormPaint()
{
    const QString titles = EditT_PL->text() + EditT_ORG->text();
    btnDopiszWEB->setEnabled(!titles.isEmpty());
}

void TdlgDopiszFilm::FormKeyPress(char16_t key)
{
    if (key == kEscChar)
        done(mrCancel);
    else if (key == kEnterChar)
        btnDopiszOKClick();
}

void TdlgDopiszFilm::btnDopiszOKClick()
{
    if (!panelDopisz->isEnabled()) {
        done(mrCancel);
        return;
    }
    TdlgPytanie &question = questionDialog();
    question.Question = strings::filmSaveQuestion.toString();
    if (question.exec() == mrOk)
        done(mrOk);
}

void TdlgDopiszFilm::btnDopiszCANCELClick()
{
    done(mrCancel);
}

void TdlgDopiszFilm::btnDopiszINFOClick()
{
    if (!dlgOpenFilm.Execute(this))
        return;
    StdProbeFile file;
    applyProbeResult(probeVideoFile(toEnginePath(dlgOpenFilm.FileName), file));
}

void TdlgDopiszFilm::btnDopiszWEBClick() {}

void TdlgDopiszFilm::reject()
{
    // The close box answers Cancel.
    done(mrCancel);
}

TdlgPytanie &TdlgDopiszFilm::questionDialog()
{
    if (m_question)
        return *m_question;
    if (!m_ownQuestion)
        m_ownQuestion = std::make_unique<TdlgPytanie>(parentWidget());
    return *m_ownQuestion;
}

void TdlgDopiszFilm::showEvent(QShowEvent *e)
{
    FormActivate();
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    // Key preview: Esc and Enter reach the dialog before the focused control.
    qApp->installEventFilter(this);
    QDialog::showEvent(e);
}

void TdlgDopiszFilm::hideEvent(QHideEvent *e)
{
    qApp->removeEventFilter(this);
    QDialog::hideEvent(e);
}

void TdlgDopiszFilm::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Already handled by the key preview; the dialog's own default button handling would
        // close it a second time.
        e->ignore();
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}

bool TdlgDopiszFilm::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (!isVisible() || widget->window() != this)
        return false;
    // Only the first delivery of a key counts, not its propagation to the parents: the key goes
    // first to the focused control, or to the dialog when none of its controls has the focus.
    QWidget *focus = QApplication::focusWidget();
    const bool focusInside = focus && focus->window() == this;
    if (widget != (focusInside ? focus : this))
        return false;

    const auto *key = static_cast<QKeyEvent *>(e);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    char16_t ch = 0;
    if (key->key() == Qt::Key_Escape)
        ch = kEscChar;
    else if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
             && mods == Qt::NoModifier)
        ch = kEnterChar;
    if (ch == 0)
        return false;
    FormKeyPress(ch);
    // The control still receives the key while the dialog stays open (Enter in the description
    // adds a line break). Once the key closed the dialog it goes no further: an Enter that
    // confirmed the save would otherwise add a line break to the description being saved.
    return !isVisible();
}

} // namespace welarik
