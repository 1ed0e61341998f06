#pragma once
// The program's windows, created once at start in a fixed order and living to the end: the
// main window first, because every dialog binds to its data sources.

#include <QDialog>

#include <memory>

namespace welarik {

class TfmGlowny;
class TdlgPytanie;
class TdlgDopiszFilm;
class TdlgGatunekF;
class TdlgGDane;
class TdlgZnajomi;
class TdlgZDane;

// One global reference per window, as the program reaches them from anywhere.
extern TfmGlowny *fmGlowny;
extern TdlgDopiszFilm *dlgDopiszFilm;
extern TdlgPytanie *dlgPytanie;
extern TdlgGatunekF *dlgGatunekF;
extern TdlgGDane *dlgGDane;
extern TdlgZnajomi *dlgZnajomi;
extern TdlgZDane *dlgZDane;

class Program
{
public:
    // Creates the windows in order: fmGlowny, dlgDopiszFilm, dlgPytanie, dlgGatunekF, dlgGDane,
    // dlgZnajomi, dlgZDane, and lets each reach the ones it shows. The main window is shown by
    // run().
    Program();
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // Shows the main window and runs the message loop until the program is told to end.
    int run();

private:
    std::unique_ptr<TfmGlowny> m_glowny;
    std::unique_ptr<QDialog> m_dopisz;
    std::unique_ptr<TdlgPytanie> m_pytanie;
    std::unique_ptr<TdlgGatunekF> m_gatunekF;
    std::unique_ptr<TdlgGDane> m_gDane;
    std::unique_ptr<TdlgZnajomi> m_znajomi;
    std::unique_ptr<TdlgZDane> m_zDane;
};

} // namespace welarik
