#include "app/output_location.h"

namespace velto {

UString ChooseOutputFolder(const OutputLocationFacts& facts) {
  if (facts.desktop_folder.empty()) return ExcludeTrailingBackslash(facts.program_folder);
  const UString& user = facts.interactive_user;
  const UString& owner = facts.process_owner;
  if (user.empty() || owner.empty() || SameText(user, owner)) return facts.desktop_folder;
  return ReplaceAllText(facts.desktop_folder, u"\\" + owner + u"\\", u"\\" + user + u"\\");
}

UString ComposeOutputFileName(const OutputLocationFacts& facts) {
  return IncludeTrailingBackslash(ChooseOutputFolder(facts)) + u"qn_logs_" + facts.date_text +
         u".log";
}

namespace {
UString& OutputFileNameStorage() {
  static UString path;
  return path;
}
}  // namespace

const UString& OutputFileName() { return OutputFileNameStorage(); }
void SetOutputFileName(const UString& path) { OutputFileNameStorage() = path; }

}  // namespace velto
