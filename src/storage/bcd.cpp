// SPDX-License-Identifier: GPL-3.0-or-later
#include "bcd.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace std::literals;

namespace welarik {
namespace {

constexpr int kMaxDigits = 20;

struct Decimal
{
    bool negative = false;
    int exponent = 0;    // value = 0.d1d2... x 10^exponent
    std::string digits;  // significant digits, no leading or trailing zeros; "" = zero
    bool integer = true; // no digits after the point
};

void writeKey(const Decimal &d, uint8_t *out)
{
    std::memset(out, 0, kBcdKeyLength);
    if (d.digits.empty()) {
        out[0] = kBcdZeroExponent;
        out[1] = static_cast<uint8_t>((10 << 2) | 1);
        return;
    }
    int intDigits = d.exponent > 0 ? d.exponent : 0;
    int count = (d.integer && intDigits <= 10) ? 10 : 20;
    out[0] = static_cast<uint8_t>(kBcdZeroExponent + d.exponent);
    out[1] = static_cast<uint8_t>((d.negative ? 0x80 : 0) | (count << 2) | 1);
    for (size_t i = 0; i < d.digits.size() && i < kMaxDigits; ++i) {
        auto v = static_cast<uint8_t>(d.digits[i] - '0');
        out[2 + i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? v << 4 : v);
    }
}

Decimal readKey(const uint8_t *key)
{
    Decimal d;
    d.negative = (key[1] & 0x80) != 0;
    d.exponent = static_cast<int>(key[0]) - kBcdZeroExponent;
    for (int i = 0; i < kMaxDigits; ++i) {
        uint8_t b = key[2 + i / 2];
        int v = i % 2 == 0 ? b >> 4 : b & 0x0F;
        d.digits += static_cast<char>('0' + (v > 9 ? 9 : v));
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.negative = false;
    return d;
}

} // namespace

bool encodeBcd(std::string_view text, uint8_t *out)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\0'))
        ++i;
    size_t end = text.size();
    while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\0'))
        --end;
    Decimal d;
    if (i < end && (text[i] == '-' || text[i] == '+')) {
        d.negative = text[i] == '-';
        ++i;
    }
    std::string intPart, fracPart;
    bool point = false, any = false;
    for (; i < end; ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            (point ? fracPart : intPart) += c;
            any = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (!any && (d.negative || point || i != end))
        return false;
    size_t lead = intPart.find_first_not_of('0');
    intPart = lead == std::string::npos ? std::string() : intPart.substr(lead);
    if (!intPart.empty()) {
        d.exponent = static_cast<int>(intPart.size());
        d.digits = intPart + fracPart;
    } else {
        size_t z = fracPart.find_first_not_of('0');
        if (z != std::string::npos) {
            d.exponent = -static_cast<int>(z);
            d.digits = fracPart.substr(z);
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.exponent > 0x7F - kBcdZeroExponent || d.exponent < -kBcdZeroExponent)
        return false;
    d.integer = static_cast<int>(d.digits.size()) <= d.exponent || d.digits.empty();
    if (d.digits.empty())
        d.negative = false;
    if (d.digits.size() > kMaxDigits)
        d.digits.resize(kMaxDigits);
    writeKey(d, out);
    return true;
}

void encodeBcd(double value, uint8_t *out)
{
    if (!std::isfinite(value)) {
        encodeBcdZero(out);
        return;
    }
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text(buffer);
    if (text.find_first_of("eE") != std::string::npos) {
        std::snprintf(buffer, sizeof buffer, "%.*f", std::fabs(value) < 1 ? 20 : 0, value);
        text = buffer;
    }
    if (!encodeBcd(text, out))
        encodeBcdZero(out);
}

void encodeBcdZero(uint8_t *out)
{
    encodeBcd(std::string_view(), out);
}

double decodeBcd(const uint8_t *key)
{
    Decimal d = readKey(key);
    double v = 0;
    for (size_t i = 0; i < d.digits.size(); ++i)
        v += (d.digits[i] - '0') * std::pow(10.0, d.exponent - 1 - static_cast<int>(i));
    return d.negative ? -v : v;
}

std::string bcdToText(const uint8_t *key)
{
    Decimal d = readKey(key);
    if (d.digits.empty())
        return "0";
    std::string s;
    if (d.exponent <= 0) {
        s = "0." + std::string(static_cast<size_t>(-d.exponent), '0') + d.digits;
    } else if (static_cast<size_t>(d.exponent) >= d.digits.size()) {
        s = d.digits + std::string(static_cast<size_t>(d.exponent) - d.digits.size(), '0');
    } else {
        s = d.digits.substr(0, static_cast<size_t>(d.exponent)) + "."
            + d.digits.substr(static_cast<size_t>(d.exponent));
    }
    return d.negative ? "-" + s : s;
}

int compareBcd(const uint8_t *a, const uint8_t *b)
{
    // On the bytes: zero has no digits; then the sign; then the exponent; then the digits
    // nibble by nibble (a nibble above 9 reads as 9, as readKey takes it). Trailing zero digits
    // do not change the order, since both keys are padded with zeros to 20 digits. Nibbles
    // beyond a key's digit count L (when it gives one) read as 0: some writers leave a stray
    // nibble after the last digit of a one-digit value.
    auto digit = [](const uint8_t *k, size_t n) {
        const size_t count = (k[1] >> 2) & 0x1F;
        if (count != 0 && n >= count)
            return 0;
        const int nibble = (n % 2 == 0) ? (k[2 + n / 2] >> 4) : (k[2 + n / 2] & 0x0F);
        return std::min(nibble, 9);
    };
    auto isZero = [&](const uint8_t *k) {
        for (size_t n = 0; n < 2 * (kBcdKeyLength - 2); ++n)
            if (digit(k, n) != 0)
                return false;
        return true;
    };
    const int sx = isZero(a) ? 0 : ((a[1] & 0x80) ? -1 : 1);
    const int sy = isZero(b) ? 0 : ((b[1] & 0x80) ? -1 : 1);
    if (sx != sy)
        return sx < sy ? -1 : 1;
    if (sx == 0)
        return 0;
    int c = 0;
    if (a[0] != b[0]) {
        c = a[0] < b[0] ? -1 : 1;
    } else {
        for (size_t n = 0; n < 2 * (kBcdKeyLength - 2) && c == 0; ++n) {
            const int x = digit(a, n), y = digit(b, n);
            if (x != y)
                c = x < y ? -1 : 1;
        }
    }
    return sx < 0 ? -c : c;
}

int64_t julianDay(int year, int month, int day)
{
    int64_t a = (14 - month) / 12;
    int64_t y = static_cast<int64_t>(year) + 4800 - a;
    int64_t m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

static void storeDouble(double v, uint8_t *out)
{
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

bool encodeDateKey(std::string_view s, uint8_t *out)
{
    if (s.find_first_not_of(" \0"sv) == std::string_view::npos) {
        storeDouble(kBlankDateKey, out);
        return true;
    }
    if (s.size() != 8 || s.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    auto num = [&](size_t p, size_t n) {
        int v = 0;
        for (size_t i = p; i < p + n; ++i)
            v = v * 10 + (s[i] - '0');
        return v;
    };
    int y = num(0, 4), m = num(4, 2), d = num(6, 2);
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > days[m - 1])
        return false;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (m == 2 && d == 29 && !leap)
        return false;
    storeDouble(static_cast<double>(julianDay(y, m, d)), out);
    return true;
}

double decodeDateKey(const uint8_t *key)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<uint64_t>(key[i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

int compareDateKeys(const uint8_t *a, const uint8_t *b)
{
    double x = decodeDateKey(a), y = decodeDateKey(b);
    if (std::isnan(x) || std::isnan(y))
        return std::memcmp(a, b, kDateKeyLength) < 0 ? -1 : (std::memcmp(a, b, 8) == 0 ? 0 : 1);
    return x < y ? -1 : (x > y ? 1 : 0);
}

} // namespace welarik
