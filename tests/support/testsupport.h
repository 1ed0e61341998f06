// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers shared by the tests: folders, fixtures, builders of fields, tables and AVI headers.

#include "field.h"
#include "file.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace welarik {
class MemoryFileSystem;
class Table;
} // namespace welarik

namespace welarik::test {

// A file system over an in-memory one whose n-th write from failWrite(n) on (counted over every
// file, 0-based) fails once, as a full disk or a lost network file would; every other write
// goes through and the program goes on. failed() tells whether the failure came.
class OneWriteFails final : public FileSystem
{
public:
    explicit OneWriteFails(MemoryFileSystem &inner);
    void failWrite(std::optional<uint64_t> n)
    {
        m_failAt = n;
        m_writes = 0;
    }
    bool failed() const { return m_failed; }

    std::unique_ptr<File> open(const std::string &p, OpenMode m, ShareMode s) override;
    std::unique_ptr<File> create(const std::string &p, ShareMode s) override;
    bool exists(const std::string &p) override;
    void remove(const std::string &p) override;
    std::optional<std::string> resolve(const std::string &p) override;

private:
    class Wrapped;
    void countWrite(const std::string &path);

    MemoryFileSystem &m_inner;
    std::optional<uint64_t> m_failAt;
    uint64_t m_writes = 0;
    bool m_failed = false;
};

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return m_path; }
    std::string file(const std::string &name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// A sample table from the shared fixtures folder (fixtures/dbase/<relative>).
std::string fixturePath(const std::string &relative);
// Copies a fixture into dir and returns the copy's path.
std::string copyFixture(const std::string &relative, const TempDir &dir);

std::vector<uint8_t> readBytes(const std::string &path);
void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes);

// Runs the independent checker on the given tables; returns its exit status and fills output.
int runVerifier(const std::vector<std::string> &tables, std::string &output);

FieldDesc field(const char *name, char type, uint8_t length, uint8_t decimals = 0);
// The films table's fields as the demo lays them out, without the one named (none when empty).
FieldList filmFieldsWithout(const std::string &name);
// Creates an empty films table at path (level 4, code page 1250) on the real file system and
// returns path.
std::string
createFilmsTable(const std::string &path, const FieldList &fields, std::vector<TagDefinition> tags);

// Opens table expecting it to be refused by a field check (a data link's veto or a missing
// field); returns the FieldError's text, or "" when the table opened.
std::string openRefusal(Table &table);

// Little-endian value of width bytes, and a four-character code, at pos (bytes grows as needed).
void putLe(std::vector<uint8_t> &bytes, size_t pos, uint32_t value, int width = 4);
void putFourCc(std::vector<uint8_t> &bytes, size_t pos, const char *code);

// An AVI header laid out as an ordinary writer lays it out: hdrl with avih, a video strl, an
// audio strl. Defaults: the ordinary AVI of the film editor's documentation.
struct AviImage
{
    int32_t riffSize = 734003200; // 700 MiB
    int32_t mainHeaderSize = 56;
    int32_t microSecPerFrame = 40000;
    int32_t totalFrames = 2500;
    int32_t width = 640;
    int32_t height = 480;
    const char *videoCode = "divx";
    uint32_t videoFormatSize = 40; // an odd size is written without a pad byte
    uint32_t audioHeaderSize = 56;
    uint16_t formatTag = 0x55;
    uint16_t channels = 2;
    int32_t samplesPerSecond = 44100;
    int32_t avgBytesPerSecond = 16000;

    std::vector<uint8_t> bytes() const;
};

} // namespace welarik::test
