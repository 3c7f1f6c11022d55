// Unpacking the data archive (a zip file) into a folder.
#pragma once

#include <cstdint>
#include <string>

#include "base/binary.h"

// How much one unpacking may write; the defaults are the program's caps (base/binary.h).
struct ArchiveLimits {
    uint64_t entryBytes = kMaxContentFileBytes;  // one entry, as inflated
    uint64_t totalBytes = kMaxArchiveBytes;      // every entry together, as inflated
};

// Unpacks every entry of the archive below targetDirectory (which ends in a separator).
// Folders are made only for directory entries. Entries with absolute names, drive letters,
// ".." parts or names Windows keeps for devices are skipped and logged: nothing is ever written
// outside targetDirectory, and an archive unpacks the same on every system. An entry that
// cannot be read whole, or that inflates past limits.entryBytes, writes no file; once the
// entries together inflate past limits.totalBytes the unpacking stops. Only a regular file is
// opened as the archive. Problems are logged through "Voltaresca", names with their control
// characters escaped. False when the unpacking did not look at every entry (the archive did
// not open, its directory is damaged, or it stopped at the total cap).
bool extractArchive(const std::string& targetDirectory, const std::string& archivePath, const ArchiveLimits& limits = {});

// Why a zip entry name can't be unpacked (it would land outside the folder it is unpacked to,
// or a part of it is a name Windows keeps for a device); empty when it can.
std::string entryNameProblem(const std::string& name);
bool isSafeEntryName(const std::string& name);
// A name as it goes into the log: control characters (C0, DEL and C1) written as \xNN, so that a
// hostile name can't steer the terminal; at most 300 bytes of it.
std::string printableName(const std::string& name);

// Where things lie: the archive `named`, or "demodat" beside the program when the name is empty;
// the data folder that unpacking into `folder` (ending in a separator) makes; the music in a
// data folder (ending in a separator).
std::string archiveOrDefault(const std::string& named);
std::string dataFolderOf(const std::string& folder);
std::string musicFileOf(const std::string& dataDirectory);
