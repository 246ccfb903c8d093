#include "platform/ui/CursorBitmap.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/LittleEndianReader.h"

namespace ui {

namespace {

constexpr std::array<std::uint8_t, 8> PngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t InfoHeaderSize = 40;
constexpr std::uint32_t UncompressedRgb = 0;
constexpr int MaxBitmapEdge = 256;

bool IsPng(std::span<const std::uint8_t> image) {
  return image.size() >= PngSignature.size() &&
         std::equal(PngSignature.begin(), PngSignature.end(), image.begin());
}

QImage DecodePng(std::span<const std::uint8_t> image) {
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(image.data()),
                                            static_cast<qsizetype>(image.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "png");
  // The size comes from the header; checking it first keeps a lying header
  // from making us allocate a huge image.
  const QSize claimed = reader.size();
  if (!claimed.isValid()) {
    throw std::runtime_error("The cursor's PNG image has an unreadable header: " +
                             reader.errorString().toStdString());
  }
  if (claimed.width() > MaxCursorEdge || claimed.height() > MaxCursorEdge) {
    throw std::runtime_error("The cursor's PNG image has unusable dimensions " +
                             std::to_string(claimed.width()) + " x " +
                             std::to_string(claimed.height()));
  }
  QImage decoded = reader.read();
  if (decoded.isNull()) {
    throw std::runtime_error("The cursor's PNG image cannot be decoded: " +
                             reader.errorString().toStdString());
  }
  return decoded.convertToFormat(QImage::Format_ARGB32);
}

std::size_t RowBytes(std::size_t width, std::size_t bitsPerPixel) {
  return (width * bitsPerPixel + 31) / 32 * 4;
}

struct DibLayout {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  std::size_t paletteOffset = 0;
  std::size_t paletteEntries = 0;
  std::size_t colourOffset = 0;
  std::size_t colourStride = 0;
  std::size_t maskOffset = 0;
  std::size_t maskStride = 0;
  bool hasMask = true;
};

DibLayout ReadLayout(const LittleEndianReader& dib) {
  DibLayout layout;
  const std::uint32_t headerSize = dib.U32(0);
  if (headerSize < InfoHeaderSize || headerSize > dib.size()) {
    throw std::runtime_error("The cursor image has an invalid bitmap header size " +
                             std::to_string(headerSize));
  }
  const std::int32_t width = dib.I32(4);
  const std::int32_t doubleHeight = dib.I32(8);
  const std::uint16_t planes = dib.U16(12);
  layout.bitsPerPixel = dib.U16(14);
  const std::uint32_t compression = dib.U32(16);
  const std::uint32_t coloursUsed = dib.U32(32);

  if (width < 1 || width > MaxBitmapEdge || doubleHeight < 2 || doubleHeight > 2 * MaxBitmapEdge ||
      doubleHeight % 2 != 0) {
    throw std::runtime_error("The cursor image has unusable dimensions " + std::to_string(width) +
                             " x " + std::to_string(doubleHeight) + "/2");
  }
  if (planes != 1) throw std::runtime_error("The cursor image has " + std::to_string(planes) + " planes");
  if (compression != UncompressedRgb) {
    throw std::runtime_error("The cursor image uses unsupported compression " +
                             std::to_string(compression));
  }
  const int bits = layout.bitsPerPixel;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
    throw std::runtime_error("The cursor image has an unsupported depth of " + std::to_string(bits) +
                             " bits per pixel");
  }
  layout.width = width;
  layout.height = doubleHeight / 2;

  if (bits <= 8) {
    const std::size_t maxEntries = std::size_t{1} << bits;
    if (coloursUsed > maxEntries) {
      throw std::runtime_error("The cursor image claims " + std::to_string(coloursUsed) +
                               " palette colours for " + std::to_string(bits) + " bits per pixel");
    }
    layout.paletteEntries = coloursUsed == 0 ? maxEntries : coloursUsed;
  }
  layout.paletteOffset = headerSize;
  layout.colourOffset = layout.paletteOffset + layout.paletteEntries * 4;
  layout.colourStride = RowBytes(static_cast<std::size_t>(layout.width), static_cast<std::size_t>(bits));
  layout.maskOffset = layout.colourOffset + layout.colourStride * static_cast<std::size_t>(layout.height);
  layout.maskStride = RowBytes(static_cast<std::size_t>(layout.width), 1);

