#include "image/jpeg_decode.h"

#include "image/photo.h"

#include <QFile>
#include <QFileInfo>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace kvx {

namespace {

// Four-colour photos (from print work) are stored with their inks inverted, as
// Adobe's programs write them; each channel is scaled by the black one, the
// way Qt's own reader has always shown them, so the pixels, and with them the
// check sum their measurements are kept under, stay as they were.
void InksToRgb(const JSAMPLE* inks, uchar* rgb, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x, inks += 4, rgb += 3) {
        const int k = inks[3];
        rgb[0] = static_cast<uchar>(k * inks[0] / 255);
        rgb[1] = static_cast<uchar>(k * inks[1] / 255);
        rgb[2] = static_cast<uchar>(k * inks[2] / 255);
    }
}

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
    bool cutOff;
    bool damaged;
    int code;
    char message[JMSG_LENGTH_MAX];
};

// The kind of failure libjpeg's message code stands for.
JpegDecode::Failure FailureOf(int code)
{
    switch (code) {
    case JERR_NO_SOI:
    case JERR_INPUT_EMPTY:
        return JpegDecode::Failure::NotJpeg;
    case JERR_ARITH_NOTIMPL:
    case JERR_BAD_PRECISION:
    case JERR_CCIR601_NOTIMPL:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_FRACT_SAMPLE_NOTIMPL:
    case JERR_IMAGE_TOO_BIG:
    case JERR_NOTIMPL:
    case JERR_WIDTH_OVERFLOW:
        return JpegDecode::Failure::Unsupported;
    case JERR_OUT_OF_MEMORY:
        return JpegDecode::Failure::NoMemory;
    default:
        return JpegDecode::Failure::Corrupt;
    }
}

void OnError(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->code = cinfo->err->msg_code;
    // The input ran out: the file was cut short.
    if (err->code == JERR_INPUT_EOF)
        err->cutOff = true;
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->escape, 1);
}

void OnMessage(j_common_ptr cinfo, int level)
{
    // Warnings only (level -1); trace messages are of no interest.
    if (level != -1)
        return;
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    const int code = cinfo->err->msg_code;
    // The data ran out before the picture did: the rest would be grey filler.
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)
        err->cutOff = true;
    // Codes that make no sense: the decoder skips ahead and paints what it
    // guesses in between.
    if (code == JWRN_HUFF_BAD_CODE || code == JWRN_ARITH_BAD_CODE || code == JWRN_MUST_RESYNC) {
        err->damaged = true;
        err->code = code;
        (*cinfo->err->format_message)(cinfo, err->message);
    }
}

// The Huffman decoder warns when it needs data past the end (JWRN_HIT_MARKER);
// the arithmetic one cannot: its encoder leaves out the zero bytes a scan ends
// with, so by convention it decodes on from zeros after a marker, and a file
// cut short and closed with an end code decodes into a lower part of made-up
// pixels.  Only a plain stretch codes into such zeros (a photo's noise never
// does), so a marker met with more than an eighth of the scan's rows still to
// decode is taken for the end of a cut-off file.  A plain band at the foot of
// the picture is allowed for; a cut in the last eighth goes unnoticed.
bool DataEndedEarly(const jpeg_decompress_struct& cinfo)
{
    if (!cinfo.arith_code)
        return false;
    const int marker = cinfo.unread_marker;
    const bool restart = marker >= 0xD0 && marker <= 0xD7;
    if (marker == 0 || restart || cinfo.input_iMCU_row >= cinfo.total_iMCU_rows)
        return false;
    const JDIMENSION left = cinfo.total_iMCU_rows - cinfo.input_iMCU_row;
    return left > std::max<JDIMENSION>(2, cinfo.total_iMCU_rows / 8);
}

// A progressive file sends its picture coarse first and refines it scan by
// scan; one cut between two scans and closed with an end code decodes without
// a word into a blurred or blocky photo.  Every coefficient of every component
// must have had its last refinement (to bit 0) by the end.  Reading the scans
// happens in jpeg_start_decompress, before anything is allocated for pixels.
bool EveryCoefficientComplete(const jpeg_decompress_struct& cinfo)
{
    for (int c = 0; c < cinfo.num_components; ++c)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (cinfo.coef_bits[c][k] != 0)
                return false;
    return true;
}

struct Monitor {
    jpeg_progress_mgr base;
    ErrorManager* err;
};

void OnProgress(j_common_ptr common)
{
    auto* monitor = reinterpret_cast<Monitor*>(common->progress);
    ErrorManager& err = *monitor->err;
    if (DataEndedEarly(*reinterpret_cast<j_decompress_ptr>(common)))
        err.cutOff = true;
    // Nothing after this point would be kept: stop decoding.
    if (err.cutOff || err.damaged)
        std::longjmp(err.escape, 1);
}

