#pragma once

// A camera's EXIF block written with libexif, and a JPEG carrying it in its
// APP1 segment, for the tests of what the program shows of the camera.

#include <QBuffer>
#include <QImage>

#include <libexif/exif-data.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kvx::test {

struct CameraFixture {
    std::string make, model, lensMake, lensModel, date;
    std::uint32_t focalNum = 0, focalDen = 1;  // no entry when focalNum is 0
    std::uint16_t focal35 = 0;                 // no entry when 0
};

// "Exif\0\0" and the TIFF structure, little-endian.
inline std::string ExifBlock(const CameraFixture& c)
{
    ExifMem* mem = exif_mem_new_default();
    ExifData* data = exif_data_new_mem(mem);
    exif_data_set_byte_order(data, EXIF_BYTE_ORDER_INTEL);
    auto add = [&](ExifIfd ifd, ExifTag tag, ExifFormat format, unsigned long components, const void* bytes,
                   unsigned size) {
        ExifEntry* e = exif_entry_new_mem(mem);
        e->data = static_cast<unsigned char*>(exif_mem_alloc(mem, size));
        std::memcpy(e->data, bytes, size);
        e->size = size;
        e->components = components;
        e->format = format;
        e->tag = tag;
        exif_content_add_entry(data->ifd[ifd], e);
        exif_entry_unref(e);
    };
    auto ascii = [&](ExifIfd ifd, ExifTag tag, const std::string& text) {
        if (!text.empty())
            add(ifd, tag, EXIF_FORMAT_ASCII, text.size() + 1, text.c_str(), static_cast<unsigned>(text.size() + 1));
    };
    ascii(EXIF_IFD_0, EXIF_TAG_MAKE, c.make);
    ascii(EXIF_IFD_0, EXIF_TAG_MODEL, c.model);
    ascii(EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, c.date);
    ascii(EXIF_IFD_EXIF, EXIF_TAG_LENS_MAKE, c.lensMake);
    ascii(EXIF_IFD_EXIF, EXIF_TAG_LENS_MODEL, c.lensModel);
    if (c.focalNum) {
        unsigned char r[8];
        exif_set_rational(r, EXIF_BYTE_ORDER_INTEL, ExifRational{c.focalNum, c.focalDen});
        add(EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH, EXIF_FORMAT_RATIONAL, 1, r, 8);
    }
    if (c.focal35) {
        unsigned char s[2];
        exif_set_short(s, EXIF_BYTE_ORDER_INTEL, c.focal35);
        add(EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM, EXIF_FORMAT_SHORT, 1, s, 2);
    }
    unsigned char* bytes = nullptr;
    unsigned int size = 0;
    exif_data_save_data(data, &bytes, &size);
    std::string block(reinterpret_cast<const char*>(bytes), size);
    exif_mem_free(mem, bytes);
    exif_data_unref(data);
    exif_mem_unref(mem);
    return block;
}

// image as a JPEG with block in an APP1 segment right after its start.
inline QByteArray JpegWithExif(const QImage& image, const std::string& block)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    const std::size_t length = block.size() + 2;
    QByteArray app1("\xFF\xE1", 2);
    app1.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xFF));
    app1.append(block.data(), static_cast<qsizetype>(block.size()));
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

} // namespace kvx::test
