// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo.h"

#include "catalogue.h"

#include <algorithm>
#include <set>

namespace welarik {

namespace {

constexpr int kMaxCdNumber = 999999; // ID_CD holds six digits

// Deterministic generator (splitmix64): the same seed gives the same catalogue everywhere.
class Random
{
public:
    explicit Random(uint64_t seed)
        : m_state(seed)
    {}
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(next() % n); }
    template<typename T, size_t N>
    const T &pick(const T (&items)[N])
    {
        return items[below(N)];
    }

private:
    uint64_t m_state;
};

struct Person
{
    const char *typ;
    const char *imie;
    const char *nazwisko;
};

// Directors (R), screenwriters (S), cinematographers (Z) and actors (A). One surname is stored
// with leading blanks and one person has no first name, as hand-typed tables have.
const Person kPeople[] = {
    {"R", "Jerzy", "Hoffman"},
    {"R", "Andrzej", "Wajda"},
    {"R", "Marek", "Koterski"},
    {"R", "Juliusz", "Machulski"},
    {"R", "Stanisław", "Bareja"},
    {"R", "Krzysztof", "  Kieślowski"},
    {"R", "Roman", "Polański"},
    {"R", "Władysław", "Pasikowski"},
    {"R", "Steven", "Spielberg"},
    {"R", "Miloš", "Forman"},
    {"S", "Jerzy", "Hoffman"},
    {"S", "Krzysztof", "Piesiewicz"},
    {"S", "Jacek", "Fedorowicz"},
    {"S", "Stanisław", "Tym"},
    {"S", "Ronald", "Harwood"},
    {"S", "Mario", "Puzo"},
    {"Z", "Edward", "Kłosiński"},
    {"Z", "Sławomir", "Idziak"},
    {"Z", "Witold", "Sobociński"},
    {"Z", "Janusz", "Kamiński"},
    {"Z", "Paweł", "Edelman"},
    {"A", "Bogusław", "Linda"},
    {"A", "Zbigniew", "Cybulski"},
    {"A", "Krystyna", "Janda"},
    {"A", "Jerzy", "Stuhr"},
    {"A", "Daniel", "Olbrychski"},
    {"A", "Cezary", "Pazura"},
    {"A", "Janusz", "Gajos"},
    {"A", "Maja", "Komorowska"},
    {"A", "Adrien", "Brody"},
    {"A", "", "Cher"},
    {"A", "Jack", "Nicholson"},
    {"A", "Tom", "Hanks"},
    {"A", "Marek", "Kondrat"},
};

struct Film
{
    int id;
    const char *tpl;
    const char *torg;
    const char *gatunek;
    const char *rok;
    const char *kraj;
    const char *rezyser;
    const char *scenariu;
    const char *zdjecia;
    const char *aktorzy;
    const char *opis;
    int lent; // ID_OSOBY: 1 lent, 0 on the shelf
};

// CD numbers 1..44 without 7, 15, 23 and 41, which are in the free-number pool.
const Film kFilms[] = {
    {1,
     "Ogniem i mieczem",
     "Ogniem i mieczem",
     "Historyczny",
     "1999",
     "Polska",
     "Hoffman Jerzy",
     "Hoffman Jerzy",
     "Sobociński Witold",
     "Michał Żebrowski, Izabella Scorupco",
     "Ekranizacja powieści Henryka Sienkiewicza.\r\nDwie płyty.",
     0},
    {2,
     "Pan Tadeusz",
     "Pan Tadeusz",
     "Historyczny",
     "1999",
     "Polska",
     "Wajda Andrzej",
     "Wajda Andrzej",
     "Kłosiński Edward",
     "Bogusław Linda, Daniel Olbrychski",
     "Ostatni zajazd na Litwie.",
     0},
    {3,
     "Dzień świra",
     "Dzień świra",
     "Komedia",
     "2002",
     "Polska",
     "Koterski Marek",
     "Koterski Marek",
     "Ptak Jacek",
     "Marek Kondrat",
     "Jeden dzień z życia Adasia Miauczyńskiego.",
     1},
    {4,
     "Seksmisja",
     "Seksmisja",
     "Komedia",
     "1983",
     "Polska",
     "Machulski Juliusz",
     "Fedorowicz Jacek",
     "Bukowiecki Jerzy",
     "Jerzy Stuhr, Olgierd Łukaszewicz",
     "",
     0},
    {5,
     "Miś",
     "Miś",
     "Komedia",
     "1980",
     "Polska",
     "Bareja Stanisław",
     "Tym Stanisław",
     "Bukowiecki Zdzisław",
     "Stanisław Tym",
     "Kultowa komedia o prezesie klubu „Tęcza”.",
     1},
    {6,
     "Rejs",
     "Rejs",
     "Komedia",
     "1970",
     "Polska",
     "Piwowski Marek",
     "Tym Stanisław",
     "Mroziewicz Andrzej",
     "Stanisław Tym, Zdzisław Maklakiewicz",
     "",
     0},
    {8,
     "Vabank",
     "Vabank",
     "Komedia, Kryminał",
     "1981",
     "Polska",
     "Machulski Juliusz",
     "Machulski Juliusz",
     "Bukowiecki Jerzy",
     "Jan Machulski, Leonard Pietraszak",
     "Kramer wychodzi z więzienia i planuje zemstę.",
     0},
    {9,
     "Kiler",
     "Kiler",
     "Komedia",
     "1997",
     "Polska",
     "Machulski Juliusz",
     "Machulski Juliusz",
     "Łukasiewicz Jerzy",
     "Cezary Pazura, Janusz Rewiński",
     "",
     0},
    {10,
     "Psy",
     "Psy",
     "Sensacja",
     "1992",
     "Polska",
     "Pasikowski Władysław",
     "Pasikowski Władysław",
     "Ptak Paweł",
     "Bogusław Linda, Marek Kondrat",
     "",
     0},
    {11,
     "Nóż w wodzie",
     "Nóż w wodzie",
     "Thriller",
     "1962",
     "Polska",
     "Polański Roman",
     "Skolimowski Jerzy",
     "Lipman Jerzy",
     "Leon Niemczyk, Jolanta Umecka",
     "",
     0},
    {12,
     "Popiół i diament",
     "Popiół i diament",
     "Dramat",
     "1958",
     "Polska",
     "Wajda Andrzej",
     "Andrzejewski Jerzy",
     "Wójcik Jerzy",
     "Zbigniew Cybulski",
     "",
     0},
    {13,
     "Człowiek z żelaza",
     "Człowiek z żelaza",
     "Dramat",
     "1981",
     "Polska",
     "Wajda Andrzej",
     "Ścibor-Rylski Aleksander",
     "Kłosiński Edward",
     "Jerzy Radziwiłowicz, Krystyna Janda",
     "",
     0},
    {14,
     "Krótki film o zabijaniu",
     "Krótki film o zabijaniu",
     "Dramat",
     "1988",
     "Polska",
     "Kieślowski Krzysztof",
     "Piesiewicz Krzysztof",
     "Idziak Sławomir",
     "Mirosław Baka",
     "",
     0},
    {16,
     "Trzy kolory: Niebieski",
     "Trois couleurs: Bleu",
     "Dramat",
     "1993",
     "Francja",
     "Kieślowski Krzysztof",
     "Piesiewicz Krzysztof",
     "Idziak Sławomir",
     "Juliette Binoche",
     "Pierwsza część trylogii.",
     0},
    {17,
     "Pianista",
     "The Pianist",
     "Wojenny",
     "2002",
     "Polska",
     "Polański Roman",
     "Harwood Ronald",
     "Edelman Paweł",
     "Adrien Brody",
     "Historia Władysława Szpilmana.",
     1},
    {18,
     "Władca Pierścieni: Drużyna Pierścienia",
     "The Lord of the Rings",
     "Fantasy",
     "2001",
     "Nowa Zelandia",
     "Jackson Peter",
     "Walsh Fran",
     "Lesnie Andrew",
     "Elijah Wood, Ian McKellen",
     "",
     0},
    {19,
     "Ojciec chrzestny",
     "The Godfather",
     "Kryminał",
     "1972",
     "USA",
     "Coppola Francis Ford",
     "Puzo Mario",
     "Willis Gordon",
     "Marlon Brando, Al Pacino",
     "",
     0},
    {20,
     "Skazani na Shawshank",
     "The Shawshank Redemption",
     "Dramat",
     "1994",
     "USA",
     "Darabont Frank",
     "Darabont Frank",
     "Deakins Roger",
     "Tim Robbins, Morgan Freeman",
     "",
     0},
    {21,
     "Lot nad kukułczym gniazdem",
     "One Flew Over the Cuckoo's Nest",
     "Dramat",
     "1975",
     "USA",
     "Forman Miloš",
     "Hauben Lawrence",
     "Wexler Haskell",
     "Jack Nicholson",
     "",
     1},
    {22,
     "Milczenie owiec",
     "The Silence of the Lambs",
     "Thriller",
     "1991",
     "USA",
     "Demme Jonathan",
     "Tally Ted",
     "Fujimoto Tak",
     "Jodie Foster, Anthony Hopkins",
     "",
     0},
    {24,
     "Gwiezdne wojny: Nowa nadzieja",
     "Star Wars",
     "Science fiction",
     "1977",
     "USA",
     "Lucas George",
     "Lucas George",
     "Taylor Gilbert",
     "Mark Hamill, Harrison Ford",
     "",
     0},
    {25,
     "Powrót do przyszłości",
     "Back to the Future",
     "Science fiction",
     "1985",
     "USA",
     "Zemeckis Robert",
     "Gale Bob",
     "Cundey Dean",
     "Michael J. Fox",
     "",
     0},
    {26,
     "Szczęki",
     "Jaws",
     "Thriller",
     "1975",
     "USA",
     "Spielberg Steven",
     "Benchley Peter",
     "Butler Bill",
     "Roy Scheider",
     "",
     0},
    {27,
     "Łowca androidów",
     "Blade Runner",
     "Science fiction",
     "1982",
     "USA",
     "Scott Ridley",
     "Fancher Hampton",
     "Cronenweth Jordan",
     "Harrison Ford, Rutger Hauer",
     "",
     0},
    {28,
     "Obcy - ósmy pasażer Nostromo",
     "Alien",
     "Horror",
     "1979",
     "USA",
     "Scott Ridley",
     "O'Bannon Dan",
     "Vanlint Derek",
     "Sigourney Weaver",
     "",
     0},
    {29,
     "Matrix",
     "The Matrix",
     "Science fiction",
     "1999",
     "USA",
     "Wachowski Lana",
     "Wachowski Lana",
     "Pope Bill",
     "Keanu Reeves",
     "Dwie płyty, napisy polskie.",
     0},
    {30,
     "Podziemny krąg",
     "Fight Club",
     "Thriller",
     "1999",
     "USA",
     "Fincher David",
     "Uhls Jim",
     "Cronenweth Jeff",
     "Brad Pitt, Edward Norton",
     "",
     0},
    {31,
     "Pulp Fiction",
     "Pulp Fiction",
     "Kryminał",
     "1994",
     "USA",
     "Tarantino Quentin",
     "Tarantino Quentin",
     "Menges Andrzej",
     "John Travolta, Uma Thurman",
     "",
     1},
    {32,
     "Forrest Gump",
     "Forrest Gump",
     "Obyczajowy",
     "1994",
     "USA",
     "Zemeckis Robert",
     "Roth Eric",
     "Burgess Don",
     "Tom Hanks",
     "",
     0},
    {33,
     "Lista Schindlera",
     "Schindler's List",
     "Wojenny",
     "1993",
     "USA",
     "Spielberg Steven",
     "Zaillian Steven",
     "Kamiński Janusz",
     "Liam Neeson, Ben Kingsley",
     "",
     0},
    {34,
     "Szeregowiec Ryan",
     "Saving Private Ryan",
     "Wojenny",
     "1998",
     "USA",
     "Spielberg Steven",
     "Rodat Robert",
     "Kamiński Janusz",
     "Tom Hanks, Matt Damon",
     "",
     0},
    {35,
     "Gladiator",
     "Gladiator",
     "Przygodowy",
     "2000",
     "USA",
     "Scott Ridley",
     "Franzoni David",
     "Mathieson John",
     "Russell Crowe",
     "",
     0},
    {36,
     "Amelia",
     "Le fabuleux destin d'Amélie Poulain",
     "Komedia",
     "2001",
     "Francja",
     "Jeunet Jean-Pierre",
     "Laurant Guillaume",
     "Delbonnel Bruno",
     "Audrey Tautou",
     "",
     0},
    {37,
     "Siedem",
     "Se7en",
     "Thriller",
     "1995",
     "USA",
     "Fincher David",
     "Walker Andrew Kevin",
     "Khondji Darius",
     "Brad Pitt, Morgan Freeman",
     "",
     0},
    {38,
     "Zielona mila",
     "The Green Mile",
     "Dramat",
     "1999",
     "USA",
     "Darabont Frank",
     "Darabont Frank",
     "Tattersall David",
     "Tom Hanks",
     "",
     0},
    {39,
     "Przeminęło z wiatrem",
     "Gone with the Wind",
     "Romans",
     "1939",
     "USA",
     "Fleming Victor",
     "Howard Sidney",
     "Haller Ernest",
     "Vivien Leigh, Clark Gable",
     "",
     0},
    {40,
     "Casablanca",
     "Casablanca",
     "Romans",
     "1942",
     "USA",
     "Curtiz Michael",
     "Epstein Julius",
     "Edeson Arthur",
     "Humphrey Bogart, Ingrid Bergman",
     "",
     0},
    {42,
     "Dwunastu gniewnych ludzi",
     "12 Angry Men",
     "Dramat",
     "1957",
     "USA",
     "Lumet Sidney",
     "Rose Reginald",
     "Kaufman Boris",
     "Henry Fonda",
     "",
     0},
    {43,
     "Chłopaki nie płaczą",
     "Chłopaki nie płaczą",
     "Komedia",
     "2000",
     "Polska",
     "Lubaszenko Olaf",
     "Saramonowicz Mikołaj",
     "Kopczyński Tomasz",
     "Maciej Stuhr, Cezary Pazura",
     "",
     0},
    {44,
     "Źródło",
     "The Fountain",
     "Science fiction",
     "2006",
     "USA",
     "Aronofsky Darren",
     "Aronofsky Darren",
     "Libatique Matthew",
     "Hugh Jackman, Rachel Weisz",
     "Żółta mgławica, ćma i źdźbło: test polskich liter ąęłńóśźż.",
     0},
};

const int kPoolNumbers[] = {23, 7, 41, 15}; // free CD numbers, deliberately unsorted

const char *const kGenres[] = {"Dramat",
                               "Komedia",
                               "Kryminał",
                               "Sensacja",
                               "Thriller",
                               "Science fiction",
                               "Wojenny",
                               "Historyczny",
                               "Przygodowy",
                               "Fantasy",
                               "Horror",
                               "Romans",
                               "Obyczajowy",
                               "Animowany",
                               "Dokumentalny"};

struct Friend
{
    const char *imie, *nazwisko, *nick, *telefon, *email;
    int ile;
};

const Friend kFriends[] = {
    {"Paweł", "Nowak", "Nowy", "601 234 567", "pawel.nowak@example.pl", 5},
    {"Agnieszka", "Wiśniewska", "Aga", "502 345 678", "aga@example.pl", 0},
    {"Łukasz", "Żółkiewski", "Żółw", "22 654 32 10", "", 1},
    {"Małgorzata", "Dąbrowska", "Gosia", "", "gosia.d@example.pl", 0},
};

// Words for generated films.
const char *const kTitleStart[] = {"Ostatni",
                                   "Cichy",
                                   "Zielony",
                                   "Długa",
                                   "Nocny",
                                   "Złoty",
                                   "Szalony",
                                   "Wielka",
                                   "Zimowy",
                                   "Ślepy",
                                   "Mroczny",
                                   "Łagodny",
                                   "Pierwszy",
                                   "Żelazny",
                                   "Dziki"};
const char *const kTitleEnd[] = {"pociąg",
                                 "brzeg",
                                 "świt",
                                 "ogień",
                                 "dom",
                                 "żołnierz",
                                 "rejs",
                                 "las",
                                 "ślad",
                                 "wiatr",
                                 "człowiek",
                                 "księżyc",
                                 "most",
                                 "gość",
                                 "źródło",
                                 "sen",
                                 "powrót",
                                 "łowca"};
const char *const kOrigStart[] = {
    "The Last", "Silent", "Green", "Long", "Night", "Golden", "Crazy", "Great", "Winter", "Blind"};
const char *const kOrigEnd[] = {"Train",
                                "Shore",
                                "Dawn",
                                "Fire",
                                "House",
                                "Soldier",
                                "River",
                                "Woods",
                                "Trace",
                                "Wind",
                                "Man",
                                "Moon"};
const char *const kCountries[]
    = {"Polska", "USA", "Francja", "Niemcy", "Wielka Brytania", "Włochy", "Czechy"};
const char *const kCodecs[] = {"DivX 5", "XviD", "DivX 3 Low-Motion", "Microsoft MPEG-4 v2"};

DemoValues filmValues(const Film &f)
{
    return {{"ID_CD", std::to_string(f.id)},
            {"T_PL", f.tpl},
            {"T_ORG", f.torg},
            {"GATUNEK", f.gatunek},
            {"D_PROD", f.rok},
            {"KRAJ", f.kraj},
            {"REZYSER", f.rezyser},
            {"SCENARIU", f.scenariu},
            {"ZDJECIA", f.zdjecia},
            {"AKTORZY", f.aktorzy},
            {"OPIS", f.opis},
            {"ILOSC_CD", f.id % 5 == 0 ? "2" : "1"},
            {"UWAGI", f.id % 4 == 0 ? "kopia zapasowa" : ""},
            {"OBEJRZAN", f.id % 3 == 0 ? "F" : "T"},
            {"ROZMIAR", std::to_string(650 + f.id * 3) + ".25 MB"},
            {"CZAS", "01:" + std::to_string(30 + f.id % 29) + ":05"},
            {"CVIDEO", f.id % 2 ? "DivX 5" : "XviD"},
            {"ROZDZIEL", "640 / " + std::to_string(f.id % 2 ? 272 : 352)},
            {"FPS", "25.00"},
            {"VBITRATE", std::to_string(800 + f.id * 7) + " Kbit/s"},
            {"CAUDIO", "MPEG Layer-3"},
            {"SAMPLE_R", "48000 Hz"},
            {"ABITRATE", "128 Kbit/s"},
            {"KANALY", "2 kanały (Stereo)"},
            {"ID_OSOBY", std::to_string(f.lent)}};
}

DemoValues generatedFilm(Random &rng, uint32_t id)
{
    std::string title = std::string(rng.pick(kTitleStart)) + " " + rng.pick(kTitleEnd);
    if (rng.below(3) == 0)
        title += " " + std::to_string(2 + rng.below(4));
    const Person &director = kPeople[rng.below(10)];
    std::string genre = rng.pick(kGenres);
    if (rng.below(20) == 0)
        genre += std::string(", ") + rng.pick(kGenres);
    DemoValues v = {
        {"ID_CD", std::to_string(id)},
        {"T_PL", title},
        {"T_ORG", std::string(rng.pick(kOrigStart)) + " " + rng.pick(kOrigEnd)},
        {"GATUNEK", genre},
        {"D_PROD", std::to_string(1930 + rng.below(95))},
        {"KRAJ", rng.pick(kCountries)},
        {"REZYSER",
         std::string(director.nazwisko + std::string(director.nazwisko).find_first_not_of(' '))
             + " " + director.imie},
        {"AKTORZY",
         std::string(kPeople[21 + rng.below(13)].imie) + " "
             + kPeople[21 + rng.below(13)].nazwisko},
        {"ILOSC_CD", std::to_string(1 + rng.below(2))},
        {"OBEJRZAN", rng.below(2) ? "T" : "F"},
        {"CVIDEO", rng.pick(kCodecs)},
        {"FPS", rng.below(2) ? "25.00" : "23.98"},
        {"ID_OSOBY", rng.below(10) == 0 ? "1" : "0"},
    };
    if (rng.below(10) == 0)
        v.push_back({"OPIS", "Opis filmu numer " + std::to_string(id) + ": zażółć gęślą jaźń."});
    return v;
}

} // namespace

