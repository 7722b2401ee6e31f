// Every output of a realistic document, byte for byte: the summary lines, the
// CSV, the overlay's drawing calls and the PDF report.  Work that makes the
// program faster must leave all of them exactly as they were.

#include "measure/computation.h"
#include "output/export/exports.h"
#include "output/overlay/overlay.h"
#include "output/overlay/recording_canvas.h"
#include "output/report/report.h"
#include "interact/commands.h"

#include "realistic.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace kvx {
namespace {

std::uint64_t Fnv1a(const std::string& bytes)
{
    std::uint64_t h = 1469598103934665603ULL;
    for (const unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

class RealisticOutputs : public ::testing::Test {
protected:
    Document doc = test::RealisticDocument();
    TAppSettings settings;
};

TEST_F(RealisticOutputs, SummaryLines)
{
    EXPECT_EQ(SetCalcu(doc, uCommand::Distance),
              "長さ=22,824㎜( ￥41,083 ),  [距離=13㎜,  ΔX=2㎜,  ΔY=13㎜,  ∠-100.915ﾟ]");
    EXPECT_EQ(SetCalcu(doc, uCommand::SpaceAdd),
              "合計面積=295.986㎡( ￥532,774 ),  加算=441.068㎡,  減算=145.083㎡,  [面積=0.869㎡, 周長=3,856㎜]");
}

TEST_F(RealisticOutputs, Csv)
{
    const std::string csv = CsvBytes(doc, true);
    EXPECT_EQ(Fnv1a(csv), 0xe53c50320c8d36f8ULL) << csv.substr(0, 400);
}

TEST_F(RealisticOutputs, OverlayCalls)
{
    RecordingCanvas canvas;
    OverlayContext context;
    context.settings = &settings;
    context.viewWidth = test::kRealisticWidth;
    context.viewHeight = test::kRealisticHeight;
    context.imageWidth = test::kRealisticWidth;
    context.imageHeight = test::kRealisticHeight;
    context.scale = 0.2;
    context.uCommand = uCommand::Distance;
    DrawBase(canvas, doc, context);
    std::string all;
    for (const RecordingCanvas::Call& c : canvas.calls)
        all += std::to_string(static_cast<int>(c.kind)) + " " + std::to_string(c.rect.left) + " " +
               std::to_string(c.rect.top) + " " + std::to_string(c.rect.right) + " " + std::to_string(c.rect.bottom) +
               " " + std::to_string(c.info.PenColor) + " " + std::to_string(c.info.PenWidth) + " " +
               std::to_string(c.info.LineStyle) + " " + c.info.Text + "\n";
    EXPECT_EQ(canvas.calls.size(), 12310u);
    EXPECT_EQ(Fnv1a(all), 0x62af983717590c08ULL);
}

TEST_F(RealisticOutputs, ReportPdf)
{
    const ReportPage page = ReportPageFor(test::kRealisticWidth, test::kRealisticHeight);
    const std::vector<std::uint8_t> rgb(static_cast<std::size_t>(page.W) * static_cast<std::size_t>(page.H) * 3, 200);
    std::ostringstream out;
    int process = 0;
    WriteReport(out, doc, settings, TPDFImage(page.W, page.H, rgb), page, process);
    std::string pdf = out.str();
    // The creation date is the one thing that may differ.
    const std::string date = "/CreationDate (D:";
    const std::size_t at = pdf.find(date);
    ASSERT_NE(at, std::string::npos);
    pdf.replace(at + date.size(), 14, "20000101000000");
    EXPECT_EQ(pdf.size(), 271953u);
    EXPECT_EQ(Fnv1a(pdf), 0xf2f6d49c24b2d589ULL);
}

} // namespace
} // namespace kvx
