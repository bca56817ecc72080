// Reader for the version-information block that GetFileVersionInfoW hands
// back: a tree of nodes (length, value length, type, key, value, children).
// The block comes from an arbitrary file on the machine, so every length in it
// is checked against the bytes actually present; a broken node ends the walk
// at that point instead of reading past the buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/text.h"

namespace velto {

class VersionResource {
 public:
  // Value bytes of one node; `data` points into the block given to the reader.
  struct Value {
    const uint8_t* data = nullptr;
    size_t size = 0;      // bytes the node declares (clamped to the node)
    size_t available = 0; // bytes from `data` to the end of the node
    bool text = false;    // node type 1: the value is UTF-16 text
  };

  // The block is not copied: it must outlive the reader.
  VersionResource(const uint8_t* data, size_t size);

  // True when the root node lies within the block.
  bool Valid() const { return rootEnd_ != 0; }

  // Looks up a node by a backslash-separated path of keys, compared without
  // regard to ASCII case ("\" is the root, "\StringFileInfo\040904B0\FileVersion").
  bool Query(const UString& path, Value* value) const;

  // Text of a text value up to its terminating NUL; never reads past the node.
  static UString ValueText(const Value& value);

  // Key of the first child of the node at `path` (empty when there is none).
  UString FirstChildKey(const UString& path) const;

 private:
  struct Node {
    size_t begin = 0;
    size_t end = 0;          // clamped to the parent
    size_t next = 0;         // where the following sibling starts
    size_t keyBegin = 0;
    size_t keyChars = 0;
    size_t valueBegin = 0;
    size_t valueSize = 0;
    size_t childrenBegin = 0;
    bool text = false;
  };

  bool ParseNode(size_t offset, size_t limit, Node* node) const;
  bool FindNode(const UString& path, Node* node) const;
  bool KeyEquals(const Node& node, const UString& key) const;
  UString KeyOf(const Node& node) const;
  uint16_t Word(size_t offset) const;

  const uint8_t* data_;
  size_t size_;
  size_t rootEnd_ = 0;
};

}  // namespace velto
