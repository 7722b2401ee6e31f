#include "image/png_encode.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <new>
#include <vector>

namespace kvx {

namespace {

struct Sink {
    std::string* bytes = nullptr;
    bool failed = false;
};

void Append(png_structp png, png_bytep data, png_size_t length)
{
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    try {
        sink->bytes->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        sink->failed = true;
    }
    // Out of the handler before libpng jumps away.
    if (sink->failed)
        png_error(png, "out of memory");
}

void Flush(png_structp) {}

void Warn(png_structp, png_const_charp) {}

// libpng leaves by longjmp: nothing in here owns anything a jump would skip.
bool Encode(const QImage& rgb, Sink& sink, std::vector<png_bytep>& rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Warn);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &sink, Append, Flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(rgb.width()), static_cast<png_uint_32>(rgb.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (rgb.dotsPerMeterX() > 0 && rgb.dotsPerMeterY() > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(rgb.dotsPerMeterX()), static_cast<png_uint_32>(rgb.dotsPerMeterY()),
                     PNG_RESOLUTION_METER);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, Z_BEST_SPEED);
    png_set_compression_strategy(png, Z_RLE);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

std::optional<std::string> EncodePng(const QImage& image)
{
    if (image.isNull())
        return std::nullopt;
    const QImage rgb = image.format() == QImage::Format_RGB888 ? image : image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull())
        return std::nullopt;
    try {
        std::vector<png_bytep> rows(static_cast<std::size_t>(rgb.height()));
        for (int y = 0; y < rgb.height(); ++y)
            rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(rgb.constScanLine(y));
        std::string bytes;
        // The fastest level packs a photo to about half its pixels' bytes.
        bytes.reserve(static_cast<std::size_t>(rgb.sizeInBytes() / 2));
        Sink sink{&bytes};
        if (!Encode(rgb, sink, rows) || sink.failed)
            return std::nullopt;
        return bytes;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace kvx
