#include "output/pdf/pdf_maker.h"

#include "measure/cp932.h"
#include "measure/numfmt.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace kvx {

namespace {

constexpr const char* kEol = "\r\n";
constexpr std::size_t kMaxRowBytes = 32768;

std::string Int(long long v)
{
    return std::to_string(v);
}

std::string Ref(int number)
{
    return Int(number) + " 0 R";
}

std::string Deflate(const std::string& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    const int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                             reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                             Z_DEFAULT_COMPRESSION);
    if (rc != Z_OK)
        throw PdfError("zlib compress2 failed (" + Int(rc) + ")");
    out.resize(size);
    return out;
}

std::string Colour(std::int32_t bgr)
{
    const auto v = static_cast<std::uint32_t>(bgr);
    return FormatNumber((v & 0xFF) / 255.0) + " " + FormatNumber(((v >> 8) & 0xFF) / 255.0) + " " +
           FormatNumber(((v >> 16) & 0xFF) / 255.0);
}

// Width texts: values separated by blanks, a blank and CR LF after every 16th.
std::string WidthRun(const std::vector<int>& values)
{
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += Int(values[i]);
        if ((i + 1) % 16 == 0)
            out += " \r\n";
        else if (i + 1 < values.size())
            out += " ";
    }
    return out;
}

struct DescriptorDef {
    int flags;
    int bbox[4];
    int stemV, ascent, capHeight, descent, italicAngle;
};

struct FontDef {
    const char* subtype;
    std::string baseFont;
    bool trueType;
    DescriptorDef descriptor;
};

// The Latin widths: the first values of each face as they have always been
// written, the rest of the 225 codes (31 to 255) at a typical advance of 500
// per mille; the Courier faces are fixed at 575.
std::vector<int> LatinWidths(int index)
{
    static const int century[] = {719, 266, 283, 373, 533, 533, 798, 781};
    static const int arial[] = {719, 266, 266, 340, 533, 533, 852, 639};
    if (index == 4 || index == 5)
        return std::vector<int>(225, 575);
    std::vector<int> w(225, 500);
    const int* first = index <= 1 ? century : arial;
    for (int i = 0; i < 8; ++i)
        w[static_cast<std::size_t>(i)] = first[i];
    return w;
}

std::string CidWidths()
{
    std::string out = "[\r\n1 [ " + WidthRun(std::vector<int>(94, 479)) + "]\r\n";
    std::vector<int> run(64, 479);
    run[0] = 958;
    out += "326 [ " + WidthRun(run) + "]\r\n631 631 479\r\n]\r\n";
    return out;
}

const std::string kMincho = "#82#6C#82#72#20#96#BE#92#A9";
const std::string kGothic = "#82#6C#82#72#20#83#53#83#56#83#62#83#4E";

FontDef Definition(int index)
{
    switch (index) {
    case 0: return {"TrueType", "Century", true, {34, {-219, -219, 1188, 1001}, 78, 1001, 1001, -219, 0}};
    case 1: return {"TrueType", "Century,Bold", true, {16416, {-219, -219, 1189, 1001}, 156, 1001, 1001, -219, 0}};
    case 2: return {"TrueType", "Arial", true, {32, {-215, -215, 1313, 919}, 78, 919, 919, -215, 0}};
    case 3: return {"TrueType", "Arial,Bold", true, {16416, {-215, -215, 1261, 919}, 78, 919, 919, -215, 0}};
    case 4: return {"TrueType", "Courier", true, {32, {-305, -305, 669, 845}, 78, 845, 845, -305, 0}};
    case 5: return {"TrueType", "Courier,Bold", true, {16416, {-305, -305, 759, 845}, 78, 845, 845, -305, 0}};
    case 6: return {"Type0", kMincho, false, {6, {-143, -143, 1015, 872}, 78, 872, 872, -143, 0}};
    case 7: return {"Type0", kGothic, false, {4, {-143, -143, 1015, 872}, 78, 872, 872, -143, 0}};
    case 8: return {"Type0", kMincho + ",Bold", false, {16391, {-143, -143, 1015, 872}, 78, 872, 872, -143, 0}};
    case 9: return {"Type0", kGothic + ",Bold", false, {16389, {-143, -143, 1015, 872}, 159, 872, 872, -143, 0}};
    default:
        throw PdfError("このフォントは現在サポートされていません (" + Int(index) + ")");
    }
}

