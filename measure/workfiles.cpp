#include "measure/workfiles.h"
#include "measure/checks.h"

#include "base/translate.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "measure/text_record.h"
#include "base/error_trail.h"
#include "base/safe_file.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

namespace kvx {

namespace fs = std::filesystem;

namespace {

std::string SaveFailed()
{
    return Tx("WorkFiles", "設定情報を作業ファイルに保存できませんでした.");
}
std::string SwitchFailed()
{
    return Tx("WorkFiles", "設定を切り換えることができません.");
}
std::string KeepQuestion()
{
    return Tx("WorkFiles", "現在表示中の画像に対する基準等の設定が変更されています.\r現在の設定を保存しますか？");
}
std::string CopyFailed()
{
    return Tx("WorkFiles", "画像ごとの設定情報を保存できませんでした.");
}

constexpr std::size_t kDistanceBytes = 96;
constexpr std::size_t kNameField = 21;
// The smallest area record: the fixed fields without points.
constexpr std::size_t kSpaceHeadBytes = 4 + 1 + 4 + 1 + 16;
constexpr std::size_t kSpaceTailV3 = kNameField + 8 + 8;
constexpr std::size_t kPointPairBytes = 32;

// --- little-endian encoding ---------------------------------------------------

class ByteWriter {
public:
    void U8(std::uint8_t v) { out_ += static_cast<char>(v); }
    void I32(std::int32_t v)
    {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            U8(static_cast<std::uint8_t>(u >> (8 * i)));
    }
    void F64(double v)
    {
        const auto u = std::bit_cast<std::uint64_t>(v);
        for (int i = 0; i < 8; ++i)
            U8(static_cast<std::uint8_t>(u >> (8 * i)));
    }
    void Pt(TDPoint p)
    {
        F64(p.x);
        F64(p.y);
    }
    void Zeros(std::size_t n) { out_.append(n, '\0'); }
    void Bytes(std::string_view b) { out_ += b; }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

// A file that ends before its contents do, or holds a value no photo of ours can
// have: either way the rest of the file is not to be trusted.
struct ShortRead {};

// Image points are pixels of a photo of at most kMaxPhotoPixels; even a click far
// outside the picture at the smallest zoom stays well inside this.  A larger
// coordinate (or NaN, or an infinity) was never written by us: it would show as a
// plausible length and poison every sum it joins.
constexpr double kMaxImageCoordinate = 1e7;
// W and H in millimetres: a thousand kilometres is past any photo's subject.
constexpr double kMaxSideMillimetres = 1e9;
// Slopes are clamped to 89 degrees on input.  A file with more was not written
// by us, and at 90 the cosine the plane coordinates are divided by is zero (in
// floating point a tiny number): the area would come out astronomical.
constexpr double kMaxSlantDegrees = kMaxSlopeDegrees;

double Within(double v, double limit)
{
    if (!std::isfinite(v) || std::fabs(v) > limit)
        throw ShortRead{};
    return v;
}

// A point the user placed (or one derived from such points).
TDPoint ImagePoint(TDPoint p)
{
    Within(p.x, kMaxImageCoordinate);
    Within(p.y, kMaxImageCoordinate);
    return p;
}

// A corrected point is an intersection of construction lines and may lie far
// from the photo when the lines are nearly parallel; it is recomputed whenever
// its correction is in force, so only a value that is no number at all is damage.
TDPoint FinitePoint(TDPoint p)
{
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
        throw ShortRead{};
    return p;
}

// Reads a file field by field and knows how many bytes are left, so a count in a
// damaged file can be checked before anything is allocated for it.
class ByteReader {
public:
    explicit ByteReader(const fs::path& path) : in_(path, std::ios::binary)
    {
        std::error_code ec;
        const auto size = fs::file_size(path, ec);
        left_ = ec ? 0 : size;
    }
    bool Open() const { return in_.is_open(); }
    std::uintmax_t Left() const { return left_; }

