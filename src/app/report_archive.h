// The three packaging attempts of a report run and the archive routine they
// share. The report pipeline chains them: PackReport, then
// PackReportToProgramFolder, then PackWorkFolderPlain.
#pragma once

#include <functional>
#include <vector>

#include "platform/text.h"

namespace velto {

// Compression levels of the attempts.
constexpr int kReportLevel = 8;
constexpr int kPlainLevel = 4;

// Packs the files named by `files` into the ZIP archive `archive` and
// returns the number of files written (0 when none was).
// Entries: a file path; a folder path plus a mask (containing "*", "?", "<",
// ">" or "|"), which takes every matching file below that folder,
// subfolders included; a folder path ending in a backslash, which becomes a
// folder member; empty entries are dropped; entries without a folder part
// are relative to the current folder. Hidden and system files are left out
// and hidden or system folders not entered; the archive itself is never
// taken. Plain entries come first in list order, then each mask's files.
// With `update_existing`, an existing archive is updated (see
// WriteZipArchive); otherwise it is replaced. Raises ZipError when the
// archive cannot be read, created or written.
int ZipFiles(const std::vector<UString>& files, const UString& archive, int level,
             bool update_existing);

struct PackContext {
  UString program_folder;     // the folder of the program's own file, with trailing backslash
  UString output_file_name;   // OutputFileName: the package on the Desktop
  // The current local date as "yyyymmdd", or "0" when it cannot be formatted.
  // Asked at the time of the attempt, so a run that passes midnight names the
  // second attempt's file with the later date.
  std::function<UString()> local_date_text;
};

// The intermediate archive beside the program: program folder + "info.data".
UString IntermediateArchivePath(const PackContext& ctx);

// First attempt: packs `files` at level 8 into a fresh "info.data" beside the
// program (a leftover from an interrupted run is discarded first), encrypts
// it into OutputFileName with the pass phrase "marbleoxtide" and deletes it.
// Returns the number of files archived; 0 on any failure, in which case
// neither "info.data" nor a partial package is left behind.
int PackReport(const std::vector<UString>& files, const PackContext& ctx);

// Second attempt: like PackReport, but the package goes to the program's
// folder as "qn_logs_<yyyymmdd>.log". Returns the number of files archived
// (0 when none was). Errors (ZipError, EncryptError) escape to the caller;
// "info.data" is removed before they do.
int PackReportToProgramFolder(const std::vector<UString>& files, const PackContext& ctx);

// Last resort: packs the files matching `mask` (the working folder + "*.*")
// at level 4 into a fresh plain ZIP at `output`, unencrypted. Returns the
// number of files archived; 0 on any failure.
int PackWorkFolderPlain(const UString& mask, const UString& output);

}  // namespace velto