// --- the objects ----------------------------------------------------------------------------------

class TPDFFontDescriptor : public TPDFObject {
public:
    TPDFFontDescriptor(TPDFMaker& maker, std::string name, DescriptorDef def)
        : TPDFObject(maker), name_(std::move(name)), def_(def)
    {
    }
    void WriteTo(std::string& out) const override
    {
        out += std::string("<<") + kEol + "/Type /FontDescriptor" + kEol + "/FontName /" + name_ + kEol + "/Flags " +
               Int(def_.flags) + kEol + "/FontBBox [ " + Int(def_.bbox[0]) + " " + Int(def_.bbox[1]) + " " +
               Int(def_.bbox[2]) + " " + Int(def_.bbox[3]) + " ]" + kEol + "/StemV " + Int(def_.stemV) + kEol +
               "/Ascent " + Int(def_.ascent) + kEol + "/CapHeight " + Int(def_.capHeight) + kEol + "/Descent " +
               Int(def_.descent) + kEol + "/ItalicAngle " + Int(def_.italicAngle) + kEol + ">>" + kEol;
    }

private:
    std::string name_;
    DescriptorDef def_;
};

enum class FontKind { TrueType, Type0, Cid };

class TPDFFont : public TPDFObject {
public:
    TPDFFont(TPDFMaker& maker, int resource) : TPDFObject(maker), resource_(resource) {}
    void SetFontDef(int index, FontKind kind, std::vector<std::unique_ptr<TPDFObject>>& owned)
    {
        index_ = index;
        kind_ = kind;
        def_ = Definition(index);
        if (kind == FontKind::TrueType || kind == FontKind::Cid) {
            owned.push_back(std::make_unique<TPDFFontDescriptor>(maker_, def_.baseFont, def_.descriptor));
            descriptor_ = owned.back()->Number();
        }
        if (kind == FontKind::Type0) {
            auto cid = std::make_unique<TPDFFont>(maker_, 0);
            TPDFFont* raw = cid.get();
            owned.push_back(std::move(cid));
            raw->SetFontDef(index, FontKind::Cid, owned);
            descendant_ = raw->Number();
        }
    }
    void WriteTo(std::string& out) const override
    {
        out += std::string("<<") + kEol + "/Type /Font" + kEol + "/Name /F" + Int(resource_) + kEol;
        switch (kind_) {
        case FontKind::TrueType:
            out += std::string("/Subtype /TrueType") + kEol + "/BaseFont /" + def_.baseFont + kEol + "/FirstChar 31" +
                   kEol + "/LastChar 255" + kEol + "/Widths [ " + WidthRun(LatinWidths(index_)) + " ]" + kEol +
                   "/Encoding /WinAnsiEncoding" + kEol;
            break;
        case FontKind::Type0:
            out += std::string("/Subtype /Type0") + kEol + "/BaseFont /" + def_.baseFont + kEol +
                   "/Encoding /90msp-RKSJ-H" + kEol;
            break;
        case FontKind::Cid:
            out += std::string("/Subtype /CIDFontType2") + kEol + "/BaseFont /" + def_.baseFont + kEol +
                   "/WinCharSet /128" + kEol + "/CIDSystemInfo <<" + kEol + "/Registry(Adobe)" + kEol +
                   "/Ordering(Japan1)" + kEol + "/Supplement 2" + kEol + ">>" + kEol + "/DW 1000" + kEol + "/W " +
                   CidWidths() + kEol;
            break;
        }
        if (descriptor_)
            out += "/FontDescriptor " + Ref(descriptor_) + kEol;
        if (descendant_)
            out += "/DescendantFonts [" + Ref(descendant_) + "]" + kEol;
        out += std::string(">>") + kEol;
    }

private:
    int resource_;
    int index_ = 0;
    FontKind kind_ = FontKind::TrueType;
    FontDef def_;
    int descriptor_ = 0;
    int descendant_ = 0;
};