  // Every size here is bounded (256 x 256 x 32 bits), so these sums cannot
  // overflow; Field() then checks them against the real length.
  dib.Field(layout.colourOffset, layout.colourStride * static_cast<std::size_t>(layout.height));
  const std::size_t maskBytes = layout.maskStride * static_cast<std::size_t>(layout.height);
  // Images with their own alpha channel are often written without the mask.
  layout.hasMask = !(bits == 32 && dib.size() < layout.maskOffset + maskBytes);
  if (layout.hasMask) dib.Field(layout.maskOffset, maskBytes);
  return layout;
}

std::vector<QRgb> ReadPalette(const LittleEndianReader& dib, const DibLayout& layout) {
  std::vector<QRgb> palette(std::size_t{1} << (layout.bitsPerPixel <= 8 ? layout.bitsPerPixel : 0),
                            qRgb(0, 0, 0));
  for (std::size_t i = 0; i < layout.paletteEntries; ++i) {
    const auto entry = dib.Field(layout.paletteOffset + i * 4, 4);
    palette[i] = qRgb(entry[2], entry[1], entry[0]);
  }
  return palette;
}

QRgb ColourAt(std::span<const std::uint8_t> row, int x, int bits, const std::vector<QRgb>& palette) {
  const auto column = static_cast<std::size_t>(x);
  switch (bits) {
    case 1: return palette[(row[column / 8] >> (7 - column % 8)) & 0x01];
    case 4: return palette[(row[column / 2] >> (column % 2 == 0 ? 4 : 0)) & 0x0F];
    case 8: return palette[row[column]];
    case 24: return qRgb(row[column * 3 + 2], row[column * 3 + 1], row[column * 3]);
    default:
      return qRgba(row[column * 4 + 2], row[column * 4 + 1], row[column * 4], row[column * 4 + 3]);
  }
}

QImage DecodeDib(std::span<const std::uint8_t> image) {
  const LittleEndianReader dib(image, "The cursor image");
  const DibLayout layout = ReadLayout(dib);
  const std::vector<QRgb> palette = ReadPalette(dib, layout);

  // A 32-bit image whose alpha is zero everywhere carries no alpha at all;
  // then, as for every other depth, the mask decides what shows.
  bool useAlpha = false;
  if (layout.bitsPerPixel == 32) {
    for (int y = 0; y < layout.height && !useAlpha; ++y) {
      const auto row = dib.Field(layout.colourOffset + static_cast<std::size_t>(y) * layout.colourStride,
                                 layout.colourStride);
      for (int x = 0; x < layout.width && !useAlpha; ++x) useAlpha = row[static_cast<std::size_t>(x) * 4 + 3] != 0;
    }
  }

  QImage decoded(layout.width, layout.height, QImage::Format_ARGB32);
  for (int y = 0; y < layout.height; ++y) {
    // Rows are stored bottom-up.
    const auto stored = static_cast<std::size_t>(layout.height - 1 - y);
    const auto colours = dib.Field(layout.colourOffset + stored * layout.colourStride, layout.colourStride);
    std::span<const std::uint8_t> mask;
    if (layout.hasMask) mask = dib.Field(layout.maskOffset + stored * layout.maskStride, layout.maskStride);
    auto* line = reinterpret_cast<QRgb*>(decoded.scanLine(y));
    for (int x = 0; x < layout.width; ++x) {
      QRgb colour = ColourAt(colours, x, layout.bitsPerPixel, palette);
      if (!useAlpha) {
        const auto column = static_cast<std::size_t>(x);
        const bool transparent = layout.hasMask && ((mask[column / 8] >> (7 - column % 8)) & 0x01) != 0;
        // A masked pixel with colour inverts the screen below it, which a
        // pixmap cursor cannot do; it is drawn opaque instead of vanishing.
        const bool invisible = transparent && (colour & 0x00FFFFFF) == 0;
        colour = invisible ? qRgba(0, 0, 0, 0) : (colour | 0xFF000000);
      }
      line[x] = colour;
    }
  }
  return decoded;
}

}  // namespace

QImage DecodeCursorImage(std::span<const std::uint8_t> image) {
  return IsPng(image) ? DecodePng(image) : DecodeDib(image);
}

}  // namespace ui
