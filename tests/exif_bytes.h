#pragma once

// EXIF data written out byte by byte, independently of the program's reader:
// a TIFF structure of either byte order and a JPEG carrying it.

#include <cstdint>
#include <string>

namespace kvx::test {

// A TIFF structure as EXIF keeps it: IFD0 with make, model, orientation and
// the pointer to the EXIF IFD, which holds the date taken and the focal length.
class Tiff {
public:
    explicit Tiff(bool bigEndian) : big_(bigEndian) {}

    std::string Build(const std::string& make, const std::string& model, std::uint16_t orientation,
                      std::uint32_t focalNum, std::uint32_t focalDen, const std::string& date)
    {
        // Layout: header 8, IFD0 at 8 (4 entries), EXIF IFD after it (2 entries), then the data.
        const std::uint32_t ifd0 = 8, ifd0Size = 2 + 4 * 12 + 4;
        const std::uint32_t exif = ifd0 + ifd0Size, exifSize = 2 + 2 * 12 + 4;
        std::uint32_t data = exif + exifSize;
        std::string area;
        auto place = [&](const std::string& bytes) {
            const std::uint32_t at = data + static_cast<std::uint32_t>(area.size());
            area += bytes;
            if (area.size() % 2)
                area += '\0';
            return at;
        };
        const std::string makeZ = make + '\0', modelZ = model + '\0', dateZ = date + '\0';
        const std::uint32_t makeAt = place(makeZ), modelAt = place(modelZ), dateAt = place(dateZ);
        const std::uint32_t focalAt = place(U32(focalNum) + U32(focalDen));

        std::string out = big_ ? "MM" : "II";
        out += U16(42) + U32(ifd0);
        out += U16(4);
        out += Entry(0x010F, 2, static_cast<std::uint32_t>(makeZ.size()), makeAt);
        out += Entry(0x0110, 2, static_cast<std::uint32_t>(modelZ.size()), modelAt);
        out += U16(0x0112) + U16(3) + U32(1) + U16(orientation) + U16(0);
        out += Entry(0x8769, 4, 1, exif);
        out += U32(0);
        out += U16(2);
        out += Entry(0x9003, 2, static_cast<std::uint32_t>(dateZ.size()), dateAt);
        out += Entry(0x920A, 5, 1, focalAt);
        out += U32(0);
        return out + area;
    }

private:
    std::string U16(std::uint16_t v) const
    {
        const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        return big_ ? std::string{b[1], b[0]} : std::string{b[0], b[1]};
    }
    std::string U32(std::uint32_t v) const
    {
        return big_ ? U16(static_cast<std::uint16_t>(v >> 16)) + U16(static_cast<std::uint16_t>(v & 0xFFFF))
                    : U16(static_cast<std::uint16_t>(v & 0xFFFF)) + U16(static_cast<std::uint16_t>(v >> 16));
    }
    std::string Entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) const
    {
        return U16(tag) + U16(type) + U32(count) + U32(value);
    }
    bool big_;
};

// The JPEG with an APP1 segment holding tiff right after its start marker.
inline std::string WithExif(const std::string& jpeg, const std::string& tiff)
{
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = payload.size() + 2;
    std::string app1 = "\xFF\xE1";
    app1 += static_cast<char>(length >> 8);
    app1 += static_cast<char>(length & 0xFF);
    return jpeg.substr(0, 2) + app1 + payload + jpeg.substr(2);
}

} // namespace kvx::test
