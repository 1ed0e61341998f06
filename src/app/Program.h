// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's windows, created once at start in a fixed order and living to the end: the
// main window first, because every dialog binds to its data sources. Also where the program
// keeps its catalogue, and what its command line asks for.

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <memory>

namespace welarik {

class TfmGlowny;
class TdlgPytanie;
class TdlgDopiszFilm;
class TdlgGatunekF;
class TdlgGDane;
class TdlgZnajomi;
class TdlgZDane;
class TdlgOsoby;
class TdlgODane;

// One global reference per window, as the program reaches them from anywhere.
extern TfmGlowny *fmGlowny;
extern TdlgDopiszFilm *dlgDopiszFilm;
extern TdlgPytanie *dlgPytanie;
extern TdlgGatunekF *dlgGatunekF;
extern TdlgGDane *dlgGDane;
extern TdlgZnajomi *dlgZnajomi;
extern TdlgZDane *dlgZDane;
extern TdlgOsoby *dlgOsoby;
extern TdlgODane *dlgODane;

// The program folder (ending with '/'): executableDir itself when it holds a folder BAZY (the
// portable layout), otherwise the user's data folder, $XDG_DATA_HOME/welarik/ (by default
// ~/.local/share/welarik/).
QString programFolder(const QString &executableDir);

// At the first start in programDir (it holds no BAZY yet): lays out an empty catalogue there,
// FILMY.DBF with memo and index (unless one of its files is there already) and BAZY with the
// five side tables. Files that are there are never written. Returns an error text, empty on
// success and when there was nothing to do.
QString layOutEmptyCatalogue(const QString &programDir);

// The program's icon at every size it is drawn in.
QIcon programIcon();

struct CommandLine
{
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString file;  // a catalogue to open at start (Run), may be empty
    QString error; // what is wrong (Error)
};

// Reads the arguments that follow the program's name: --help (-h), --version, at most one
// file; "--" ends the options. Help and version win over everything else.
CommandLine parseCommandLine(const QStringList &arguments);
// The texts that --help and --version print.
QString usageText();
QString versionText();

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

    // Shows the main window and runs the message loop until the program is told to end. A
    // catalogue file given here is opened once the loop runs, as the open command opens the
    // file the user chose.
    int run(const QString &catalogueFile = QString());

private:
    std::unique_ptr<TfmGlowny> m_glowny;
    std::unique_ptr<QDialog> m_dopisz;
    std::unique_ptr<TdlgPytanie> m_pytanie;
    std::unique_ptr<TdlgGatunekF> m_gatunekF;
    std::unique_ptr<TdlgGDane> m_gDane;
    std::unique_ptr<TdlgZnajomi> m_znajomi;
    std::unique_ptr<TdlgZDane> m_zDane;
    std::unique_ptr<TdlgOsoby> m_osoby;
    std::unique_ptr<TdlgODane> m_oDane;
};

} // namespace welarik
