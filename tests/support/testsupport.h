#pragma once
// Helpers shared by the engine and probe tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace welarik::test {

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

} // namespace welarik::test
