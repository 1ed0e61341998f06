// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user-facing texts of the genre and friends list editors, byte-exact, in one place.

#include <QStringView>

namespace welarik::strings {

// Genre list window and entry dialog.
inline constexpr QStringView genreListCaption = u"Edycja gatunków filmowych";
inline constexpr QStringView genreHeader = u"&Gatunek";
inline constexpr QStringView genreHintAdd = u"Dodaj nową pozycję";
inline constexpr QStringView genreHintCorrect = u"Popraw bierzącą pozycję";
inline constexpr QStringView genreHintDelete = u"Kasuj pozycję";
inline constexpr QStringView genreHintClose = u"Kończy edycję gatunków filmowych";
inline constexpr QStringView genreDeleteQuestion = u"Kasujesz gatunek filmu. Czy jesteś pewien?";
inline constexpr QStringView genreEntryCaption = u"Podaj nowy gatunek filmowy";

// Friends list window.
inline constexpr QStringView friendsListCaption = u"Edycja znajomych";
inline constexpr QStringView friendsSortId = u"I&D";
inline constexpr QStringView friendsSortImie = u"&Imię";
inline constexpr QStringView friendsSortNazwisko = u"&Nazwisko";
inline constexpr QStringView friendsSortNick = u"Ni&ck";
inline constexpr QStringView friendsHintAdd = u"Dodaje nową osobę";
inline constexpr QStringView friendsHintCorrect = u"Poprawia bieżące dane";
inline constexpr QStringView friendsHintShow = u"Podgląd szczegółowy";
inline constexpr QStringView friendsHintDelete = u"Kasuje daną osobę";
inline constexpr QStringView friendsHintClose = u"Zamyka okno";
inline constexpr QStringView friendsHintFilms = u"Filmy...";
// The carriage return breaks the question into two lines.
inline constexpr QStringView friendsDeleteLentQuestion
    = u"Ta osoba prawdopodobnie ma wypożyczone CD. \rCzy na pewno chcesz ją skasować?";
inline constexpr QStringView friendsDeleteQuestion = u"Czy na pewno skasować tą osobę?";

// Person dialog.
inline constexpr QStringView personCaptionAdd = u"Dopisanie nowej osoby";
inline constexpr QStringView personCaptionCorrect = u"Poprawianie danych";
inline constexpr QStringView personCaptionShow = u"Dane szczegółowe";
inline constexpr QStringView personLabelId = u"ID &Osoby:";
inline constexpr QStringView personLabelIle = u"Ilość &filmów:";
inline constexpr QStringView personLabelImie = u"&Imię:";
inline constexpr QStringView personLabelNazwisko = u"&Nazwisko:";
inline constexpr QStringView personLabelNick = u"Ni&ck:";
inline constexpr QStringView personLabelTelefon = u"&Telefon:";
inline constexpr QStringView personLabelEmail = u"&Email:";
inline constexpr QStringView personOk = u"&Ok";

// The entry dialogs' buttons.
inline constexpr QStringView entrySave = u"&Zapisz";
inline constexpr QStringView entryCancel = u"&Anuluj";

// Reports of a failed store or delete; the table layer's reason follows on the next line.
inline constexpr QStringView genreSaveFailed = u"Nie udało się zapisać gatunku.";
inline constexpr QStringView personSaveFailed = u"Nie udało się zapisać danych osoby.";
inline constexpr QStringView personDeleteFailed = u"Nie udało się skasować osoby.";

// People list window and person dialog.
inline constexpr QStringView peopleListCaption = u"Edycja osób";
inline constexpr QStringView peopleRoleAll = u"Wszyscy";
inline constexpr QStringView peopleRoleR = u"Reżyserzy";
inline constexpr QStringView peopleRoleS = u"Scenarzyści";
inline constexpr QStringView peopleRoleZ = u"Operatorzy";
inline constexpr QStringView peopleRoleA = u"Aktorzy";
// A person's role in the grid and the person dialog's drop-down.
inline constexpr QStringView roleR = u"Reżyser";
inline constexpr QStringView roleS = u"Scenarzysta";
inline constexpr QStringView roleZ = u"Operator";
inline constexpr QStringView roleA = u"Aktor";
inline constexpr QStringView peopleDeleteQuestion
    = u"Czy na pewno skasować tą osobę?\rFilmy, w których ją wpisano, nie zmienią się.";
inline constexpr QStringView peopleCaptionAdd = u"Dopisanie nowej osoby";
inline constexpr QStringView peopleCaptionCorrect = u"Poprawianie danych osoby";
inline constexpr QStringView peopleCaptionShow = u"Dane osoby";
inline constexpr QStringView peopleLabelTyp = u"&Rola:";
inline constexpr QStringView peopleLabelImie = u"&Imię:";
inline constexpr QStringView peopleLabelNazwisko = u"&Nazwisko:";
inline constexpr QStringView peopleNoSurname = u"Podaj nazwisko osoby.";

} // namespace welarik::strings
