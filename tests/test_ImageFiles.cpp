#include "support/AtomicFile.h"
#include "support/ImageFiles.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <jpeglib.h>

namespace fs = std::filesystem;
using namespace support;
using testutil::ReadBytes;
using testutil::TempDir;
using testutil::WriteBytes;

namespace {

// A decoder that reports errors instead of ending the test program.
struct Decoded {
    int width = 0, height = 0, components = 0;
    std::vector<unsigned char> samples;
    const unsigned char *At(int x, int y) const {
        return &samples[(static_cast<std::size_t>(y) * width + x) * components];
    }
};

struct DecodeError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void DecodeErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<DecodeError *>(cinfo->err)->jump, 1);
}

bool DecodeJPEG(const std::string &bytes, Decoded &out) {
    jpeg_decompress_struct cinfo;
    DecodeError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = DecodeErrorExit;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.components = cinfo.output_components;
    out.samples.resize(static_cast<std::size_t>(out.width) * out.height * out.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &out.samples[static_cast<std::size_t>(cinfo.output_scanline) * out.width *
                                    out.components];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

TEST(ImageFiles, BitmapBytesOfATopDownRaster) {
    // 3 x 2 pixels in rows of 4; the fourth pixel of each row must not reach the file.
    const std::uint32_t pixels[] = {
        0xFF112233, 0x80445566, 0x00778899, 0xDEADBEEF, //
        0x01020304, 0xFFFFFFFF, 0x00000000, 0xDEADBEEF, //
    };
    // One header field a line, as the format lays them out.
    // clang-format off
    const unsigned char expected[] = {
        'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,    // size 54 + 24, data at 54
        40, 0, 0, 0, 3, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF,   // width 3, height -2
        1, 0, 32, 0, 0, 0, 0, 0, 24, 0, 0, 0,              // 1 plane, 32 bits, image size
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    //
        0x33, 0x22, 0x11, 0xFF, 0x66, 0x55, 0x44, 0x80, 0x99, 0x88, 0x77, 0x00, // top row
        0x04, 0x03, 0x02, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00,
    };
    // clang-format on
    const std::string want(reinterpret_cast<const char *>(expected), sizeof expected);

    TempDir dir;
    fs::path file = dir.path / "Map.BMP"; // the extension test ignores case
    WriteBytes(file, "old");
    SaveImage(file.string(), pixels, 3, 2, 4);
    EXPECT_EQ(ReadBytes(file), want);
    EXPECT_EQ(EncodeBMP(pixels, 3, 2, 4), want);
    EXPECT_EQ(dir.Entries(), 1u);
}

TEST(ImageFiles, JpegDecodesToTheRasterColours) {
    // Left half red with alpha 0 (alpha is dropped, not applied), right half opaque blue.
    const int w = 32, h = 16;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[static_cast<std::size_t>(y) * w + x] = x < w / 2 ? 0x00FF0000 : 0xFF0000FF;

    TempDir dir;
    fs::path file = dir.path / "MAP.JPG";
    SaveImage(file.string(), pixels.data(), w, h, w);
    std::string bytes = ReadBytes(file);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");

    Decoded img;
    ASSERT_TRUE(DecodeJPEG(bytes, img));
    EXPECT_EQ(img.width, w);
    EXPECT_EQ(img.height, h);
    ASSERT_EQ(img.components, 3);
    auto near = [](const unsigned char *px, int r, int g, int b) {
        return std::abs(px[0] - r) <= 12 && std::abs(px[1] - g) <= 12 && std::abs(px[2] - b) <= 12;
    };
    for (int y : {2, 8, 13}) {
        EXPECT_TRUE(near(img.At(4, y), 255, 0, 0)) << y;
        EXPECT_TRUE(near(img.At(27, y), 0, 0, 255)) << y;
    }
}

TEST(ImageFiles, EncoderErrorsAreFileErrorsAndKeepTheOldFile) {
    TempDir dir;
    fs::path file = dir.path / "map.jpg";
    WriteBytes(file, "old");
    // Wider than JPEG allows: libjpeg reports an error, which must not end the program.
    std::vector<std::uint32_t> wide(70000, 0xFF808080);
    EXPECT_THROW(WriteJPEG(file.string(), wide.data(), 70000, 1, 70000), FileError);
    EXPECT_THROW(SaveImage(file.string(), wide.data(), 0, 0, 0), FileError); // empty image
    EXPECT_EQ(ReadBytes(file), "old");
    EXPECT_EQ(dir.Entries(), 1u);

    // After the errors the encoder still works.
    EXPECT_NO_THROW(WriteJPEG(file.string(), wide.data(), 100, 1, 100));
    EXPECT_NE(ReadBytes(file), "old");

    EXPECT_THROW(WriteBMP((dir.path / "missing" / "map.bmp").string(), wide.data(), 1, 1, 1),
                 FileError);
}

TEST(ImageFiles, UnsupportedExtensionWritesNothing) {
    TempDir dir;
    const std::uint32_t pixel = 0xFFFFFFFF;
    for (const char *name : {"map.png", "map.jpeg", "map", "map.bmp.txt", "v1.5/map"}) {
        std::string path = (dir.path / name).string();
        try {
            SaveImage(path, &pixel, 1, 1, 1);
            ADD_FAILURE() << name << ": no error";
        } catch (const UnsupportedImageExtension &e) {
            EXPECT_EQ(std::string(e.what()), "File extension not supported: " + path);
        }
    }
    EXPECT_EQ(dir.Entries(), 0u);
}
