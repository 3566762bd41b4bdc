// Writing 32-bit ARGB rasters as BMP and JPEG files, replacing the target atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace support {

// SaveImage was given a name whose extension is neither ".bmp" nor ".jpg" (case ignored).
// The message is "File extension not supported: " + path.
struct UnsupportedImageExtension : std::runtime_error {
    explicit UnsupportedImageExtension(const std::string &path);
};

// The raster: `height` rows of `strideInPixels` pixels, of which the first `width` count;
// each pixel 0xAARRGGBB (a QImage::Format_ARGB32's bits can be passed as they are).
// Negative sizes, a stride below the width or missing pixels throw std::invalid_argument.

// Windows bitmap: 14-byte file header, 40-byte information header with a negative height
// (rows from the top), 32 bits per pixel stored blue, green, red, alpha. Throws FileError.
void WriteBMP(const std::string &path, const std::uint32_t *pixels, int width, int height,
              std::size_t strideInPixels);

// JPEG with libjpeg's default settings, from the red, green and blue of each pixel (alpha
// is dropped). Encoder errors come back as FileError; nothing is written then.
void WriteJPEG(const std::string &path, const std::uint32_t *pixels, int width, int height,
               std::size_t strideInPixels);

// ".bmp" or ".jpg" by the extension in lower case; any other throws
// UnsupportedImageExtension before anything is written.
void SaveImage(const std::string &path, const std::uint32_t *pixels, int width, int height,
               std::size_t strideInPixels);

// The file contents of the two writers.
std::string EncodeBMP(const std::uint32_t *pixels, int width, int height,
                      std::size_t strideInPixels);
std::string EncodeJPEG(const std::uint32_t *pixels, int width, int height,
                       std::size_t strideInPixels);

} // namespace support
