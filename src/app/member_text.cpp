#include "app/member_text.h"

#include "platform/codepage.h"

namespace velto {

namespace {

// An ANSI piece is converted only up to a byte below 0x40: no double-byte
// code page uses those as trail bytes, so the cut never splits a character.
// Text without such a byte for this long is converted regardless.
constexpr size_t kAnsiHoldLimit = 1 << 16;

}  // namespace

void MemberTextDecoder::Feed(const uint8_t* data, size_t size, std::string* out) {
  pending_.append(reinterpret_cast<const char*>(data), size);
  Decode(false, out);
}

void MemberTextDecoder::Finish(std::string* out) { Decode(true, out); }

void MemberTextDecoder::Decode(bool last, std::string* out) {
  if (kind_ == Kind::kUnknown) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(pending_[i]); };
    if (pending_.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
      kind_ = Kind::kUtf16;
      pending_.erase(0, 2);
    } else if (pending_.size() >= 3 && pending_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      kind_ = Kind::kUtf8;
      pending_.erase(0, 3);
    } else if (last || pending_.size() >= 3 || (!pending_.empty() && byte(0) != 0xFF && byte(0) != 0xEF) ||
               (pending_.size() == 2 && byte(0) == 0xEF && byte(1) != 0xBB)) {
      kind_ = Kind::kAnsi;
    } else {
      return;  // too little to tell yet
    }
  }
  size_t take = pending_.size();
  std::string utf8;
  switch (kind_) {
    case Kind::kUtf16: {
      take = pending_.size() / 2 * 2;
      // A high surrogate waits for its partner.
      if (!last && take >= 2) {
        const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(pending_[take - 2]) |
                                                 (static_cast<unsigned char>(pending_[take - 1]) << 8));
        if (c >= 0xD800 && c <= 0xDBFF) take -= 2;
      }
      UString text;
      text.reserve(take / 2);
      for (size_t i = 0; i + 1 < take; i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(pending_[i]) |
                                             (static_cast<unsigned char>(pending_[i + 1]) << 8)));
      utf8 = ToUtf8(text);
      if (last) take = pending_.size();  // an odd last byte is dropped, as before
      break;
    }
    case Kind::kUtf8:
      utf8 = pending_;
      break;
    case Kind::kAnsi:
      if (!last && pending_.size() < kAnsiHoldLimit) {
        size_t cut = pending_.size();
        while (cut > 0 && static_cast<unsigned char>(pending_[cut - 1]) >= 0x40) --cut;
        take = cut;
      }
      utf8 = ToUtf8(FromAnsi(pending_.substr(0, take)));
      break;
    case Kind::kUnknown:
      return;
  }
  pending_.erase(0, take);
  Emit(utf8, last, out);
}

void MemberTextDecoder::Emit(const std::string& utf8, bool last, std::string* out) {
  if (!crlf_to_lf_) {
    out->append(utf8);
    return;
  }
  for (char c : utf8) {
    if (pending_cr_ && c != '\n') out->push_back('\r');
    pending_cr_ = c == '\r';
    if (!pending_cr_) out->push_back(c);
  }
  if (last && pending_cr_) {
    out->push_back('\r');
    pending_cr_ = false;
  }
}

std::string MemberTextToUtf8(const std::string& bytes) {
  MemberTextDecoder decoder;
  std::string out;
  decoder.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &out);
  decoder.Finish(&out);
  return out;
}

std::string PrintableName(const UString& name) {
  UString safe(name);
  for (auto& c : safe)
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) c = u'?';
  return ToUtf8(safe);
}

}  // namespace velto
