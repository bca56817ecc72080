// Writes the report archive: one member per candidate file, in candidate
// order, each name once per run, raw deflate, the local header completed by
// seeking back after the data (never a data descriptor), Zip64 records only
// when sizes or offsets need them. Can update an existing archive.
#pragma once

#include <stdexcept>
#include <vector>

#include "app/file_list.h"
#include "app/worker_threads.h"
#include "platform/text.h"

namespace velto {

// Raised when the archive file itself cannot be read, created or written.
class ZipError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ZipOptions {
  int level = 8;                // 8 sets general-purpose flag bit 1
  bool update_existing = false;
  unsigned threads = 0;         // 0: one per processor core (up to 8)
  // Test seams, left alone otherwise: how compression threads are started,
  // a size past which writing the archive fails (a full disk), and a count of
  // bytes after which reading any member file fails.
  ThreadStarter start_thread;
  uint64_t archive_size_limit = ~0ull;
  uint64_t member_read_limit = ~0ull;
};

// Writes `candidates` into `archive` and returns the number of files written
// in this run.
// Without update_existing the archive is created afresh. With it, an
// existing archive keeps its members; a candidate whose member name is
// already present replaces that member (in its place) only when the file's
// time is later than the member's; new names follow the kept members.
// A file that cannot be opened, or fails to read part-way, is left out. When no file is written, a new
// archive is not left behind and an existing one is not changed. Failure to
// read, create or write the archive raises ZipError and leaves no partial
// archive.
// Where an update is built before it replaces the archive; callers leave it
// out of the file list like the archive itself.
UString UpdateTempPath(const UString& archive);

int WriteZipArchive(const std::vector<ArchiveCandidate>& candidates, const UString& archive,
                    const ZipOptions& options);

}  // namespace velto
