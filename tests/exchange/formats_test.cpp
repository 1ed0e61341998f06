// SPDX-License-Identifier: GPL-3.0-or-later
// Films out and back in: CSV and the catalogue XML give the same films field by field; the
// Tellico and GCstar files of tests/data are read; broken inputs are refused with a message.

#include "catalogue.h"
#include "export.h"
#include "importplan.h"
#include "importsource.h"
#include "testsupport.h"

#include <QBuffer>
#include <QFile>

#include <gtest/gtest.h>

using namespace welarik;
using namespace welarik::exchange;

namespace {

std::string dataFile(const std::string &name)
{
    return std::string(WELARIK_TEST_DATA_DIR) + "/exchange/" + name;
}

std::string field(const FilmValues &film, const char *name)
{
    return film[size_t(filmFieldIndex(name))];
}

FilmValues film(std::initializer_list<std::pair<const char *, const char *>> values)
{
    FilmValues f = blankFilm();
    for (const auto &[name, value] : values)
        f[size_t(filmFieldIndex(name))] = value;
    return f;
}

// A catalogue laid out in a temporary folder, its tables open as the program opens them.
struct OpenCatalogue
{
    test::TempDir dir;
    Catalogue cat;
    OpenCatalogue()
    {
        cat.dbfFilmy.setFileName(createEmptyCatalogue(FileSystem::real(), dir.path().string()));
        cat.dbfFilmy.open();
        cat.bindSideTables(dir.file("BAZY") + "/");
        for (Table *t : {&cat.dbfDaneF, &cat.dbfGatunekF, &cat.dbfNrF})
            t->open();
    }
    ImportTables tables() { return {cat.dbfFilmy, cat.dbfNrF, cat.dbfGatunekF, cat.dbfDaneF}; }
    ImportResult import(const ImportSource &source)
    {
        const ImportPlan plan = planImport(mappedFilms(source), readCatalogueState(tables()));
        return applyImport(plan, tables());
    }
    std::vector<FilmValues> films()
    {
        std::vector<FilmValues> all;
        const FilmReader reader(cat.dbfFilmy);
        for (int row = 0; row < cat.dbfFilmy.rowCount(); ++row)
            all.push_back(reader.film(cat.dbfFilmy.recordAtRow(row)));
        return all;
    }
};

const std::vector<FilmValues> &sampleFilms()
{
    static const std::vector<FilmValues> films = {
        film({{"ID_CD", "3"},
              {"T_PL", "Zażółć gęślą jaźń; \"cytat\""},
              {"T_ORG", "=SUMA(A1)"},
              {"GATUNEK", "Dramat, Komedia"},
              {"D_PROD", "1999"},
              {"KRAJ", "Polska"},
              {"REZYSER", "Kieślowski Krzysztof"},
              {"SCENARIU", "Piesiewicz Krzysztof"},
              {"ZDJECIA", "Sobociński Piotr"},
              {"AKTORZY", "Łomnicki Tadeusz, Żak Ewa"},
              {"OPIS", "Pierwszy wiersz\nDrugi wiersz; z <znakami> & \"cudzysłowem\""},
              {"ILOSC_CD", "2"},
              {"UWAGI", "-zaczyna się minusem"},
              {"OBEJRZAN", "T"},
              {"ROZMIAR", "700 MB"},
              {"CZAS", "1:35:27"},
              {"CVIDEO", "XviD"},
              {"ROZDZIEL", "640 / 352"},
              {"FPS", "25.00"},
              {"VBITRATE", "1024 Kbit/s"},
              {"CAUDIO", "MPEG Layer 3"},
              {"SAMPLE_R", "48000 Hz"},
              {"ABITRATE", "128 Kbit/s"},
              {"KANALY", "2 kanały (Stereo)"}}),
        film({{"ID_CD", "7"},
              {"T_PL", "@wzmianka"},
              {"T_ORG", "'=już z apostrofem"},
              {"D_PROD", "2001"},
              {"OBEJRZAN", "F"},
              {"UWAGI", "+plus"}}),
        film({{"ID_CD", "8"}, {"T_PL", "Bez reszty"}}),
    };
    return films;
}

void roundTrip(ExportFormat format, const char *extension)
{
    OpenCatalogue from;
    const ImportResult added = from.import(sourceOfFilms(Format::MovieXml, sampleFilms()));
    ASSERT_EQ(added.error, "");
    ASSERT_EQ(from.films(), sampleFilms());

    const std::string file = from.dir.file(std::string("films.") + extension);
    ASSERT_TRUE(exportView(from.cat.dbfFilmy, format, file, "Filmy"));
    OpenCatalogue to;
    const ImportSource read = readImportFile(file, formatForFile(file));
    const ImportResult result = to.import(read);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.added, 3);
    const auto back = to.films();
    ASSERT_EQ(back.size(), sampleFilms().size());
    for (size_t i = 0; i < back.size(); ++i) {
        for (size_t f = 0; f < back[i].size(); ++f)
            EXPECT_EQ(back[i][f], sampleFilms()[i][f]) << filmFields()[f].name << " of film " << i;
    }
}

} // namespace