// --- EngineDemoWriter

void EngineDemoWriter::openTable(FileSystem &fs, const std::string &path)
{
    m_engine = TableEngine::open(fs, path, OpenMode::ReadWrite, ShareMode::Exclusive);
    m_bulk = false;
}

void EngineDemoWriter::beginBatch(uint64_t count)
{
    if (count >= m_bulkThreshold) {
        m_engine->beginBulk();
        m_bulk = true;
    }
}

void EngineDemoWriter::endBatch()
{
    if (m_bulk) {
        m_engine->endBulk();
        m_bulk = false;
    }
}

void EngineDemoWriter::fill(RecordBuffer &record, const DemoValues &values)
{
    for (const auto &[name, value] : values) {
        const int index = m_engine->fieldIndex(name);
        if (index < 0)
            throw FieldError(m_engine->path(), "no field " + name);
        m_engine->setFieldText(record, index, value);
    }
}

uint32_t EngineDemoWriter::insert(const DemoValues &values)
{
    m_record = m_engine->blankRecord();
    fill(m_record, values);
    return m_engine->append(m_record);
}

void EngineDemoWriter::update(uint32_t recno, const DemoValues &values)
{
    m_engine->readRecord(recno, m_record);
    fill(m_record, values);
    m_engine->update(recno, m_record);
}