class TPDFXObject : public TPDFObject {
public:
    TPDFXObject(TPDFMaker& maker, const TPDFImage& image) : TPDFObject(maker), image_(image) {}
    const TPDFImage& Image() const { return image_; }
    void WriteTo(std::string& out) const override
    {
        if (image_.Empty())
            throw PdfError("不正なイメージデータです．");
        if (static_cast<std::size_t>(image_.Width()) * 3 > kMaxRowBytes)
            throw PdfError("Range check error");
        const std::string data =
            Deflate(std::string(reinterpret_cast<const char*>(image_.Rgb().data()), image_.Rgb().size()));
        out += std::string("<<") + kEol + "/Type /XObject" + kEol + "/Subtype /Image" + kEol + "/Width " +
               Int(image_.Width()) + kEol + "/Height " + Int(image_.Height()) + kEol + "/BitsPerComponent 8" + kEol +
               "/ColorSpace /DeviceRGB" + kEol + "/Filter [/FlateDecode]" + kEol + "/Length " + Int(static_cast<long long>(data.size())) +
               kEol + ">>" + kEol + "stream" + kEol + data + "endstream" + kEol;
    }

private:
    TPDFImage image_;
};

class TPDFPage : public TPDFObject {
public:
    // width and height: the page's own size, 0 for the document's.
    TPDFPage(TPDFMaker& maker, int parent, int width, int height)
        : TPDFObject(maker), parent_(parent), width_(width), height_(height)
    {
    }
    void SetContents(TPDFContents* contents) { contents_ = contents; }
    TPDFContents* Contents() const { return contents_; }
    void WriteTo(std::string& out) const override
    {
        out += std::string("<<") + kEol + "/Type /Page" + kEol;
        if (width_ > 0 && height_ > 0)
            out += "/MediaBox [ 0 0 " + Int(width_) + " " + Int(height_) + " ]" + kEol;
        out += "/Parent " + Ref(parent_) + kEol + "/Resources <<" + kEol;
        const auto& fonts = maker_.FontNumbers();
        const auto& images = maker_.ImageNumbers();
        if (!fonts.empty()) {
            out += std::string("/Font <<") + kEol;
            for (std::size_t i = 0; i < fonts.size(); ++i)
                out += "/F" + Int(static_cast<long long>(i)) + " " + Ref(fonts[i]) + kEol;
            out += std::string(">>") + kEol;
        }
        if (!images.empty()) {
            out += std::string("/XObject <<") + kEol;
            for (std::size_t i = 0; i < images.size(); ++i)
                out += "/Im" + Int(static_cast<long long>(i)) + " " + Ref(images[i]) + kEol;
            out += std::string(">>") + kEol;
        }
        out += std::string("/ProcSet [ /PDF ") + (fonts.empty() ? "" : "/Text ") + (images.empty() ? "" : "/ImageC") +
               "]" + kEol + ">>" + kEol + "/Contents " + Ref(contents_->Number()) + kEol + ">>" + kEol;
    }

private:
    int parent_;
    int width_, height_;
    TPDFContents* contents_ = nullptr;
};

