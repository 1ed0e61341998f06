// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of the disc scan: its progress, its preview dialog and its messages.

#include <QString>
#include <QStringView>

#include <array>

namespace welarik::strings::scan {

inline constexpr QStringView caption = u"Skanuj dysk...";
inline constexpr QStringView scanning = u"Skanowanie: %1 z %2 — %3";
inline constexpr QStringView searching = u"Szukanie plików wideo...";
inline constexpr QStringView adding = u"Dodawanie filmów: %1 z %2";
inline constexpr QStringView cancel = u"Anuluj";
inline constexpr QStringView add = u"Dodaj";
inline constexpr QStringView ownNumbers = u"Każdy film dostaje własny numer CD";
inline constexpr QStringView oneNumber = u"Wszystkie filmy na jednej płycie (jeden numer CD)";
inline constexpr QStringView nothingFound = u"Nie znaleziono plików wideo w folderze %1";
inline constexpr QStringView addError
    = u"Nie udało się dodać filmu. Filmy dodane wcześniej zostały zapisane.";
inline const QString found = QStringLiteral("Filmów: %1");
inline const QString skipped = QStringLiteral(", pominięte pliki: %1");
inline constexpr std::array<QStringView, 17> columns = {u"",
                                                        u"Tytuł Polski",
                                                        u"Tytuł Oryginalny",
                                                        u"Rok",
                                                        u"Ilość CD",
                                                        u"Uwagi",
                                                        u"FPS",
                                                        u"Rozmiar",
                                                        u"Czas trwania",
                                                        u"Rozdzielczość",
                                                        u"Kodek Video",
                                                        u"Video Bitrate",
                                                        u"Kodek Audio",
                                                        u"Audio Bitrate",
                                                        u"Ilość kanałów",
                                                        u"Sample Rate",
                                                        u"Pliki"};

} // namespace welarik::strings::scan
