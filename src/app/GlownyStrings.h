#pragma once
// The main window's own texts, as the user sees them.

#include <QString>

namespace welarik::glowny {

inline const QString caption = QStringLiteral("Welarik v1.01");

inline const QString hintPomoc = QStringLiteral("Pomoc do programu");
inline const QString hintKoniec = QStringLiteral("Kończy działanie programu");
inline const QString hintOpen = QStringLiteral("Otwiera bazę");
inline const QString hintDodaj = QStringLiteral("Dopisuje nową pozycję");
inline const QString hintPopraw = QStringLiteral("Poprawia bieżącą pozycję");
inline const QString hintNavi = QStringLiteral("Zmiana pozycji w bazie");

inline const QString menuPlik = QStringLiteral("&Plik");
inline const QString itemNowaBaza = QStringLiteral("&Nowa baza...");
inline const QString itemOtworzBaze = QStringLiteral("&Otwórz bazę...");
inline const QString itemZapisz = QStringLiteral("&Zapisz");
inline const QString itemZapiszJako = QStringLiteral("Zapisz jako...");
inline const QString itemDrukuj = QStringLiteral("&Drukuj");
inline const QString itemDrukujOkladke = QStringLiteral("D&rukuj okładkę");
inline const QString itemKoniec = QStringLiteral("&Koniec programu");

inline const QString menuEdycja = QStringLiteral("&Edycja");
inline const QString itemNowaPozycja = QStringLiteral("&Nowa pozycja...");
inline const QString itemPoprawPozycje = QStringLiteral("&Popraw pozycję...");
inline const QString itemPokazSzczegoly = QStringLiteral("P&okaż szczegóły...");
inline const QString itemKasujPozycje = QStringLiteral("Kasuj pozycję...");
inline const QString itemKasujBaze = QStringLiteral("Kasuj całą bazę");
// The film record commands' question and messages; a reason goes on a line of its own.
inline const QString questionKasujFilm = QStringLiteral("Czy na pewno skasować ten film ?");
inline const QString saveError = QStringLiteral("Wystąpił nieznany błąd zapisu");
inline const QString poolNotUpdated
    = QStringLiteral("Film został zapisany, ale lista wolnych numerów nie została uaktualniona:");
inline const QString deleteError = QStringLiteral("Nie udało się skasować filmu:");
inline const QString numberLeftInPool
    = QStringLiteral("Jego numer pozostał na liście wolnych numerów:");

inline const QString menuSzukaj = QStringLiteral("&Szukaj");
inline const QString itemUsunFiltrowanie = QStringLiteral("&Usuń filtrowanie");
inline const QString itemPokazWszystkie = QStringLiteral("Pokaż &wszystkie");
inline const QString itemPokazNaStanie = QStringLiteral("Pokaż &na stanie");
inline const QString itemPokazWypozyczone = QStringLiteral("Pokaż wyp&ożyczone");
inline const QString itemZaawansowane = QStringLiteral("&Zaawansowane...");
inline const QString itemSzybkie = QStringLiteral("&Szybkie wyszukiwanie");

inline const QString menuNarzedzia = QStringLiteral("&Narzędzia");
inline const QString itemImport = QStringLiteral("Import");
inline const QString itemExport = QStringLiteral("export");
inline const QString itemPolacz = QStringLiteral("połącz bazy");
inline const QString itemSkanuj = QStringLiteral("skanuj hdd");
inline const QString itemAuto = QStringLiteral("autouzupełnienie");
inline const QString itemEdytujGatunek = QStringLiteral("Edytuj &gatunek");
inline const QString itemEdytujZnajomych = QStringLiteral("Edytuj &znajomych");
inline const QString itemEdytujDane = QStringLiteral("Edytuj &dane dodatkowe");
inline const QString menuBazy = QStringLiteral("&Bazy");
inline const QString itemPorzadkuj = QStringLiteral("Porządkuj bazy");
inline const QString itemSprawdz = QStringLiteral("Sprawdź spójność baz");

inline const QString menuOpcje = QStringLiteral("&Opcje");
inline const QString itemUstawienia = QStringLiteral("&Ustawienia programu...");
inline const QString menuPomoc = QStringLiteral("Po&moc");

inline const QString popupPopraw = QStringLiteral("Popraw bieżący film");
inline const QString popupDopisz = QStringLiteral("Dopisz nowy film");
inline const QString popupSzczegoly = QStringLiteral("Pokaż szczegóły");
inline const QString popupWypozycz = QStringLiteral("Wypożycz ten film");

inline const QString tabFilmy = QStringLiteral("Baza Filmów");
inline const QString tabMuzyka = QStringLiteral("Baza Audio i MP3");
inline const QString tabGry = QStringLiteral("Baza Gier");

inline const QString btnNrCaption = QStringLiteral("&Nr CD");
inline const QString btnPLCaption = QStringLiteral("Tytuł &Polski");
inline const QString btnOrgCaption = QStringLiteral("Tytuł &Oryginalny");
inline const QString btnGatCaption = QStringLiteral("&Gatunek");

inline const QString liczbaPozycji = QStringLiteral("Liczba pozycji: ");

inline const QString openFilter = QStringLiteral("Bazy danych (*.dbf)|*.dbf");
inline const QString configNotOpened = QStringLiteral("Baza konfiguracyjna nie otwarta!");
inline const QString filmsOpenError = QStringLiteral("Błąd otwarcia bazy filmów");

} // namespace welarik::glowny
