// SPDX-License-Identifier: GPL-3.0-or-later
// CSV and TSV files: the encoding, separator and quote found from the bytes, the first row as
// column names, and every further row of the same length.

#include "importsource.h"

#include "codepage.h"

#include <QString>

#include <array>

namespace welarik::exchange {

namespace {

// ISO-8859-2 differs from Windows-1250 only below 0xC0: 0x80-0x9F are control characters there
// and 0xA0-0xBF hold other letters.
constexpr std::array<char16_t, 32> kIso88592A0
    = {0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A, 0x00A7, 0x00A8, 0x0160, 0x015E,
       0x0164, 0x0179, 0x00AD, 0x017D, 0x017B, 0x00B0, 0x0105, 0x02DB, 0x0142, 0x00B4, 0x013E,
       0x015B, 0x02C7, 0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C};

bool validUtf8(const QByteArray &bytes, qsizetype &badAt)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        int extra = 0;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else {
            badAt = i;
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80) {
                badAt = i;
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

bool hasUtf8Bom(const QByteArray &bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

void refuseUtf16(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0'))
        throw ExchangeError("Plik nie jest tekstem w UTF-8, Windows-1250 ani ISO-8859-2 "
                            "(zawiera bajty zerowe, jak UTF-16 lub plik binarny).");
}

// The separator that splits the first line (outside quotes) most often.
char detectSeparator(const std::string &text, char quote)
{
    const size_t end = text.find('\n');
    const std::string line = text.substr(0, end);
    int best = 0;
    char chosen = ';';
    for (char candidate : {';', '\t', ',', '|'}) {
        int count = 0;
        bool quoted = false;
        for (char c : line) {
            if (c == quote)
                quoted = !quoted;
            else if (c == candidate && !quoted)
                ++count;
        }
        if (count > best) {
            best = count;
            chosen = candidate;
        }
    }
    return chosen;
}

char detectQuote(const std::string &text)
{
    const size_t begin = text.find_first_not_of(" \t");
    return begin != std::string::npos && text[begin] == '\'' ? '\'' : '"';
}

// A cell a spreadsheet would take for a formula (apostrophes, then = + - @) was written with
// one more leading apostrophe.
std::string withoutFormulaGuard(std::string cell)
{
    const size_t sign = cell.find_first_not_of('\'');
    if (sign > 0 && sign != std::string::npos
        && (cell[sign] == '=' || cell[sign] == '+' || cell[sign] == '-' || cell[sign] == '@'))
        cell.erase(0, 1);
    return cell;
}

std::vector<std::vector<std::string>> splitRows(const std::string &text, char sep, char quote)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    bool quoted = false;
    const auto endCell = [&] {
        row.push_back(withoutFormulaGuard(std::move(cell)));
        cell.clear();
    };
    const auto endRow = [&] {
        endCell();
        if (!(row.size() == 1 && row[0].empty()))
            rows.push_back(std::move(row));
        row.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == quote) {
                if (i + 1 < text.size() && text[i + 1] == quote) {
                    cell += quote;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += c;
            }
        } else if (c == quote && cell.empty()) {
            quoted = true;
        } else if (c == sep) {
            endCell();
        } else if (c == '\n') {
            endRow();
        } else if (c != '\r') {
            cell += c;
        }
    }
    if (quoted)
        throw ExchangeError("Plik CSV kończy się wewnątrz cudzysłowu.");
    if (!cell.empty() || !row.empty())
        endRow();
    return rows;
}

} // namespace

const char *encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Cp1250:
        return "Windows-1250";
    case Encoding::Iso8859_2:
        return "ISO-8859-2";
    default:
        return "UTF-8";
    }
}

Encoding detectEncoding(const QByteArray &bytes)
{
    qsizetype badAt = 0;
    if (hasUtf8Bom(bytes) || validUtf8(bytes, badAt))
        return Encoding::Utf8;
    int iso = 0;
    int windows = 0;
    for (const char ch : bytes) {
        switch (static_cast<unsigned char>(ch)) {
        case 0xA1:
        case 0xA6:
        case 0xAC:
        case 0xB1:
        case 0xB6:
        case 0xBC:
            ++iso;
            break;
        case 0x8C:
        case 0x8F:
        case 0x9C:
        case 0x9F:
        case 0xA5:
        case 0xB9:
            ++windows;
            break;
        default:
            break;
        }
    }
    return iso > windows ? Encoding::Iso8859_2 : Encoding::Cp1250;
}

std::string decodeText(const QByteArray &bytes, Encoding encoding)
{
    refuseUtf16(bytes);
    if (encoding == Encoding::Auto)
        encoding = detectEncoding(bytes);
    if (encoding == Encoding::Utf8) {
        const QByteArray body = hasUtf8Bom(bytes) ? bytes.mid(3) : bytes;
        qsizetype badAt = 0;
        if (!validUtf8(body, badAt))
            throw ExchangeError("Plik nie jest zapisany w UTF-8 (błędny bajt na pozycji "
                                + std::to_string(badAt + 1) + "); wybierz inne kodowanie.");
        return body.toStdString();
    }
    if (encoding == Encoding::Cp1250)
        return toUtf8(CodePage::Cp1250, std::string_view(bytes.constData(), size_t(bytes.size())));
    QString text;
    text.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0xA0)
            text += QChar(char16_t(c));
        else if (c < 0xC0)
            text += QChar(kIso88592A0[c - 0xA0]);
        else
            text += QString::fromStdString(toUtf8(CodePage::Cp1250, std::string(1, char(c))));
    }
    return text.toStdString();
}

ImportSource readCsv(const QByteArray &bytes, CsvOptions options)
{
    if (options.encoding == Encoding::Auto) {
        refuseUtf16(bytes);
        options.encoding = detectEncoding(bytes);
    }
    const std::string text = decodeText(bytes, options.encoding);
    if (options.quote == 0)
        options.quote = detectQuote(text);
    if (options.separator == 0)
        options.separator = detectSeparator(text, options.quote);
    ImportSource source;
    source.format = Format::Csv;
    source.csv = options;
    auto rows = splitRows(text, options.separator, options.quote);
    if (rows.empty())
        throw ExchangeError("Plik CSV jest pusty: brak wiersza z nazwami kolumn.");
    source.columns = std::move(rows.front());
    for (size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].size() != source.columns.size())
            throw ExchangeError("Wiersz " + std::to_string(i + 1) + " pliku CSV ma "
                                + std::to_string(rows[i].size()) + " kolumn, a pierwszy wiersz "
                                + std::to_string(source.columns.size()) + ".");
        source.rows.push_back(std::move(rows[i]));
    }
    for (const std::string &column : source.columns)
        source.mapping.push_back(fieldForColumn(column));
    return source;
}

} // namespace welarik::exchange
