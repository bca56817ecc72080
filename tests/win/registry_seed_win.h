// Helpers for the registry tests on the real registry: scratch keys that
// remove themselves, raw value seeding, running Windows' own reg.exe with a
// bound, and reading what its export wrote.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <map>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/handles_win.h"
#include "platform/text.h"

namespace velto {
namespace testing_win {

inline bool KeyExists(HKEY root, const UString& path, REGSAM view) {
  UniqueRegKey k;
  return RegOpenKeyExW(root, WidePtr(path), 0, KEY_READ | view, k.put()) == ERROR_SUCCESS;
}

// Lets everyone do everything again, so a key locked by a test can be removed.
inline void UnlockKey(HKEY root, const UString& path, REGSAM view) {
  UniqueRegKey k;
  if (RegOpenKeyExW(root, WidePtr(path), 0, WRITE_DAC | view, k.put()) != ERROR_SUCCESS) return;
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
  RegSetKeySecurity(k.get(), DACL_SECURITY_INFORMATION, &sd);
}

// Grants only KEY_READ to everyone, administrators and the system: such a key
// opens for reading but not with full access, even in an elevated process.
inline bool LockKeyReadOnly(HKEY root, const UString& path, REGSAM view) {
  UniqueRegKey k;
  if (RegOpenKeyExW(root, WidePtr(path), 0, WRITE_DAC | view, k.put()) != ERROR_SUCCESS) return false;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)(A;;KR;;;BA)(A;;KR;;;SY)",
                                                            SDDL_REVISION_1, &raw, nullptr))
    return false;
  UniqueLocal owner(raw);
  return RegSetKeySecurity(k.get(), DACL_SECURITY_INFORMATION, raw) == ERROR_SUCCESS;
}

// A key created for one test in one view; on destruction the topmost key the
// test created (not the ancestors that already existed) goes with its subtree.
class ScratchKey {
 public:
  ScratchKey(HKEY root, const UString& path, REGSAM view) : root_(root), view_(view) {
    size_t pos = 0;
    for (;;) {
      pos = path.find(u'\\', pos + 1);
      const UString prefix = path.substr(0, pos);
      if (!KeyExists(root, prefix, view)) {
        top_ = prefix;
        break;
      }
      if (pos == UString::npos) break;
    }
    RegCreateKeyExW(root, WidePtr(path), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key_.put(), nullptr);
  }
  ~ScratchKey() {
    key_.reset();
    if (top_.empty()) return;
    RemoveTree(top_);
  }
  HKEY get() const { return key_.get(); }
  bool ok() const { return key_.valid(); }