    std::uint8_t U8()
    {
        unsigned char b[1];
        Raw(b, 1);
        return b[0];
    }
    std::int32_t I32()
    {
        unsigned char b[4];
        Raw(b, 4);
        std::uint32_t u = 0;
        for (int i = 3; i >= 0; --i)
            u = (u << 8) | b[i];
        return static_cast<std::int32_t>(u);
    }
    double F64()
    {
        unsigned char b[8];
        Raw(b, 8);
        std::uint64_t u = 0;
        for (int i = 7; i >= 0; --i)
            u = (u << 8) | b[i];
        return std::bit_cast<double>(u);
    }
    TDPoint Pt()
    {
        TDPoint p;
        p.x = F64();
        p.y = F64();
        return p;
    }
    void Raw(unsigned char* dst, std::size_t n)
    {
        if (left_ < n || !in_.read(reinterpret_cast<char*>(dst), static_cast<std::streamsize>(n)))
            throw ShortRead{};
        left_ -= n;
    }
    // Fails unless count records of at least recordBytes each can still follow.
    void Require(std::int32_t count, std::size_t recordBytes) const
    {
        if (count < 0 || static_cast<std::uintmax_t>(count) > left_ / recordBytes)
            throw ShortRead{};
    }

private:
    std::ifstream in_;
    std::uintmax_t left_ = 0;
};

// --- files ---------------------------------------------------------------------

fs::path SharedFile(const fs::path& folder, int n)
{
    return WorkingFile(folder, (n == 4 || n == 5) ? 6 : 0);
}

bool Exists(const fs::path& p)
{
    return IsFile(p);
}

void EncodeDistance(ByteWriter& w, const TDistance& d)
{
    w.I32(d.group);
    w.Pt(d.start);
    w.Pt(d.end);
    w.I32(d.prev);
    w.I32(d.next);
    w.U8(d.corrected);
    w.Zeros(3);
    w.Pt(d.correctionRef);
    w.Pt(d.correctedStart);
    w.Pt(d.correctedEnd);
}

void EncodeSpace(ByteWriter& w, const TSpace& s)
{
    w.I32(s.group);
    w.U8(s.kind);
    w.I32(s.count());
    w.U8(s.corrected);
    w.Pt(s.correctionRef);
    for (std::size_t j = 0; j < s.points.size(); ++j) {
        w.Pt(s.points[j]);
        w.Pt(j < s.correctedPoints.size() ? s.correctedPoints[j] : TDPoint{});
    }
    const std::string name = Cp932Truncate(s.name, kAreaNameBytes);
    w.U8(static_cast<std::uint8_t>(name.size()));
    w.Bytes(name);
    w.Zeros(kAreaNameBytes - name.size());
    w.F64(s.slantV);
    w.F64(s.slantH);
}

// Groups are 0 to 5 wherever they are chosen; a record of another group would be
// left out of the CSV and the outlines but counted in the table of results.
std::int32_t Group(std::int32_t g)
{
    if (g < kFirstGroup || g > kLastGroup)
        throw ShortRead{};
    return g;
}

TDistance DecodeDistance(ByteReader& r)
{
    TDistance d;
    d.group = Group(r.I32());
    d.start = ImagePoint(r.Pt());
    d.end = ImagePoint(r.Pt());
    d.prev = r.I32();
    d.next = r.I32();
    d.corrected = r.U8();
    unsigned char pad[3];
    r.Raw(pad, 3);
    d.correctionRef = ImagePoint(r.Pt());
    d.correctedStart = FinitePoint(r.Pt());
    d.correctedEnd = FinitePoint(r.Pt());
    return d;
}

TSpace DecodeSpace(ByteReader& r, std::int32_t version)
{
    TSpace s;
    s.group = Group(r.I32());
    s.kind = r.U8();
    const std::int32_t n = r.I32();
    s.corrected = r.U8();
    s.correctionRef = ImagePoint(r.Pt());
    if (n > kMaxAreaPoints)
        throw ShortRead{};
    r.Require(n, kPointPairBytes);
    s.points.resize(static_cast<std::size_t>(n));
    s.correctedPoints.resize(static_cast<std::size_t>(n));
    for (std::size_t j = 0; j < s.points.size(); ++j) {
        s.points[j] = ImagePoint(r.Pt());
        s.correctedPoints[j] = FinitePoint(r.Pt());
    }
    if (version >= 3) {
        unsigned char name[kNameField];
        r.Raw(name, kNameField);
        const std::size_t len = std::min<std::size_t>(name[0], kAreaNameBytes);
        // A name is one line of text: a line break or a zero byte in a damaged
        // or foreign file would split the CSV and outline records it goes into.
        // Neither byte is ever part of a double-byte character.
        std::string kept;
        for (std::size_t i = 1; i <= len; ++i)
            if (name[i] != '\0' && name[i] != '\r' && name[i] != '\n')
                kept += static_cast<char>(name[i]);
        s.name = Cp932Truncate(kept, kAreaNameBytes);
        s.slantV = Within(r.F64(), kMaxSlantDegrees);
        s.slantH = Within(r.F64(), kMaxSlantDegrees);
    }
    return s;
}

// Reads the plane file body after its version into doc; records are appended
// one by one, so after a short read the plane holds exactly the whole ones.
void DecodePlane(ByteReader& r, std::int32_t version, Document& doc)
{
    // The reference block is taken whole or not at all: a reference cut off after
    // its flag would stand "set" with corners that were never read.
    TBaseBlock b = doc.Plane.base;
    b.BaseSet = r.U8();
    for (int i = 1; i <= 5; ++i)
        b.BaseRect[static_cast<std::size_t>(i)] = ImagePoint(r.Pt());
    b.BaseLineWSet = r.U8();
    b.BaseLineW[1] = ImagePoint(r.Pt());
    b.BaseLineW[2] = ImagePoint(r.Pt());
    b.BaseLineHSet = r.U8();
    b.BaseLineH[1] = ImagePoint(r.Pt());
    b.BaseLineH[2] = ImagePoint(r.Pt());
    b.BaseUnitSet = r.U8();
    b.BaseUnit[1] = ImagePoint(r.Pt());
    b.BaseUnit[2] = ImagePoint(r.Pt());
    doc.Plane.base = b;

    const std::int32_t distances = r.I32();
    r.Require(distances, kDistanceBytes);
    doc.Plane.Distances.Reserve(static_cast<std::size_t>(distances));
    for (std::int32_t i = 0; i < distances; ++i)
        doc.Plane.Distances.Append(DecodeDistance(r));

    const std::int32_t spaces = r.I32();
    r.Require(spaces, kSpaceHeadBytes + (version >= 3 ? kSpaceTailV3 : 0));
    doc.Plane.Spaces.Reserve(static_cast<std::size_t>(spaces));
    for (std::int32_t i = 0; i < spaces; ++i)
        doc.Plane.Spaces.Append(DecodeSpace(r, version));

    const double W = Within(r.F64(), kMaxSideMillimetres);
    const double H = Within(r.F64(), kMaxSideMillimetres);
    ImageEffects e;
    e.Rotate = r.I32();
    e.Noise = r.I32();
    e.Sharp = r.I32();
    e.Chroma = r.I32();
    e.RGBLevel = r.I32();
    e.RevRed = r.U8();
    e.RevGreen = r.U8();
    e.RevBlue = r.U8();
    doc.KijunWText = FloatToStr(W);
    doc.KijunHText = FloatToStr(H);
    doc.Effects = e;
}

// The corrected points in the file were worked out against the other setting's
// rectangle and the cross line as they stood when it was saved; either may have
// changed since (the other setting is edited on its own), so they are worked out
// again against what was read now.
void CorrectAgainstWhatWasRead(Document& doc)
{
    CalcuDistanceHosei(doc);
    CalcuSpaceHosei(doc);
}

void ResetForLoad(Document& doc)
{
    doc.View.DistanceView = true;
    doc.View.SpaceView = true;
    doc.View.BaseView = true;
    TBaseBlock& b = doc.Plane.base;
    b.BaseSet = 0;
    b.BaseLineWSet = 0;
    b.BaseLineHSet = 0;
    b.BaseUnitSet = 0;
    doc.CrossLineSet = 0;
    doc.Plane.Distances.Clear();
    doc.Plane.Spaces.Clear();
    doc.Plane.Checks.Clear();
    doc.Plane.SheetSize = {};
    doc.KijunWText = "1000";
    doc.KijunHText = "1000";
    doc.OtherBaseSet = 0;
    // Each setting has its own image processing: a setting without a file has
    // none, not the one of the setting left.
    doc.Effects = {};
}

} // namespace

namespace {

// The part of a file's name that tells it apart: "3", or "check3" for the
// check file of plane file 3.
std::string FilePart(int n)
{
    if (n == kUprightMark)
        return "upright";
    if (n == kLensFile)
        return "lens";
    if (IsSheetFile(n))
        return "sheet" + std::to_string(n - SheetFile(0));
    return IsCheckFile(n) ? "check" + std::to_string(n - CheckFile(0)) : std::to_string(n);
}

} // namespace

fs::path WorkingFile(const fs::path& folder, int n)
{
    return folder / (FilePart(n) + ".tmp");
}

std::string PerImageKey(const std::string& imageFileName, std::int32_t imageCheckSum)
{
    const std::string stem = fs::path(imageFileName).stem().string();
    const std::string sum = "_" + std::to_string(imageCheckSum);
    if (stem.size() + sum.size() <= kMaxPerImageKeyBytes)
        return stem + sum;
    // Too long for a file name once "[6].tmp" and the temporary's marks are
    // added: the front of the name stays readable, a hash of the whole name
    // keeps photos with the same front apart.
    std::uint64_t hash = 14695981039346656037u;  // 64-bit FNV-1a
    for (const char c : stem) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211u;
    }
    char hex[17];
    for (int i = 0; i < 16; ++i)
        hex[i] = "0123456789abcdef"[(hash >> (60 - 4 * i)) & 0xF];
    hex[16] = '\0';
    const std::string tail = std::string("~") + hex + sum;
    std::size_t keep = kMaxPerImageKeyBytes - tail.size();
    // Never end the front inside a UTF-8 character.
    while (keep > 0 && (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80)
        --keep;
    return stem.substr(0, keep) + tail;
}

fs::path PerImageFile(const fs::path& folder, const std::string& key, int n)
{
    return folder / (key + "[" + FilePart(n) + "].tmp");
}

fs::path PerImageFingerprintFile(const fs::path& folder, const std::string& key)
{
    return folder / (key + "[id].tmp");
}

namespace {

// The fingerprint stored beside the copies of key: absent, or the text read.
std::optional<std::string> StoredFingerprint(const fs::path& folder, const std::string& key)
{
    const fs::path file = PerImageFingerprintFile(folder, key);
    if (!Exists(file))
        return std::nullopt;
    // A fingerprint is a short line; anything longer is not one of ours.
    constexpr std::uintmax_t kMaxBytes = 256;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec || size > kMaxBytes)
        return std::string("?");
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(size)))
        return std::string("?");
    return text;
}

} // namespace

