#include "measure/lens_file.h"

#include "base/safe_file.h"
#include "measure/text_record.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <span>

namespace kvx {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLensHeader = "kalvex-lens 1";
constexpr std::string_view kLensMagic = "kalvex-lens ";
constexpr std::string_view kProfileHeader = "kalvex-camera 1";
constexpr std::string_view kProfileMagic = "kalvex-camera ";
// Distortion coefficients of any real lens are far below this; a larger one
// is a file damaged into nonsense that would still "map" points.
constexpr double kMaxCoefficient = 1e6;

// What a fault found while reading: the error and its line.
struct Fault {
    LensFileError error = LensFileError::None;
    int line = 0;
    explicit operator bool() const { return error != LensFileError::None; }
};

// The lines of a file in turn, counted, with a file's end in the middle of
// what must follow told as a file cut short.
class Reader {
public:
    explicit Reader(std::string_view bytes) : lines_(bytes) {}
    // The next line, or a fault: Truncated at the end of the bytes or for a
    // last line without its end.
    std::optional<std::string_view> Next(Fault& fault)
    {
        ++number_;
        const std::optional<std::string_view> line = lines_.Next();
        if (!line || !lines_.LastEnded()) {
            fault = {LensFileError::Truncated, number_};
            return std::nullopt;
        }
        return line;
    }
    // The next line that is not empty, or nothing at the file's end; a
    // last line without its end is a fault.
    std::optional<std::string_view> NextIfAny(Fault& fault)
    {
        while (const std::optional<std::string_view> line = lines_.Next()) {
            ++number_;
            if (line->empty())
                continue;
            if (!lines_.LastEnded()) {
                fault = {LensFileError::Truncated, number_};
                return std::nullopt;
            }
            return line;
        }
        return std::nullopt;
    }
    // Whether anything but empty lines is left.
    bool AtEnd()
    {
        while (const std::optional<std::string_view> line = lines_.Next()) {
            ++number_;
            if (!line->empty())
                return false;
        }
        return true;
    }
    int Number() const { return number_; }

private:
    TextLines lines_;
    int number_ = 0;
};

Fault CheckHeader(std::string_view line, std::string_view header, std::string_view magic)
{
    if (line == header)
        return {};
    if (line.starts_with(magic))
        return {LensFileError::UnknownVersion, 1};
    return {LensFileError::NotALensFile, 1};
}

// The numbers of fields into out, all of them finite.
Fault Numbers(std::span<const std::string_view> fields, std::span<double> out, int line)
{
    if (fields.size() != out.size())
        return {LensFileError::Damaged, line};
    for (std::size_t i = 0; i < out.size(); ++i) {
        switch (ParseNumber(fields[i], out[i])) {
        case NumberFault::None:
            break;
        case NumberFault::NotANumber:
            return {LensFileError::NotANumber, line};
        case NumberFault::NotFinite:
            return {LensFileError::NotFinite, line};
        }
    }
    return {};
}

bool Within(double v, double limit)
{
    return std::fabs(v) <= limit;
}

bool PhotoSizeOk(double w, double h)
{
    return w > 0 && h > 0 && w <= kMaxLensPixels && h <= kMaxLensPixels;
}

std::string ModelText(const LensModel& m)
{
    switch (m.kind) {
    case LensKind::None:
        return "none";
    case LensKind::Division:
        return "division " + ShortestText(m.k) + " " + ShortestText(m.width) + " " + ShortestText(m.height);
    case LensKind::BrownConrady: {
        std::string out = "brown-conrady";
        for (const double v : {m.bc.fx, m.bc.fy, m.bc.cx, m.bc.cy, m.bc.k1, m.bc.k2, m.bc.p1, m.bc.p2, m.bc.k3})
            out += " " + ShortestText(v);
        return out;
    }
    }
    return "none";
}

// A model from the fields after the record's key ("division 0.1 4000 3000").
Fault ParseModel(std::span<const std::string_view> fields, int line, LensModel& out)
{
    if (fields.empty())
        return {LensFileError::Damaged, line};
    if (fields[0] == "none") {
        if (fields.size() != 1)
            return {LensFileError::Damaged, line};
        out = LensModel{};
        return {};
    }
    if (fields[0] == "division") {
        double v[3];
        if (const Fault f = Numbers(fields.subspan(1), v, line))
            return f;
        out = LensModel::Division(v[0], v[1], v[2]);
        // The division model is valid over the whole photo only for |k| < 1.
        if (!(std::fabs(v[0]) < 1) || !PhotoSizeOk(v[1], v[2]))
            return {LensFileError::BadValue, line};
        return {};
    }
    if (fields[0] == "brown-conrady") {
        double v[9];
        if (const Fault f = Numbers(fields.subspan(1), v, line))
            return f;
        BrownConrady b{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
        out = LensModel::Brown(b);
        if (!(b.fx > 0 && b.fy > 0 && b.fx <= 100 * kMaxLensPixels && b.fy <= 100 * kMaxLensPixels) ||
            !Within(b.cx, kMaxLensPixels) || !Within(b.cy, kMaxLensPixels))
            return {LensFileError::BadValue, line};
        for (const double c : {b.k1, b.k2, b.p1, b.p2, b.k3})
            if (!Within(c, kMaxCoefficient))
                return {LensFileError::BadValue, line};
        return {};
    }
    return {LensFileError::Damaged, line};
}

// Text as a file may keep it: no control characters (a line break would
// end the record), no more than kMaxLensText bytes, cut at a character's start.
std::string CleanText(std::string_view text)
{
    std::string out;
    for (const char ch : text) {
        const unsigned char b = static_cast<unsigned char>(ch);
        out += b < 0x20 || b == 0x7F ? ' ' : ch;
    }
    if (out.size() > kMaxLensText) {
        std::size_t cut = kMaxLensText;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    return out;
}

bool TextOk(std::string_view text)
{
    return text.size() <= kMaxLensText && CleanText(text) == text;
}

// The text after "key " on a line, or nothing when the line is another record.
std::optional<std::string_view> TextRecord(std::string_view line, std::string_view key)
{
    if (line == key)
        return std::string_view{};
    if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == ' ')
        return line.substr(key.size() + 1);
    return std::nullopt;
}

Fault ParseEdge(std::string_view line, int number, std::vector<TDPoint>& edge)
{
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() < 2 || f[0] != "edge")
        return {LensFileError::Damaged, number};
    double count = 0;
    if (const Fault bad = Numbers(std::span(f).subspan(1, 1), std::span(&count, 1), number))
        return bad;
    if (count != std::floor(count) || count < 0)
        return {LensFileError::Damaged, number};
    if (count > kMaxFileEdgePoints)
        return {LensFileError::AbsurdCount, number};
    if (f.size() != 2 + 2 * static_cast<std::size_t>(count))
        return {LensFileError::Damaged, number};
    std::vector<double> v(2 * static_cast<std::size_t>(count));
    if (const Fault bad = Numbers(std::span(f).subspan(2), v, number))
        return bad;
    for (std::size_t i = 0; i < v.size(); i += 2) {
        if (!Within(v[i], kMaxLensPixels) || !Within(v[i + 1], kMaxLensPixels))
            return {LensFileError::BadValue, number};
        edge.push_back({v[i], v[i + 1]});
    }
    return {};
}

struct FileBytes {
    LensFileError error = LensFileError::None;
    std::string bytes;
};

// A file's bytes, never more than kMaxLensFileBytes of them read, and only
// from a regular file: a pipe or a device would never end.
FileBytes ReadBytes(const fs::path& path)
{
    FileBytes out;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        out.error = LensFileError::Missing;
        return out;
    }
    if (ec || status.type() != fs::file_type::regular) {
        out.error = LensFileError::Unreadable;
        return out;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        out.error = LensFileError::Unreadable;
        return out;
    }
    if (size > kMaxLensFileBytes) {
        out.error = LensFileError::Oversize;
        return out;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out.error = LensFileError::Unreadable;
        return out;
    }
    // One byte more than allowed tells a file that grew since its size was taken.
    out.bytes.resize(static_cast<std::size_t>(kMaxLensFileBytes) + 1);
    in.read(out.bytes.data(), static_cast<std::streamsize>(out.bytes.size()));
    if (in.bad()) {
        out.error = LensFileError::Unreadable;
        return out;
    }
    out.bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (out.bytes.size() > kMaxLensFileBytes)
        out.error = LensFileError::Oversize;
    return out;
}

