// SPDX-License-Identifier: GPL-3.0-or-later
#include "errors.h"

namespace welarik {

namespace {
std::string compose(const std::string &file, const std::string &fault)
{
    return file.empty() ? fault : file + ": " + fault;
}
} // namespace

StorageError::StorageError(std::string file, std::string fault)
    : std::runtime_error(compose(file, fault))
    , m_file(std::move(file))
    , m_fault(std::move(fault))
{}

} // namespace welarik
