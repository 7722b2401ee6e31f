#include "shell/rectified_file.h"

#include "base/safe_file.h"
#include "image/png_encode.h"
#include "image/rectify.h"
#include "measure/calibration.h"

#include <QImage>

#include <filesystem>

namespace kvx {

namespace {

std::string WriteOne(const std::filesystem::path& png, const Document& doc, const QImage& photo,
                     std::optional<double> mmPerPixel, const TAppSettings* overlay)
{
    const double size = mmPerPixel ? *mmPerPixel : ReferenceMmPerPixel(doc);
    const Rectified r = Rectify(photo, doc, size, overlay);
    if (!r.error.empty())
        return "'" + png.string() + "': " + r.error;
    const std::optional<std::string> bytes = EncodePng(r.image);
    if (!bytes)
        return "'" + png.string() + "' could not be written";
    if (const std::string refused = RefusedWrite(png); !refused.empty())
        return refused;
    std::error_code why;
    const auto failed = [&why](const std::filesystem::path& file) {
        std::string message = "'" + file.string() + "' could not be written";
        if (const std::size_t length = OverlongNameBytes(file); length > 0)
            return message + ": its name is " + std::to_string(length) + " bytes long, longer than the " +
                   std::to_string(kMaxNameBytes) + " bytes a file name may have";
        return why ? message + ": " + why.message() : message;
    };
    if (!WriteFileReplacing(png, *bytes, &why))
        return failed(png);
    std::filesystem::path world = png;
    world.replace_extension(".pgw");
    if (!WriteFileReplacing(world, r.world, &why))
        return failed(world);
    return {};
}

} // namespace

std::string WriteRectified(const std::string& path, const Document& doc, const QImage& photo, std::optional<double> mmPerPixel,
                           const TAppSettings* overlay)
{
    const std::filesystem::path png(path);
    if (std::string error = WriteOne(png, doc, photo, mmPerPixel, overlay); !error.empty())
        return error;
    if (doc.CurrentSetting != 4 || doc.OtherBaseSet != 1)
        return {};
    std::filesystem::path second = png.parent_path() / (png.stem().string() + "_2" + png.extension().string());
    return WriteOne(second, ParkedPlaneView(doc), photo, mmPerPixel, overlay);
}

} // namespace kvx