std::string TrimSpaces(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\0'))
        s.remove_suffix(1);
    return std::string(s);
}

// The optional "k-sd S" record that may end a profile or a profile's
// choice: sd stays 0 when the file ends without it.
Fault OptionalKSd(Reader& r, double& sd)
{
    Fault f;
    const std::optional<std::string_view> line = r.NextIfAny(f);
    if (!line)
        return f;
    const std::vector<std::string_view> fields = Fields(*line);
    if (fields[0] != "k-sd")
        return {LensFileError::Damaged, r.Number()};
    if (const Fault bad = Numbers(std::span(fields).subspan(1), std::span(&sd, 1), r.Number()))
        return bad;
    // Beyond the largest coefficient a file takes, the number is no lens's.
    if (!(sd >= 0 && sd <= kMaxCoefficient))
        return {LensFileError::BadValue, r.Number()};
    return {};
}

} // namespace

std::string EncodeLensChoice(const LensChoice& choice)
{
    std::string out = std::string(kLensHeader) + "\r\n";
    switch (choice.kind) {
    case LensChoiceKind::None:
        out += "choice none\r\nmodel none\r\n";
        return out;
    case LensChoiceKind::Profile:
        out += "choice profile " + CleanText(choice.profileName) + "\r\n";
        out += "model " + ModelText(choice.model) + "\r\n";
        // Only a profile that told it has the line, so a choice without it
        // is written as it always was.
        if (choice.kUncertainty != 0)
            out += "k-sd " + ShortestText(choice.kUncertainty) + "\r\n";
        return out;
    case LensChoiceKind::Edges:
        out += "choice edges\r\n";
        out += "model " + ModelText(choice.model) + "\r\n";
        out += "edges " + std::to_string(choice.edges.size()) + "\r\n";
        for (const std::vector<TDPoint>& edge : choice.edges) {
            out += "edge " + std::to_string(edge.size());
            for (const TDPoint& p : edge)
                out += " " + ShortestText(p.x) + " " + ShortestText(p.y);
            out += "\r\n";
        }
        return out;
    }
    return out;
}

