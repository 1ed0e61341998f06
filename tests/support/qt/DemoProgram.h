// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What most tests of the main window start from: a demo catalogue of a few films in a folder of
// its own, the desktop scripted, and the main window shown with that folder as the program's.
// A test class takes it as a second base, after QObject, and calls layOut and startProgram from
// its init and tearDown from its cleanup.

#include "Desktop.h"
#include "Glowny.h"
#include "Program.h"
#include "demo.h"
#include "file.h"
#include "testsupport.h"

#include <QString>

#include <memory>
#include <string>

namespace welarik::test {

class DemoProgram
{
protected:
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<ScopedScriptedDesktop> m_desktop;
    std::unique_ptr<Program> m_program;
    TfmGlowny *m_w = nullptr;
    std::string m_films; // the demo's films table

    ScriptedDesktop &desktop() { return m_desktop->get(); }

    // A demo catalogue of films films (numbered 1..films) and the scripted desktop.
    void layOut(int films)
    {
        DemoOptions options;
        options.films = films;
        layOut(options);
    }
    void layOut(const DemoOptions &options)
    {
        m_dir = std::make_unique<TempDir>();
        EngineDemoWriter writer;
        m_films = createDemoCatalogue(FileSystem::real(), m_dir->path().string(), options, writer)
                      .filmsPath;
        m_desktop = std::make_unique<ScopedScriptedDesktop>();
    }

    // The program over that folder, its main window shown (no catalogue opened yet).
    void startProgram()
    {
        m_program = std::make_unique<Program>();
        m_w = fmGlowny;
        m_w->setProgramDir(QString::fromStdString(m_dir->path().string()));
        m_w->show();
    }

    void tearDown()
    {
        m_program.reset();
        m_desktop.reset();
        m_dir.reset();
    }
};

} // namespace welarik::test