TEST(ExchangeRoundTrip, CsvGivesTheSameFilms)
{
    roundTrip(ExportFormat::Csv, "csv");
}

TEST(ExchangeRoundTrip, XmlGivesTheSameFilms)
{
    roundTrip(ExportFormat::Xml, "xml");
}

TEST(ExchangeExport, CsvHasBomLabelsAndGuardsFormulas)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    writeFilms(ExportFormat::Csv, out, "Filmy", 1, [](int) { return sampleFilms()[0]; });
    const std::string text = out.data().toStdString();
    EXPECT_EQ(text.rfind("\xEF\xBB\xBFNr CD;Tytuł Polski;Tytuł Oryginalny;Gatunek;", 0), 0u);
    EXPECT_NE(text.find(";'=SUMA(A1);"), std::string::npos);
    EXPECT_NE(text.find(";'-zaczyna się minusem;"), std::string::npos);
    EXPECT_NE(text.find("\"Zażółć gęślą jaźń; \"\"cytat\"\"\""), std::string::npos);
}

TEST(ExchangeExport, HtmlIsOnePageWithEscapedTexts)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    writeFilms(
        ExportFormat::Html, out, "Moje <filmy>", 3, [](int i) { return sampleFilms()[size_t(i)]; });
    const std::string html = out.data().toStdString();
    EXPECT_NE(html.find("<title>Moje &lt;filmy&gt;</title>"), std::string::npos);
    EXPECT_NE(html.find("z &lt;znakami&gt; &amp; &quot;cudzysłowem&quot;"), std::string::npos);
    EXPECT_NE(html.find("<td>Zażółć gęślą jaźń; &quot;cytat&quot;</td>"), std::string::npos);
    EXPECT_NE(html.find("addEventListener('click'"), std::string::npos); // sorts itself
    EXPECT_EQ(html.find("src="), std::string::npos);                     // nothing from outside
    EXPECT_EQ(html.find("href="), std::string::npos);
}

TEST(ExchangeRead, TellicoVideoCollection)
{
    const ImportSource source = readTellico(dataFile("films.tc"));
    const auto films = mappedFilms(source);
    ASSERT_EQ(films.size(), 2u);
    EXPECT_EQ(field(films[0], "T_PL"), "Rejs");
    EXPECT_EQ(field(films[0], "D_PROD"), "1970");
    EXPECT_EQ(field(films[0], "GATUNEK"), "Komedia, Satyra");
    EXPECT_EQ(field(films[0], "REZYSER"), "Marek Piwowski");
    EXPECT_EQ(field(films[0], "AKTORZY"), "Stanisław Tym, Zdzisław Maklakiewicz");
    EXPECT_EQ(field(films[0], "KRAJ"), "Polska");
    EXPECT_EQ(field(films[0], "CZAS"), "1:08:00");
    EXPECT_EQ(field(films[0], "OPIS"), "Rejs statkiem po Wiśle; żółć, gęś i źdźbło.");
    EXPECT_EQ(field(films[0], "UWAGI"), "Wersja odnowiona; DVD");
    EXPECT_EQ(field(films[1], "T_PL"), "Seksmisja");
    EXPECT_EQ(field(films[1], "CZAS"), "2:01:00");
}