std::string ResolvePerImageKey(const fs::path& folder, const Document& doc)
{
    return ResolvePerImageIdentity(folder, doc, {}).key;
}

PerImageIdentity ResolvePerImageIdentity(const fs::path& folder, const Document& doc,
                                         const std::function<std::string()>& olderFingerprint)
{
    return Guard("ResolvePerImageKey", [&] {
        const fs::path photo(doc.ImageFileName);
        if (doc.ImageFingerprint.empty())
            return PerImageIdentity{PerImageKey(doc.ImageFileName, doc.ImageCheckSum), std::string()};
        std::optional<std::string> older;
        // Enough for every photo of one name a camera can give; past it the
        // photo keeps no copies rather than take another's.
        constexpr int kMaxNamesakes = 1000;
        for (int n = 1; n <= kMaxNamesakes; ++n) {
            const std::string name = n == 1 ? doc.ImageFileName
                                            : (photo.parent_path() / (photo.stem().string() + "~" + std::to_string(n) +
                                                                      photo.extension().string()))
                                                  .string();
            const std::string key = PerImageKey(name, doc.ImageCheckSum);
            const std::optional<std::string> stored = StoredFingerprint(folder, key);
            if (!stored || *stored == doc.ImageFingerprint)
                return PerImageIdentity{key, doc.ImageFingerprint};
            // A fingerprint of another length was stored by an earlier version.
            if (olderFingerprint && stored->size() != doc.ImageFingerprint.size()) {
                if (!older)
                    older = olderFingerprint();
                if (!older->empty() && *stored == *older)
                    return PerImageIdentity{key, *older};
            }
        }
        return PerImageIdentity{};
    });
}