LensChoiceRead DecodeLensChoice(std::string_view bytes)
{
    LensChoiceRead read;
    auto fail = [&](Fault f) {
        read.error = f.error;
        read.line = f.line;
        read.choice = LensChoice{};
        return read;
    };
    if (bytes.size() > kMaxLensFileBytes)
        return fail({LensFileError::Oversize, 0});
    Reader r(bytes);
    Fault f;
    const std::optional<std::string_view> header = r.Next(f);
    if (!header) {
        std::string_view cut = bytes.substr(0, bytes.find('\n'));
        if (cut.ends_with('\r'))
            cut.remove_suffix(1);
        const Fault h = CheckHeader(cut, kLensHeader, kLensMagic);
        return fail(kLensHeader.starts_with(cut) || !h ? Fault{LensFileError::Truncated, 1} : h);
    }
    if (const Fault h = CheckHeader(*header, kLensHeader, kLensMagic))
        return fail(h);

    LensChoice& c = read.choice;
    const std::optional<std::string_view> choice = r.Next(f);
    if (!choice)
        return fail(f);
    if (*choice == "choice none") {
        c.kind = LensChoiceKind::None;
    } else if (*choice == "choice edges") {
        c.kind = LensChoiceKind::Edges;
    } else if (const std::optional<std::string_view> name = TextRecord(*choice, "choice profile")) {
        if (name->empty() || !TextOk(*name))
            return fail({LensFileError::BadValue, r.Number()});
        c.kind = LensChoiceKind::Profile;
        c.profileName = std::string(*name);
    } else {
        return fail({LensFileError::Damaged, r.Number()});
    }

    const std::optional<std::string_view> model = r.Next(f);
    if (!model)
        return fail(f);
    const std::vector<std::string_view> mf = Fields(*model);
    if (mf[0] != "model")
        return fail({LensFileError::Damaged, r.Number()});
    if (const Fault m = ParseModel(std::span(mf).subspan(1), r.Number(), c.model))
        return fail(m);
    const bool fits = c.kind == LensChoiceKind::None     ? c.model.kind == LensKind::None
                      : c.kind == LensChoiceKind::Edges ? c.model.kind != LensKind::BrownConrady
                                                        : c.model.kind != LensKind::None;
    if (!fits)
        return fail({LensFileError::BadValue, r.Number()});

    if (c.kind == LensChoiceKind::Edges) {
        const std::optional<std::string_view> count = r.Next(f);
        if (!count)
            return fail(f);
        const std::vector<std::string_view> cf = Fields(*count);
        double n = 0;
        if (cf[0] != "edges")
            return fail({LensFileError::Damaged, r.Number()});
        if (const Fault bad = Numbers(std::span(cf).subspan(1), std::span(&n, 1), r.Number()))
            return fail(bad);
        if (n != std::floor(n) || n < 0)
            return fail({LensFileError::Damaged, r.Number()});
        if (n > kMaxFileEdges)
            return fail({LensFileError::AbsurdCount, r.Number()});
        for (int i = 0; i < static_cast<int>(n); ++i) {
            const std::optional<std::string_view> line = r.Next(f);
            if (!line)
                return fail(f);
            std::vector<TDPoint> edge;
            if (const Fault bad = ParseEdge(*line, r.Number(), edge))
                return fail(bad);
            c.edges.push_back(std::move(edge));
        }
    } else if (c.kind == LensChoiceKind::Profile) {
        if (const Fault bad = OptionalKSd(r, c.kUncertainty))
            return fail(bad);
    }
    if (!r.AtEnd())
        return fail({LensFileError::Damaged, r.Number()});
    return read;
}