TEST(ExchangeRead, GcstarFilmsCollection)
{
    QFile file(QString::fromStdString(dataFile("films.gcs")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto films = mappedFilms(readGcstar(file.readAll()));
    ASSERT_EQ(films.size(), 2u);
    EXPECT_EQ(field(films[0], "T_PL"), "Vabank");
    EXPECT_EQ(field(films[0], "T_ORG"), "Vabank");
    EXPECT_EQ(field(films[0], "D_PROD"), "1981");
    EXPECT_EQ(field(films[0], "CZAS"), "1:50:00");
    EXPECT_EQ(field(films[0], "KRAJ"), "Polska");
    EXPECT_EQ(field(films[0], "GATUNEK"), "Komedia kryminalna");
    EXPECT_EQ(field(films[0], "AKTORZY"), "Jan Machulski, Leonard Pietraszak");
    EXPECT_EQ(field(films[0], "OPIS"), "Kwinto wychodzi z więzienia i planuje zemstę.");
    EXPECT_EQ(field(films[0], "UWAGI"), "Kopia z telewizji");
    EXPECT_EQ(field(films[0], "OBEJRZAN"), "T");
    EXPECT_EQ(field(films[1], "T_PL"), "Miś");
    EXPECT_EQ(field(films[1], "REZYSER"), "Stanisław Bareja");
    EXPECT_EQ(field(films[1], "AKTORZY"), "");
}

TEST(ExchangeRead, CsvEncodingsSeparatorsAndNames)
{
    QFile iso(QString::fromStdString(dataFile("iso88592.csv")));
    ASSERT_TRUE(iso.open(QIODevice::ReadOnly));
    const ImportSource latin2 = readCsv(iso.readAll(), {});
    EXPECT_EQ(latin2.csv.encoding, Encoding::Iso8859_2);
    EXPECT_EQ(latin2.mapping, (std::vector<std::string>{"T_PL", "D_PROD"}));
    EXPECT_EQ(latin2.rows.at(0).at(0), "Złota ścieżka");

    // The same letters in Windows-1250, tab separated, English names.
    const ImportSource windows = readCsv(QByteArray("Title\tYear\tDirector\r\nZ\xb3ota \x9c"
                                                    "cie\xbf"
                                                    "ka\t1999\tX\r\n"),
                                         {});
    EXPECT_EQ(windows.csv.encoding, Encoding::Cp1250);
    EXPECT_EQ(windows.csv.separator, '\t');
    EXPECT_EQ(windows.mapping, (std::vector<std::string>{"T_PL", "D_PROD", "REZYSER"}));
    EXPECT_EQ(windows.rows.at(0).at(0), "Złota ścieżka");

    const ImportSource bom = readCsv(QByteArray("\xEF\xBB\xBFReżyser,Rok,Coś\n\"A, B\",1,x\n"), {});
    EXPECT_EQ(bom.csv.separator, ',');
    EXPECT_EQ(bom.mapping, (std::vector<std::string>{"REZYSER", "D_PROD", ""}));
    EXPECT_EQ(bom.rows.at(0).at(0), "A, B");
}

TEST(ExchangeRead, BrokenInputsAreRefusedWithAMessage)
{
    const auto message = [](const std::function<void()> &read) -> std::string {
        try {
            read();
        } catch (const ExchangeError &e) {
            return e.what();
        }
        return "(read)";
    };
    EXPECT_NE(message([] { readTellico(dataFile("broken.tc")); }).find("zip"), std::string::npos);
    EXPECT_NE(message([] {
                  readImportFile(dataFile("notcollection.xml"), Format::MovieXml);
              }).find("nie jest katalogiem"),
              std::string::npos);
    EXPECT_NE(message([] { readImportFile(dataFile("ragged.csv"), Format::Csv); }).find("Wiersz 3"),
              std::string::npos);
    EXPECT_NE(message([] { readCsv(QByteArray("\xFF\xFET\0i\0t\0", 8), {}); }).find("UTF-16"),
              std::string::npos);
    EXPECT_NE(message([] {
                  CsvOptions o;
                  o.encoding = Encoding::Utf8;
                  readCsv(QByteArray("Tytu\xb3\n"), o);
              }).find("UTF-8"),
              std::string::npos);
    EXPECT_NE(message([] {
                  readTellicoXml("<tellico><collection type=\"2\"/></tellico>");
              }).find("typ 3"),
              std::string::npos);
    EXPECT_NE(message([] { readGcstar("<collection type=\"GCbooks\"/>"); }).find("GCfilms"),
              std::string::npos);
    EXPECT_NE(message([] { readGcstar("<collection type=\"GCfilms\"><item"); }).find("uszkodzony"),
              std::string::npos);
}
