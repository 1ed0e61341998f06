// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Code pages of dBase tables. Callers of the engine see UTF-8; the files hold single bytes of
// the table's code page, chosen by the language driver byte of the header.

#include <cstdint>
#include <string>
#include <string_view>

namespace welarik {

enum class CodePage { Cp1250, Cp852, Cp437, Cp1252 };

// Language driver byte -> code page. Bytes that name no code page we know (0x00, 0x57 and any
// other) mean cp1250, the program's own code page.
CodePage codePageForLdid(uint8_t ldid);
// Level-7 language driver name ("DB852PO0", "DBWINUS0"...) -> code page; cp1250 when unknown.
CodePage codePageForDriverName(std::string_view name);
const char *codePageName(CodePage cp); // "cp1250"...

// Bytes of the code page -> UTF-8. Never fails: bytes the code page leaves undefined map to
// U+FFFD.
std::string toUtf8(CodePage cp, std::string_view bytes);

// UTF-8 -> bytes of the code page. Returns false and sets badChar (the offending character
// as UTF-8) when a character has no byte in the code page or the input is not valid UTF-8.
bool fromUtf8(CodePage cp, std::string_view utf8, std::string &out, std::string &badChar);

// Upper case of one byte in the code page: every letter with an upper-case form in the same
// code page is mapped (Polish ą→Ą, ł→Ł, ż→Ż ...); other bytes are returned unchanged.
uint8_t upperByte(CodePage cp, uint8_t byte);

// s with the ASCII letters a-z in upper case and every other byte unchanged: field, tag and
// codec names, which are ASCII whatever the code page.
std::string upperAscii(std::string_view s);

} // namespace welarik
