#include "image/exif.h"

#include "base/translate.h"
#include "measure/numfmt.h"

#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>

#include <algorithm>
#include <cmath>
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
    } else if (size >= 4 && ((bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42 && bytes[3] == 0) ||
                             (bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 42))) {
        // A bare TIFF structure, as HEIF keeps it: libexif finds the data
        // only behind the header a JPEG's segment has.
        std::vector<unsigned char> framed{'E', 'x', 'i', 'f', 0, 0};
        framed.insert(framed.end(), bytes, bytes + size);
        data.reset(exif_data_new_from_data(framed.data(), static_cast<unsigned>(framed.size())));
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
    if (ExifEntry* e = exif_data_get_entry(data.get(), EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM);
        e && e->format == EXIF_FORMAT_SHORT && e->data && e->size >= 2)
        info.focal35 = exif_get_short(e->data, order);
    {
        // Many cameras repeat the lens's make at the start of its model.
        const std::string make = Text(data.get(), EXIF_TAG_LENS_MAKE);
        const std::string model = Text(data.get(), EXIF_TAG_LENS_MODEL);
        info.lens = make.empty() || model.starts_with(make) ? model : (model.empty() ? make : make + " " + model);
    }
    if (ExifEntry* e = exif_data_get_entry(data.get(), EXIF_TAG_ORIENTATION);
        e && e->format == EXIF_FORMAT_SHORT && e->data && e->size >= 2) {
        const ExifShort o = exif_get_short(e->data, order);
        if (o >= 1 && o <= 8)
            info.orientation = o;
    }
    return info;
}

std::vector<CameraLine> CameraLines(const ExifInfo& info)
{
    std::vector<CameraLine> lines;
    // The model often begins with the make already ("Canon EOS R6"), or with
    // its first word ("NIKON CORPORATION", "NIKON D750").
    const std::string brand = info.make.substr(0, info.make.find(' '));
    const std::string camera =
        info.make.empty() || info.model.starts_with(brand) ? info.model
                                                           : (info.model.empty() ? info.make : info.make + " " + info.model);
    if (!camera.empty())
        lines.push_back({Tx("Camera", "カメラ"), camera});
    if (!info.lens.empty())
        lines.push_back({Tx("Camera", "レンズ"), info.lens});
    // A focal length past any lens made is a damaged tag, not a lens.
    const bool focal = info.focal > 0 && info.focal < 10000;
    const bool focal35 = info.focal35 > 0;
    if (focal || focal35) {
        std::string value = focal ? FormatGeneral(std::round(info.focal * 100) / 100) + " mm" : std::string();
        if (focal35) {
            const std::string equivalent = Tx("Camera", "35mm判換算") + " " + std::to_string(info.focal35) + " mm";
            value = focal ? value + " (" + equivalent + ")" : equivalent;
        }
        lines.push_back({Tx("Camera", "焦点距離"), value});
    }
    if (!info.dateTaken.empty()) {
        // EXIF writes the date with colons; the reader expects dashes.
        std::string date = info.dateTaken;
        if (date.size() >= 10 && date[4] == ':' && date[7] == ':')
            date[4] = date[7] = '-';
        lines.push_back({Tx("Camera", "撮影日時"), date});
    }
    return lines;
}

} // namespace kvx
