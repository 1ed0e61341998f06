// SPDX-License-Identifier: GPL-3.0-or-later
// Adding the scanned films. A film's number leaves the pool before the film is stored and goes
// back when the film cannot be stored, so a number is never both free and in use; a film that
// fails stops the command with the films before it kept.

#include "scan.h"

#include "cdnumber.h"
#include "table.h"

#include <algorithm>
#include <stdexcept>

namespace welarik {

namespace {

constexpr const char *kIdCd = "ID_CD";
constexpr int kMostParts = 99; // ILOSC_CD holds two digits

struct TakenNumber
{
    int32_t number = 0;
    bool fromPool = false;
};

TakenNumber takeNumber(Table &films, Table &pool)
{
    TakenNumber taken{nextCdNumber(films, pool, false), false};
    if (!pool.isEmpty() && pool.asInteger(kIdCd) == taken.number) {
        pool.deleteRecord();
        taken.fromPool = true;
    }
    return taken;
}

// Best effort: when this fails too the number is lost to the pool, never given twice.
void giveBack(Table &pool, const TakenNumber &taken)
{
    if (!taken.fromPool)
        return;
    try {
        pool.insert();
        pool.setInteger(kIdCd, taken.number);
        pool.post();
    } catch (const std::exception &) {
        pool.cancel();
    }
}

void storeFilm(Table &films, const ScanRow &row, int32_t number)
{
    films.insert();
    try {
        films.setInteger(kIdCd, number);
        films.setString("T_PL", row.polish);
        films.setString("T_ORG", row.original);
        films.setString("D_PROD", row.year);
        films.setInteger("ILOSC_CD", std::clamp(row.parts, 1, kMostParts));
        films.setString("UWAGI", row.remarks);
        for (size_t i = 0; i < kProbeEditCount; ++i)
            films.setString(std::string(probeFieldName(static_cast<ProbeEdit>(i))), row.texts[i]);
        films.post();
    } catch (const std::exception &e) {
        films.cancel();
        throw std::runtime_error("\"" + (row.polish.empty() ? row.original : row.polish)
                                 + "\": " + e.what());
    }
}

} // namespace

std::vector<int32_t> addScanRows(Table &films,
                                 Table &pool,
                                 const std::vector<ScanRow> &rows,
                                 ScanNumbering numbering,
                                 const AddProgress &progress)
{
    std::vector<const ScanRow *> chosen;
    for (const ScanRow &row : rows) {
        if (row.checked)
            chosen.push_back(&row);
    }
    std::vector<int32_t> numbers;
    if (chosen.empty())
        return numbers;
    TakenNumber shared;
    if (numbering == ScanNumbering::OneNumber)
        shared = takeNumber(films, pool);
    for (const ScanRow *row : chosen) {
        const TakenNumber taken
            = numbering == ScanNumbering::OneNumber ? shared : takeNumber(films, pool);
        try {
            storeFilm(films, *row, taken.number);
        } catch (...) {
            // The shared number is in use once a film holds it.
            if (numbering == ScanNumbering::OwnNumbers || numbers.empty())
                giveBack(pool, taken);
            throw;
        }
        numbers.push_back(taken.number);
        if (progress && !progress(numbers.size(), chosen.size()))
            break;
    }
    return numbers;
}

} // namespace welarik
