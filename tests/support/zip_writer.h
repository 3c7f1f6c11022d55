// Writes zip archives for tests: entries in the order given; a name ending in "/" is a
// directory entry.
#pragma once

#include <string>
#include <utility>
#include <vector>

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

bool writeZip(const std::string& path, const ZipEntries& entries);
