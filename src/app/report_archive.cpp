#include "app/report_archive.h"

#include "app/descrypt.h"
#include "app/file_list.h"
#include "app/zip_writer.h"
#include "platform/file_io.h"
#include "platform/folder_enum.h"

namespace velto {

namespace {

const char16_t kIntermediateName[] = u"info.data";

// Encrypts the intermediate archive into `target` and removes it. The
// plaintext archive never stays beside the program, also when encryption
// fails (EncryptFile itself removes a partial package).
void EncryptAndRemove(const UString& archive, const UString& target) {
  try {
    EncryptFile(archive, target, Ascii(kReportPassPhrase));
  } catch (...) {
    RemoveFile(archive);
    throw;
  }
  RemoveFile(archive);
}

// Packs into a fresh intermediate archive. The archive routine would merge
// into a leftover of an interrupted run and carry files that are no longer
// listed into the package; starting fresh keeps the package to this run.
int PackIntermediate(const std::vector<UString>& files, const UString& archive) {
  if (FileExists(archive) && !RemoveFile(archive))
    throw ZipError("a leftover intermediate archive could not be removed");
  try {
    return ZipFiles(files, archive, kReportLevel, false);
  } catch (...) {
    RemoveFile(archive);
    throw;
  }
}

}  // namespace

int ZipFiles(const std::vector<UString>& files, const UString& archive, int level,
             bool update_existing) {
  const UString current = GetCurrentFolder();
  const UString full = AbsolutePath(archive, current);
  ZipOptions options;
  options.level = level;
  options.update_existing = update_existing;
  const auto candidates = ExpandFileList(files, current, {full, UpdateTempPath(full)});
  return WriteZipArchive(candidates, full, options);
}

UString IntermediateArchivePath(const PackContext& ctx) {
  return IncludeTrailingBackslash(ctx.program_folder) + kIntermediateName;
}

int PackReport(const std::vector<UString>& files, const PackContext& ctx) {
  try {
    const UString archive = IntermediateArchivePath(ctx);
    const int count = PackIntermediate(files, archive);
    if (count != 0) EncryptAndRemove(archive, ctx.output_file_name);
    return count;
  } catch (...) {
    return 0;
  }
}

int PackReportToProgramFolder(const std::vector<UString>& files, const PackContext& ctx) {
  UString date;
  try {
    if (ctx.local_date_text) date = ctx.local_date_text();
  } catch (...) {
    date.clear();
  }
  if (date.empty()) date = u"0";
  const UString target = IncludeTrailingBackslash(ctx.program_folder) + u"qn_logs_" + date + u".log";
  const UString archive = IntermediateArchivePath(ctx);
  const int count = PackIntermediate(files, archive);
  if (count != 0) EncryptAndRemove(archive, target);
  return count;
}

int PackWorkFolderPlain(const UString& mask, const UString& output) {
  try {
    // Fresh, like the intermediate archive: whatever lies at the output path
    // (the pipeline deleted the old package, unless that failed) must not
    // lend its members to this one.
    return ZipFiles({mask}, output, kPlainLevel, false);
  } catch (...) {
    return 0;
  }
}

}  // namespace velto
