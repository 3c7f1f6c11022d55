// Wildcard matching and ordering for file listings, independent of any backend.
#pragma once

#include <string>

namespace platform {

// Matches `name` against a pattern with * (any run) and ? (one character); letters compare
// without regard to case, as file searches on case-insensitive file systems do.
bool wildcardMatch(const std::string& pattern, const std::string& name);
// The listing order: names compared letter by letter without regard to case, then byte-wise.
bool listingLess(const std::string& a, const std::string& b);

}  // namespace platform
