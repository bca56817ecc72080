// Text members of a package as UTF-8 for the support tool's terminal, and
// member names made safe to print there. Decoding is streamed: a member's
// recorded size comes from the package and is not trusted to fit in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/text.h"

namespace velto {

// Decodes a text member piece by piece: UTF-16LE when it starts with the
// byte-order mark FF FE, UTF-8 after EF BB BF, otherwise the ANSI code page.
// The output of all pieces together does not depend on where the pieces
// are cut. `crlf_to_lf` turns CR LF into LF (for terminals that end lines
// with LF alone).
class MemberTextDecoder {
 public:
  explicit MemberTextDecoder(bool crlf_to_lf = false) : crlf_to_lf_(crlf_to_lf) {}
  // Appends the UTF-8 text decodable so far to `*out`.
  void Feed(const uint8_t* data, size_t size, std::string* out);
  // Appends what is still held back (a cut-off last character or line end).
  void Finish(std::string* out);

 private:
  enum class Kind { kUnknown, kUtf16, kUtf8, kAnsi };
  void Decode(bool last, std::string* out);
  void Emit(const std::string& utf8, bool last, std::string* out);

  bool crlf_to_lf_;
  Kind kind_ = Kind::kUnknown;
  std::string pending_;   // undecoded input bytes
  bool pending_cr_ = false;  // a CR whose LF may start the next piece
};

// A whole text member as UTF-8 (see MemberTextDecoder).
std::string MemberTextToUtf8(const std::string& bytes);

// `name` with every control character (C0, DEL and C1) replaced by '?', so
// a hostile member name cannot drive the terminal it is printed on.
std::string PrintableName(const UString& name);

}  // namespace velto
