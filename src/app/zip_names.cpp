#include "app/zip_names.h"

#include "platform/codepage.h"

namespace velto {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool MatchFrom(const UString& name, size_t n, const UString& mask, size_t m) {
  // Iterative glob with one backtrack point: linear in practice and no
  // recursion depth to exhaust on long hostile masks.
  size_t star_m = UString::npos, star_n = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'*' || mask[m] == u'<')) {
      star_m = m++;
      star_n = n;
    } else if (m < mask.size() &&
               (mask[m] == u'?' || mask[m] == u'>' || FoldCase(mask[m]) == FoldCase(name[n]))) {
      ++m;
      ++n;
    } else if (star_m != UString::npos) {
      m = star_m + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (m < mask.size() && (mask[m] == u'*' || mask[m] == u'<')) ++m;
  return m == mask.size();
}

}  // namespace

bool HasWildcard(const UString& entry) { return entry.find_first_of(u"*?<>|") != UString::npos; }

bool MatchesMask(const UString& name, const UString& mask) {
  if (MatchFrom(name, 0, mask, 0)) return true;
  // "name.*" also stands for "name" (Windows matches "*.*" against "README").
  if (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, u".*") == 0 &&
      name.find(u'.') == UString::npos)
    return MatchFrom(name, 0, mask.substr(0, mask.size() - 2), 0);
  return false;
}

bool IsAbsolutePath(const UString& path) {
  if (!path.empty() && IsSeparator(path[0])) return true;
  return path.size() >= 2 && path[1] == u':' &&
         ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
}

UString MemberNameFromPath(const UString& path) {
  UString p = path;
  // "\\?\C:\x" and "\\?\UNC\server\share\x" are the long-path forms of the same names.
  if (p.size() >= 4 && IsSeparator(p[0]) && IsSeparator(p[1]) && (p[2] == u'?' || p[2] == u'.') &&
      IsSeparator(p[3])) {
    p = p.substr(4);
    if (p.size() >= 4 && SameText(p.substr(0, 3), u"UNC") && IsSeparator(p[3]))
      p = u"\\\\" + p.substr(4);
  }
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
    // Skip the server and the share, keep the separator that follows them.
    size_t pos = 2, parts = 0;
    while (pos < p.size() && parts < 2) {
      if (IsSeparator(p[pos])) ++parts;
      if (parts < 2) ++pos;
    }
    p = p.substr(pos);
  } else if (p.size() >= 2 && p[1] == u':') {
    p = p.substr(2);
  }
  if (!p.empty() && IsSeparator(p[0])) p.erase(0, 1);
  for (auto& c : p)
    if (c == u'\\') c = u'/';
  return p;
}

EncodedName EncodeMemberName(const UString& name) {
  EncodedName out;
  // The ANSI step matters: a character the OEM page holds but the ANSI page
  // does not (a box-drawing sign, say) still goes to UTF-8.
  const std::string ansi = ToAnsi(name);
  const std::string oem = ToOem(FromAnsi(ansi));
  if (!name.empty() && FromAnsi(ansi) == name && FromOem(oem) == name) {
    out.bytes = oem;
    return out;
  }
  if (name.empty()) return out;
  out.bytes = ToUtf8(name);
  out.utf8 = true;
  return out;
}

UString DecodeMemberName(const std::string& bytes, bool utf8) {
  return utf8 ? FromUtf8(bytes) : FromOem(bytes);
}

}  // namespace velto