  void Set(const UString& name, DWORD type, const std::vector<uint8_t>& data) {
    RegSetValueExW(key_.get(), name.empty() ? nullptr : WidePtr(name), 0, type,
                   data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size()));
  }
  void SetText(const UString& name, const UString& text, DWORD type = REG_SZ) {
    std::vector<uint8_t> b;
    for (char16_t c : text) b.insert(b.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
    b.insert(b.end(), {0, 0});
    Set(name, type, b);
  }
  void SetDword(const UString& name, DWORD v) {
    Set(name, REG_DWORD, {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
  }

 private:
  // Children first, unlocking each, because a locked key refuses its own removal on Windows.
  void RemoveTree(const UString& path) {
    UnlockKey(root_, path, view_);
    std::vector<UString> children;
    {
      UniqueRegKey k;
      if (RegOpenKeyExW(root_, WidePtr(path), 0, KEY_READ | view_, k.put()) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
          DWORD n = 256;
          if (RegEnumKeyExW(k.get(), i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
          children.push_back(FromWide(name, n));
        }
      }
    }
    for (const UString& c : children) RemoveTree(path + u"\\" + c);
    RegDeleteKeyExW(root_, WidePtr(path), view_, 0);
  }

  HKEY root_;
  REGSAM view_;
  UString top_;
  UniqueRegKey key_;
};

// Runs a command line and waits at most `timeout_ms`; a process still running
// then is ended. Returns the exit code, or -1.
inline int RunBounded(const UString& command_line, DWORD timeout_ms) {
  std::u16string cmd = command_line;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(&cmd[0]), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
    return -1;
  UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
  if (WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 5000);
    return -1;
  }
  DWORD code = 0;
  return GetExitCodeProcess(process.get(), &code) ? static_cast<int>(code) : -1;
}

inline UString TempFilePath(const char* name) {
  wchar_t tmp[MAX_PATH];
  const DWORD n = GetTempPathW(MAX_PATH, tmp);
  return (n > 0 && n < MAX_PATH ? FromWide(tmp) : UString(u"C:\\")) + Ascii(name);
}

// One value as reg.exe exported it: its type and its bytes.
struct ExportedValue {
  UString Name;
  DWORD Type = REG_NONE;
  std::vector<uint8_t> Data;
};
struct ExportedKey {
  UString Path;  // as in the section line, without the brackets
  std::vector<ExportedValue> Values;
};

inline std::vector<uint8_t> Utf16Bytes(const UString& s, bool nul) {
  std::vector<uint8_t> b;
  for (char16_t c : s) b.insert(b.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  if (nul) b.insert(b.end(), {0, 0});
  return b;
}

inline int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads a "Windows Registry Editor Version 5.00" file as reg.exe writes it:
// UTF-16LE, CRLF, "@" for the default value, strings with \\ and \" escapes,
// dword:xxxxxxxx, and hex / hex(N) byte lists continued over lines with "\".
inline bool ParseRegExport(const std::string& bytes, std::vector<ExportedKey>* keys) {
  if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != 0xFF || static_cast<uint8_t>(bytes[1]) != 0xFE)
    return false;
  UString text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
  std::vector<UString> lines;
  UString cur;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      lines.push_back(cur);
      cur.clear();
      ++i;
    } else {
      cur.push_back(text[i]);
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  for (size_t i = 0; i < lines.size(); ++i) {
    UString line = lines[i];
    if (line.empty() || line.rfind(u"Windows Registry Editor", 0) == 0) continue;
    if (line[0] == u'[') {
      keys->push_back(ExportedKey{line.substr(1, line.size() - 2), {}});
      continue;
    }
    if (keys->empty()) return false;
    ExportedValue v;
    size_t pos = 0;
    if (line[0] == u'@') {
      pos = 1;
    } else if (line[0] == u'"') {
      for (pos = 1; pos < line.size() && line[pos] != u'"'; ++pos) {
        if (line[pos] == u'\\' && pos + 1 < line.size()) ++pos;
        v.Name.push_back(line[pos]);
      }
      ++pos;
    } else {
      return false;
    }
    if (pos >= line.size() || line[pos] != u'=') return false;
    UString data = line.substr(pos + 1);
    if (!data.empty() && data[0] == u'"') {
      UString s;
      for (size_t k = 1; k < data.size() && data[k] != u'"'; ++k) {
        if (data[k] == u'\\' && k + 1 < data.size()) {
          ++k;
          s.push_back(data[k] == u'n' ? u'\n' : data[k] == u'r' ? u'\r' : data[k] == u'0' ? u'\0' : data[k]);
        } else {
          s.push_back(data[k]);
        }
      }
      v.Type = REG_SZ;
      v.Data = Utf16Bytes(s, true);
    } else if (data.rfind(u"dword:", 0) == 0) {
      uint32_t x = 0;
      for (size_t k = 6; k < data.size(); ++k) x = x * 16 + static_cast<uint32_t>(HexDigit(data[k]));
      v.Type = REG_DWORD;
      v.Data = {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x >> 16),
                static_cast<uint8_t>(x >> 24)};
    } else if (data.rfind(u"hex", 0) == 0) {
      v.Type = REG_BINARY;
      size_t colon = data.find(u':');
      if (data.size() > 3 && data[3] == u'(') v.Type = static_cast<DWORD>(std::stoul(ToUtf8(data.substr(4, data.find(u')') - 4)), nullptr, 16));
      UString list = data.substr(colon + 1);
      while (!list.empty() && list.back() == u'\\' && i + 1 < lines.size()) {
        list.pop_back();
        list += Trim(lines[++i]);
      }
      for (size_t k = 0; k + 1 < list.size(); k += 3)
        v.Data.push_back(static_cast<uint8_t>(HexDigit(list[k]) * 16 + HexDigit(list[k + 1])));
    } else {
      return false;
    }
    keys->back().Values.push_back(v);
  }
  return true;
}

}  // namespace testing_win
}  // namespace velto
