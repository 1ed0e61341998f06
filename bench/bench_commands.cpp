// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the film record commands in the real main window on a generated catalogue of 100,000
// films with the lent view in force. The editor's answer is scripted, so an iteration times the
// whole command: the next number, the table states, the post or delete, and the pool writes.

#include "Desktop.h"
#include "DopiszF.h"
#include "Glowny.h"
#include "ModalResult.h"
#include "Program.h"
#include "demo.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace welarik;

namespace {

constexpr uint32_t kFilms = 100000;

// One catalogue and one program per run of the benchmark program.
class Setup
{
public:
    // Made on first use; main() ends it before the application object goes.
    static Setup &instance()
    {
        if (!s_instance)
            s_instance.reset(new Setup);
        return *s_instance;
    }
    static void end() { s_instance.reset(); }
    ~Setup()
    {
        m_program.reset();
        std::filesystem::remove_all(m_dir);
    }
    TfmGlowny &window() { return *fmGlowny; }
    ScriptedDesktop &desktop() { return m_desktop.get(); }
    void setPool(std::initializer_list<int> numbers)
    {
        Table &pool = fmGlowny->dbfNrF;
        while (!pool.isEmpty()) {
            pool.first();
            pool.deleteRecord();
        }
        for (int n : numbers) {
            pool.insert();
            pool.setInteger("ID_CD", n);
            pool.post();
        }
    }

private:
    Setup()
    {
        m_dir = std::filesystem::temp_directory_path()
                / ("welarik-bench-commands-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        DemoOptions options;
        options.films = kFilms;
        EngineDemoWriter writer;
        const std::string films
            = createDemoCatalogue(FileSystem::real(), m_dir.string(), options, writer).filmsPath;
        m_program = std::make_unique<Program>();
        fmGlowny->setProgramDir(QString::fromStdString(m_dir.string()));
        m_desktop->queueFileName(QString::fromStdString(films));
        fmGlowny->cmdTOpenClick();
        fmGlowny->Pokawypozyczone1->trigger(); // the lent view
        fmGlowny->dbfFilmy.first();
    }
    static inline std::unique_ptr<Setup> s_instance;
    std::filesystem::path m_dir;
    ScopedScriptedDesktop m_desktop;
    std::unique_ptr<Program> m_program;
};

void BM_AddFilm(benchmark::State &state)
{
    Setup &s = Setup::instance();
    TfmGlowny &w = s.window();
    dlgDopiszFilm->scriptedRun = [](TdlgDopiszFilm &) {
        return int(mrOk);
    };
    for (auto _ : state)
        w.FilmCommand(TfmGlowny::fcAdd);
    dlgDopiszFilm->scriptedRun = nullptr;
    if (!s.desktop().shown().empty())
        state.SkipWithError("a command showed a message");
}
BENCHMARK(BM_AddFilm)->Unit(benchmark::kMillisecond);

void BM_CorrectWithNumberChange(benchmark::State &state)
{
    Setup &s = Setup::instance();
    TfmGlowny &w = s.window();
    s.setPool({900000});
    w.dbfFilmy.first();
    // What the number picker does: take the pool's first number for the film.
    dlgDopiszFilm->scriptedRun = [&w](TdlgDopiszFilm &) {
        w.dbfNrF.first();
        w.dbfFilmy.setInteger("ID_CD", w.dbfNrF.asInteger("ID_CD"));
        return int(mrOk);
    };
    for (auto _ : state)
        w.FilmCommand(TfmGlowny::fcCorrect);
    dlgDopiszFilm->scriptedRun = nullptr;
    if (!s.desktop().shown().empty())
        state.SkipWithError("a command showed a message");
}
BENCHMARK(BM_CorrectWithNumberChange)->Unit(benchmark::kMillisecond);

void BM_DeleteFilm(benchmark::State &state)
{
    Setup &s = Setup::instance();
    TfmGlowny &w = s.window();
    w.dbfFilmy.first();
    for (auto _ : state) {
        s.desktop().queueAnswer(mrOk);
        w.Kasujfilm1Click();
    }
    if (s.desktop().count(MessageKind::Error) + s.desktop().count(MessageKind::DefaultError) > 0)
        state.SkipWithError("a command showed a message");
}
BENCHMARK(BM_DeleteFilm)->Unit(benchmark::kMillisecond);

void BM_NextCdNumberEmptyPool(benchmark::State &state)
{
    Setup &s = Setup::instance();
    TfmGlowny &w = s.window();
    s.setPool({});
    for (auto _ : state)
        benchmark::DoNotOptimize(w.NextCdNumber(false));
}
BENCHMARK(BM_NextCdNumberEmptyPool)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Setup::end();
    benchmark::Shutdown();
    return 0;
}
