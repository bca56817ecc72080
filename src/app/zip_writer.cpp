#include "app/zip_writer.h"

#include <algorithm>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "app/archive_io.h"
#include "app/deflate_pipeline.h"
#include "app/dos_time.h"
#include "app/zip_format.h"
#include "app/zip_names.h"
#include "platform/file_io.h"
#include "platform/folder_enum.h"

namespace velto {

namespace {

// One thing the writer does, in archive order.
struct Step {
  enum Kind { kNew, kFallback, kFolder, kKeep, kReplace } kind = kNew;
  size_t candidate = 0;  // kNew, kFallback, kFolder, kReplace
  size_t old_index = 0;  // kKeep, kReplace
  size_t job = 0;        // kNew, kFallback, kReplace
  std::u16string key;    // folded member name
};

struct NamedCandidate {
  UString name;  // member name ("/" separators; folders end in "/")
  std::u16string key;
};

// Folded the way SameText compares, so two names it calls equal share one member.
std::u16string KeyOf(const UString& name) { return UpperCase(name); }

// Until released, owns the archive being written: on any way out it first
// closes the file and only then removes it. Windows cannot delete a file
// that is still open (it is opened without sharing), so removing first would
// leave the partial archive behind.
class OutputGuard {
 public:
  OutputGuard(ArchiveOut& out, UString path) : out_(out), path_(std::move(path)) {}
  ~OutputGuard() {
    if (path_.empty()) return;
    out_.Abandon();
    RemoveFile(path_);
  }
  OutputGuard(const OutputGuard&) = delete;
  OutputGuard& operator=(const OutputGuard&) = delete;
  void Release() { path_.clear(); }

 private:
  ArchiveOut& out_;
  UString path_;
};

class ArchiveBuilder {
 public:
  ArchiveBuilder(const std::vector<ArchiveCandidate>& candidates, const ZipOptions& options)
      : candidates_(candidates), options_(options) {}

  int Build(const UString& archive);

 private:
  void Plan(const std::vector<ZipMember>& old);
  ZipMember NewMember(const ArchiveCandidate& c, const UString& name) const;
  bool WriteFile(const Step& step, DeflatePipeline& pipeline);
  void WriteFolder(const Step& step);
  void CopyOld(size_t old_index);
  void Check(bool ok, const char* what) const {
    if (!ok) throw ZipError(what);
  }

  const std::vector<ArchiveCandidate>& candidates_;
  const ZipOptions& options_;
  std::vector<NamedCandidate> named_;
  std::vector<ZipMember> old_;
  FileRandomReader old_reader_;
  std::vector<Step> steps_;
  std::vector<DeflateJob> jobs_;
  ArchiveOut out_;
  std::vector<ZipMember> central_;
  std::unordered_set<std::u16string> written_;
  int count_ = 0;
};

ZipMember ArchiveBuilder::NewMember(const ArchiveCandidate& c, const UString& name) const {
  ZipMember m;
  const EncodedName encoded = EncodeMemberName(name);
  m.name = encoded.bytes;
  m.version_made_by = encoded.utf8 ? kVersionMadeByNtfs : kVersionMadeByDos;
  m.version_needed = kVersionNeeded;
  m.flags = static_cast<uint16_t>((encoded.utf8 ? kFlagUtf8 : 0) |
                                  (options_.level >= 8 && !c.folder_member ? kFlagMaximum : 0));
  m.method = c.folder_member ? kMethodStored : kMethodDeflate;
  m.dos_time = DosDateTimeFromFileTime(c.last_write);
  m.external_attributes = c.attributes;
  return m;
}

void ArchiveBuilder::Plan(const std::vector<ZipMember>& old) {
  for (const auto& c : candidates_) {
    UString name = MemberNameFromPath(c.path);
    if (c.folder_member && (name.empty() || name.back() != u'/')) name += u'/';
    named_.push_back(NamedCandidate{name, KeyOf(name)});
  }
  // Update: old members keep their places; a newer listed file takes over its member.
  std::unordered_map<std::u16string, size_t> old_keys;
  for (size_t i = 0; i < old.size(); ++i) {
    const UString name = DecodeMemberName(old[i].name, (old[i].flags & kFlagUtf8) != 0);
    old_keys.emplace(KeyOf(name), i);
  }
  std::unordered_map<size_t, size_t> replaced;  // old index -> candidate
  std::unordered_set<std::u16string> seen;
  for (size_t i = 0; i < candidates_.size(); ++i) {
    const auto hit = old_keys.find(named_[i].key);
    if (hit == old_keys.end() || !seen.insert(named_[i].key).second) continue;
    const uint32_t file_time = DosDateTimeFromFileTime(candidates_[i].last_write);
    if (!candidates_[i].folder_member && file_time > old[hit->second].dos_time)
      replaced.emplace(hit->second, i);
  }
  for (size_t i = 0; i < old.size(); ++i) {
    Step s;
    s.kind = Step::kKeep;
    s.old_index = i;
    const auto r = replaced.find(i);
    if (r != replaced.end()) {
      s.kind = Step::kReplace;
      s.candidate = r->second;
      s.job = jobs_.size();
      jobs_.push_back(DeflateJob{candidates_[r->second].path, options_.level, false, options_.member_read_limit});
    }
    steps_.push_back(s);
  }
  std::unordered_set<std::u16string> planned;
  for (size_t i = 0; i < candidates_.size(); ++i) {
    if (old_keys.count(named_[i].key)) continue;
    Step s;
    s.candidate = i;
    s.key = named_[i].key;
    // A later file with a name already planned is only a fallback: it is
    // written (where it stands) only when every earlier one failed to open.
    const bool first = planned.insert(named_[i].key).second;
    if (candidates_[i].folder_member) {
      s.kind = Step::kFolder;
    } else {
      s.kind = first ? Step::kNew : Step::kFallback;
      s.job = jobs_.size();
      jobs_.push_back(DeflateJob{candidates_[i].path, options_.level, !first, options_.member_read_limit});
    }
    steps_.push_back(s);
  }
}

bool ArchiveBuilder::WriteFile(const Step& step, DeflatePipeline& pipeline) {
  const ArchiveCandidate& c = candidates_[step.candidate];
  ZipMember m = NewMember(c, named_[step.candidate].name);
  bool ok = true;
  bool started = false;
  const DeflateResult r = pipeline.Consume(
      step.job,
      [&](uint64_t size) {
        started = true;
        m.zip64_local = NeedsZip64(size);
        m.local_header_offset = out_.Position();
        const std::string header = LocalHeaderBytes(m);
        return out_.Write(header.data(), header.size());
      },
      [&](const uint8_t* data, size_t size) { return out_.Write(data, size); }, &ok);
  Check(ok, "the archive could not be written");
  if (!r.opened) {
    // A file that failed part-way is left out like one that would not open.
    if (started) Check(out_.Rewind(m.local_header_offset), "the archive could not be written");
    return false;
  }
  m.crc = r.crc;
  m.compressed_size = r.compressed;
  m.uncompressed_size = r.uncompressed;
  // The local header is completed in place: no data descriptor follows the data.
  Check(out_.Patch(m.local_header_offset, LocalHeaderBytes(m)), "the archive could not be written");
  central_.push_back(m);
  ++count_;
  return true;
}

void ArchiveBuilder::WriteFolder(const Step& step) {
  ZipMember m = NewMember(candidates_[step.candidate], named_[step.candidate].name);
  m.local_header_offset = out_.Position();
  const std::string header = LocalHeaderBytes(m);
  Check(out_.Write(header.data(), header.size()), "the archive could not be written");
  central_.push_back(m);
  ++count_;
}

void ArchiveBuilder::CopyOld(size_t old_index) {
  ZipMember m = old_[old_index];
  std::string error;
  uint64_t data = 0;
  if (!MemberDataOffset(old_reader_, m, &data, &error)) throw ZipError("the existing archive is damaged: " + error);
  m.flags = static_cast<uint16_t>(m.flags & ~kFlagDataDescriptor);
  m.zip64_local = m.compressed_size >= kMax32 || m.uncompressed_size >= kMax32;
  m.local_header_offset = out_.Position();
  const std::string header = LocalHeaderBytes(m);
  Check(out_.Write(header.data(), header.size()), "the archive could not be written");
  std::vector<uint8_t> buffer(1 << 20);
  for (uint64_t done = 0; done < m.compressed_size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), m.compressed_size - done));
    Check(old_reader_.ReadAt(data + done, buffer.data(), n), "the existing archive could not be read");
    Check(out_.Write(buffer.data(), n), "the archive could not be written");
    done += n;
  }
  central_.push_back(m);
}

