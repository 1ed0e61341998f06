// SPDX-License-Identifier: GPL-3.0-or-later
#include "testsupport.h"

#include "demo.h"
#include "errors.h"
#include "memfs.h"
#include "table.h"
#include "tableengine.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <sys/wait.h>

namespace welarik::test {

class OneWriteFails::Wrapped final : public File
{
public:
    Wrapped(OneWriteFails &fs, std::unique_ptr<File> file)
        : m_fs(fs)
        , m_file(std::move(file))
    {}
    const std::string &path() const override { return m_file->path(); }
    uint64_t size() const override { return m_file->size(); }
    size_t readAt(uint64_t o, void *b, size_t n) override { return m_file->readAt(o, b, n); }
    void writeAt(uint64_t o, const void *b, size_t n) override
    {
        m_fs.countWrite(path());
        m_file->writeAt(o, b, n);
    }
    void truncate(uint64_t s) override { m_file->truncate(s); }
    void flush() override { m_file->flush(); }
    void sync() override { m_file->sync(); }

private:
    OneWriteFails &m_fs;
    std::unique_ptr<File> m_file;
};

OneWriteFails::OneWriteFails(MemoryFileSystem &inner)
    : m_inner(inner)
{}

std::unique_ptr<File> OneWriteFails::open(const std::string &p, OpenMode m, ShareMode s)
{
    return std::make_unique<Wrapped>(*this, m_inner.open(p, m, s));
}

std::unique_ptr<File> OneWriteFails::create(const std::string &p, ShareMode s)
{
    return std::make_unique<Wrapped>(*this, m_inner.create(p, s));
}

bool OneWriteFails::exists(const std::string &p)
{
    return m_inner.exists(p);
}

void OneWriteFails::remove(const std::string &p)
{
    m_inner.remove(p);
}

std::optional<std::string> OneWriteFails::resolve(const std::string &p)
{
    return m_inner.resolve(p);
}

void OneWriteFails::countWrite(const std::string &path)
{
    if (m_failAt && m_writes++ == *m_failAt) {
        m_failed = true;
        throw IoError(path, "write refused (test)");
    }
}

TempDir::TempDir()
{
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate
            = std::filesystem::temp_directory_path() / ("welarik-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string fixturePath(const std::string &relative)
{
    return std::string(WELARIK_FIXTURES_DIR) + "/" + relative;
}

std::string copyFixture(const std::string &relative, const TempDir &dir)
{
    std::filesystem::path source(fixturePath(relative));
    auto target = dir.path() / source.filename();
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    return target.string();
}

std::vector<uint8_t> readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

int runVerifier(const std::vector<std::string> &tables, std::string &output)
{
    std::string command = "perl '" + std::string(WELARIK_VERIFY_SCRIPT) + "' --brief";
    for (const auto &t : tables)
        command += " '" + t + "'";
    command += " 2>&1";
    output.clear();
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

FieldDesc field(const char *name, char type, uint8_t length, uint8_t decimals)
{
    FieldDesc f;
    f.name = name;
    f.type = type;
    f.length = length;
    f.decimals = decimals;
    return f;
}

FieldList filmFieldsWithout(const std::string &name)
{
    FieldList fields = demoFilmFields();
    std::erase_if(fields, [&](const FieldDesc &f) { return f.name == name; });
    return fields;
}

std::string
createFilmsTable(const std::string &path, const FieldList &fields, std::vector<TagDefinition> tags)
{
    TableEngine::create(FileSystem::real(), path, 4, 0x57, fields, tags)->close();
    return path;
}

std::string openRefusal(Table &table)
{
    try {
        table.open();
    } catch (const FieldError &e) {
        return e.what();
    }
    return {};
}

void putLe(std::vector<uint8_t> &bytes, size_t pos, uint32_t value, int width)
{
    if (bytes.size() < pos + size_t(width))
        bytes.resize(pos + size_t(width));
    for (int i = 0; i < width; ++i)
        bytes[pos + size_t(i)] = static_cast<uint8_t>(value >> (8 * i));
}

void putFourCc(std::vector<uint8_t> &bytes, size_t pos, const char *code)
{
    putLe(bytes,
          pos,
          uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8
              | uint32_t(uint8_t(code[2])) << 16 | uint32_t(uint8_t(code[3])) << 24);
}

std::vector<uint8_t> AviImage::bytes() const
{
    std::vector<uint8_t> b;
    putFourCc(b, 0, "RIFF");
    putLe(b, 4, riffSize);
    putFourCc(b, 8, "AVI ");
    putFourCc(b, 12, "LIST");
    putFourCc(b, 20, "hdrl");
    putFourCc(b, 24, "avih");
    putLe(b, 28, mainHeaderSize);
    putLe(b, 32, microSecPerFrame);
    putLe(b, 48, totalFrames);
    putLe(b, 56, 2);
    putLe(b, 64, width);
    putLe(b, 68, height);
    const size_t first = 32 + mainHeaderSize;
    const uint32_t listSize = 4 + 8 + 56 + 8 + videoFormatSize;
    putFourCc(b, first, "LIST");
    putLe(b, first + 4, listSize);
    putFourCc(b, first + 8, "strl");
    putFourCc(b, first + 12, "strh");
    putLe(b, first + 16, 56);
    putFourCc(b, first + 20, "vids");
    putFourCc(b, first + 24, videoCode);
    putFourCc(b, first + 76, "strf");
    putLe(b, first + 80, videoFormatSize);
    putLe(b, first + 84 + videoFormatSize - 1, 0, 1);
    const size_t second = first + 8 + listSize;
    putFourCc(b, second, "LIST");
    putLe(b, second + 4, 4 + 8 + audioHeaderSize + 8 + 18);
    putFourCc(b, second + 8, "strl");
    putFourCc(b, second + 12, "strh");
    putLe(b, second + 16, audioHeaderSize);
    putFourCc(b, second + 20, "auds");
    const size_t strf = second + 20 + audioHeaderSize;
    putFourCc(b, strf, "strf");
    putLe(b, strf + 4, 18);
    putLe(b, strf + 8, formatTag, 2);
    putLe(b, strf + 10, channels, 2);
    putLe(b, strf + 12, samplesPerSecond);
    putLe(b, strf + 16, avgBytesPerSecond);
    putLe(b, strf + 24, 0);
    putLe(b, 16, uint32_t(second - 20));
    return b;
}

} // namespace welarik::test
