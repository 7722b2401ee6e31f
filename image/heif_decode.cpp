#include "image/heif_decode.h"

#include "image/jpeg_decode.h"
#include "image/photo.h"

#include <libheif/heif.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace kvx {

namespace {

// The file read at its own position with pread: libheif asks for boxes here
// and there, and a read past the end is an error, never a wait.
struct FdSource {
    int fd = -1;
    std::int64_t size = 0;
    std::int64_t at = 0;
};

std::int64_t Position(void* user)
{
    return static_cast<FdSource*>(user)->at;
}

int Read(void* data, size_t size, void* user)
{
    auto* s = static_cast<FdSource*>(user);
    if (s->at < 0 || static_cast<std::int64_t>(size) > s->size - s->at)
        return 1;
    auto* out = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(s->fd, out + done, size - done, static_cast<off_t>(s->at + static_cast<std::int64_t>(done)));
        if (n <= 0)
            return 1;
        done += static_cast<std::size_t>(n);
    }
    s->at += static_cast<std::int64_t>(size);
    return 0;
}

int Seek(std::int64_t position, void* user)
{
    auto* s = static_cast<FdSource*>(user);
    if (position < 0 || position > s->size)
        return 1;
    s->at = position;
    return 0;
}

heif_reader_grow_status WaitForSize(std::int64_t target, void* user)
{
    return target > static_cast<FdSource*>(user)->size ? heif_reader_grow_status_size_beyond_eof
                                                         : heif_reader_grow_status_size_reached;
}

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

QString Message(const heif_error& e)
{
    return QString::fromUtf8(e.message ? e.message : "");
}

// The EXIF block of the photo: libheif hands it with the offset of its TIFF
// header in front.
std::string ExifOf(heif_image_handle* handle)
{
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1)
        return {};
    const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size < 4 || size > (std::size_t{1} << 20))
        return {};
    std::string block(size, '\0');
    if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok)
        return {};
    const auto* b = reinterpret_cast<const unsigned char*>(block.data());
    const std::uint32_t skip = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
    if (skip > size - 4)
        return {};
    return block.substr(4 + skip);
}

} // namespace

bool LooksLikeHeif(const unsigned char* bytes, std::size_t size)
{
    if (size < 12)
        return false;
    const heif_filetype_result r = heif_check_filetype(bytes, static_cast<int>(std::min<std::size_t>(size, 4096)));
    return r == heif_filetype_yes_supported || r == heif_filetype_yes_unsupported;
}

std::string ReadHeifExif(int fd, std::int64_t fileBytes)
{
    std::array<unsigned char, 64> head{};
    const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
    if (got <= 0 || !LooksLikeHeif(head.data(), static_cast<std::size_t>(got)))
        return {};
    const std::unique_ptr<heif_context, ContextFree> ctx(heif_context_alloc());
    if (!ctx)
        return {};
    FdSource source{fd, fileBytes, 0};
    heif_reader reader{};
    reader.reader_api_version = 1;
    reader.get_position = Position;
    reader.read = Read;
    reader.seek = Seek;
    reader.wait_for_file_size = WaitForSize;
    if (heif_context_read_from_reader(ctx.get(), &reader, &source, nullptr).code != heif_error_Ok)
        return {};
    heif_image_handle* raw = nullptr;
    const heif_error e = heif_context_get_primary_image_handle(ctx.get(), &raw);
    const std::unique_ptr<heif_image_handle, HandleFree> handle(raw);
    if (e.code != heif_error_Ok || !handle)
        return {};
    return ExifOf(handle.get());
}

HeifDecode DecodeHeif(int fd, std::int64_t fileBytes, std::int64_t maxPixels)
{
    HeifDecode d;
    std::array<unsigned char, 64> head{};
    const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
    if (got <= 0 || !LooksLikeHeif(head.data(), static_cast<std::size_t>(got))) {
        d.result = HeifDecode::Result::NotHandled;
        return d;
    }
    const std::unique_ptr<heif_context, ContextFree> ctx(heif_context_alloc());
    if (!ctx)
        return d;
    // One thread: the machine's other work goes on while a photo opens.
    heif_context_set_max_decoding_threads(ctx.get(), 1);
    FdSource source{fd, fileBytes, 0};
    heif_reader reader{};
    reader.reader_api_version = 1;
    reader.get_position = Position;
    reader.read = Read;
    reader.seek = Seek;
    reader.wait_for_file_size = WaitForSize;
    heif_error e = heif_context_read_from_reader(ctx.get(), &reader, &source, nullptr);
    if (e.code != heif_error_Ok) {
        d.detail = Message(e);
        return d;
    }
    heif_image_handle* raw = nullptr;
    e = heif_context_get_primary_image_handle(ctx.get(), &raw);
    const std::unique_ptr<heif_image_handle, HandleFree> handle(raw);
    if (e.code != heif_error_Ok || !handle) {
        d.detail = Message(e);
        return d;
    }
    // The size after the file's rotation: the photo as it will be shown.
    d.width = heif_image_handle_get_width(handle.get());
    d.height = heif_image_handle_get_height(handle.get());
    const std::int64_t pixels = std::int64_t{d.width} * d.height;
    if (d.width <= 0 || d.height <= 0) {
        d.detail = QStringLiteral("no picture size");
        return d;
    }
    if (pixels > maxPixels) {
        d.result = HeifDecode::Result::TooLarge;
        return d;
    }
    if (!PlausibleForFileSize(d.width, d.height, fileBytes)) {
        d.result = HeifDecode::Result::Implausible;
        return d;
    }
    d.exif = ExifOf(handle.get());
    const std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    heif_image* rawImage = nullptr;
    // The file's rotation and mirroring (irot, imir) are applied here; the
    // EXIF orientation of a HEIF photo only repeats them and is not applied again.
    e = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB, options.get());
    const std::unique_ptr<heif_image, ImageFree> image(rawImage);
    if (e.code != heif_error_Ok || !image) {
        d.detail = Message(e);
        return d;
    }
    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || w != d.width || h != d.height || stride < 3 * w) {
        d.detail = QStringLiteral("unexpected picture layout");
        return d;
    }
    QImage out = LargeImage(w, h);
    if (out.isNull()) {
        d.detail = QStringLiteral("out of memory");
        return d;
    }
    for (int y = 0; y < h; ++y)
        std::memcpy(out.scanLine(y), plane + static_cast<std::ptrdiff_t>(y) * stride, static_cast<std::size_t>(3 * w));
    d.image = std::move(out);
    d.result = HeifDecode::Result::Ok;
    return d;
}

} // namespace kvx