class TPDFPages : public TPDFObject {
public:
    TPDFPages(TPDFMaker& maker, int width, int height) : TPDFObject(maker), width_(width), height_(height) {}
    std::vector<TPDFPage*> pages;
    void WriteTo(std::string& out) const override
    {
        out += std::string("<<") + kEol + "/Kids [";
        for (const TPDFPage* p : pages)
            out += Ref(p->Number()) + " ";
        out += std::string("]") + kEol + "/Count " + Int(static_cast<long long>(pages.size())) + kEol + "/Type /Pages" +
               kEol + "/MediaBox [ 0 0 " + Int(width_) + " " + Int(height_) + " ]" + kEol + ">>" + kEol;
    }

private:
    int width_, height_;
};

class TPDFCatalog : public TPDFObject {
public:
    TPDFCatalog(TPDFMaker& maker, int pages) : TPDFObject(maker), pages_(pages) {}
    void WriteTo(std::string& out) const override
    {
        out += std::string("<<") + kEol + "/Type /Catalog" + kEol + "/Pages " + Ref(pages_) + kEol + "/Lang (ja-JP)" + kEol +
               ">>" + kEol;
    }

private:
    int pages_;
};

class TPDFInfo : public TPDFObject {
public:
    explicit TPDFInfo(TPDFMaker& maker) : TPDFObject(maker) {}
    std::string title, creator, author, subject;
    void WriteTo(std::string& out) const override
    {
        char date[32];
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(date, sizeof date, "%Y%m%d%H%M%S", &local);
        out += std::string("<<") + kEol + "/CreationDate (D:" + date + ")" + kEol + "/Creator <" +
               EncodeTextString(creator) + ">" + kEol + "/Producer (ZAN PDF 0.9)" + kEol + "/Author <" +
               EncodeTextString(author) + ">" + kEol + "/Title <" + EncodeTextString(title) + ">" + kEol +
               "/Subject <" + EncodeTextString(subject) + ">" + kEol + ">>" + kEol;
    }
};

// Counts what reaches the stream, so that offsets need no seeking back.
class CountingSink {
public:
    explicit CountingSink(std::ostream& out) : out_(out) {}
    void Write(const std::string& s)
    {
        out_.write(s.data(), static_cast<std::streamsize>(s.size()));
        if (!out_)
            throw PdfError("the PDF file could not be written");
        count_ += s.size();
    }
    std::uint64_t Count() const { return count_; }

private:
    std::ostream& out_;
    std::uint64_t count_ = 0;
};

} // namespace

std::string FormatNumber(double x)
{
    // A reader drops an operator whose operand is "NAN" or has an exponent, and
    // with it the line the user measured; PDF readers are only required to take
    // reals up to 32767.  Every number of our page lies far inside that, so a
    // value outside it came from damage and is drawn at the limit instead.
    constexpr long double kLimit = 32767;
    if (std::isnan(x))
        return "0";
    const long double r = std::trunc(static_cast<long double>(x) * 10000.0L + 0.5L) / 10000.0L;
    return FormatGeneral(static_cast<double>(std::clamp(r, -kLimit, kLimit)));
}

std::string EncodeTextString(const std::string& utf8)
{
    // Through the code page, as the text has always been held, then UTF-16 big-endian.
    const std::string text = Cp932ToUtf8(Utf8ToCp932(utf8));
    // Only the byte order mark: the language escape some writers add is shown
    // as a stray character by common viewers; the catalog states the language.
    std::string out = "FEFF";
    std::size_t units = 0;
    char hex[8];
    for (std::size_t i = 0; i < text.size() && units < 512;) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = c;
        std::size_t n = 1;
        if (c >= 0xF0) {
            cp = c & 0x07;
            n = 4;
        } else if (c >= 0xE0) {
            cp = c & 0x0F;
            n = 3;
        } else if (c >= 0xC0) {
            cp = c & 0x1F;
            n = 2;
        }
        for (std::size_t k = 1; k < n && i + k < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            std::snprintf(hex, sizeof hex, "%04X", 0xD800 + (cp >> 10));
            out += hex;
            std::snprintf(hex, sizeof hex, "%04X", 0xDC00 + (cp & 0x3FF));
            out += hex;
            units += 2;
        } else {
            std::snprintf(hex, sizeof hex, "%04X", cp);
            out += hex;
            ++units;
        }
    }
    return out;
}

