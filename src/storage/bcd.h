// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numeric and date keys of the production index.
//
// Numeric key (12 bytes, key type N, also used for F fields):
//   OFFSET SIZE MEANING
//   0      1    0x34 + E, the value being 0.d1d2d3... x 10^E (E = digits before the point;
//               for values below 1, minus the zeros right after the point; 0x34 for zero)
//   1      1    bit 7 sign (1 = negative), bits 6-2 digit count L, bit 1 zero, bit 0 one
//   2      10   up to 20 decimal digits, two per byte, first digit in the high nibble
// We write L = 10 for integers of up to 10 digits and L = 20 otherwise, as dBASE IV does;
// readers take the digits by E and ignore L.
//
// Date key (8 bytes, key type D): the Julian day number as a little-endian IEEE double.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace welarik {

constexpr size_t kBcdKeyLength = 12;
constexpr size_t kDateKeyLength = 8;
constexpr uint8_t kBcdZeroExponent = 0x34;
// The key of an empty date: larger than every real date.
constexpr double kBlankDateKey = 1.0e100;

// Encodes decimal text as stored in an N or F field ("  -12.50", "1e3" is not accepted):
// optional blanks, sign, digits, point, digits, blanks. Blank text encodes zero. Returns
// false (out untouched) when the text is not such a number. More than 20 significant digits
// are cut after the 20th.
bool encodeBcd(std::string_view text, uint8_t *out);
// Encodes a double (rounded to 15 significant digits).
void encodeBcd(double value, uint8_t *out);
void encodeBcdZero(uint8_t *out);
// The value of a key; digits come from E and the nibbles, L is ignored.
double decodeBcd(const uint8_t *key);
// The value as plain decimal text ("-12.5", "0").
std::string bcdToText(const uint8_t *key);
// <0, 0, >0 by numeric value (zero keys of any form compare equal).
int compareBcd(const uint8_t *a, const uint8_t *b);

// Julian day number of a proleptic Gregorian date (0001-01-01 = 1721426).
int64_t julianDay(int year, int month, int day);
// Date key from "YYYYMMDD"; blank text gives kBlankDateKey. Returns false for anything else
// (bad digits, impossible month or day).
bool encodeDateKey(std::string_view yyyymmdd, uint8_t *out);
double decodeDateKey(const uint8_t *key);
int compareDateKeys(const uint8_t *a, const uint8_t *b);

} // namespace welarik
