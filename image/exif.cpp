#include "image/exif.h"

#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

namespace kvx {

namespace {

struct ExifDataFree {
    void operator()(ExifData* d) const { exif_data_unref(d); }
};
struct ExifLoaderFree {
    void operator()(ExifLoader* l) const { exif_loader_unref(l); }
};

std::string Text(ExifData* data, ExifTag tag)
{
    ExifEntry* e = exif_data_get_entry(data, tag);
    if (!e || e->format != EXIF_FORMAT_ASCII || !e->data)
        return {};
    std::string s(reinterpret_cast<const char*>(e->data), e->size);
    s = s.substr(0, s.find('\0'));
    for (char& ch : s)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)
            ch = ' ';
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

} // namespace

std::optional<ExifInfo> ReadExif(const std::filesystem::path& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> head(kExifReadBytes);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (in.bad())
        return std::nullopt;
    head.resize(static_cast<std::size_t>(in.gcount()));
    return ReadExifBytes(reinterpret_cast<const unsigned char*>(head.data()), head.size());
}

std::optional<ExifInfo> ReadExifBytes(const unsigned char* bytes, std::size_t size)
{
    if (!bytes || size == 0)
        return std::nullopt;
    size = std::min(size, kExifReadBytes);
    std::unique_ptr<ExifData, ExifDataFree> data;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
        const std::unique_ptr<ExifLoader, ExifLoaderFree> loader(exif_loader_new());
        if (!loader)
            return std::nullopt;
        // The loader writes nothing into the bytes; its interface only lacks the const.
        exif_loader_write(loader.get(), const_cast<unsigned char*>(bytes), static_cast<unsigned>(size));
        data.reset(exif_loader_get_data(loader.get()));
    } else {
        data.reset(exif_data_new_from_data(bytes, static_cast<unsigned>(size)));
    }
    if (!data)
        return std::nullopt;
    const ExifByteOrder order = exif_data_get_byte_order(data.get());

    ExifInfo info;
    info.make = Text(data.get(), EXIF_TAG_MAKE);
    info.model = Text(data.get(), EXIF_TAG_MODEL);
    info.dateTaken = Text(data.get(), EXIF_TAG_DATE_TIME_ORIGINAL);
    if (info.dateTaken.empty())
        info.dateTaken = Text(data.get(), EXIF_TAG_DATE_TIME);
    if (ExifEntry* e = exif_data_get_entry(data.get(), EXIF_TAG_FOCAL_LENGTH);
        e && e->format == EXIF_FORMAT_RATIONAL && e->data && e->size >= 8) {
        const ExifRational r = exif_get_rational(e->data, order);
        if (r.denominator != 0)
            info.focal = static_cast<double>(r.numerator) / r.denominator;
    }
    if (ExifEntry* e = exif_data_get_entry(data.get(), EXIF_TAG_ORIENTATION);
        e && e->format == EXIF_FORMAT_SHORT && e->data && e->size >= 2) {
        const ExifShort o = exif_get_short(e->data, order);
        if (o >= 1 && o <= 8)
            info.orientation = o;
    }
    return info;
}

} // namespace kvx