LensChoiceRead ReadLensChoice(const fs::path& path)
{
    const FileBytes file = ReadBytes(path);
    if (file.error != LensFileError::None) {
        LensChoiceRead read;
        read.error = file.error;
        return read;
    }
    return DecodeLensChoice(file.bytes);
}

bool WriteLensChoice(const fs::path& path, const LensChoice& choice)
{
    // Never a file this program would refuse to read back.
    const std::string bytes = EncodeLensChoice(choice);
    const LensChoiceRead back = DecodeLensChoice(bytes);
    return back && back.choice == choice && WriteFileReplacing(path, bytes);
}

StraightLinesRead DecodeStraightLines(std::string_view bytes)
{
    StraightLinesRead read;
    auto fail = [&](LensFileError e, int line) {
        read.error = e;
        read.line = line;
        read.edges.clear();
        return read;
    };
    if (bytes.size() > kMaxLensFileBytes)
        return fail(LensFileError::Oversize, 0);
    TextLines lines(bytes);
    int number = 0;
    while (const std::optional<std::string_view> next = lines.Next()) {
        ++number;
        std::string_view line = next->substr(0, next->find('#'));
        std::vector<double> values;
        while (true) {
            const std::size_t start = line.find_first_not_of(" \t\r");
            if (start == std::string_view::npos)
                break;
            line.remove_prefix(start);
            const std::size_t end = std::min(line.find_first_of(" \t\r"), line.size());
            double v = 0;
            switch (ParseNumber(line.substr(0, end), v)) {
            case NumberFault::NotANumber: return fail(LensFileError::NotANumber, number);
            case NumberFault::NotFinite: return fail(LensFileError::NotFinite, number);
            case NumberFault::None: break;
            }
            if (std::fabs(v) > kMaxLensPixels)
                return fail(LensFileError::BadValue, number);
            if (values.size() >= 2 * static_cast<std::size_t>(kMaxFileEdgePoints))
                return fail(LensFileError::AbsurdCount, number);
            values.push_back(v);
            line.remove_prefix(end);
        }
        if (values.empty())
            continue;
        // Half a point is a number lost, not a point.
        if (values.size() % 2 != 0)
            return fail(LensFileError::Truncated, number);
        if (read.edges.size() >= static_cast<std::size_t>(kMaxFileEdges))
            return fail(LensFileError::AbsurdCount, number);
        std::vector<TDPoint> edge;
        for (std::size_t i = 0; i < values.size(); i += 2)
            edge.push_back({values[i], values[i + 1]});
        read.edges.push_back(std::move(edge));
    }
    return read;
}

