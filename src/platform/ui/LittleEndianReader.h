#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace ui {

// Reads little-endian fields from a byte range, checking every access
// against the range's end, so that a damaged file can make the reading fail
// but never read past its bytes.
class LittleEndianReader {
 public:
  LittleEndianReader(std::span<const std::uint8_t> bytes, std::string what)
      : bytes_(bytes), what_(std::move(what)) {}

  std::uint8_t U8(std::size_t offset) const { return Field(offset, 1)[0]; }
  std::uint16_t U16(std::size_t offset) const {
    const auto field = Field(offset, 2);
    return static_cast<std::uint16_t>(field[0] | (field[1] << 8));
  }
  std::uint32_t U32(std::size_t offset) const {
    const auto field = Field(offset, 4);
    return static_cast<std::uint32_t>(field[0]) | (static_cast<std::uint32_t>(field[1]) << 8) |
           (static_cast<std::uint32_t>(field[2]) << 16) | (static_cast<std::uint32_t>(field[3]) << 24);
  }
  std::int32_t I32(std::size_t offset) const { return static_cast<std::int32_t>(U32(offset)); }

  // The bytes [offset, offset + length), or a failure naming what is short.
  std::span<const std::uint8_t> Field(std::size_t offset, std::size_t length) const {
    if (offset > bytes_.size() || length > bytes_.size() - offset) {
      throw std::runtime_error(what_ + " is truncated: " + std::to_string(length) +
                               " bytes needed at offset " + std::to_string(offset) + " of " +
                               std::to_string(bytes_.size()));
    }
    return bytes_.subspan(offset, length);
  }

  std::size_t size() const { return bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::string what_;
};

}  // namespace ui
