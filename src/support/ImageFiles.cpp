#include "support/ImageFiles.h"

#include "support/FilePath.h"

#include "support/AtomicFile.h"
#include "support/NumText.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace support {

UnsupportedImageExtension::UnsupportedImageExtension(const std::string &path)
    : std::runtime_error("File extension not supported: " + path) {}

namespace {

void CheckRaster(const std::uint32_t *pixels, int width, int height, std::size_t stride) {
    if (width < 0 || height < 0)
        throw std::invalid_argument("image raster: negative size");
    if (stride < static_cast<std::size_t>(width))
        throw std::invalid_argument("image raster: the stride is shorter than a row");
    if (pixels == nullptr && width > 0 && height > 0)
        throw std::invalid_argument("image raster: no pixels");
}

// ---------------------------------------------------------------------------------------
// BMP

void Put16(std::string &out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string &out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

constexpr std::uint32_t kBmpHeaderSize = 14 + 40;

std::string BmpHeader(int width, int height) {
    std::uint64_t imageSize =
        4ull * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (imageSize + kBmpHeaderSize > 0xFFFFFFFFull)
        throw FileError("The image is too large for a bitmap file (" + std::to_string(width) +
                        " x " + std::to_string(height) + " pixels)");
    std::string h;
    h.reserve(kBmpHeaderSize);
    // File header
    h += "BM";
    Put32(h, static_cast<std::uint32_t>(kBmpHeaderSize + imageSize));
    Put16(h, 0);
    Put16(h, 0);
    Put32(h, kBmpHeaderSize);
    // Information header; the negative height makes the rows run from the top.
    Put32(h, 40);
    Put32(h, static_cast<std::uint32_t>(width));
    Put32(h, static_cast<std::uint32_t>(-static_cast<std::int64_t>(height)));
    Put16(h, 1);  // planes
    Put16(h, 32); // bits per pixel
    Put32(h, 0);  // no compression
    Put32(h, static_cast<std::uint32_t>(imageSize));
    Put32(h, 0); // pixels per metre, x and y
    Put32(h, 0);
    Put32(h, 0); // colours used, important
    Put32(h, 0);
    return h;
}

// One row as blue, green, red, alpha: the little-endian bytes of 0xAARRGGBB, spelt out so
// that the file does not depend on the machine's byte order.
void AppendBmpRow(std::string &out, const std::uint32_t *row, int width) {
    for (int x = 0; x < width; ++x)
        Put32(out, row[x]);
}

// ---------------------------------------------------------------------------------------
// JPEG

// libjpeg's own error handler ends the process. This one jumps back to Compress, which
// turns the message into an error the caller sees.
struct ErrorManager {
    jpeg_error_mgr pub; // first, so that cinfo->err can be cast back
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void OutputMessage(j_common_ptr) {} // warnings are not printed on stderr

// A growing malloc'd buffer. jpeg_mem_dest is not used: when an error exits after it has
// grown its buffer, the grown buffer is reachable only through its private state and the
// caller's pointer still names the freed first one. Here the owner always holds the live
// buffer and frees it on every path.
struct MemoryDestination {
    jpeg_destination_mgr pub; // first, so that cinfo->dest can be cast back
    unsigned char *buffer;
    std::size_t capacity;
};

constexpr std::size_t kFirstBufferSize = 64 * 1024;

void InitDestination(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<MemoryDestination *>(cinfo->dest);
    dest->buffer = static_cast<unsigned char *>(std::malloc(kFirstBufferSize));
    if (dest->buffer == nullptr)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest->capacity = kFirstBufferSize;
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = dest->capacity;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<MemoryDestination *>(cinfo->dest);
    // libjpeg calls this only when the buffer is full.
    auto *grown = static_cast<unsigned char *>(std::realloc(dest->buffer, dest->capacity * 2));
    if (grown == nullptr)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    dest->buffer = grown;
    dest->pub.next_output_byte = grown + dest->capacity;
    dest->pub.free_in_buffer = dest->capacity;
    dest->capacity *= 2;
    return TRUE;
}

void TermDestination(j_compress_ptr) {}

// Everything that libjpeg may jump out of lives here, in C style: no object with a
// destructor is alive between setjmp and a longjmp, so the jump skips no cleanup.
// On success the caller owns dest->buffer; on failure it is freed and `message` says why.
bool Compress(const std::uint32_t *pixels, int width, int height, std::size_t stride,
              MemoryDestination *dest, std::size_t *length, char *message) {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = OutputMessage;
    dest->buffer = nullptr;
    dest->capacity = 0;
    if (setjmp(err.jump)) {
        std::memcpy(message, err.message, JMSG_LENGTH_MAX);
        jpeg_destroy_compress(&cinfo);
        std::free(dest->buffer);
        dest->buffer = nullptr;
        return false;
    }
    jpeg_create_compress(&cinfo);
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    cinfo.dest = &dest->pub;

    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE); // rejects empty and oversized images

    // Freed with the compressor, also when an error jumps out.
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.image_width * 3, 1);
    while (cinfo.next_scanline < cinfo.image_height) {
        const std::uint32_t *src = pixels + static_cast<std::size_t>(cinfo.next_scanline) * stride;
        JSAMPLE *out = row[0];
        for (int x = 0; x < width; ++x) {
            std::uint32_t p = src[x];
            *out++ = static_cast<JSAMPLE>((p >> 16) & 0xFF);
            *out++ = static_cast<JSAMPLE>((p >> 8) & 0xFF);
            *out++ = static_cast<JSAMPLE>(p & 0xFF);
        }
        jpeg_write_scanlines(&cinfo, row, 1);
    }
    jpeg_finish_compress(&cinfo);
    *length = dest->capacity - dest->pub.free_in_buffer;
    jpeg_destroy_compress(&cinfo);
    return true;
}

// Fills `bytes`, or returns false with libjpeg's message in `error`.
bool TryEncodeJPEG(const std::uint32_t *pixels, int width, int height, std::size_t stride,
                   std::string &bytes, std::string &error) {
    CheckRaster(pixels, width, height, stride);
    MemoryDestination dest{};
    std::size_t length = 0;
    char message[JMSG_LENGTH_MAX] = {};
    if (!Compress(pixels, width, height, stride, &dest, &length, message)) {
        error = message;
        return false;
    }
    try {
        bytes.assign(reinterpret_cast<const char *>(dest.buffer), length);
    } catch (...) {
        std::free(dest.buffer);
        throw;
    }
    std::free(dest.buffer);
    return true;
}

} // namespace