std::string ImageKeyOf(const Document& doc)
{
    return doc.ImageKey.empty() ? PerImageKey(doc.ImageFileName, doc.ImageCheckSum) : doc.ImageKey;
}

std::string EncodePlaneFile(const Document& doc)
{
    const TPlaneState& p = doc.Plane;
    const TBaseBlock& b = p.base;
    ByteWriter w;
    w.I32(kWorkFileVersion);
    w.U8(b.BaseSet);
    for (int i = 1; i <= 5; ++i)
        w.Pt(b.BaseRect[static_cast<std::size_t>(i)]);
    w.U8(b.BaseLineWSet);
    w.Pt(b.BaseLineW[1]);
    w.Pt(b.BaseLineW[2]);
    w.U8(b.BaseLineHSet);
    w.Pt(b.BaseLineH[1]);
    w.Pt(b.BaseLineH[2]);
    w.U8(b.BaseUnitSet);
    w.Pt(b.BaseUnit[1]);
    w.Pt(b.BaseUnit[2]);
    w.I32(p.DistanceCount());
    for (const TDistance& d : p.Distances)
        EncodeDistance(w, d);
    w.I32(p.SpaceCount());
    for (const TSpace& s : p.Spaces)
        EncodeSpace(w, s);
    w.F64(doc.W());
    w.F64(doc.H());
    const ImageEffects& e = doc.Effects;
    w.I32(e.Rotate);
    w.I32(e.Noise);
    w.I32(e.Sharp);
    w.I32(e.Chroma);
    w.I32(e.RGBLevel);
    w.U8(e.RevRed);
    w.U8(e.RevGreen);
    w.U8(e.RevBlue);
    return w.Take();
}

