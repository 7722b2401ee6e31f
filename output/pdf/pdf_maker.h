#pragma once

// A small writer of one-document PDF 1.4 files: pages with vector drawing, text
// in ten built-in fonts (six Latin TrueType names, four Japanese CID fonts) and
// deflated RGB images.  Everything is collected in memory; EndDoc writes the
// file in one pass, objects in creation order, so that every cross-reference
// offset comes from the byte count of what was written before it.

#include <cstdint>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvx {

// Every failure of the writer, with the text that names it.
class PdfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "%.4f"-rounded shortest form: 12.345678 -> "12.3457", 842.0 -> "842".  Never an
// exponent and never a NaN: values are held to +-32767 and NaN is written as 0.
std::string FormatNumber(double x);
// The UTF-16 hex of a document string, with its byte order mark.
std::string EncodeTextString(const std::string& utf8);

class TPDFMaker;

// A bitmap for embedding: 8-bit RGB rows from the top.
class TPDFImage {
public:
    TPDFImage() = default;
    TPDFImage(int width, int height, std::vector<std::uint8_t> rgb);
    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitsPerComponent() const { return 8; }
    const std::vector<std::uint8_t>& Rgb() const { return rgb_; }
    bool Empty() const { return width_ <= 0 || height_ <= 0; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> rgb_;
};

class TPDFObject {
public:
    explicit TPDFObject(TPDFMaker& maker);
    virtual ~TPDFObject() = default;
    int Number() const { return number_; }
    virtual void WriteTo(std::string& out) const;

protected:
    TPDFMaker& maker_;

private:
    int number_;
};

// One page's content stream and its current drawing attributes.
class TPDFContents : public TPDFObject {
public:
    explicit TPDFContents(TPDFMaker& maker) : TPDFObject(maker) {}

    void DrawLine(double x1, double y1, double x2, double y2);
    void DrawCurve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3);
    void SetDash(int on, int off, int phase);
    void SetLineWidth(double w) { lineWidth_ = w > 0 ? w : 1; }
    void SetFontSize(double s)
    {
        fontHeight_ = s;
        fontWidth_ = s;
    }
    std::int32_t LineColor = 0;  // 0x00BBGGRR
    std::int32_t TextColor = 0;
    int FontIndex = 0;
    // text in UTF-8; angle in radians
    void TextOut(const std::string& text, double x, double y, double angle);
    void DrawImage(int index, double x, double y, double width, double height, double angle);

    const std::string& Buffer() const { return buffer_; }
    void WriteTo(std::string& out) const override;

private:
    void Line(const std::string& s) { buffer_ += s + "\r"; }
    void StrokeState();

    std::string buffer_;
    double fontHeight_ = 10;
    double fontWidth_ = 0;
    double lineWidth_ = 1;
    int lineCap_ = 0;
    double leading_ = 0;
    double charSpacing_ = 0;
    double wordSpacing_ = 0;
};

class TPDFMaker {
public:
    TPDFMaker();
    ~TPDFMaker();
    TPDFMaker(const TPDFMaker&) = delete;
    TPDFMaker& operator=(const TPDFMaker&) = delete;

    int PageWidth() const { return pageWidth_; }
    int PageHeight() const { return pageHeight_; }
    void SetPageWidth(int w);
    void SetPageHeight(int h);
    std::string Title, Creator, Author, Subject;  // UTF-8

    void BeginDoc(std::ostream* stream);
    void NewPage();
    // A page of its own size in points, for a document of pages that differ.
    void NewPage(int width, int height);
    TPDFContents& Contents();
    int AddImage(const TPDFImage& image);
    // Writes the file; the stream is the caller's and stays open.
    void EndDoc();

    // For the objects.
    int Register(TPDFObject* object);
    // The font of definition index, created on first use; its resource index.
    int FontResource(int definition);
    int ImageCount() const { return static_cast<int>(images_.size()); }
    const std::vector<int>& FontNumbers() const { return fontNumbers_; }
    const std::vector<int>& ImageNumbers() const { return imageNumbers_; }

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    std::ostream* stream_ = nullptr;
    bool output_ = false;
    int pageWidth_ = 596;
    int pageHeight_ = 842;
    std::vector<TPDFObject*> all_;  // by object number - 1
    std::vector<int> fontNumbers_;   // object numbers of the fonts list
    std::vector<int> fontDefinitions_;
    std::vector<int> imageNumbers_;
    std::vector<TPDFImage*> images_;
    bool fontCreated_[10] = {};
};

} // namespace kvx
