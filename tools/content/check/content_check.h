// The content check: does an archive hold everything the program looks up by name, of the
// right kind, type and range? Run by the generator after writing "demodat" and by the tests.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace content {

// Archive entries by name relative to "voltaresca_data/" ("models/factory.geo",
// "loader.jpg"); directory entries end in "/" and have no bytes.
using ArchiveEntries = std::map<std::string, std::vector<unsigned char>>;

// One line per problem, each naming what is missing or wrong; empty when the content is whole.
std::vector<std::string> checkContent(const ArchiveEntries& entries);

// Reads every entry of a zip archive below the top folder "voltaresca_data/" (other entries
// are kept with their full names). Throws std::runtime_error naming the archive and the entry
// when it can't be read.
ArchiveEntries readArchive(const std::string& path);

}  // namespace content