std::string EncodeCrossLineFile(const Document& doc)
{
    ByteWriter w;
    w.I32(kWorkFileVersion);
    w.U8(doc.CrossLineSet);
    w.Pt(doc.CrossLinePoint);
    return w.Take();
}

namespace {

constexpr std::string_view kCheckHeader = "kalvex-checks 1";
// A check file is a line of about a hundred bytes a check distance: this is
// thousands of them, far more than any photo has.
constexpr std::uintmax_t kMaxCheckFileBytes = 1 << 20;

} // namespace

std::string EncodeCheckFile(const TPlaneState& plane)
{
    if (plane.Checks.empty())
        return {};
    std::string out = std::string(kCheckHeader) + "\r\n";
    for (const TCheck& c : plane.Checks)
        out += ShortestText(c.start.x) + " " + ShortestText(c.start.y) + " " + ShortestText(c.end.x) + " " +
               ShortestText(c.end.y) + " " + ShortestText(c.known) + "\r\n";
    return out;
}

void DecodeCheckFile(std::string_view bytes, TPlaneState& plane)
{
    plane.Checks.Clear();
    auto damaged = [] { return WorkFileReadError(Tx("WorkFiles", "検証距離のファイルが壊れています.")); };
    std::size_t at = 0;
    bool header = true;
    while (at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = bytes.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (header) {
            if (line != kCheckHeader)
                throw damaged();
            header = false;
            continue;
        }
        if (line.empty())
            continue;
        std::array<double, 5> v{};
        const char* p = line.data();
        const char* const last = line.data() + line.size();
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (i > 0) {
                if (p == last || *p != ' ')
                    throw damaged();
                ++p;
            }
            const auto [next, ec] = std::from_chars(p, last, v[i]);
            if (ec != std::errc())
                throw damaged();
            p = next;
        }
        if (p != last)
            throw damaged();
        TCheck c;
        try {
            c.start = ImagePoint({v[0], v[1]});
            c.end = ImagePoint({v[2], v[3]});
            c.known = v[4];
        } catch (const ShortRead&) {
            throw damaged();
        }
        // What the dialog takes is what a file may hold.
        if (!(c.known >= kMinKnownLength && c.known <= kMaxKnownLength))
            throw damaged();
        plane.Checks.Append(c);
    }
    if (header && !bytes.empty())
        throw damaged();
}

namespace {

constexpr std::string_view kSheetHeader = "kalvex-sheet 1";
// Two short lines; anything much longer is not one.
constexpr std::uintmax_t kMaxSheetFileBytes = 4096;

// The bytes of a small side file of the plane's, or why not: too large or unreadable.
std::optional<std::string> ReadSmallFile(const fs::path& path, std::uintmax_t most)
{
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > most)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::ifstream in(path, std::ios::binary);
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size)))
        return std::nullopt;
    return bytes;
}

} // namespace

std::string EncodeSheetFile(const TPlaneState& plane)
{
    const SizeTolerance& t = plane.SheetSize;
    if (!t.Any())
        return {};
    return std::string(kSheetHeader) + "\r\n" + ShortestText(t.w) + " " + ShortestText(t.h) + " " + ShortestText(t.dw) + " " +
           ShortestText(t.dh) + "\r\n";
}

void DecodeSheetFile(std::string_view bytes, TPlaneState& plane)
{
    plane.SheetSize = {};
    auto damaged = [] { return WorkFileReadError(Tx("WorkFiles", "基準の用紙の寸法公差のファイルが壊れています.")); };
    std::vector<std::string_view> lines;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = bytes.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            lines.push_back(line);
    }
    if (lines.size() != 2 || lines[0] != kSheetHeader)
        throw damaged();
    std::array<double, 4> v{};
    const char* p = lines[1].data();
    const char* const last = p + lines[1].size();
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i > 0) {
            if (p == last || *p != ' ')
                throw damaged();
            ++p;
        }
        const auto [next, ec] = std::from_chars(p, last, v[i]);
        if (ec != std::errc())
            throw damaged();
        p = next;
    }
    if (p != last)
        throw damaged();
    // A size as the fields take one, and a tolerance that is a small part of it.
    for (std::size_t i = 0; i < 2; ++i)
        if (!(v[i] > 0 && v[i] <= 1e7) || !(v[i + 2] >= 0 && v[i + 2] <= 0.1 * v[i]))
            throw damaged();
    plane.SheetSize = {v[0], v[1], v[2], v[3]};
}

