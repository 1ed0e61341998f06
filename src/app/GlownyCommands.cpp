// SPDX-License-Identifier: GPL-3.0-or-later
// The film record commands of the main window: add, correct, show details and delete one film,
// and the pool of free CD numbers (dbfNrF) they keep. A deleted film's number goes into the pool,
// a new film takes the pool's first number, and only with an empty pool is a new number made
// as the highest number in use plus one.
//
// Failures keep what the user has: a save that fails shows its reason and the editor again with
// the values as they were left; a pool step that fails after the film was saved keeps the film
// and says so; a failed delete never ends the program, and a number already put into the pool
// for a film that then could not be deleted is taken out again.

#include "Glowny.h"

#include "Desktop.h"
#include "DopiszF.h"
#include "EditorStrings.h"
#include "GlownyStrings.h"
#include "Guard.h"
#include "LendingText.h"
#include "ModalResult.h"
#include "Pytanie.h"
#include "cdnumber.h"
#include "lendcommand.h"

#include <QAction>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace welarik {

namespace {

namespace glowny = strings::glowny;

constexpr const char *kIdCd = "ID_CD";

QString withReason(const QString &text, const std::exception &e)
{
    return text + u'\n' + QString::fromUtf8(e.what());
}

// The pool steps after a saved film: each runs even when one before it failed, and what failed
// is told once (the film stays saved).
class PoolSteps
{
public:
    explicit PoolSteps(Table &pool)
        : m_pool(pool)
    {}
    void run(const std::function<void()> &step)
    {
        try {
            step();
        } catch (const std::exception &e) {
            m_pool.cancel();
            m_failures << QString::fromUtf8(e.what());
        }
    }
    void report(QWidget *parent) const
    {
        if (!m_failures.isEmpty())
            Desktop::instance().plain(parent,
                                      glowny::saveError.toString() + u'\n'
                                          + glowny::poolNotUpdated.toString() + u'\n'
                                          + m_failures.join(u'\n'));
    }

private:
    Table &m_pool;
    QStringList m_failures;
};

} // namespace