// All libjpeg work happens here, with nothing that has a destructor alive across
// the jump back from an error.
int Decode(std::FILE* file, std::int64_t maxPixels, std::int64_t fileBytes, JpegDecode& out, ErrorManager& err,
           Monitor& monitor, jpeg_decompress_struct& cinfo)
{
    if (setjmp(err.escape))
        return -1;
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &monitor.base;
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    out.width = static_cast<int>(cinfo.image_width);
    out.height = static_cast<int>(cinfo.image_height);
    if (static_cast<std::int64_t>(cinfo.image_width) * cinfo.image_height > maxPixels)
        return 1;
    if (!PlausibleForFileSize(cinfo.image_width, cinfo.image_height, fileBytes))
        return 4;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.progressive_mode && !EveryCoefficientComplete(cinfo)) {
        err.cutOff = true;
        return -1;
    }
    out.image = LargeImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
    if (out.image.isNull())
        return 3;
    // Four-colour rows pass through a row of libjpeg's own, freed with it.
    JSAMPARRAY inks = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                        cinfo.output_width * 4, 1)
                           : nullptr;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.image.scanLine(static_cast<int>(cinfo.output_scanline));
        if (!cmyk) {
            jpeg_read_scanlines(&cinfo, &row, 1);
            continue;
        }
        jpeg_read_scanlines(&cinfo, inks, 1);
        InksToRgb(inks[0], row, cinfo.output_width);
    }
    if (err.cutOff || err.damaged)
        return -1;
    jpeg_finish_decompress(&cinfo);
    return 0;
}

} // namespace

// A photo's pixels are tens of megabytes written once from top to bottom; in
// huge pages the kernel maps them with a few faults instead of thousands, which
// is a good part of the time it takes to open a photo.
QImage LargeImage(int width, int height)
{
    const auto stride = static_cast<std::size_t>((width * 3 + 3) & ~3);
    const std::size_t bytes = stride * static_cast<std::size_t>(height);
    constexpr std::size_t kHuge = 2u << 20;
    if (bytes < 4 * kHuge)
        return QImage(width, height, QImage::Format_RGB888);
    const std::size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
    void* data = std::aligned_alloc(kHuge, rounded);
    if (!data)
        return QImage();
#ifdef MADV_HUGEPAGE
    madvise(data, rounded, MADV_HUGEPAGE);
#endif
    return QImage(static_cast<uchar*>(data), width, height, static_cast<qsizetype>(stride), QImage::Format_RGB888,
                  [](void* p) { std::free(p); }, data);
}


JpegDecode DecodeJpeg(int fd, std::int64_t fileBytes, std::int64_t maxPixels)
{
    JpegDecode out;
    unsigned char magic[2] = {};
    if (::pread(fd, magic, 2, 0) != 2 || magic[0] != 0xFF || magic[1] != 0xD8) {
        out.result = JpegDecode::Result::NotHandled;
        return out;
    }
    // A stream of its own over a copy of the descriptor, so closing it leaves
    // the caller's open; it starts where the copy does, at the file's start.
    const int own = ::dup(fd);
    std::FILE* file = own >= 0 ? ::fdopen(own, "rb") : nullptr;
    if (!file) {
        if (own >= 0)
            ::close(own);
        out.result = JpegDecode::Result::NotHandled;
        return out;
    }
    std::rewind(file);
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnError;
    err.base.emit_message = OnMessage;
    Monitor monitor{};
    monitor.base.progress_monitor = OnProgress;
    monitor.err = &err;
    const int rc = Decode(file, maxPixels, fileBytes, out, err, monitor, cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    switch (rc) {
    case 0:
        out.result = err.cutOff ? JpegDecode::Result::CutOff : JpegDecode::Result::Ok;
        break;
    case 1:
        out.result = JpegDecode::Result::TooLarge;
        break;
    case 4:
        out.result = JpegDecode::Result::Implausible;
        break;
    default:
        // An error part way through the scan lines is a damaged or cut-off file.
        out.result = err.cutOff ? JpegDecode::Result::CutOff : JpegDecode::Result::Failed;
        out.failure = err.damaged ? JpegDecode::Failure::Corrupt : FailureOf(err.code);
        out.code = err.code;
        out.detail = QString::fromLocal8Bit(err.message);
        break;
    }
    if (out.result != JpegDecode::Result::Ok)
        out.image = QImage();
    return out;
}

} // namespace kvx
