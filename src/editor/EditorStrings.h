// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user-facing texts of the film editor, byte-exact, in one place.

#include <QStringView>

namespace welarik::strings {

// Captions the record commands give the editor before showing it.
inline constexpr QStringView filmCaptionAdd = u"Dodanie nowego filmu";
inline constexpr QStringView filmCaptionCorrect = u"Poprawianie danych o filmie";
inline constexpr QStringView filmCaptionDetails = u"Dane szczegółowe o filmie";

// Hints of the tool buttons.
inline constexpr QStringView filmHintOk = u"Zatwierdź";
inline constexpr QStringView filmHintCancel = u"Anuluj";
inline constexpr QStringView filmHintInfo = u"Pobierz informacje o pliku";
inline constexpr QStringView filmHintWeb = u"Pobierz informacje z internetu";

// The number picker's hint and the people pickers' dialog titles.
inline constexpr QStringView filmHintNr = u"Wolne numery";
inline constexpr QStringView filmCaptionRezyser = u"Znajdź reżysera";
inline constexpr QStringView filmCaptionScenariu = u"Znajdź scenarzystę";
inline constexpr QStringView filmCaptionZdjecia = u"Znajdź kamerzystę";
inline constexpr QStringView filmCaptionAktorzy = u"Znajdź aktorów";

inline constexpr QStringView filmSaveQuestion = u"Czy chcesz zapisać dane ?";

// The Open dialog of the file button: AVI files (preselected), other film files, all files.
inline constexpr QStringView filmOpenFilter
    = u"Pliki AVI (*.avi)|*.avi|"
      u"Pliki wideo (*.avi *.mkv *.mp4 *.m4v *.mov *.webm *.mpg *.mpeg *.vob *.ts *.m2ts *.ogm "
      u"*.ogv *.wmv *.asf *.divx *.flv)|*.avi;*.mkv;*.mp4;*.m4v;*.mov;*.webm;*.mpg;*.mpeg;*.vob;"
      u"*.ts;*.m2ts;*.ogm;*.ogv;*.wmv;*.asf;*.divx;*.flv|Wszystkie pliki (*)|*";

// Field labels.
inline constexpr QStringView filmLabelIdCd = u"Nr CD: ";
inline constexpr QStringView filmLabelTPl = u"Tytuł Polski: ";
inline constexpr QStringView filmLabelTOrg = u"Tytuł Oryginalny: ";
inline constexpr QStringView filmLabelGatunek = u"Gatunek: ";
inline constexpr QStringView filmLabelDProd = u"Rok produkcji: ";
inline constexpr QStringView filmLabelKraj = u"Kraj: ";
inline constexpr QStringView filmLabelRezyser = u"Reżyser: ";
inline constexpr QStringView filmLabelScenariu = u"Scenariusz: ";
inline constexpr QStringView filmLabelZdjecia = u"Zdjęcia: ";
inline constexpr QStringView filmLabelAktorzy = u"Aktorzy: ";
inline constexpr QStringView filmLabelIloscCd = u"Ilość CD: ";
inline constexpr QStringView filmLabelObejrzan = u"Obejrzany: ";
inline constexpr QStringView filmLabelUwagi = u"Uwagi: ";
inline constexpr QStringView filmLabelCzas = u"Czas trwania: ";
inline constexpr QStringView filmLabelRozmiar = u"Rozmiar: ";
inline constexpr QStringView filmLabelKanaly = u"Ilość kanałów: ";
inline constexpr QStringView filmLabelCVideo = u"Kodek Video: ";
inline constexpr QStringView filmLabelCAudio = u"Kodek Audio: ";
inline constexpr QStringView filmLabelRozdziel = u"Rozdzielczość: ";
inline constexpr QStringView filmLabelVBitrate = u"Video Bitrate: ";
inline constexpr QStringView filmLabelSampleR = u"Sample Rate: ";
inline constexpr QStringView filmLabelFps = u"FPS: ";
inline constexpr QStringView filmLabelABitrate = u"Audio Bitrate: ";

// The people pickers' dialog: adds a person of the picker's role.
inline constexpr QStringView filmAddPerson = u"Dodaj osobę...";

} // namespace welarik::strings