void TfmGlowny::connectFilmCommands()
{
    const auto hook = [this](QAction *action, void (TfmGlowny::*handler)()) {
        connectGuarded(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    for (QAction *add : {cmdTDodaj, Nowapozycja1, Dopisznowyfilm1})
        hook(add, &TfmGlowny::cmdTDodajClick);
    for (QAction *correct : {cmdTPopraw, Poprawpozycje1, Poprawbiecacyfilm1})
        hook(correct, &TfmGlowny::cmdTPoprawClick);
    for (QAction *show : {Pokaszczegy2, Pokaszczegy1})
        hook(show, &TfmGlowny::Pokaszczegy2Click);
    hook(Kasujfilm1, &TfmGlowny::Kasujfilm1Click);
}

void TfmGlowny::cmdTDodajClick()
{
    if (filmsPageActive())
        FilmCommand(fcAdd);
}

void TfmGlowny::cmdTPoprawClick()
{
    // With no film in the list there is nothing to correct (as nothing to delete).
    if (filmsPageActive() && dbfFilmy.recordCount() > 0)
        FilmCommand(fcCorrect);
}

void TfmGlowny::Pokaszczegy2Click()
{
    if (filmsPageActive())
        FilmCommand(fcShow);
}

void TfmGlowny::Kasujfilm1Click()
{
    if (!filmsPageActive() || dbfFilmy.recordCount() < 1)
        return;
    questionDialog->Question = glowny::questionKasujFilm.toString();
    if (questionDialog->exec() != mrCancel)
        FilmCommand(fcDelete);
}

int32_t TfmGlowny::NextCdNumber(bool DropCurrent)
{
    return nextCdNumber(dbfFilmy, dbfNrF, DropCurrent);
}

std::optional<int64_t> TfmGlowny::showEditorUntilSaved()
{
    try {
        for (;;) {
            if (filmEditor->exec() != mrOk) {
                dbfFilmy.cancel();
                return std::nullopt;
            }
            try {
                // Only the number picker writes the number, straight into the record; read it
                // before the post, after which a film that left the view is no longer current.
                const int64_t number = dbfFilmy.asInteger(kIdCd);
                dbfFilmy.post();
                return number;
            } catch (const std::exception &e) {
                Desktop::instance().plain(this, withReason(glowny::saveError.toString(), e));
                // A post that failed keeps the record in its state with the values typed, so
                // the user can change the offending one or cancel.
                if (dbfFilmy.state() != TableState::Edit && dbfFilmy.state() != TableState::Insert)
                    return std::nullopt;
            }
        }
    } catch (...) {
        dbfFilmy.cancel();
        throw;
    }
}

bool TfmGlowny::poolHolds(int64_t number)
{
    // The pool's current entry is the number the film took, unless the number picker's list
    // was left with Escape on another row; then the entry holding that number is found.
    if (!dbfNrF.isEmpty() && dbfNrF.asInteger(kIdCd) == number)
        return true;
    for (dbfNrF.first(); !dbfNrF.eof(); dbfNrF.next()) {
        if (dbfNrF.asInteger(kIdCd) == number)
            return true;
    }
    return false;
}

void TfmGlowny::FilmCommand(int mode)
{
    if (!filmEditor || !dbfFilmy.isOpen())
        return;
    Desktop &desktop = Desktop::instance();
    switch (mode) {
    case fcAdd: {
        const int32_t number = NextCdNumber(false);
        filmEditor->setWindowTitle(strings::filmCaptionAdd.toString());
        dbfFilmy.insert();
        try {
            dbfFilmy.setInteger(kIdCd, number);
        } catch (...) {
            dbfFilmy.cancel();
            throw;
        }
        const std::optional<int64_t> saved = showEditorUntilSaved();
        if (!saved)
            return;
        // The number now in use leaves the pool.
        PoolSteps steps(dbfNrF);
        steps.run([&] {
            if (poolHolds(*saved))
                dbfNrF.deleteRecord();
        });
        steps.report(this);
        return;
    }
    case fcCorrect: {
        filmEditor->setWindowTitle(strings::filmCaptionCorrect.toString());
        dbfFilmy.edit();
        const int64_t before = dbfFilmy.asInteger(kIdCd);
        const std::optional<int64_t> after = showEditorUntilSaved();
        if (!after || *after == before)
            return;
        // The number the picker chose is in use now; the old one is free. The old number goes
        // into the pool even when taking out the new one failed (a used number in the pool is
        // never handed out).
        PoolSteps steps(dbfNrF);
        steps.run([&] {
            if (poolHolds(*after))
                dbfNrF.deleteRecord();
        });
        steps.run([&] {
            dbfNrF.insert();
            dbfNrF.setInteger(kIdCd, before);
            dbfNrF.post();
        });
        steps.report(this);
        return;
    }
    case fcShow: {
        filmEditor->setWindowTitle(strings::filmCaptionDetails.toString());
        struct EnableAgain
        {
            QWidget *panel;
            ~EnableAgain() { panel->setEnabled(true); }
        } enableAgain{filmEditor->panelDopisz};
        filmEditor->panelDopisz->setEnabled(false);
        filmEditor->exec();
        return;
    }
    case fcDelete: {
        // The number enters the pool before the film goes, a lent film's loan closed first.
        const int64_t number = dbfFilmy.asInteger(kIdCd);
        uint32_t poolRecord = 0;
        try {
            deleteLentFilm(dbfFilmy, dbfZnajomi, loans, toStoredDate(clock->now().date()), [&] {
                dbfNrF.insert();
                dbfNrF.setInteger(kIdCd, number);
                dbfNrF.post();
                poolRecord = dbfNrF.recNo();
                dbfFilmy.deleteRecord();
            });
            if (m_openLoans.erase(number) > 0)
                refreshLoanMarks();
        } catch (const std::exception &e) {
            dbfNrF.cancel();
            QString text = withReason(glowny::deleteError.toString(), e);
            if (poolRecord != 0) {
                // The film still exists: its number must not be offered again.
                try {
                    if (!dbfNrF.gotoRecord(poolRecord))
                        throw StateError(dbfNrF.fileName(), "the pool's new record is gone");
                    dbfNrF.deleteRecord();
                } catch (const std::exception &undo) {
                    text += u'\n' + withReason(glowny::numberLeftInPool.toString(), undo);
                }
            }
            desktop.error(this, text);
            reloadOpenLoans();
        }
        updateLendingCommands();
        return;
    }
    default:
        return;
    }
}

} // namespace welarik
