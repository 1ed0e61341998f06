#include "Program.h"

#include "DopiszF.h"
#include "Glowny.h"
#include "Pytanie.h"

#include <QApplication>

namespace welarik {

TfmGlowny *fmGlowny = nullptr;
TdlgDopiszFilm *dlgDopiszFilm = nullptr;
TdlgPytanie *dlgPytanie = nullptr;

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
    fmGlowny->filmEditor = dlgDopiszFilm;
    fmGlowny->questionDialog = dlgPytanie;
}

Program::~Program()
{
    dlgPytanie = nullptr;
    dlgDopiszFilm = nullptr;
    fmGlowny = nullptr;
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