StraightLinesRead ReadStraightLines(const fs::path& path)
{
    const FileBytes file = ReadBytes(path);
    if (file.error != LensFileError::None) {
        StraightLinesRead read;
        read.error = file.error;
        return read;
    }
    return DecodeStraightLines(file.bytes);
}

bool Matches(const CameraProfile& profile, const CameraId& photo)
{
    const std::string make = TrimSpaces(profile.camera.make), model = TrimSpaces(profile.camera.model);
    if (make.empty() || model.empty())
        return false;
    return make == TrimSpaces(photo.make) && model == TrimSpaces(photo.model) &&
           std::fabs(profile.camera.focal - photo.focal) <= 0.01 && profile.camera.width == photo.width &&
           profile.camera.height == photo.height;
}

std::string ProfileName(const CameraProfile& p)
{
    std::string name = TrimSpaces(p.camera.make);
    const std::string model = TrimSpaces(p.camera.model);
    // Most cameras repeat their maker in the model ("Canon" "Canon EOS 6D").
    if (!model.empty())
        name = model.starts_with(name) ? model : (name.empty() ? model : name + " " + model);
    if (p.camera.focal > 0)
        name += (name.empty() ? "" : " ") + ShortestText(std::round(p.camera.focal * 10) / 10) + " mm";
    name += (name.empty() ? "" : " ") + std::to_string(p.camera.width) + "x" + std::to_string(p.camera.height);
    return CleanText(name);
}

std::string EncodeCameraProfile(const CameraProfile& p)
{
    std::string out = std::string(kProfileHeader) + "\r\n";
    out += "make " + CleanText(p.camera.make) + "\r\n";
    out += "model " + CleanText(p.camera.model) + "\r\n";
    out += "focal " + ShortestText(p.camera.focal) + "\r\n";
    out += "size " + std::to_string(p.camera.width) + " " + std::to_string(p.camera.height) + "\r\n";
    out += "lens " + ModelText(p.lens) + "\r\n";
    out += "rms " + ShortestText(p.rms) + "\r\n";
    if (p.kUncertainty != 0)
        out += "k-sd " + ShortestText(p.kUncertainty) + "\r\n";
    return out;
}

