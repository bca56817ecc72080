// The account and session helpers against the real (Wine) system.
#include <windows.h>
#include <sddl.h>

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
  // The desktop's explorer.exe runs in every Wine session.
  EXPECT_NE(FindExplorerProcessId(UString()), 0u);
  EXPECT_NE(FindExplorerProcessId(user), 0u);
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
