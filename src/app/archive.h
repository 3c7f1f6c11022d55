// Unpacking the data archive (a zip file) into a folder.
#pragma once

#include <string>

// Unpacks every entry of the archive below targetDirectory (which ends in a separator).
// Folders are made only for directory entries. Entries with absolute names, drive letters or
// ".." parts are skipped and logged: nothing is ever written outside targetDirectory. An entry
// that cannot be read whole writes no file. Problems are logged through "Voltaresca".
void extractArchive(const std::string& targetDirectory, const std::string& archivePath);

// True when a zip entry name stays inside the folder it is unpacked to.
bool isSafeEntryName(const std::string& name);