CameraProfileRead DecodeCameraProfile(std::string_view bytes)
{
    CameraProfileRead read;
    auto fail = [&](Fault f) {
        read.error = f.error;
        read.line = f.line;
        read.profile = CameraProfile{};
        return read;
    };
    if (bytes.size() > kMaxLensFileBytes)
        return fail({LensFileError::Oversize, 0});
    Reader r(bytes);
    Fault f;
    const std::optional<std::string_view> header = r.Next(f);
    if (!header) {
        std::string_view cut = bytes.substr(0, bytes.find('\n'));
        if (cut.ends_with('\r'))
            cut.remove_suffix(1);
        const Fault h = CheckHeader(cut, kProfileHeader, kProfileMagic);
        return fail(kProfileHeader.starts_with(cut) || !h ? Fault{LensFileError::Truncated, 1} : h);
    }
    if (const Fault h = CheckHeader(*header, kProfileHeader, kProfileMagic))
        return fail(h);
    CameraProfile& p = read.profile;
    for (const auto& [key, text] : {std::pair{"make", &p.camera.make}, std::pair{"model", &p.camera.model}}) {
        const std::optional<std::string_view> line = r.Next(f);
        if (!line)
            return fail(f);
        const std::optional<std::string_view> value = TextRecord(*line, key);
        if (!value)
            return fail({LensFileError::Damaged, r.Number()});
        if (!TextOk(*value))
            return fail({LensFileError::BadValue, r.Number()});
        *text = std::string(*value);
    }
    const std::optional<std::string_view> focal = r.Next(f);
    if (!focal)
        return fail(f);
    const std::vector<std::string_view> ff = Fields(*focal);
    if (ff[0] != "focal")
        return fail({LensFileError::Damaged, r.Number()});
    if (const Fault bad = Numbers(std::span(ff).subspan(1), std::span(&p.camera.focal, 1), r.Number()))
        return fail(bad);
    // No focal length (0) when the photos told none.
    if (!(p.camera.focal >= 0 && p.camera.focal <= 1e5))
        return fail({LensFileError::BadValue, r.Number()});

    const std::optional<std::string_view> size = r.Next(f);
    if (!size)
        return fail(f);
    const std::vector<std::string_view> sf = Fields(*size);
    double wh[2];
    if (sf[0] != "size")
        return fail({LensFileError::Damaged, r.Number()});
    if (const Fault bad = Numbers(std::span(sf).subspan(1), wh, r.Number()))
        return fail(bad);
    if (!PhotoSizeOk(wh[0], wh[1]) || wh[0] != std::floor(wh[0]) || wh[1] != std::floor(wh[1]))
        return fail({LensFileError::BadValue, r.Number()});
    p.camera.width = static_cast<int>(wh[0]);
    p.camera.height = static_cast<int>(wh[1]);

    const std::optional<std::string_view> lens = r.Next(f);
    if (!lens)
        return fail(f);
    const std::vector<std::string_view> lf = Fields(*lens);
    if (lf[0] != "lens")
        return fail({LensFileError::Damaged, r.Number()});
    if (const Fault bad = ParseModel(std::span(lf).subspan(1), r.Number(), p.lens))
        return fail(bad);
    // A profile is a correction: and a division model's centre is the
    // centre of the photos it was made for.
    if (p.lens.kind == LensKind::None ||
        (p.lens.kind == LensKind::Division && (p.lens.width != wh[0] || p.lens.height != wh[1])))
        return fail({LensFileError::BadValue, r.Number()});

    const std::optional<std::string_view> rms = r.Next(f);
    if (!rms)
        return fail(f);
    const std::vector<std::string_view> rf = Fields(*rms);
    if (rf[0] != "rms")
        return fail({LensFileError::Damaged, r.Number()});
    if (const Fault bad = Numbers(std::span(rf).subspan(1), std::span(&p.rms, 1), r.Number()))
        return fail(bad);
    if (!(p.rms >= 0 && p.rms <= kMaxLensPixels))
        return fail({LensFileError::BadValue, r.Number()});
    if (const Fault bad = OptionalKSd(r, p.kUncertainty))
        return fail(bad);
    if (!r.AtEnd())
        return fail({LensFileError::Damaged, r.Number()});
    return read;
}

CameraProfileRead ReadCameraProfile(const fs::path& path)
{
    const FileBytes file = ReadBytes(path);
    if (file.error != LensFileError::None) {
        CameraProfileRead read;
        read.error = file.error;
        return read;
    }
    return DecodeCameraProfile(file.bytes);
}

bool WriteCameraProfile(const fs::path& path, const CameraProfile& profile)
{
    const std::string bytes = EncodeCameraProfile(profile);
    const CameraProfileRead back = DecodeCameraProfile(bytes);
    return back && back.profile == profile && WriteFileReplacing(path, bytes);
}

} // namespace kvx