std::string EncodeLensFile(const Document& doc)
{
    return doc.Lens ? EncodeLensChoice(*doc.Lens) : std::string();
}

void LoadLensFile(Document& doc, const fs::path& folder)
{
    doc.Lens.reset();
    const fs::path path = WorkingFile(folder, kLensFile);
    const LensChoiceRead read = ReadLensChoice(path);
    if (read.error == LensFileError::Missing)
        return;
    if (!read)
        throw WorkFileReadError(Tx("WorkFiles", "作業ファイルを読み込めませんでした: ") + path.string());
    doc.Lens = read.choice;
}

bool WritePhotoFile(const fs::path& path, int n, const std::string& bytes)
{
    if (!AbsenceCounts(n) || !bytes.empty())
        return WriteFileReplacing(path, bytes);
    // No check distances: no file, not an empty one.
    std::error_code ec;
    if (fs::symlink_status(path, ec).type() == fs::file_type::not_found)
        return true;
    if (!IsFile(path) && !fs::is_symlink(path, ec))
        return false;
    fs::remove(path, ec);
    return !ec;
}

bool SaveTemp(const Document& doc, int n, const fs::path& folder, WorkFileUi& ui)
{
    return Guard("SaveTemp", [&] {
        const bool ok = WriteFileReplacing(WorkingFile(folder, n), EncodePlaneFile(doc)) &&
                        WriteFileReplacing(SharedFile(folder, n), EncodeCrossLineFile(doc)) &&
                        WritePhotoFile(WorkingFile(folder, CheckFile(n)), CheckFile(n), EncodeCheckFile(doc.Plane)) &&
                        WritePhotoFile(WorkingFile(folder, SheetFile(n)), SheetFile(n), EncodeSheetFile(doc.Plane));
        if (!ok)
            ui.Warn(SaveFailed());
        return ok;
    });
}

bool LoadTemp(Document& doc, int n, const fs::path& folder)
{
    return Guard("LoadTemp", [&] {
        const std::uint8_t modified = doc.Modified;
        ResetForLoad(doc);
        bool found = false;
        fs::path reading;
        try {
            reading = WorkingFile(folder, n);
            if (Exists(reading)) {
                ByteReader r(reading);
                const std::int32_t version = r.I32();
                if (version == 2 || version == 3)
                    DecodePlane(r, version, doc);

                reading = SharedFile(folder, n);
                if (Exists(reading)) {
                    ByteReader s(reading);
                    if (s.I32() == kWorkFileVersion) {
                        const std::uint8_t set = s.U8();
                        doc.CrossLinePoint = ImagePoint(s.Pt());
                        doc.CrossLineSet = set;
                    }
                }
                found = true;
            }
            reading = WorkingFile(folder, 3 - n);
            if ((n == 1 || n == 2) && Exists(reading)) {
                ByteReader o(reading);
                if (o.I32() == kWorkFileVersion) {
                    const std::uint8_t set = o.U8();
                    std::array<TDPoint, 6> rect{};
                    for (int i = 1; i <= 5; ++i)
                        rect[static_cast<std::size_t>(i)] = ImagePoint(o.Pt());
                    doc.OtherBaseRect = rect;
                    doc.OtherBaseSet = set;
                }
                found = true;
            }
        } catch (const ShortRead&) {
            // Keep what was read whole, but leave the plane consistent.
            DropLooseLinks(doc.Plane);
            if (doc.Plane.base.BaseSet == 1) {
                CalcuBasePoint(doc);
                CalcuUnitPoint(doc.Plane);
                CorrectAgainstWhatWasRead(doc);
            }
            doc.Modified = modified;
            throw WorkFileReadError(Tx("WorkFiles", "作業ファイルを読み込めませんでした: ") + reading.string());
        }
        DropLooseLinks(doc.Plane);
        doc.Plane.base.BaseRect[5] = doc.Plane.base.BaseRect[1];
        if (doc.Plane.base.BaseSet == 1) {
            CalcuBasePoint(doc);
            CalcuUnitPoint(doc.Plane);
            CorrectAgainstWhatWasRead(doc);
        }
        doc.Modified = modified;
        // The check distances beside the plane, which is whole by now.
        const fs::path checks = WorkingFile(folder, CheckFile(n));
        if (Exists(WorkingFile(folder, n)) && Exists(checks)) {
            std::error_code ec;
            const std::uintmax_t size = fs::file_size(checks, ec);
            std::string bytes;
            if (!ec && size <= kMaxCheckFileBytes) {
                std::ifstream in(checks, std::ios::binary);
                bytes.resize(static_cast<std::size_t>(size));
                if (!in.read(bytes.data(), static_cast<std::streamsize>(size)))
                    ec = std::make_error_code(std::errc::io_error);
            }
            try {
                if (ec || size > kMaxCheckFileBytes)
                    throw WorkFileReadError("");
                DecodeCheckFile(bytes, doc.Plane);
            } catch (const WorkFileReadError&) {
                throw WorkFileReadError(Tx("WorkFiles", "作業ファイルを読み込めませんでした: ") + checks.string());
            }
        }
        // The found sheet's tolerance beside the plane: a damaged one costs
        // only that share of the uncertainty, never the measurements.
        const fs::path sheet = WorkingFile(folder, SheetFile(n));
        if (Exists(WorkingFile(folder, n)) && Exists(sheet)) {
            try {
                const std::optional<std::string> bytes = ReadSmallFile(sheet, kMaxSheetFileBytes);
                if (!bytes)
                    throw WorkFileReadError("");
                DecodeSheetFile(*bytes, doc.Plane);
            } catch (const WorkFileReadError&) {
                throw WorkFileReadError(Tx("WorkFiles", "作業ファイルを読み込めませんでした: ") + sheet.string());
            }
        }
        return found;
    });
}

