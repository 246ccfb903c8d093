#pragma once

// Builds Windows cursor files in memory for the tests: one image per file,
// as a bitmap of the chosen depth with its transparency mask, or as PNG.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdint>

namespace testing {

inline void PutU16(QByteArray& bytes, int value) {
  bytes.append(static_cast<char>(value & 0xFF));
  bytes.append(static_cast<char>((value >> 8) & 0xFF));
}

inline void PutU32(QByteArray& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.append(static_cast<char>((value >> shift) & 0xFF));
}

inline void SetU32(QByteArray& bytes, int offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline void SetU16(QByteArray& bytes, int offset, int value) {
  bytes[offset] = static_cast<char>(value & 0xFF);
  bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

// Offsets into a built file.
constexpr int TypeOffset = 2;
constexpr int CountOffset = 4;
constexpr int EntryOffset = 6;
constexpr int EntrySizeOffset = EntryOffset + 8;
constexpr int EntryImageOffset = EntryOffset + 12;
constexpr int ImageStart = 6 + 16;

inline QByteArray CursorDirectory(int width, int height, int hotX, int hotY, int imageBytes) {
  QByteArray bytes;
  PutU16(bytes, 0);
  PutU16(bytes, 2);
  PutU16(bytes, 1);
  bytes.append(static_cast<char>(width >= 256 ? 0 : width));
  bytes.append(static_cast<char>(height >= 256 ? 0 : height));
  bytes.append('\0');
  bytes.append('\0');
  PutU16(bytes, hotX);
  PutU16(bytes, hotY);
  PutU32(bytes, static_cast<std::uint32_t>(imageBytes));
  PutU32(bytes, ImageStart);
  return bytes;
}

// The image's pixels with alpha 0 become masked; for depths up to 8 the
// colours come from a palette of black, white, red, green and blue only.
inline QByteArray BitmapCursor(const QImage& source, int bitsPerPixel, int hotX, int hotY) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const int width = image.width();
  const int height = image.height();
  const QRgb palette[] = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 255, 0),
                          qRgb(0, 0, 255)};
  const int paletteEntries = bitsPerPixel <= 8 ? (bitsPerPixel == 1 ? 2 : 5) : 0;
  auto paletteIndex = [&](QRgb colour) {
    for (int i = 0; i < paletteEntries; ++i) {
      if (qRed(palette[i]) == qRed(colour) && qGreen(palette[i]) == qGreen(colour) &&
          qBlue(palette[i]) == qBlue(colour)) {
        return i;
      }
    }
    return 0;
  };

  QByteArray dib;
  PutU32(dib, 40);
  PutU32(dib, static_cast<std::uint32_t>(width));
  PutU32(dib, static_cast<std::uint32_t>(height * 2));
  PutU16(dib, 1);
  PutU16(dib, bitsPerPixel);
  PutU32(dib, 0);
  PutU32(dib, 0);
  PutU32(dib, 0);
  PutU32(dib, 0);
  PutU32(dib, static_cast<std::uint32_t>(bitsPerPixel == 1 ? 0 : paletteEntries));
  PutU32(dib, 0);
  for (int i = 0; i < paletteEntries; ++i) {
    dib.append(static_cast<char>(qBlue(palette[i])));
    dib.append(static_cast<char>(qGreen(palette[i])));
    dib.append(static_cast<char>(qRed(palette[i])));
    dib.append('\0');
  }
  const int colourStride = (width * bitsPerPixel + 31) / 32 * 4;
  for (int y = height - 1; y >= 0; --y) {
    QByteArray row(colourStride, '\0');
    for (int x = 0; x < width; ++x) {
      const QRgb pixel = image.pixel(x, y);
      const bool masked = qAlpha(pixel) == 0;
      switch (bitsPerPixel) {
        case 1:
          if (!masked && paletteIndex(pixel) == 1) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
          break;
        case 4:
          row[x / 2] = static_cast<char>(row[x / 2] | ((masked ? 0 : paletteIndex(pixel)) << (x % 2 == 0 ? 4 : 0)));
          break;
        case 8: row[x] = static_cast<char>(masked ? 0 : paletteIndex(pixel)); break;
        case 24:
          row[x * 3] = static_cast<char>(masked ? 0 : qBlue(pixel));
          row[x * 3 + 1] = static_cast<char>(masked ? 0 : qGreen(pixel));
          row[x * 3 + 2] = static_cast<char>(masked ? 0 : qRed(pixel));
          break;
        default:
          row[x * 4] = static_cast<char>(qBlue(pixel));
          row[x * 4 + 1] = static_cast<char>(qGreen(pixel));
          row[x * 4 + 2] = static_cast<char>(qRed(pixel));
          row[x * 4 + 3] = static_cast<char>(qAlpha(pixel));
          break;
      }
    }
    dib.append(row);
  }
  const int maskStride = (width + 31) / 32 * 4;
  for (int y = height - 1; y >= 0; --y) {
    QByteArray row(maskStride, '\0');
    for (int x = 0; x < width; ++x) {
      if (qAlpha(image.pixel(x, y)) == 0) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    }
    dib.append(row);
  }
  return CursorDirectory(width, height, hotX, hotY, static_cast<int>(dib.size())) + dib;
}

inline QByteArray PngCursor(const QImage& image, int hotX, int hotY) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return CursorDirectory(image.width(), image.height(), hotX, hotY, static_cast<int>(png.size())) + png;
}

// A 32 x 32 picture: transparent left half, white top right quarter, red
// bottom right quarter.
inline QImage SampleCursorPicture(int edge = 32) {
  QImage image(edge, edge, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int y = 0; y < edge; ++y) {
    for (int x = edge / 2; x < edge; ++x) image.setPixel(x, y, y < edge / 2 ? qRgb(255, 255, 255) : qRgb(255, 0, 0));
  }
  return image;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace testing