int ArchiveBuilder::Build(const UString& archive) {
  const bool update = options_.update_existing && FileExists(archive);
  if (update) {
    std::string error;
    if (!old_reader_.Open(archive)) throw ZipError("the existing archive could not be opened");
    if (!ReadZipDirectory(old_reader_, &old_, &error))
      throw ZipError("the existing archive is damaged: " + error);
  }
  Plan(old_);
  const UString target = update ? UpdateTempPath(archive) : archive;
  out_.LimitSize(options_.archive_size_limit);
  // Guarded only once created: a file that could not be opened for writing
  // may be someone else's, and is not this run's to remove.
  Check(out_.Create(target), "the archive could not be created");
  OutputGuard guard(out_, target);
  {
    unsigned threads = options_.threads;
    if (threads == 0) threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    DeflatePipeline pipeline(jobs_, threads, options_.start_thread);
    for (const Step& s : steps_) {
      switch (s.kind) {
        case Step::kKeep:
          CopyOld(s.old_index);
          break;
        case Step::kReplace:
          if (!WriteFile(s, pipeline)) CopyOld(s.old_index);
          break;
        case Step::kFolder:
          if (written_.insert(s.key).second) WriteFolder(s);
          break;
        case Step::kNew:
        case Step::kFallback:
          if (written_.count(s.key)) {
            // Consume nothing: a fallback is deferred and never compressed ahead.
            break;
          }
          if (WriteFile(s, pipeline)) written_.insert(s.key);
          break;
      }
    }
  }
  if (count_ == 0) return 0;  // the guard removes the new file; an updated archive stays as it was
  const uint64_t directory = out_.Position();
  for (const auto& m : central_) {
    const std::string entry = CentralEntryBytes(m);
    Check(out_.Write(entry.data(), entry.size()), "the archive could not be written");
  }
  const std::string end = EndRecordsBytes(central_.size(), directory, out_.Position() - directory);
  Check(out_.Write(end.data(), end.size()) && out_.Finish(), "the archive could not be written");
  if (update) {
    old_reader_ = FileRandomReader();
    Check(ReplaceFileWith(target, archive), "the updated archive could not replace the old one");
  }
  guard.Release();
  return count_;
}

}  // namespace

UString UpdateTempPath(const UString& archive) { return archive + u".tmp"; }

int WriteZipArchive(const std::vector<ArchiveCandidate>& candidates, const UString& archive,
                    const ZipOptions& options) {
  ArchiveBuilder builder(candidates, options);
  return builder.Build(archive);
}

}  // namespace velto