TPDFImage::TPDFImage(int width, int height, std::vector<std::uint8_t> rgb)
    : width_(width), height_(height), rgb_(std::move(rgb))
{
}

TPDFObject::TPDFObject(TPDFMaker& maker) : maker_(maker), number_(maker.Register(this)) {}

void TPDFObject::WriteTo(std::string&) const {}

// --- contents -----------------------------------------------------------------------------------

void TPDFContents::StrokeState()
{
    Line(Int(lineCap_) + " J");
    Line(Colour(LineColor) + " RG ");
    Line(FormatNumber(lineWidth_) + " w");
}

void TPDFContents::DrawLine(double x1, double y1, double x2, double y2)
{
    StrokeState();
    Line(FormatNumber(x1) + " " + FormatNumber(y1) + " m");
    Line(FormatNumber(x2) + " " + FormatNumber(y2) + " l");
    Line("S");
}

void TPDFContents::DrawCurve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3)
{
    StrokeState();
    Line(FormatNumber(x0) + " " + FormatNumber(y0) + " m");
    Line(FormatNumber(x1) + " " + FormatNumber(y1) + " " + FormatNumber(x2) + " " + FormatNumber(y2) + " " +
         FormatNumber(x3) + " " + FormatNumber(y3) + " c");
    Line("S");
}

void TPDFContents::SetDash(int on, int off, int phase)
{
    std::string s = "[";
    if (on > 0)
        s += Int(on) + " ";
    if (off > 0)
        s += Int(off);
    s += "]" + Int(phase) + " d";
    Line(s);
}

void TPDFContents::TextOut(const std::string& text, double x, double y, double angle)
{
    const int resource = maker_.FontResource(FontIndex);
    Line("BT");
    Line("/F" + Int(resource) + " " + FormatNumber(fontHeight_) + " Tf");
    Line(Colour(TextColor) + " rg ");
    // One show operation a line of the text.
    const std::string bytes = Utf8ToCp932(text);
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            lines.emplace_back();
        } else {
            lines.back() += bytes[i];
        }
    }
    // Without a leading of its own, a text of several lines steps down by
    // the font height and a fifth, so that the lines never overprint.
    const double leading = leading_ == 0 && lines.size() > 1 ? fontHeight_ * 1.2 : leading_;
    Line(FormatNumber(leading) + " TL");
    Line(FormatNumber(charSpacing_) + " Tc");
    Line(FormatNumber(wordSpacing_) + " Tw");
    // A font width of 0 (never set) means the font's own proportions; without
    // this, text drawn before any size was set would be squeezed to nothing.
    const double sx = fontWidth_ > 0 && fontHeight_ > 0 && fontWidth_ != fontHeight_ ? fontWidth_ / fontHeight_ : 1.0;
    if (angle == 0) {
        Line(FormatNumber(sx) + " 0 0 1 " + FormatNumber(x) + " " + FormatNumber(y) + " Tm");
    } else {
        const double c = std::cos(angle), s = std::sin(angle);
        Line(FormatNumber(sx * c) + " " + FormatNumber(sx * s) + " " + FormatNumber(-s) + " " + FormatNumber(c) + " " +
             FormatNumber(x) + " " + FormatNumber(y) + " Tm");
    }
    for (std::size_t l = 0; l < lines.size(); ++l) {
        if (l > 0)
            Line("T*");
        const std::string& s = lines[l];
        bool doubleByte = false;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
                doubleByte = true;
                break;
            }
        }
        if (doubleByte) {
            std::string hex;
            char buf[4];
            for (const char ch : s) {
                std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(ch));
                hex += buf;
            }
            Line("<" + hex + "> Tj");
        } else {
            std::string lit;
            for (const char ch : s) {
                if (ch == '(' || ch == ')' || ch == '\\')
                    lit += '\\';
                lit += ch;
            }
            Line("(" + lit + ") Tj");
        }
    }
    Line("ET");
}

