#include "platform/string_list.h"

#include "platform/codepage.h"
#include "platform/file_io.h"

namespace velto {

UString TStringList::Text() const {
  UString out;
  for (const auto& item : items_) {
    out += item;
    out += u"\r\n";
  }
  return out;
}

std::string EncodeUtf16Le(const UString& text, bool with_bom) {
  std::string out;
  out.reserve(text.size() * 2 + 2);
  if (with_bom) out.append("\xFF\xFE", 2);
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

bool TStringList::SaveToFileUtf16(const UString& path) const {
  return WriteWholeFile(path, EncodeUtf16Le(Text(), true));
}

bool TStringList::SaveToFileAnsi(const UString& path) const {
  return WriteWholeFile(path, ToAnsi(Text()));
}

}  // namespace velto
