#pragma once
// The device's image library: decoded pictures (RichImage) made from files by
// the handlers registered for their formats, and device bitmaps made from
// them (RichBitmap), with the picture's transparent colour and its
// monochrome mask. JPEG and GIF come as handlers the program registers at
// start; PNG and BMP are built in.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/core/wintypes.h"
#include "platform/gdi/gdiguards.h"

struct RichColor {
  BYTE red = 0;
  BYTE green = 0;
  BYTE blue = 0;
  bool operator==(const RichColor&) const = default;
};

// What a handler hands back: 0x00RRGGBB pixels, rows from the top, and the
// colour that stands for "transparent" when the picture has one. The
// transparent colour is chosen so that no opaque pixel has it.
struct RichImageData {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  bool hasTransparentColor = false;
  RichColor transparentColor;
};

class RichImageHandler {
 public:
  virtual ~RichImageHandler() = default;
  virtual const char* Name() const = 0;
  // Whether the bytes start like this handler's format.
  virtual bool CanRead(const BYTE* data, size_t size) const = 0;
  // Decodes the whole picture; false for a truncated or corrupt one.
  virtual bool Read(const BYTE* data, size_t size, RichImageData& out) const = 0;
};

class rcJPEGHandler final : public RichImageHandler {
 public:
  const char* Name() const override { return "JPEG"; }
  bool CanRead(const BYTE* data, size_t size) const override;
  bool Read(const BYTE* data, size_t size, RichImageData& out) const override;
};

class rcGIFHandler final : public RichImageHandler {
 public:
  const char* Name() const override { return "GIF"; }
  bool CanRead(const BYTE* data, size_t size) const override;
  bool Read(const BYTE* data, size_t size, RichImageData& out) const override;
};

class RichImage {
  friend class RichBitmap;

 public:
  // Takes the handler and keeps it for the life of the process.
  static void AddHandler(RichImageHandler* handler);
  // Remembers the program file; relative picture paths are taken from its folder.
  static void init(LPCWSTR programPath);

  // Decodes the picture at a device path in the ANSI code page. The quality
  // and index arguments are those of the device's library (the system always
  // passes 50 and -1); only a single picture per file is read.
  RichImage(const char* path, int quality, int index);
  // Decodes bytes already in memory.
  RichImage(const BYTE* data, size_t size);
  // A picture decoded before; Ok when its pixels fill its size.
  explicit RichImage(RichImageData decoded);
  // The bytes of the picture file the path constructor would decode; false
  // when there is no readable file.
  static bool ReadFile(const char* path, std::vector<BYTE>& bytes);

  bool Ok() const { return m_ok; }
  int GetWidth() const { return m_data.width; }
  int GetHeight() const { return m_data.height; }
  bool IsMono() const { return m_mono; }
  bool HasTransparentColor() const { return m_data.hasTransparentColor; }
  RichColor GetTransparentColor() const { return m_data.transparentColor; }
  const std::vector<std::uint32_t>& Pixels() const { return m_data.pixels; }
  const RichImageData& Data() const { return m_data; }

  // A new monochrome picture: white where this one has the colour, black
  // elsewhere. Not Ok when this one is not.
  std::unique_ptr<RichImage> ConvertToMono(BYTE red, BYTE green, BYTE blue) const;

 private:
  RichImage() = default;
  void decode(const BYTE* data, size_t size);

  RichImageData m_data;
  bool m_ok = false;
  bool m_mono = false;
};

class RichBitmap {
 public:
  // A device bitmap of the picture (monochrome for a monochrome picture).
  RichBitmap(const RichImage& image, int index);
  // The same, taking the picture's pixels over rather than copying them; the
  // picture is left empty (not Ok).
  RichBitmap(RichImage&& image, int index);
  RichBitmap(const RichBitmap&) = delete;
  RichBitmap& operator=(const RichBitmap&) = delete;

  bool Ok() const { return static_cast<bool>(m_bitmap); }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  HBITMAP GetImpl() const { return m_bitmap.get(); }
  bool HasTransparentColor() const { return m_hasTransparent; }
  RichColor GetTransparentColor() const { return m_transparent; }

 private:
  GdiObject<HBITMAP> m_bitmap;
  int m_width = 0;
  int m_height = 0;
  bool m_hasTransparent = false;
  RichColor m_transparent;
};