void TPDFContents::DrawImage(int index, double x, double y, double width, double height, double angle)
{
    if (index < 0 || index >= maker_.ImageCount())
        throw PdfError("無効なXObjectID");
    Line("q");
    Line("1 0 0 1 " + FormatNumber(x) + " " + FormatNumber(y) + " cm");
    if (angle != 0) {
        const double c = std::cos(angle), s = std::sin(angle);
        Line(FormatNumber(c) + " " + FormatNumber(s) + " " + FormatNumber(-s) + " " + FormatNumber(c) + " 0 0 cm");
    }
    Line(FormatNumber(width) + " 0 0 " + FormatNumber(height) + " 0 0 cm");
    Line("/Im" + Int(index) + " Do");
    Line("Q");
}

void TPDFContents::WriteTo(std::string& out) const
{
    const std::string data = Deflate(buffer_);
    out += std::string("<<") + kEol + "/Length " + Int(static_cast<long long>(data.size())) + kEol +
           "/Filter [/FlateDecode]" + kEol + ">>" + kEol + "stream" + kEol + data + "endstream" + kEol;
}

// --- the maker ----------------------------------------------------------------------------------------

struct TPDFMaker::Parts {
    std::vector<std::unique_ptr<TPDFObject>> owned;
    TPDFCatalog* catalog = nullptr;
    TPDFPages* pages = nullptr;
    TPDFInfo* info = nullptr;
    TPDFPage* page = nullptr;
};

TPDFMaker::TPDFMaker() : parts_(std::make_unique<Parts>()) {}

TPDFMaker::~TPDFMaker() = default;

int TPDFMaker::Register(TPDFObject* object)
{
    all_.push_back(object);
    return static_cast<int>(all_.size());
}

void TPDFMaker::SetPageWidth(int w)
{
    if (w <= 0)
        return;
    if (parts_->page)
        throw PdfError("出力中はサイズ変更はできません。");
    pageWidth_ = w;
}

void TPDFMaker::SetPageHeight(int h)
{
    if (h <= 0)
        return;
    if (parts_->page)
        throw PdfError("出力中はサイズ変更はできません。");
    pageHeight_ = h;
}

void TPDFMaker::BeginDoc(std::ostream* stream)
{
    if (!stream)
        throw PdfError("Invarid Stream");
    stream_ = stream;
    parts_ = std::make_unique<Parts>();
    all_.clear();
    fontNumbers_.clear();
    fontDefinitions_.clear();
    imageNumbers_.clear();
    images_.clear();
    for (bool& f : fontCreated_)
        f = false;
    // The catalog is made before the page tree it refers to: object 1, then 2.
    const int pagesNumber = static_cast<int>(all_.size()) + 2;
    parts_->owned.push_back(std::make_unique<TPDFCatalog>(*this, pagesNumber));
    parts_->catalog = static_cast<TPDFCatalog*>(parts_->owned.back().get());
    parts_->owned.push_back(std::make_unique<TPDFPages>(*this, pageWidth_, pageHeight_));
    parts_->pages = static_cast<TPDFPages*>(parts_->owned.back().get());
    parts_->owned.push_back(std::make_unique<TPDFInfo>(*this));
    parts_->info = static_cast<TPDFInfo*>(parts_->owned.back().get());
    NewPage();
    output_ = true;
}

void TPDFMaker::NewPage()
{
    NewPage(pageWidth_, pageHeight_);
}

