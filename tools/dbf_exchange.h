// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// welarik-dbf import and export (dbf_exchange.cpp). Each returns the exit status; a wrong
// argument throws std::invalid_argument.

#include <string>
#include <vector>

int runImportCommand(const std::vector<std::string> &args);
int runExportCommand(const std::vector<std::string> &args);