std::string EncodeBMP(const std::uint32_t *pixels, int width, int height,
                      std::size_t strideInPixels) {
    CheckRaster(pixels, width, height, strideInPixels);
    std::string out = BmpHeader(width, height);
    out.reserve(out.size() +
                4ull * static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        AppendBmpRow(out, pixels + static_cast<std::size_t>(y) * strideInPixels, width);
    return out;
}

void WriteBMP(const std::string &path, const std::uint32_t *pixels, int width, int height,
              std::size_t strideInPixels) {
    CheckRaster(pixels, width, height, strideInPixels);
    std::string header = BmpHeader(width, height);
    AtomicFileWriter writer(path);
    writer.Write(header);
    // Row by row: the writer flushes in chunks, so a large map is never held twice.
    std::string row;
    row.reserve(4 * static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        row.clear();
        AppendBmpRow(row, pixels + static_cast<std::size_t>(y) * strideInPixels, width);
        writer.Write(row);
    }
    writer.Commit();
}

std::string EncodeJPEG(const std::uint32_t *pixels, int width, int height,
                       std::size_t strideInPixels) {
    std::string bytes, error;
    if (!TryEncodeJPEG(pixels, width, height, strideInPixels, bytes, error))
        throw FileError("Cannot encode the JPEG image: " + error);
    return bytes;
}

void WriteJPEG(const std::string &path, const std::uint32_t *pixels, int width, int height,
               std::size_t strideInPixels) {
    // Encoded in full before the file is touched, so an encoder error leaves the old file.
    std::string bytes, error;
    if (!TryEncodeJPEG(pixels, width, height, strideInPixels, bytes, error))
        throw FileError("Cannot write file \"" + path + "\": " + error);
    AtomicFileWriter writer(path);
    writer.Write(bytes);
    writer.Commit();
}

void SaveImage(const std::string &path, const std::uint32_t *pixels, int width, int height,
               std::size_t strideInPixels) {
    std::string ext = LowerExtension(path);
    if (ext == ".bmp")
        WriteBMP(path, pixels, width, height, strideInPixels);
    else if (ext == ".jpg")
        WriteJPEG(path, pixels, width, height, strideInPixels);
    else
        throw UnsupportedImageExtension(path);
}

} // namespace support
