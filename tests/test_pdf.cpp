#include "output/pdf/pdf_maker.h"

#include "measure/cp932.h"
#include "workfolder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <regex>
#include <sstream>

namespace kvx {
namespace {

std::string Write(TPDFMaker& maker)
{
    std::ostringstream out;
    maker.BeginDoc(&out);
    maker.EndDoc();
    return out.str();
}

// The decompressed content stream of the first page (object 5).
std::string PageContent(const std::string& pdf)
{
    const std::string marker = "5 0 obj\r\n";
    const auto at = pdf.find(marker);
    const auto start = pdf.find("stream\r\n", at) + 8;
    const auto end = pdf.find("endstream", start);
    const std::string data = pdf.substr(start, end - start);
    std::string out(1 << 20, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                         static_cast<uLong>(data.size())),
              Z_OK);
    out.resize(size);
    return out;
}

std::string WithContent(const std::function<void(TPDFMaker&)>& draw)
{
    TPDFMaker maker;
    std::ostringstream out;
    maker.BeginDoc(&out);
    draw(maker);
    maker.EndDoc();
    return out.str();
}

TEST(PdfWriter, EmptyDocumentHasFiveObjects)
{
    TPDFMaker maker;
    const std::string pdf = Write(maker);
    EXPECT_EQ(pdf.rfind("%PDF-1.4 \r\n", 0), 0u);
    EXPECT_NE(pdf.find("5 0 obj\r\n"), std::string::npos);
    EXPECT_EQ(pdf.find("6 0 obj"), std::string::npos);
    EXPECT_NE(pdf.find("xref\r\n0 6\r\n0000000000 65535 f\r\n"), std::string::npos);
    EXPECT_NE(pdf.find("trailer\r\n<<\r\n/Size 6\r\n/Root 1 0 R\r\n/Info 3 0 R\r\n>>\r\nstartxref\r\n"),
              std::string::npos);
    EXPECT_NE(pdf.find("/ProcSet [ /PDF ]"), std::string::npos);
    EXPECT_NE(pdf.find("1 0 obj\r\n<<\r\n/Type /Catalog\r\n/Pages 2 0 R\r\n/Lang (ja-JP)\r\n>>\r\nendobj\r\n"), std::string::npos);
    EXPECT_NE(pdf.find("/Kids [4 0 R ]\r\n/Count 1\r\n/Type /Pages\r\n/MediaBox [ 0 0 596 842 ]"), std::string::npos);
    EXPECT_NE(pdf.find("/Title <FEFF>"), std::string::npos) << "an empty title";
    EXPECT_EQ(pdf.find("/Lang"), pdf.rfind("/Lang")) << "the language is stated once";
    EXPECT_NE(pdf.find("/Producer (ZAN PDF 0.9)"), std::string::npos);
    EXPECT_EQ(pdf.substr(pdf.size() - 7), "%%EOF\r\n");
}

TEST(PdfWriter, XrefOffsetsPointAtTheObjects)
{
    const std::string pdf = WithContent([](TPDFMaker& m) {
        m.Contents().FontIndex = 7;
        m.Contents().TextOut("面積", 10, 10, 0);
        m.AddImage(TPDFImage(2, 1, {255, 0, 0, 0, 0, 255}));
        m.Contents().DrawImage(0, 0, 0, 2, 1, 0);
    });
    const auto xref = pdf.find("xref\r\n");
    const auto startxref = pdf.find("startxref\r\n");
    EXPECT_EQ(std::stoull(pdf.substr(startxref + 11)), xref);
    std::istringstream table(pdf.substr(xref));
    std::string line;
    std::getline(table, line);
    std::getline(table, line);
    const int count = std::stoi(line.substr(2));
    std::getline(table, line);
    for (int n = 1; n < count; ++n) {
        std::getline(table, line);
        const auto offset = std::stoull(line.substr(0, 10));
        EXPECT_EQ(pdf.compare(offset, std::to_string(n).size() + 6, std::to_string(n) + " 0 obj"), 0) << n;
        EXPECT_EQ(line.substr(10), " 00000 n\r");
    }
    EXPECT_EQ(count, 10) << "five, the font's three, the image";
}

TEST(PdfWriter, StringsLiteralOrHex)
{
    const std::string pdf = WithContent([](TPDFMaker& m) {
        m.Contents().TextOut("(a)\\b", 1, 2, 0);
        m.Contents().FontIndex = 7;
        m.Contents().TextOut("外壁", 1, 2, 0);
    });
    const std::string content = PageContent(pdf);
    EXPECT_NE(content.find("(\\(a\\)\\\\b) Tj\r"), std::string::npos) << content;
    const std::string bytes = Utf8ToCp932("外壁");
    char hex[16];
    std::snprintf(hex, sizeof hex, "<%02X%02X%02X%02X> Tj", static_cast<unsigned char>(bytes[0]),
                  static_cast<unsigned char>(bytes[1]), static_cast<unsigned char>(bytes[2]),
                  static_cast<unsigned char>(bytes[3]));
    EXPECT_NE(content.find(hex), std::string::npos) << content;
    EXPECT_NE(content.find("BT\r/F0 10 Tf\r0 0 0 rg \r0 TL\r0 Tc\r0 Tw\r1 0 0 1 1 2 Tm\r"), std::string::npos);
}

TEST(PdfWriter, FontSevenOnceWithItsThreeObjects)
{
    const std::string pdf = WithContent([](TPDFMaker& m) {
        m.Contents().FontIndex = 7;
        m.Contents().TextOut("a", 0, 0, 0);
        m.Contents().TextOut("b", 0, 0, 0);
    });
    EXPECT_NE(pdf.find("6 0 obj\r\n<<\r\n/Type /Font\r\n/Name /F0\r\n/Subtype /Type0\r\n/BaseFont "
                       "/#82#6C#82#72#20#83#53#83#56#83#62#83#4E\r\n/Encoding /90msp-RKSJ-H\r\n/DescendantFonts [7 0 R]"),
              std::string::npos);
    EXPECT_NE(pdf.find("7 0 obj\r\n<<\r\n/Type /Font\r\n/Name /F0\r\n/Subtype /CIDFontType2"), std::string::npos);
    EXPECT_NE(pdf.find("/W [\r\n1 [ 479"), std::string::npos);
    EXPECT_NE(pdf.find("326 [ 958 479"), std::string::npos);
    EXPECT_NE(pdf.find("479 \r\n]\r\n631 631 479\r\n]\r\n"), std::string::npos);
    EXPECT_NE(pdf.find("8 0 obj\r\n<<\r\n/Type /FontDescriptor\r\n/FontName /#82#6C"), std::string::npos);
    EXPECT_NE(pdf.find("/Flags 4\r\n/FontBBox [ -143 -143 1015 872 ]\r\n/StemV 78"), std::string::npos);
    EXPECT_EQ(pdf.find("9 0 obj"), std::string::npos);
    EXPECT_NE(pdf.find("/Font <<\r\n/F0 6 0 R\r\n>>"), std::string::npos);
    EXPECT_NE(pdf.find("/ProcSet [ /PDF /Text ]"), std::string::npos);
}

TEST(PdfWriter, LinesDashesAndNumbers)
{
    const std::string pdf = WithContent([](TPDFMaker& m) {
        TPDFContents& c = m.Contents();
        c.SetDash(3, 0, 0);
        c.SetDash(10, 3, 0);
        c.SetDash(0, 0, 0);
        c.SetLineWidth(0);
        c.LineColor = 0xFF0000;  // blue
        c.DrawLine(1.5, 2, 12.345678, 842.0);
        c.SetLineWidth(0.5);
        c.DrawCurve(0, 0, 1, 1, 2, 2, 3, 3);
    });
    const std::string content = PageContent(pdf);
    EXPECT_NE(content.find("[3 ]0 d\r[10 3]0 d\r[]0 d\r"), std::string::npos) << content;
    EXPECT_NE(content.find("0 J\r0 0 1 RG \r1 w\r1.5 2 m\r12.3457 842 l\rS\r"), std::string::npos) << content;
    EXPECT_NE(content.find("0.5 w\r0 0 m\r1 1 2 2 3 3 c\rS\r"), std::string::npos) << content;
    EXPECT_EQ(FormatNumber(12.345678), "12.3457");
    EXPECT_EQ(FormatNumber(842.0), "842");
    EXPECT_EQ(FormatNumber(0.5), "0.5");
    EXPECT_EQ(FormatNumber(0.00004), "0");
}

TEST(PdfWriter, NumbersNeverHaveAnExponentOrNaN)
{
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {std::numeric_limits<double>::quiet_NaN(), "0"},
        {std::numeric_limits<double>::infinity(), "32767"},
        {-std::numeric_limits<double>::infinity(), "-32767"},
        {1.98e20, "32767"},
        {-1.98e20, "-32767"},
        {32767.00004, "32767"},
        {1e15, "32767"},
        {0.0001, "0.0001"},
        {1e-9, "0"},
        {12345.6789, "12345.6789"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatNumber(c.value), c.text) << c.value;

    // A line to a damaged point still leaves operators a reader takes.
    const std::string content = PageContent(WithContent([](TPDFMaker& m) {
        m.Contents().DrawLine(std::numeric_limits<double>::quiet_NaN(), 1.98e20, 10, 20);
    }));
    EXPECT_NE(content.find("0 32767 m\r10 20 l\r"), std::string::npos) << content;
    EXPECT_EQ(content.find_first_of("EN"), std::string::npos) << content;
}

TEST(PdfWriter, EveryErrorText)
{
    auto message = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const PdfError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    TPDFMaker m;
    EXPECT_EQ(message([&] { m.BeginDoc(nullptr); }), "Invarid Stream");
    EXPECT_EQ(message([&] { m.Contents(); }), "BeginDocが呼び出されていません");
    std::ostringstream out;
    m.BeginDoc(&out);
    EXPECT_EQ(message([&] { m.SetPageWidth(100); }), "出力中はサイズ変更はできません。");
    EXPECT_EQ(message([&] { m.Contents().DrawImage(0, 0, 0, 1, 1, 0); }), "無効なXObjectID");
    m.Contents().FontIndex = 12;
    EXPECT_EQ(message([&] { m.Contents().TextOut("x", 0, 0, 0); }), "このフォントは現在サポートされていません (12)");
    m.AddImage(TPDFImage());
    EXPECT_EQ(message([&] { m.EndDoc(); }), "不正なイメージデータです．");
}

TEST(PdfWriter, DocumentStringsArePlainUtf16)
{
    EXPECT_EQ(EncodeTextString("KalvexＰＤＦ"), "FEFF004B0061006C007600650078FF30FF24FF26");
}

// What a poppler-based viewer shows as the document's title and author.
TEST(PdfWriter, ViewersShowTheDocumentStringsAsWritten)
{
    if (std::system("command -v pdfinfo >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "poppler-utils is installed by make deps";
    test::TempFolder folder;
    const auto path = folder.path() / "strings.pdf";
    const auto info = folder.path() / "info.txt";
    test::WriteAll(path, WithContent([](TPDFMaker& m) {
        m.Title = "KalvexＰＤＦ";
        m.Author = "測量 太郎";
    }));
    const std::string command = "pdfinfo -enc UTF-8 '" + path.string() + "' >'" + info.string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = test::ReadAll(info);
    EXPECT_TRUE(std::regex_search(text, std::regex("(^|\n)Title: +KalvexＰＤＦ\n"))) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("(^|\n)Author: +測量 太郎\n"))) << text;
}

TEST(PdfWriter, PassesQpdfCheck)
{
    if (std::system("command -v qpdf >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "qpdf is installed by make deps";
    test::TempFolder folder;
    const auto path = folder.path() / "check.pdf";
    std::vector<std::uint8_t> rgb(20 * 10 * 3, 128);
    const std::string pdf = WithContent([&](TPDFMaker& m) {
        m.Title = "KalvexＰＤＦ";
        m.AddImage(TPDFImage(20, 10, rgb));
        m.Contents().DrawImage(0, 10, 10, 200, 100, 0);
        m.Contents().DrawLine(0, 0, 100, 100);
        m.Contents().FontIndex = 7;
        m.Contents().SetFontSize(12);
        m.Contents().TextOut("1.234㎡(5,000)", 50, 50, 0);
        m.Contents().FontIndex = 2;
        m.Contents().TextOut("Arial", 50, 70, 0.5);
    });
    test::WriteAll(path, pdf);
    const std::string command = "qpdf --check '" + path.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

// A number as pdftotext writes it, whatever the locale.
double Number(const std::string& text)
{
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

TEST(PdfWriter, LinesOfOneTextStepDown)
{
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdftotext is installed by make deps";
    test::TempFolder folder;
    const auto path = folder.path() / "lines.pdf";
    const auto boxes = folder.path() / "lines.html";
    test::WriteAll(path, WithContent([](TPDFMaker& m) {
        m.Contents().FontIndex = 7;
        m.Contents().SetFontSize(12);
        m.Contents().TextOut("upper\rlower", 100, 400, 0);
    }));
    const std::string command = "pdftotext -bbox '" + path.string() + "' '" + boxes.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(boxes);
    const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Each word's box as the viewer lays it out: the second line below the first.
    std::map<std::string, std::pair<double, double>> rows;  // word: yMin, yMax
    const std::regex word(R"re(yMin="([0-9.]+)" xMax="[0-9.]+" yMax="([0-9.]+)">(\w+)<)re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it)
        rows[(*it)[3]] = {Number((*it)[1]), Number((*it)[2])};
    ASSERT_EQ(rows.count("upper"), 1u) << html;
    ASSERT_EQ(rows.count("lower"), 1u) << html;
    EXPECT_GE(rows["lower"].first, rows["upper"].second - 0.5) << "the lines overprint";
    EXPECT_LE(rows["lower"].first - rows["upper"].first, 2 * 12.0) << "but stay one under the other";
}

} // namespace
} // namespace kvx
