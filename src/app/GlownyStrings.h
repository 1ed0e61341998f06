// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user-facing texts of the main window, byte-exact, in one place.

#include <QStringView>

namespace welarik::strings::glowny {

inline constexpr QStringView caption = u"Welarik v1.01";
// The program's name: the application's display name, which titles the plain message boxes.
inline constexpr QStringView programName = u"Welarik";

inline constexpr QStringView hintPomoc = u"Pomoc do programu";
inline constexpr QStringView hintKoniec = u"Kończy działanie programu";
inline constexpr QStringView hintOpen = u"Otwiera bazę";
inline constexpr QStringView hintDodaj = u"Dopisuje nową pozycję";
inline constexpr QStringView hintPopraw = u"Poprawia bieżącą pozycję";
inline constexpr QStringView hintNavi = u"Zmiana pozycji w bazie";

inline constexpr QStringView menuPlik = u"&Plik";
inline constexpr QStringView itemNowaBaza = u"&Nowa baza...";
inline constexpr QStringView itemOtworzBaze = u"&Otwórz bazę...";
inline constexpr QStringView itemZapisz = u"&Zapisz";
inline constexpr QStringView itemZapiszJako = u"Zapisz jako...";
inline constexpr QStringView itemDrukuj = u"&Drukuj";
inline constexpr QStringView itemDrukujOkladke = u"D&rukuj okładkę";
inline constexpr QStringView itemKoniec = u"&Koniec programu";

inline constexpr QStringView menuEdycja = u"&Edycja";
inline constexpr QStringView itemNowaPozycja = u"&Nowa pozycja...";
inline constexpr QStringView itemPoprawPozycje = u"&Popraw pozycję...";
inline constexpr QStringView itemPokazSzczegoly = u"P&okaż szczegóły...";
inline constexpr QStringView itemKasujPozycje = u"Kasuj pozycję...";
inline constexpr QStringView itemKasujBaze = u"Kasuj całą bazę";
// The film record commands' question and messages; a reason goes on a line of its own.
inline constexpr QStringView questionKasujFilm = u"Czy na pewno skasować ten film ?";
inline constexpr QStringView saveError = u"Wystąpił nieznany błąd zapisu";
inline constexpr QStringView poolNotUpdated
    = u"Film został zapisany, ale lista wolnych numerów nie została uaktualniona:";
inline constexpr QStringView deleteError = u"Nie udało się skasować filmu:";
inline constexpr QStringView numberLeftInPool = u"Jego numer pozostał na liście wolnych numerów:";

inline constexpr QStringView menuSzukaj = u"&Szukaj";
inline constexpr QStringView itemUsunFiltrowanie = u"&Usuń filtrowanie";
inline constexpr QStringView itemPokazWszystkie = u"Pokaż &wszystkie";
inline constexpr QStringView itemPokazNaStanie = u"Pokaż &na stanie";
inline constexpr QStringView itemPokazWypozyczone = u"Pokaż wyp&ożyczone";
inline constexpr QStringView itemZaawansowane = u"&Zaawansowane...";
inline constexpr QStringView itemSzybkie = u"&Szybkie wyszukiwanie";

inline constexpr QStringView menuNarzedzia = u"&Narzędzia";
inline constexpr QStringView itemImport = u"Import";
inline constexpr QStringView itemExport = u"export";
inline constexpr QStringView itemPolacz = u"połącz bazy";
inline constexpr QStringView itemSkanuj = u"skanuj hdd";
inline constexpr QStringView itemAuto = u"autouzupełnienie";
inline constexpr QStringView itemEdytujGatunek = u"Edytuj &gatunek";
inline constexpr QStringView itemEdytujZnajomych = u"Edytuj &znajomych";
inline constexpr QStringView itemEdytujDane = u"Edytuj &dane dodatkowe";
inline constexpr QStringView menuBazy = u"&Bazy";
inline constexpr QStringView itemPorzadkuj = u"Porządkuj bazy";
inline constexpr QStringView itemSprawdz = u"Sprawdź spójność baz";

inline constexpr QStringView menuOpcje = u"&Opcje";
inline constexpr QStringView itemUstawienia = u"&Ustawienia programu...";
inline constexpr QStringView menuPomoc = u"Po&moc";

inline constexpr QStringView popupPopraw = u"Popraw bieżący film";
inline constexpr QStringView popupDopisz = u"Dopisz nowy film";
inline constexpr QStringView popupSzczegoly = u"Pokaż szczegóły";
inline constexpr QStringView popupWypozycz = u"Wypożycz ten film";

inline constexpr QStringView tabFilmy = u"Baza Filmów";
inline constexpr QStringView tabMuzyka = u"Baza Audio i MP3";
inline constexpr QStringView tabGry = u"Baza Gier";

inline constexpr QStringView btnNrCaption = u"&Nr CD";
inline constexpr QStringView btnPLCaption = u"Tytuł &Polski";
inline constexpr QStringView btnOrgCaption = u"Tytuł &Oryginalny";
inline constexpr QStringView btnGatCaption = u"&Gatunek";

inline constexpr QStringView liczbaPozycji = u"Liczba pozycji: ";

inline constexpr QStringView openFilter = u"Bazy danych (*.dbf)|*.dbf";
inline constexpr QStringView configNotOpened = u"Baza konfiguracyjna nie otwarta!";
inline constexpr QStringView filmsOpenError = u"Błąd otwarcia bazy filmów";

} // namespace welarik::strings::glowny
