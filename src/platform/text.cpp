#include "platform/text.h"

#include <algorithm>

namespace velto {

UString FromUtf8(const std::string& s) {
  UString out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      bool ok = i + len <= n;
      uint32_t v = c & (0xFF >> (len + 1));
      for (size_t k = 1; ok && k < len; ++k) {
        const unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) ok = false;
        v = (v << 6) | (cc & 0x3F);
      }
      static const uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
      if (ok && v >= kMin[len] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
        cp = v;
      } else {
        len = 1;  // resynchronise on the next byte
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string ToUtf8(const UString& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);  // Latin-1
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: pairs, with a shifted stretch
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
      return (c & 1) ? c : static_cast<char16_t>(c - 1);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c & 1) ? static_cast<char16_t>(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 32);  // Greek
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);                // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
  return c;
}

UString UpperCase(const UString& text) {
  UString out(text);
  for (auto& c : out) c = FoldCase(c);
  return out;
}

UString LowerCase(const UString& text) {
  UString out(text);
  for (auto& c : out) {
    if (c < 0x80) {
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    } else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
      c = static_cast<char16_t>(c + 32);
    } else if (c >= 0x410 && c <= 0x42F) {
      c = static_cast<char16_t>(c + 32);
    }
  }
  return out;
}

bool SameText(const UString& a, const UString& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

bool StartsWithText(const UString& text, const UString& prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool EndsWithText(const UString& text, const UString& suffix) {
  return text.size() >= suffix.size() &&
         SameText(text.substr(text.size() - suffix.size()), suffix);
}

size_t FindText(const UString& text, const UString& what, size_t from) {
  if (what.empty()) return from <= text.size() ? from : UString::npos;
  for (size_t i = from; i + what.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < what.size() && FoldCase(text[i + k]) == FoldCase(what[k])) ++k;
    if (k == what.size()) return i;
  }
  return UString::npos;
}

UString ReplaceAllText(const UString& text, const UString& what, const UString& with) {
  if (what.empty()) return text;
  UString out;
  size_t pos = 0;
  for (;;) {
    const size_t hit = FindText(text, what, pos);
    if (hit == UString::npos) break;
    out.append(text, pos, hit - pos);
    out.append(with);
    pos = hit + what.size();
  }
  out.append(text, pos, UString::npos);
  return out;
}

UString Trim(const UString& text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] <= u' ') ++b;
  while (e > b && text[e - 1] <= u' ') --e;
  return text.substr(b, e - b);
}

UString UIntToText(uint64_t value) {
  char16_t buf[24];
  int n = 0;
  do {
    buf[n++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  UString out;
  while (n > 0) out.push_back(buf[--n]);
  return out;
}

UString IntToText(int64_t value) {
  if (value >= 0) return UIntToText(static_cast<uint64_t>(value));
  return u"-" + UIntToText(0 - static_cast<uint64_t>(value));
}

UString HexUpper(uint64_t value, int digits) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  UString out(static_cast<size_t>(digits), u'0');
  for (int i = digits - 1; i >= 0; --i) {
    out[static_cast<size_t>(i)] = kDigits[value & 0xF];
    value >>= 4;
  }
  return out;
}

UString IncludeTrailingBackslash(const UString& path) {
  if (!path.empty() && path.back() == u'\\') return path;
  return path + u"\\";
}

UString ExcludeTrailingBackslash(const UString& path) {
  if (!path.empty() && path.back() == u'\\') return path.substr(0, path.size() - 1);
  return path;
}

static size_t LastDelimiter(const UString& path) {
  const size_t pos = path.find_last_of(u"\\:");
  return pos;
}

UString ExtractFilePath(const UString& path) {
  const size_t pos = LastDelimiter(path);
  return pos == UString::npos ? UString() : path.substr(0, pos + 1);
}

UString ExtractFileName(const UString& path) {
  const size_t pos = LastDelimiter(path);
  return pos == UString::npos ? path : path.substr(pos + 1);
}

UString Ascii(const char* text) {
  UString out;
  for (; *text; ++text) out.push_back(static_cast<unsigned char>(*text));
  return out;
}

}  // namespace velto
