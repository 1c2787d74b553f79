#pragma once

#include <string>

// Result files ("calresult.txt", "Imeiresult.txt", "Eepresult.txt") are append-only records that
// several stations may share. A record goes out with a single write() on an O_APPEND descriptor
// under an exclusive flock, then fsync'ed: records of concurrent writers never interleave, and a
// record is on disk when this returns success. A writer killed inside its write() can leave part
// of a record (never reported written); the next append cuts that fragment off first.
//
// Returns "" on success, otherwise the operator-readable reason ("cannot write PATH: No space
// left on device"); a short write counts as a failure.
std::string AppendRecord(const std::string& path, const std::string& record);