void TPDFMaker::NewPage(int width, int height)
{
    if (!parts_->pages)
        throw PdfError("BeginDocが呼び出されていません");
    // Only a page of another size than the document's says its own.
    const bool own = (width != pageWidth_ || height != pageHeight_) && width > 0 && height > 0;
    parts_->owned.push_back(
        std::make_unique<TPDFPage>(*this, parts_->pages->Number(), own ? width : 0, own ? height : 0));
    auto* page = static_cast<TPDFPage*>(parts_->owned.back().get());
    parts_->owned.push_back(std::make_unique<TPDFContents>(*this));
    page->SetContents(static_cast<TPDFContents*>(parts_->owned.back().get()));
    parts_->pages->pages.push_back(page);
    parts_->page = page;
}

TPDFContents& TPDFMaker::Contents()
{
    if (!parts_->page)
        throw PdfError("BeginDocが呼び出されていません");
    return *parts_->page->Contents();
}

int TPDFMaker::AddImage(const TPDFImage& image)
{
    if (!parts_->page)
        throw PdfError("BeginDocが呼び出されていません");
    parts_->owned.push_back(std::make_unique<TPDFXObject>(*this, image));
    imageNumbers_.push_back(parts_->owned.back()->Number());
    images_.push_back(nullptr);
    return static_cast<int>(imageNumbers_.size()) - 1;
}

int TPDFMaker::FontResource(int definition)
{
    if (definition < 0 || definition > 9)
        throw PdfError("このフォントは現在サポートされていません (" + Int(definition) + ")");
    if (fontCreated_[definition]) {
        for (std::size_t i = 0; i < fontDefinitions_.size(); ++i)
            if (fontDefinitions_[i] == definition)
                return static_cast<int>(i);
        throw PdfError("Internel Error Invalid Index " + Int(definition));
    }
    const int resource = static_cast<int>(fontNumbers_.size());
    auto font = std::make_unique<TPDFFont>(*this, resource);
    TPDFFont* raw = font.get();
    parts_->owned.push_back(std::move(font));
    fontNumbers_.push_back(raw->Number());
    fontDefinitions_.push_back(definition);
    raw->SetFontDef(definition, definition >= 6 ? FontKind::Type0 : FontKind::TrueType, parts_->owned);
    fontCreated_[definition] = true;
    return resource;
}

void TPDFMaker::EndDoc()
{
    if (!stream_ || !parts_->catalog)
        throw PdfError("BeginDocが呼び出されていません");
    output_ = false;
    parts_->info->title = Title;
    parts_->info->creator = Creator;
    parts_->info->author = Author;
    parts_->info->subject = Subject;

    CountingSink sink(*stream_);
    sink.Write(std::string("%PDF-1.4 ") + kEol);
    std::vector<std::uint64_t> offsets;
    offsets.reserve(all_.size());
    for (const TPDFObject* object : all_) {
        offsets.push_back(sink.Count());
        std::string body = Int(object->Number()) + " 0 obj" + kEol;
        object->WriteTo(body);
        body += std::string("endobj") + kEol;
        sink.Write(body);
    }
    const std::uint64_t xref = sink.Count();
    std::string table = std::string("xref") + kEol + "0 " + Int(static_cast<long long>(all_.size()) + 1) + kEol +
                        "0000000000 65535 f" + kEol;
    char entry[32];
    for (const std::uint64_t offset : offsets) {
        std::snprintf(entry, sizeof entry, "%010llu 00000 n", static_cast<unsigned long long>(offset));
        table += std::string(entry) + kEol;
    }
    table += std::string("trailer") + kEol + "<<" + kEol + "/Size " + Int(static_cast<long long>(all_.size()) + 1) +
             kEol + "/Root " + Ref(parts_->catalog->Number()) + kEol + "/Info " + Ref(parts_->info->Number()) + kEol +
             ">>" + kEol + "startxref" + kEol + Int(static_cast<long long>(xref)) + kEol + "%%EOF" + kEol;
    sink.Write(table);
    stream_->flush();
    parts_->page = nullptr;
}

} // namespace kvx
