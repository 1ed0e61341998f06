// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the lookup controls in the real main window over a generated catalogue of 100,000
// films: the quick find opened until its grid shows rows, one incremental search step (a title
// through UPPER(T_PL), a CD number through ID_CD, a text no film begins with), the genre view
// from the drop-down's close-up to the filtered count, and a drop-down over 1,000 genres opened.

#include "Desktop.h"
#include "DropDownPicker.h"
#include "Glowny.h"
#include "LookupDialog.h"
#include "QuickFind.h"
#include "demo.h"
#include "table.h"
#include "tableengine.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <unistd.h>

using namespace welarik;

namespace {

constexpr uint32_t kFilms = 100000;

// The catalogue, opened in the main window through its Open command, once per run.
class Window100k
{
public:
    static Window100k &instance()
    {
        if (!s_instance)
            s_instance.reset(new Window100k);
        return *s_instance;
    }
    // The window goes before the application object does.
    static void release() { s_instance.reset(); }
    ~Window100k()
    {
        m_window.reset();
        Desktop::setInstance(nullptr);
        std::filesystem::remove_all(m_dir);
    }
    TfmGlowny &window() { return *m_window; }
    const std::filesystem::path &dir() const { return m_dir; }

private:
    Window100k()
    {
        m_dir = std::filesystem::temp_directory_path()
                / ("welarik-bench-lookup-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        DemoOptions options;
        options.films = kFilms;
        options.seed = 1;
        EngineDemoWriter writer;
        const std::string films
            = createDemoCatalogue(FileSystem::real(), m_dir.string(), options, writer).filmsPath;
        Desktop::setInstance(&m_desktop);
        m_window = std::make_unique<TfmGlowny>();
        m_window->setProgramDir(QString::fromStdString(m_dir.string()));
        m_window->show();
        m_desktop.queueFileName(QString::fromStdString(films));
        m_window->cmdTOpen->trigger();
        if (!m_window->dbfFilmy.isOpen())
            throw std::runtime_error("the catalogue did not open");
        QCoreApplication::processEvents();
    }
    static inline std::unique_ptr<Window100k> s_instance;
    std::filesystem::path m_dir;
    ScriptedDesktop m_desktop;
    std::unique_ptr<TfmGlowny> m_window;
};

void BM_QuickFindOpen(benchmark::State &state)
{
    TfmGlowny &w = Window100k::instance().window();
    w.dbfFilmy.setIndexName("ID_CD");
    int rows = 0;
    for (auto _ : state) {
        // Once the dialog runs, paint its grid and close it.
        QTimer::singleShot(0, [&rows] {
            auto *dialog = qobject_cast<LookupDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialog->grid->viewport()->repaint();
            rows = dialog->model()->rowCount();
            dialog->done(mrCancel);
        });
        w.dlgFastFind->execute();
    }
    if (rows != w.dbfFilmy.recordCount())
        state.SkipWithError("the dialog did not list the films");
}
BENCHMARK(BM_QuickFindOpen)->Unit(benchmark::kMillisecond);

// Search texts: the first letters of titles, or CD numbers, in a random order.
std::vector<QString> searchTexts(Table &films, bool numbers)
{
    std::mt19937 rng(7);
    std::vector<QString> texts;
    for (int i = 0; i < 1000; ++i) {
        const int row = int(rng() % uint32_t(films.rowCount()));
        const uint32_t recno = films.recordAtRow(row);
        if (numbers) {
            texts.push_back(QString::fromStdString(films.asStringOf(recno, "ID_CD")).trimmed());
        } else {
            const QString title = QString::fromStdString(films.asStringOf(recno, "T_PL"));
            texts.push_back(title.left(3 + int(rng() % 6)).toUpper());
        }
    }
    return texts;
}

void searchStep(benchmark::State &state, const char *tag, const std::vector<QString> &texts)
{
    TfmGlowny &w = Window100k::instance().window();
    w.dbfFilmy.setIndexName(tag);
    LookupDialog dialog(w.dbfFilmy, w.dlgFastFind->settings(), &w);
    dialog.show();
    QCoreApplication::processEvents();
    size_t i = 0;
    for (auto _ : state) {
        dialog.edSearch->setText(texts[i++ % texts.size()]);
        dialog.searchNow();
    }
    dialog.done(mrCancel);
}

void BM_SearchStepTitle(benchmark::State &state)
{
    TfmGlowny &w = Window100k::instance().window();
    searchStep(state, "T_PL", searchTexts(w.dbfFilmy, false));
}
BENCHMARK(BM_SearchStepTitle)->Unit(benchmark::kMicrosecond);

void BM_SearchStepNumber(benchmark::State &state)
{
    TfmGlowny &w = Window100k::instance().window();
    searchStep(state, "ID_CD", searchTexts(w.dbfFilmy, true));
}
BENCHMARK(BM_SearchStepNumber)->Unit(benchmark::kMicrosecond);

void BM_SearchStepNoMatch(benchmark::State &state)
{
    TfmGlowny &w = Window100k::instance().window();
    w.dbfFilmy.first();
    const uint32_t before = w.dbfFilmy.recNo();
    // Two texts in turn, so that each step differs from the last one searched.
    searchStep(state, "T_PL", {QStringLiteral("ŻŻŻŻŻŻQ"), QStringLiteral("ŻŻŻŻŻŻW")});
    if (w.dbfFilmy.recNo() != before)
        state.SkipWithError("a text no film begins with moved the table");
}
BENCHMARK(BM_SearchStepNoMatch)->Unit(benchmark::kMicrosecond);

void BM_GenreView(benchmark::State &state)
{
    TfmGlowny &w = Window100k::instance().window();
    DropDownPicker *picker = w.cmdTRozwin;
    int count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QCoreApplication::processEvents(); // the closed lists go
        picker->openLookup();
        w.dbfGatunekF.next(); // the next genre (the list wraps at the end)
        if (w.dbfGatunekF.eof())
            w.dbfGatunekF.first();
        state.ResumeTiming();
        picker->closeUp(true);
        count = w.dbfFilmy.recordCount();
    }
    const std::string expected = "GATUNEK='" + picker->text().toStdString() + "'";
    if (w.dbfFilmy.filter() != expected || count == 0)
        state.SkipWithError("the close-up did not set the genre's filter");
    state.counters["films_shown"] = count;
    w.dbfFilmy.setFilter({});
}
BENCHMARK(BM_GenreView)->Unit(benchmark::kMillisecond);

// The same right after the films table opened: the first filter on GATUNEK reads the field's
// bytes from the file once.
void BM_GenreViewFirst(benchmark::State &state)
{
    TfmGlowny &w = Window100k::instance().window();
    DropDownPicker *picker = w.cmdTRozwin;
    for (auto _ : state) {
        state.PauseTiming();
        w.dbfFilmy.setFilter({});
        w.dbfFilmy.close();
        w.dbfFilmy.open();
        w.dbfFilmy.recordCount();
        picker->openLookup();
        state.ResumeTiming();
        picker->closeUp(true);
        benchmark::DoNotOptimize(w.dbfFilmy.recordCount());
    }
    w.dbfFilmy.setFilter({});
}
BENCHMARK(BM_GenreViewFirst)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DropDownOpen1000(benchmark::State &state)
{
    TfmGlowny &w = Window100k::instance().window();
    const std::string path = (Window100k::instance().dir() / "G1000.DBF").string();
    FieldDesc field;
    field.name = "GATUNEK";
    field.length = 30;
    TableEngine::create(FileSystem::real(), path, 4, 0x57, {field}, {{"GATUNEK", "GATUNEK"}})
        ->close();
    Table genres;
    genres.setFileName(path);
    genres.open();
    for (int i = 0; i < 1000; ++i) {
        genres.insert();
        genres.setString("GATUNEK", "Gatunek " + std::to_string(1000 + i));
        genres.post();
    }
    genres.setIndexName("GATUNEK");
    DropDownPicker picker(&w);
    picker.setGeometry(100, 100, 22, 22);
    picker.setLookupTable(&genres);
    picker.setLookupField(QStringLiteral("GATUNEK"));
    picker.setSelected({QStringLiteral("GATUNEK\t25\tGatunek\tF")});
    picker.setUseTFields(true);
    picker.setText(QStringLiteral("Gatunek 1500"));
    picker.show();
    for (auto _ : state) {
        picker.openLookup();
        picker.listGrid()->viewport()->repaint();
        state.PauseTiming();
        picker.closeUp(false);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    if (genres.asString("GATUNEK") != "Gatunek 1500")
        state.SkipWithError("the list did not open on the picker's genre");
}
BENCHMARK(BM_DropDownOpen1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Window100k::release();
    return 0;
}