void EngineDemoWriter::remove(uint32_t recno)
{
    m_engine->markDeleted(recno);
}

void EngineDemoWriter::closeTable()
{
    endBatch();
    if (m_engine)
        m_engine->close();
    m_engine.reset();
}

// --- layout

FieldList demoFilmFields()
{
    return filmsLayout().fields;
}

std::vector<TagDefinition> demoFilmTags()
{
    return filmsLayout().tags;
}

namespace {

// The people, genres, friends and configuration tables.
void writeSideTables(FileSystem &fs, const CataloguePaths &paths, DemoWriter &writer)
{
    writer.openTable(fs, paths.people);
    for (const Person &p : kPeople)
        writer.insert({{"TYP", p.typ}, {"IMIE", p.imie}, {"NAZWISKO", p.nazwisko}});
    writer.closeTable();

    writer.openTable(fs, paths.genres);
    for (const char *g : kGenres)
        writer.insert({{"GATUNEK", g}});
    writer.closeTable();

    writer.openTable(fs, paths.friends);
    int friendNo = 0;
    for (const Friend &f : kFriends) {
        ++friendNo;
        writer.insert({{"ID_OSOBY", std::to_string(friendNo)},
                       {"IMIE", f.imie},
                       {"NAZWISKO", f.nazwisko},
                       {"NICK", f.nick},
                       {"TELEFON", f.telefon},
                       {"EMAIL", f.email},
                       {"ILE", std::to_string(f.ile)}});
    }
    writer.closeTable();

    writer.openTable(fs, paths.config);
    writer.insert({{"ID_OSOBY", std::to_string(friendNo + 1)}});
    writer.closeTable();
}

// The films, into the open films table: the hand-made ones, or as many generated. Appends the
// record numbers to recnos and returns the pool of numbers no film uses.
std::vector<int> writeFilms(DemoWriter &writer,
                            const DemoOptions &options,
                            Random &rng,
                            std::vector<uint32_t> &recnos)
{
    std::vector<int> poolNumbers;
    const uint32_t handMade = static_cast<uint32_t>(std::size(kFilms));
    if (options.films <= handMade) {
        const uint32_t count = options.films == 0 ? handMade : options.films;
        for (uint32_t i = 0; i < count; ++i)
            recnos.push_back(writer.insert(filmValues(kFilms[i])));
        poolNumbers.assign(std::begin(kPoolNumbers), std::end(kPoolNumbers));
        return poolNumbers;
    }
    const uint32_t total = options.films;
    const uint32_t poolSize = 5;
    std::set<int> holes;
    const uint32_t numbers = std::min<uint32_t>(total + poolSize, kMaxCdNumber);
    while (holes.size() < poolSize)
        holes.insert(1 + static_cast<int>(rng.below(numbers)));
    writer.beginBatch(total);
    int id = 0;
    for (uint32_t i = 0; i < total; ++i) {
        // Six digits: past 999,999 films the numbers start again (several films per CD).
        do
            id = id % kMaxCdNumber + 1;
        while (holes.count(id));
        recnos.push_back(writer.insert(generatedFilm(rng, static_cast<uint32_t>(id))));
        if (options.progress && (i + 1) % 1000 == 0 && i + 1 < total)
            options.progress("films", i + 1, total);
    }
    writer.endBatch();
    if (options.progress)
        options.progress("films", total, total); // once, after the batch is complete
    poolNumbers.assign(holes.begin(), holes.end());
    std::reverse(poolNumbers.begin(), poolNumbers.end()); // unsorted record order
    std::swap(poolNumbers.front(), poolNumbers[poolNumbers.size() / 2]);
    return poolNumbers;
}

// Churn: corrections (titles, genres, CD numbers) and deletions of random live films.
void churnFilms(DemoWriter &writer,
                const DemoOptions &options,
                Random &rng,
                std::vector<uint32_t> live,
                DemoSummary &summary)
{
    int nextNumber = kMaxCdNumber;
    for (uint32_t k = 0; k < options.churn && !live.empty(); ++k) {
        const size_t at = rng.below(static_cast<uint32_t>(live.size()));
        const uint32_t recno = live[at];
        switch (rng.below(4)) {
        case 0: // deletion
            writer.remove(recno);
            live[at] = live.back();
            live.pop_back();
            ++summary.deleted;
            break;
        case 1: // new CD number, above every number in use
            writer.update(recno, {{"ID_CD", std::to_string(nextNumber--)}});
            ++summary.corrected;
            break;
        case 2:
            writer.update(
                recno,
                {{"T_PL",
                  std::string(rng.pick(kTitleStart)) + " " + rng.pick(kTitleEnd) + " (poprawiony)"},
                 {"T_ORG", std::string(rng.pick(kOrigStart)) + " " + rng.pick(kOrigEnd)}});
            ++summary.corrected;
            break;
        default:
            writer.update(
                recno,
                {{"GATUNEK", rng.pick(kGenres)}, {"OPIS", rng.below(2) ? "Poprawiony opis." : ""}});
            ++summary.corrected;
            break;
        }
        if (options.progress && (k + 1) % 500 == 0 && k + 1 < options.churn)
            options.progress("churn", k + 1, options.churn);
    }
    if (options.progress && options.churn > 0)
        options.progress("churn", options.churn, options.churn);
}

} // namespace

DemoSummary createDemoCatalogue(FileSystem &fs,
                                const std::string &dir,
                                const DemoOptions &options,
                                DemoWriter &writer)
{
    const CataloguePaths paths = createCatalogueTables(fs, dir);
    DemoSummary summary;
    summary.filmsPath = paths.films;
    writeSideTables(fs, paths, writer);

    // Films, then the pool of numbers no film uses.
    writer.openTable(fs, summary.filmsPath);
    std::vector<uint32_t> recnos; // live film records
    Random rng(options.seed);
    const std::vector<int> poolNumbers = writeFilms(writer, options, rng, recnos);
    summary.films = static_cast<uint32_t>(recnos.size());
    churnFilms(writer, options, rng, recnos, summary);
    writer.closeTable();

    writer.openTable(fs, paths.pool);
    for (int n : poolNumbers)
        writer.insert({{"ID_CD", std::to_string(n)}});
    writer.closeTable();
    return summary;
}

} // namespace welarik
