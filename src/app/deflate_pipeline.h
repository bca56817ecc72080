// Compresses the members of one archive on several threads while the archive
// is written in member order on the caller's thread. Deflate output depends
// only on the input and the settings, so the archive's bytes are the same for
// any thread count. Memory is bounded: a member that is not the one being
// written may buffer output only while the shared budget allows; the member
// being written streams through a small queue.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/worker_threads.h"
#include "platform/text.h"

namespace velto {

struct DeflateJob {
  UString path;
  int level = 8;
  // Deferred jobs are not compressed ahead; the writer runs them itself when
  // it reaches them and still needs them (a same-named fallback).
  bool deferred = false;
  // Test seam: reading the file fails once this many bytes have been read.
  uint64_t fail_read_after = ~0ull;
};

struct DeflateResult {
  bool opened = false;
  // The file opened but a read failed part-way: whatever was emitted is not a
  // member and must be taken back (opened is false then, as for a file that
  // could not be opened).
  bool read_failed = false;
  uint64_t size_at_open = 0;  // bytes read at most: the member is a snapshot of these
  uint32_t crc = 0;
  uint64_t compressed = 0;
  uint64_t uncompressed = 0;
};

// Compresses one file with raw deflate (window bits -15, memory level 8,
// default strategy), reading 65535-byte pieces. `on_open` runs once the file
// is open (with its size), `emit` receives compressed output in order.
// Returns false when the file cannot be opened (nothing emitted), a read
// fails (read_failed set) or `emit` or `on_open` returned false (cancelled).
bool DeflateFile(const DeflateJob& job, DeflateResult* result,
                 const std::function<bool(uint64_t size)>& on_open,
                 const std::function<bool(const uint8_t*, size_t)>& emit);

class DeflatePipeline {
 public:
  // Starts up to `threads` workers with `starter` (std::thread when empty).
  // When none can be started every job runs on the caller's thread in
  // Consume, so the archive is still written, only more slowly.
  DeflatePipeline(std::vector<DeflateJob> jobs, unsigned threads, const ThreadStarter& starter = {});
  ~DeflatePipeline();  // cancels the workers and joins them
  DeflatePipeline(const DeflatePipeline&) = delete;
  DeflatePipeline& operator=(const DeflatePipeline&) = delete;

  // Consumes job `index` (indexes must increase from call to call). Calls
  // `on_open` when the file is open, then `emit` for its compressed output;
  // deferred jobs run on the calling thread. Returns the job's result;
  // `opened` false means the file could not be opened and nothing was
  // emitted, or (read_failed) a read failed part-way and what was emitted
  // must be discarded. When a callback returns false the job is abandoned
  // and false comes back in `*ok`.
  DeflateResult Consume(size_t index, const std::function<bool(uint64_t size)>& on_open,
                        const std::function<bool(const uint8_t*, size_t)>& emit, bool* ok);

 private:
  struct Slot;
  void Work();
  bool Push(size_t index, std::string&& chunk);

  std::vector<DeflateJob> jobs_;
  std::vector<std::unique_ptr<Slot>> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t next_job_ = 0;
  size_t current_ = 0;
  uint64_t buffered_ = 0;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace velto