void SaveSet(const Document& doc, const fs::path& folder, WorkFileUi& ui)
{
    Guard("SaveSet", [&] {
        if (doc.Modified != 1 || !ui.AskYesNo(KeepQuestion()))
            return;
        const std::string key = ImageKeyOf(doc);
        std::string failed;
        // The fingerprint goes first: copies must never stand under a key that
        // another photo could still take for its own.
        if (!doc.ImageFingerprint.empty()) {
            const fs::path id = PerImageFingerprintFile(folder, key);
            const std::optional<std::string> stored = StoredFingerprint(folder, key);
            if (stored && *stored != doc.ImageFingerprint) {
                ui.Warn(CopyFailed() + ("\r" + id.string()));
                return;
            }
            if (!stored && !WriteFileReplacing(id, doc.ImageFingerprint)) {
                ui.Warn(CopyFailed() + ("\r" + id.string()));
                return;
            }
        }
        for (const int i : kPhotoFiles) {
            const fs::path from = WorkingFile(folder, i);
            const fs::path to = PerImageFile(folder, key, i);
            // Check distances all deleted, or the lens choice taken back: the
            // photo keeps none either.
            if (!Exists(from) && AbsenceCounts(i) && !WritePhotoFile(to, i, {}))
                failed += "\r" + to.string();
            if (!Exists(from))
                continue;
            if (!CopyFileReplacing(from, to))
                failed += "\r" + to.string();
        }
        // Without the copy the changes would be gone when the next photo
        // replaces the working files, so the user has to know.
        if (!failed.empty())
            ui.Warn(CopyFailed() + failed);
    });
}

bool LoadSet(const Document& doc, const fs::path& folder)
{
    return Guard("LoadSet", [&] {
        const std::string key = ImageKeyOf(doc);
        bool clean = true;
        for (const int i : kPhotoFiles) {
            const fs::path copy = PerImageFile(folder, key, i);
            const fs::path working = WorkingFile(folder, i);
            // A working file that could not be replaced must not survive either:
            // it belongs to the photo left, and its measurements would appear on
            // this one.
            if (!Exists(copy) || !CopyFileReplacing(copy, working)) {
                std::error_code ec;
                fs::remove(working, ec);
                if (fs::symlink_status(working, ec).type() != fs::file_type::not_found)
                    clean = false;
            }
        }
        return clean;
    });
}

SaveSettingResult SaveCurrentSetting(Document& doc, const fs::path& folder, WorkFileUi& ui)
{
    SaveSettingResult r;
    if (doc.CurrentSetting == 4) {
        const CurrentPlaneKept kept(doc);
        if (doc.CurrentBase == 2)
            SwapBDS(doc);
        r.first = SaveTemp(doc, 4, folder, ui);
        SwapBDS(doc);
        const bool second = SaveTemp(doc, 5, folder, ui);
        r.all = r.first && second;
    } else {
        r.first = SaveTemp(doc, doc.CurrentSetting, folder, ui);
        r.all = r.first;
    }
    // The lens belongs to the photo, not to a setting: it goes with every one.
    if (!WritePhotoFile(WorkingFile(folder, kLensFile), kLensFile, EncodeLensFile(doc))) {
        if (r.all)
            ui.Warn(SaveFailed());
        r.first = false;
        r.all = false;
    }
    return r;
}

