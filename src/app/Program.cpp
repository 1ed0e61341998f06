#include "Program.h"

#include "DopiszF.h"
#include "GDane.h"
#include "GatunekF.h"
#include "Glowny.h"
#include "Pytanie.h"
#include "ZDane.h"
#include "Znajomi.h"

#include <QApplication>

namespace welarik {

TfmGlowny *fmGlowny = nullptr;
TdlgDopiszFilm *dlgDopiszFilm = nullptr;
TdlgPytanie *dlgPytanie = nullptr;
TdlgGatunekF *dlgGatunekF = nullptr;
TdlgGDane *dlgGDane = nullptr;
TdlgZnajomi *dlgZnajomi = nullptr;
TdlgZDane *dlgZDane = nullptr;

Program::Program()
{
    m_glowny = std::make_unique<TfmGlowny>();
    fmGlowny = m_glowny.get();
    auto dopisz = std::make_unique<TdlgDopiszFilm>(fmGlowny->dsFilmy, fmGlowny);
    dopisz->setObjectName(QStringLiteral("dlgDopiszFilm"));
    dlgDopiszFilm = dopisz.get();
    m_dopisz = std::move(dopisz);
    m_pytanie = std::make_unique<TdlgPytanie>(fmGlowny);
    m_pytanie->setObjectName(QStringLiteral("dlgPytanie"));
    dlgPytanie = m_pytanie.get();
    dlgDopiszFilm->setQuestionDialog(dlgPytanie);
    m_gatunekF = std::make_unique<TdlgGatunekF>(fmGlowny->dsGatunekF, fmGlowny);
    dlgGatunekF = m_gatunekF.get();
    m_gDane = std::make_unique<TdlgGDane>(fmGlowny->dsGatunekF, fmGlowny);
    dlgGDane = m_gDane.get();
    m_znajomi = std::make_unique<TdlgZnajomi>(fmGlowny->dsZnajomi, fmGlowny->dbfConfig, fmGlowny);
    dlgZnajomi = m_znajomi.get();
    m_zDane = std::make_unique<TdlgZDane>(fmGlowny->dsZnajomi, fmGlowny);
    dlgZDane = m_zDane.get();
    dlgGatunekF->setEntryDialog(dlgGDane);
    dlgGatunekF->setQuestionDialog(dlgPytanie);
    dlgZnajomi->setPersonDialog(dlgZDane);
    dlgZnajomi->setQuestionDialog(dlgPytanie);
    fmGlowny->genreListDialog = dlgGatunekF;
    fmGlowny->friendsListDialog = dlgZnajomi;
}

Program::~Program()
{
    fmGlowny->genreListDialog = nullptr;
    fmGlowny->friendsListDialog = nullptr;
    dlgZDane = nullptr;
    dlgZnajomi = nullptr;
    dlgGDane = nullptr;
    dlgGatunekF = nullptr;
    dlgPytanie = nullptr;
    dlgDopiszFilm = nullptr;
    fmGlowny = nullptr;
    m_zDane.reset();
    m_znajomi.reset();
    m_gDane.reset();
    m_gatunekF.reset();
    m_pytanie.reset();
    m_dopisz.reset();
    m_glowny.reset();
}

int Program::run()
{
    fmGlowny->show();
    return QApplication::exec();
}

} // namespace welarik
