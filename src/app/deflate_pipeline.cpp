#include "app/deflate_pipeline.h"

#include <zlib.h>

#include <algorithm>

#include "platform/file_io.h"

namespace velto {

namespace {

constexpr size_t kReadPiece = 65535;
constexpr size_t kChunk = 256 * 1024;
// Output that members ahead of the one being written may hold together, and
// what the member being written may hold before its worker waits.
constexpr uint64_t kBudget = 16ull << 20;
constexpr uint64_t kCurrentQueue = 4ull << 20;

struct ZStream {
  z_stream z{};
  bool ready = false;
  ~ZStream() {
    if (ready) deflateEnd(&z);
  }
};

}  // namespace

bool DeflateFile(const DeflateJob& job, DeflateResult* result,
                 const std::function<bool(uint64_t)>& on_open,
                 const std::function<bool(const uint8_t*, size_t)>& emit) {
  *result = DeflateResult();
  File file = File::Open(job.path, File::Mode::kRead);
  if (!file.IsOpen()) return false;
  const int64_t size = file.Size();
  if (size < 0) return false;
  result->opened = true;
  result->size_at_open = static_cast<uint64_t>(size);
  if (!on_open(result->size_at_open)) return false;

  ZStream zs;
  if (deflateInit2(&zs.z, job.level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  zs.ready = true;
  std::vector<uint8_t> in(kReadPiece);
  std::vector<uint8_t> out(kChunk);
  // Output is handed over in whole chunks (and the rest at the end), so each
  // buffered chunk costs exactly its size.
  zs.z.next_out = out.data();
  zs.z.avail_out = static_cast<uInt>(out.size());
  auto hand_over = [&]() {
    const size_t produced = out.size() - zs.z.avail_out;
    zs.z.next_out = out.data();
    zs.z.avail_out = static_cast<uInt>(out.size());
    result->compressed += produced;
    return produced == 0 || emit(out.data(), produced);
  };
  uLong crc = crc32(0L, Z_NULL, 0);
  uint64_t remaining = result->size_at_open;
  for (bool last = false; !last;) {
    // A file that grows while it is read is cut at the size it had when it
    // was opened; one that shrinks ends where its data ends. A read error is
    // not an end: the bytes so far would make a shorter member whose CRC
    // matches, so the file is given up instead.
    size_t got = 0;
    if (remaining > 0) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, kReadPiece));
      const int64_t n = result->uncompressed + want > job.fail_read_after ? -1 : file.Read(in.data(), want);
      if (n < 0) {
        result->read_failed = true;
        return false;
      }
      got = static_cast<size_t>(n);
    }
    remaining -= got;
    last = got == 0 || remaining == 0;
    crc = crc32(crc, in.data(), static_cast<uInt>(got));
    result->uncompressed += got;
    zs.z.next_in = in.data();
    zs.z.avail_in = static_cast<uInt>(got);
    for (;;) {
      const int rc = deflate(&zs.z, last ? Z_FINISH : Z_NO_FLUSH);
      if (rc == Z_STREAM_ERROR) return false;
      if (zs.z.avail_out == 0 && !hand_over()) return false;
      if (last ? rc == Z_STREAM_END : zs.z.avail_in == 0) break;
    }
  }
  if (!hand_over()) return false;
  result->crc = static_cast<uint32_t>(crc);
  return true;
}

struct DeflatePipeline::Slot {
  // A queue as vector + head: an empty std::deque already allocates, and
  // there is one slot per member.
  std::vector<std::string> chunks;
  size_t head = 0;
  uint64_t bytes = 0;
  bool opened = false;
  bool done = false;
  bool ok = false;
  DeflateResult result;
};

