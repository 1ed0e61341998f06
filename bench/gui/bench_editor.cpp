// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the film editor with completion on, over a generated catalogue of 100,000 films and a
// people table of 10,000 people (2,500 of each role): the editor shown in correct mode until its
// completion lists are filled (the first showing after the films table opened, and the repeated
// mean), and one keystroke in the director edit until the narrowed list is up.

#include "Completion.h"
#include "DataSource.h"
#include "Desktop.h"
#include "DopiszF.h"
#include "FieldBinding.h"
#include "Glowny.h"
#include "Settings.h"
#include "demo.h"
#include "people.h"
#include "table.h"
#include "tableengine.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <random>

using namespace welarik;

namespace {

constexpr uint32_t kFilms = 100000;
constexpr int kPeople = 10000;

const char *const kSurnames[] = {"Kowalski",
                                 "Nowak",
                                 "Wiśniewski",
                                 "Wójcik",
                                 "Kamiński",
                                 "Lewandowski",
                                 "Zieliński",
                                 "Szymański",
                                 "Woźniak",
                                 "Dąbrowski",
                                 "Kozłowski",
                                 "Jankowski",
                                 "Mazur",
                                 "Kwiatkowski",
                                 "Krawczyk"};
const char *const kFirstNames[] = {"Anna", "Piotr", "Maria", "Jan", "Katarzyna", "Tomasz", "Ewa"};

// 10,000 people added to the demo's people table through the engine's bulk path.
void addPeople(const std::string &path)
{
    auto engine
        = TableEngine::open(FileSystem::real(), path, OpenMode::ReadWrite, ShareMode::Exclusive);
    std::mt19937 rng(3);
    engine->beginBulk();
    for (int i = 0; i < kPeople; ++i) {
        RecordBuffer record = engine->blankRecord();
        engine->setFieldText(
            record, engine->fieldIndex("TYP"), std::string(1, people::kRoles[size_t(i % 4)].code));
        engine->setFieldText(
            record, engine->fieldIndex("IMIE"), kFirstNames[rng() % std::size(kFirstNames)]);
        engine->setFieldText(record,
                             engine->fieldIndex("NAZWISKO"),
                             std::string(kSurnames[rng() % std::size(kSurnames)]) + "-"
                                 + std::to_string(1000 + i));
        engine->append(record);
    }
    engine->endBulk();
}

class Catalogue100k
{
public:
    static Catalogue100k &instance()
    {
        if (!s_instance)
            s_instance.reset(new Catalogue100k);
        return *s_instance;
    }
    static void release() { s_instance.reset(); }
    ~Catalogue100k()
    {
        m_editor.reset();
        m_window.reset();
        Desktop::setInstance(nullptr);
    }
    TfmGlowny &window() { return *m_window; }
    TdlgDopiszFilm &editor() { return *m_editor; }

private:
    Catalogue100k()
    {
        DemoOptions options;
        options.films = kFilms;
        options.seed = 1;
        EngineDemoWriter writer;
        const std::string dir = m_dir.path().toStdString();
        const std::string films
            = createDemoCatalogue(FileSystem::real(), dir, options, writer).filmsPath;
        addPeople(dir + "/BAZY/DANEF.DBF");
        Desktop::setInstance(&m_desktop);
        m_window = std::make_unique<TfmGlowny>();
        m_window->setProgramDir(m_dir.path());
        m_editor = std::make_unique<TdlgDopiszFilm>(m_window->dsFilmy, m_window.get());
        m_editor->setLookupSources(m_window->dsNrF, m_window->dsGatunekF, m_window->dsDaneF);
        m_window->show();
        m_desktop.queueFileName(QString::fromStdString(films));
        m_window->cmdTOpen->trigger();
        if (!m_window->dbfFilmy.isOpen() || m_window->dbfDaneF.recordCount() < kPeople)
            throw std::runtime_error("the catalogue did not open");
        QCoreApplication::processEvents();
    }
    static inline std::unique_ptr<Catalogue100k> s_instance;
    QTemporaryDir m_dir;
    ScriptedDesktop m_desktop;
    std::unique_ptr<TfmGlowny> m_window;
    std::unique_ptr<TdlgDopiszFilm> m_editor;
};

// Shows the editor in correct mode and lets it settle; hides it again.
void showEditor(TfmGlowny &w, TdlgDopiszFilm &editor)
{
    w.dbfFilmy.edit();
    editor.show();
    QCoreApplication::processEvents();
}

void hideEditor(TfmGlowny &w, TdlgDopiszFilm &editor)
{
    editor.hide();
    w.dbfFilmy.cancel();
}

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Opens the films and people tables again; with idle set, lets the program be idle until the
// editor has read the values again, and returns how long that took.
double reopen(TfmGlowny &w, TdlgDopiszFilm &editor, bool idle)
{
    w.dbfFilmy.close();
    w.dbfFilmy.open();
    w.dbfFilmy.first();
    // The people are read again at the next showing too, as at the first one of a run.
    w.dbfDaneF.close();
    w.dbfDaneF.open();
    const auto start = std::chrono::steady_clock::now();
    while (idle && !editor.completionReady() && msSince(start) < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return msSince(start);
}

double firstShow(TfmGlowny &w, TdlgDopiszFilm &editor)
{
    const auto start = std::chrono::steady_clock::now();
    showEditor(w, editor);
    const double ms = msSince(start);
    hideEditor(w, editor);
    return ms;
}

// The editor shown after the program was idle for a while since the catalogue opened (the
// films' values read meanwhile): the first showing and the repeated mean. For information: the
// first showing at once after the opening (the films' values read then), and how long the idle
// reading took in all.
void BM_EditorOpen(benchmark::State &state)
{
    Settings::setAutocomplete(true);
    Catalogue100k &c = Catalogue100k::instance();
    TfmGlowny &w = c.window();
    TdlgDopiszFilm &editor = c.editor();
    reopen(w, editor, false);
    const double atOnce = firstShow(w, editor);
    const double idleRead = reopen(w, editor, true);
    const double first = firstShow(w, editor);
    for (auto _ : state) {
        showEditor(w, editor);
        state.PauseTiming();
        hideEditor(w, editor);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["first_ms"] = first;
    state.counters["first_at_once_ms"] = atOnce;
    state.counters["idle_read_ms"] = idleRead;
    state.counters["directors"] = editor.completion(editor.EditREZYSER)->valueCount();
    state.counters["countries"] = editor.completion(editor.EditKRAJ)->valueCount();
    if (editor.completion(editor.EditREZYSER)->valueCount() < kPeople / 4
        || editor.completion(editor.EditKRAJ)->valueCount() == 0)
        state.SkipWithError("the values were not read");
}
BENCHMARK(BM_EditorOpen)->Unit(benchmark::kMillisecond);

void sendKey(QWidget *target, Qt::Key key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// One letter typed into the director edit ("Kowalski-1" narrowed to "Kowalski-12"), the list
// narrowed and shown; Backspace (not timed) widens it again.
void BM_Keystroke(benchmark::State &state)
{
    Settings::setAutocomplete(true);
    Catalogue100k &c = Catalogue100k::instance();
    TfmGlowny &w = c.window();
    TdlgDopiszFilm &editor = c.editor();
    showEditor(w, editor);
    DBEdit *edit = editor.EditREZYSER;
    edit->setFocus();
    edit->clear();
    for (QChar ch : QStringLiteral("kowalski-1"))
        sendKey(edit, Qt::Key_A, QString(ch));
    FieldCompleter *completer = editor.completion(edit);
    bool shown = true;
    for (auto _ : state) {
        sendKey(edit, Qt::Key_2, QStringLiteral("2"));
        shown = shown && completer->listVisible();
        state.PauseTiming();
        sendKey(edit, Qt::Key_Backspace, QString());
        state.ResumeTiming();
    }
    hideEditor(w, editor);
    if (!shown)
        state.SkipWithError("the list was not shown");
}
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8()); // never the user's settings
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Catalogue100k::release();
    return 0;
}
