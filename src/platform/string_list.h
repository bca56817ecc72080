// The system's universal result type: an ordered list of UTF-16 text items.
// Saving writes every item followed by CR LF; an item may itself hold several
// CR LF lines, written as they are.
#pragma once

#include <string>
#include <vector>

#include "platform/text.h"

namespace velto {

class TStringList {
 public:
  void Add(const UString& item) { items_.push_back(item); }
  void AddStrings(const TStringList& other) {
    items_.insert(items_.end(), other.items_.begin(), other.items_.end());
  }
  void Clear() { items_.clear(); }
  size_t Count() const { return items_.size(); }
  const UString& operator[](size_t i) const { return items_[i]; }
  UString& operator[](size_t i) { return items_[i]; }
  const std::vector<UString>& Items() const { return items_; }

  // The whole list as one text, each item followed by CR LF.
  UString Text() const;
  // UTF-16LE with the byte-order mark FF FE. False when the file cannot be written.
  bool SaveToFileUtf16(const UString& path) const;
  // The system ANSI code page, no byte-order mark.
  bool SaveToFileAnsi(const UString& path) const;

 private:
  std::vector<UString> items_;
};

// Encoders used by the savers, exposed for callers that stream lists themselves.
std::string EncodeUtf16Le(const UString& text, bool with_bom);

}  // namespace velto