DeflatePipeline::DeflatePipeline(std::vector<DeflateJob> jobs, unsigned threads,
                                 const ThreadStarter& starter)
    : jobs_(std::move(jobs)) {
  slots_.reserve(jobs_.size());
  for (size_t i = 0; i < jobs_.size(); ++i) slots_.push_back(std::make_unique<Slot>());
  size_t eager = 0;
  for (const auto& j : jobs_) eager += j.deferred ? 0 : 1;
  const unsigned count = static_cast<unsigned>(std::min<size_t>(std::max(1u, threads), eager));
  // Workers that did start share all the eager jobs between them; with none,
  // nothing would ever fill the slots Consume waits on, so every job becomes
  // one the caller runs itself.
  if (count > 0 && StartThreads(count, [this](unsigned) { Work(); }, starter, &workers_) == 0)
    for (auto& j : jobs_) j.deferred = true;
}

DeflatePipeline::~DeflatePipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (auto& w : workers_) w.join();
}

bool DeflatePipeline::Push(size_t index, std::string&& chunk) {
  std::unique_lock<std::mutex> lock(mutex_);
  Slot& slot = *slots_[index];
  changed_.wait(lock, [&] {
    if (stop_) return true;
    if (index == current_) return slot.bytes < kCurrentQueue;
    return buffered_ + chunk.size() <= kBudget;
  });
  if (stop_) return false;
  slot.bytes += chunk.size();
  buffered_ += chunk.size();
  slot.chunks.push_back(std::move(chunk));
  changed_.notify_all();
  return true;
}

void DeflatePipeline::Work() {
  for (;;) {
    size_t index;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      while (next_job_ < jobs_.size() && jobs_[next_job_].deferred) ++next_job_;
      if (stop_ || next_job_ >= jobs_.size()) return;
      index = next_job_++;
    }
    DeflateResult result;
    const bool ok = DeflateFile(
        jobs_[index], &result,
        [&](uint64_t size) {
          std::lock_guard<std::mutex> lock(mutex_);
          slots_[index]->opened = true;
          slots_[index]->result.size_at_open = size;
          changed_.notify_all();
          return !stop_;
        },
        [&](const uint8_t* data, size_t size) {
          return Push(index, std::string(reinterpret_cast<const char*>(data), size));
        });
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& slot = *slots_[index];
    slot.ok = ok;
    slot.result = result;
    slot.done = true;
    changed_.notify_all();
    if (stop_) return;
  }
}

DeflateResult DeflatePipeline::Consume(size_t index, const std::function<bool(uint64_t)>& on_open,
                                       const std::function<bool(const uint8_t*, size_t)>& emit,
                                       bool* ok) {
  *ok = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = index;
  }
  changed_.notify_all();
  if (jobs_[index].deferred) {
    DeflateResult result;
    bool cancelled = false;
    const bool done = DeflateFile(
        jobs_[index], &result, [&](uint64_t size) { return (cancelled = !on_open(size)) == false; },
        [&](const uint8_t* data, size_t size) { return (cancelled = !emit(data, size)) == false; });
    if (!done && result.read_failed) {
      result.opened = false;
    } else if (!done && (cancelled || result.opened)) {
      *ok = false;
    }
    return result;
  }
  Slot& slot = *slots_[index];
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return slot.opened || slot.done; });
  if (!slot.opened) return slot.result;  // could not be opened
  const uint64_t size = slot.result.size_at_open;
  lock.unlock();
  if (!on_open(size)) {
    *ok = false;
    return DeflateResult();
  }
  for (;;) {
    lock.lock();
    changed_.wait(lock, [&] { return slot.head < slot.chunks.size() || slot.done; });
    if (slot.head == slot.chunks.size()) break;  // done and drained
    std::string chunk = std::move(slot.chunks[slot.head++]);
    if (slot.head == slot.chunks.size()) {
      slot.chunks.clear();
      slot.head = 0;
    }
    slot.bytes -= chunk.size();
    buffered_ -= chunk.size();
    lock.unlock();
    changed_.notify_all();
    if (!emit(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size())) {
      *ok = false;
      return DeflateResult();
    }
  }
  DeflateResult result = slot.result;
  const bool worked = slot.ok;
  lock.unlock();
  if (!worked && result.read_failed) {
    result.opened = false;
  } else if (!worked) {
    *ok = false;
  }
  return result;
}

}  // namespace velto
