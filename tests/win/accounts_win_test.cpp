// The account and session helpers against the real (Wine) system.
#include <windows.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/accounts_win.h"
#include "platform/handles_win.h"

namespace velto {
namespace {

UString CurrentUserFromApi() {
  wchar_t name[260];
  DWORD size = 260;
  return ::GetUserNameW(name, &size) ? FromWide(name) : UString();
}

UString CurrentTokenSid() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return UString();
  UniqueKernelHandle token(raw);
  std::vector<unsigned char> buf(1024);
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenUser, buf.data(), 1024, &size)) return UString();
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid, &text))
    return UString();
  UniqueLocal owner(text);
  return FromWide(text);
}

uint32_t FirstProcessNamed(const wchar_t* name) {
  UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W e;
  e.dwSize = sizeof e;
  for (BOOL ok = ::Process32FirstW(snapshot.get(), &e); ok; ok = ::Process32NextW(snapshot.get(), &e))
    if (::lstrcmpiW(e.szExeFile, name) == 0) return e.th32ProcessID;
  return 0;
}

class AccountsWin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitWindows2000Test(); }
};

TEST_F(AccountsWin, OwnerOfThisProcessIsTheAccountThatRunsIt) {
  const UString expected = CurrentUserFromApi();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(GetProcessUserName(::GetCurrentProcessId()), expected);
  EXPECT_FALSE(IsWindows2000());
}

TEST_F(AccountsWin, MissingProcessHasNoOwnerAndNoMatch) {
  EXPECT_EQ(GetProcessUserName(0xFFFFFFF0u), UString());
  EXPECT_EQ(FindProcessId(u"no-such-program-velto.exe", UString()), 0u);
}

TEST_F(AccountsWin, FindsProcessesByNameIgnoringCaseAndByOwner) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  const UString self = UpperCase(ExtractFileName(FromWide(path)));
  const UString user = CurrentUserFromApi();
  EXPECT_EQ(FindProcessId(self, UString()), ::GetCurrentProcessId());
  EXPECT_EQ(FindProcessId(self, LowerCase(user)), ::GetCurrentProcessId());
  EXPECT_EQ(FindProcessId(self, u"velto-nobody"), 0u);
  // Explorer runs only in sessions with a desktop: compare with a walk of our own.
  const uint32_t explorer = FirstProcessNamed(L"explorer.exe");
  EXPECT_EQ(FindExplorerProcessId(UString()), explorer);
  EXPECT_EQ(FindExplorerProcessId(user), explorer);
}

TEST_F(AccountsWin, AccountSidMatchesTheTokenSid) {
  const UString sid = GetAccountSid(CurrentUserFromApi());
  EXPECT_EQ(sid, CurrentTokenSid());
  EXPECT_EQ(sid.substr(0, 4), u"S-1-");
  EXPECT_EQ(GetAccountSid(u"velto-no-such-account"), UString());
  EXPECT_EQ(GetAccountSid(UString()), UString());
}

TEST_F(AccountsWin, InteractiveUserIsTheConsoleSessionsUser) {
  // Wine runs one session whose user is the account running the tests.
  EXPECT_NE(GetInteractiveSessionId(), 0u);
  EXPECT_TRUE(SameText(GetInteractiveUserName(), CurrentUserFromApi()));
  EXPECT_EQ(GetInteractiveUserSid(), CurrentTokenSid());
}

}  // namespace
}  // namespace velto
