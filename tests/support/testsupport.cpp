#include "testsupport.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <sys/wait.h>

namespace welarik::test {

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

} // namespace welarik::test
