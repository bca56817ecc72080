#include "platform/version_resource.h"

namespace velto {
namespace {

constexpr size_t kHeaderBytes = 6;  // length, value length, type: three 16-bit words

size_t AlignUp4(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

}  // namespace

VersionResource::VersionResource(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {
  Node root;
  if (ParseNode(0, size_, &root)) rootEnd_ = root.end;
}

uint16_t VersionResource::Word(size_t offset) const {
  return static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
}

bool VersionResource::ParseNode(size_t offset, size_t limit, Node* node) const {
  if (offset > limit || limit - offset < kHeaderBytes) return false;
  const size_t length = Word(offset);
  if (length < kHeaderBytes) return false;  // would never advance
  node->begin = offset;
  node->end = length > limit - offset ? limit : offset + length;
  node->next = AlignUp4(offset + length);
  const size_t valueLength = Word(offset + 2);
  node->text = Word(offset + 4) == 1;

  // The key is NUL-terminated UTF-16 and must end inside the node.
  node->keyBegin = offset + kHeaderBytes;
  size_t p = node->keyBegin;
  while (p + 2 <= node->end && Word(p) != 0) p += 2;
  if (p + 2 > node->end) return false;
  node->keyChars = (p - node->keyBegin) / 2;

  node->valueBegin = AlignUp4(p + 2);
  if (node->valueBegin > node->end) node->valueBegin = node->end;
  // Text values count UTF-16 units, binary values bytes.
  const size_t declared = node->text ? valueLength * 2 : valueLength;
  node->valueSize = declared > node->end - node->valueBegin ? node->end - node->valueBegin : declared;
  node->childrenBegin = AlignUp4(node->valueBegin + node->valueSize);
  if (node->childrenBegin > node->end) node->childrenBegin = node->end;
  return true;
}

bool VersionResource::KeyEquals(const Node& node, const UString& key) const {
  if (node.keyChars != key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    if (AsciiLower(static_cast<char16_t>(Word(node.keyBegin + i * 2))) != AsciiLower(key[i])) return false;
  }
  return true;
}

UString VersionResource::KeyOf(const Node& node) const {
  UString key;
  key.reserve(node.keyChars);
  for (size_t i = 0; i < node.keyChars; ++i) key.push_back(static_cast<char16_t>(Word(node.keyBegin + i * 2)));
  return key;
}

bool VersionResource::FindNode(const UString& path, Node* node) const {
  if (!Valid()) return false;
  Node current;
  if (!ParseNode(0, size_, &current)) return false;
  size_t pos = 0;
  while (pos < path.size()) {
    size_t stop = path.find(u'\\', pos);
    if (stop == UString::npos) stop = path.size();
    if (stop > pos) {
      const UString key = path.substr(pos, stop - pos);
      bool found = false;
      Node child;
      for (size_t off = current.childrenBegin; off < current.end; off = child.next) {
        if (!ParseNode(off, current.end, &child)) break;
        if (KeyEquals(child, key)) {
          found = true;
          break;
        }
      }
      if (!found) return false;
      current = child;
    }
    pos = stop + 1;
  }
  *node = current;
  return true;
}

bool VersionResource::Query(const UString& path, Value* value) const {
  Node node;
  if (!FindNode(path, &node)) return false;
  value->data = data_ + node.valueBegin;
  value->size = node.valueSize;
  value->available = node.end - node.valueBegin;
  value->text = node.text;
  return true;
}

UString VersionResource::ValueText(const Value& value) {
  // Some resource compilers count text values in bytes, others in characters;
  // reading to the NUL within the node serves both.
  UString text;
  for (size_t p = 0; p + 2 <= value.available; p += 2) {
    const char16_t c = static_cast<char16_t>(value.data[p] | (value.data[p + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

UString VersionResource::FirstChildKey(const UString& path) const {
  Node parent, child;
  if (!FindNode(path, &parent)) return UString();
  for (size_t off = parent.childrenBegin; off < parent.end; off = child.next) {
    if (!ParseNode(off, parent.end, &child)) break;
    if (child.keyChars > 0) return KeyOf(child);
  }
  return UString();
}

}  // namespace velto