bool LoadSetting(Document& doc, int setting, const fs::path& folder)
{
    doc.CurrentSetting = setting;
    doc.CurrentBase = 0;
    if (setting == 4) {
        doc.CurrentBase = 2;
        LoadTemp(doc, 5, folder);
        SwapBDS(doc);
        const bool loaded = LoadTemp(doc, 4, folder);
        // Loading the left plane forgot that the right one stands parked beside
        // it; without this its corrections would wait for the next exchange.
        doc.OtherBaseSet = doc.ParkedPlane.base.BaseSet == 1 ? 1 : 0;
        RebuildSixPoint(doc);
        RebuildTwoPlaneGeometry(doc);
        RecomputeCorrections(doc);
        return loaded;
    }
    return LoadTemp(doc, setting, folder);
}

SwitchResult SwitchSetting(Document& doc, int setting, const fs::path& folder, WorkFileUi& ui)
{
    SwitchResult r;
    if (!SaveCurrentSetting(doc, folder, ui).first) {
        ui.Warn(SwitchFailed());
        return r;
    }
    r.switched = true;
    r.loaded = LoadSetting(doc, setting, folder);
    return r;
}

void MapImagePoints(Document& doc, const std::function<TDPoint(TDPoint)>& map)
{
    auto plane = [&](TPlaneState& p) {
        for (auto* a : {&p.base.BaseRect, &p.UnitPoint})
            for (TDPoint& q : *a)
                q = map(q);
        for (auto* a : {&p.base.BaseLineW, &p.base.BaseLineH, &p.base.BaseUnit})
            for (TDPoint& q : *a)
                q = map(q);
        for (TDPoint* q : {&p.base.VanishW, &p.base.VanishH, &p.base.VanishOtherW})
            *q = map(*q);
        for (TDistance& d : p.Distances)
            for (TDPoint* q : {&d.start, &d.end, &d.correctionRef, &d.correctedStart, &d.correctedEnd})
                *q = map(*q);
        for (TSpace& s : p.Spaces) {
            for (TDPoint& q : s.points)
                q = map(q);
            for (TDPoint& q : s.correctedPoints)
                q = map(q);
            s.correctionRef = map(s.correctionRef);
        }
        for (TCheck& c : p.Checks) {
            c.start = map(c.start);
            c.end = map(c.end);
        }
    };
    plane(doc.Plane);
    plane(doc.ParkedPlane);
    for (TDPoint& q : doc.OtherBaseRect)
        q = map(q);
    for (TDPoint& q : doc.SixPoint)
        q = map(q);
    doc.CrossLinePoint = map(doc.CrossLinePoint);
    for (TDPoint& q : doc.InputPoints)
        q = map(q);
}

namespace {

class SilentUi : public WorkFileUi {
public:
    void Warn(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
};

// The quarter turn of a setting's image processing as an orientation.
int TurnOf(const ImageEffects& e)
{
    return e.Rotate == 1 ? 8 : e.Rotate == 2 ? 6 : 1;
}

} // namespace

bool UprightWorkingFiles(const fs::path& folder, int orientation, PixelSize stored)
{
    return Guard("UprightWorkingFiles", [&] {
        const fs::path mark = WorkingFile(folder, kUprightMark);
        if (Exists(mark))
            return true;
        const int o = NormalOrientation(orientation);
        if (o != 1) {
            // Every file is read before any is written: the cross-line files
            // are shared by several settings and must be mapped once.
            std::array<std::optional<Document>, 6> planes;
            // A damaged file is left as it is (its loading will tell the
            // user), and so are the others: rewriting what was read of it
            // would lose the rest.
            try {
                for (int n = 1; n <= 5; ++n) {
                    Document d;
                    if (LoadTemp(d, n, folder))
                        planes[static_cast<std::size_t>(n)] = std::move(d);
                }
            } catch (const WorkFileReadError&) {
                return false;
            }
            SilentUi ui;
            for (int n = 1; n <= 5; ++n) {
                std::optional<Document>& d = planes[static_cast<std::size_t>(n)];
                if (!d)
                    continue;
                // The points were clicked on the stored photo turned by the
                // setting's quarter turn; they go where the same pixels are
                // on the upright photo given that turn.
                const int r = TurnOf(d->Effects);
                const PixelSize shownBefore = UprightSize(r, stored);
                const PixelSize upright = UprightSize(o, stored);
                MapImagePoints(*d, [&](TDPoint p) {
                    const TDPoint onStored = UprightPoint(InverseOrientation(r), shownBefore, p);
                    return UprightPoint(r, upright, UprightPoint(o, stored, onStored));
                });
                if (!SaveTemp(*d, n, folder, ui))
                    return false;
            }
        }
        return WriteFileReplacing(mark, "1\n");
    });
}

} // namespace kvx
