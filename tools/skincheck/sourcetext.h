#pragma once
// The bytes of a skin file, to name the line and column of what the loader
// reports: an element by the byte offset of its start tag, an attribute by
// its name inside that tag, a declaration by its name inside the "style"
// attribute. It only finds text in a tag the loader has already read; when
// it cannot (a file in a 16-bit encoding), the tag's own place stands in.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SourcePosition {
  std::int32_t line = 1;
  std::int32_t column = 1;
};

class SourceText {
 public:
  explicit SourceText(std::string bytes);

  // Line and column (characters of UTF-8, 1-based) of a byte offset.
  SourcePosition positionOf(std::size_t offset) const;
  // The offset of attribute `name` (letter case ignored) in the start tag at
  // `tagOffset`; npos when the tag does not hold it.
  std::size_t attributeOffset(std::size_t tagOffset, std::string_view name) const;
  // The offset of `text` inside the value of attribute `attribute` of that
  // tag, at the start of a declaration; npos when not found.
  std::size_t declarationOffset(std::size_t tagOffset, std::string_view attribute, std::string_view text) const;

 private:
  struct Attribute {
    std::size_t nameOffset;
    std::string_view name;
    std::size_t valueOffset;
    std::string_view value;
  };
  std::vector<Attribute> attributesOf(std::size_t tagOffset) const;

  std::string m_bytes;
  std::vector<std::size_t> m_lineStarts;
};
