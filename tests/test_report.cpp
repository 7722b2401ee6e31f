// The report page drawn for a document: what each element looks like on the page.

#include "output/report/report.h"

#include "measure/computation.h"
#include "documents.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <sstream>
#include <string>
#include <vector>

namespace kvx {
namespace {

// The decompressed content stream of the report's page (object 5).
std::string PageContent(const std::string& pdf)
{
    const std::size_t at = pdf.find("5 0 obj\r\n");
    const std::size_t start = pdf.find("stream\r\n", at) + 8;
    const std::size_t end = pdf.find("endstream", start);
    const std::string data = pdf.substr(start, end - start);
    std::string out(1 << 22, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                         static_cast<uLong>(data.size())),
              Z_OK);
    out.resize(size);
    return out;
}

// The dash pattern in force at each stroke of the page, in drawing order.
std::vector<std::string> DashAtEachStroke(const std::string& content)
{
    std::vector<std::string> out;
    std::string dash = "[]0 d";  // a page starts solid
    std::size_t from = 0;
    while (from < content.size()) {
        std::size_t to = content.find('\r', from);
        if (to == std::string::npos)
            to = content.size();
        const std::string line = content.substr(from, to - from);
        if (line.size() > 2 && line.compare(line.size() - 2, 2, " d") == 0 && line[0] == '[')
            dash = line;
        else if (line == "S")
            out.push_back(dash);
        from = to + 1;
    }
    return out;
}

std::string Report(Document& doc)
{
    const TAppSettings settings;
    const ReportPage page = ReportPageFor(1000, 800);
    const std::vector<std::uint8_t> rgb(static_cast<std::size_t>(page.W) * static_cast<std::size_t>(page.H) * 3, 200);
    std::ostringstream out;
    int process = 0;
    WriteReport(out, doc, settings, TPDFImage(page.W, page.H, rgb), page, process);
    return PageContent(out.str());
}

TDistance Segment(TDPoint a, TDPoint b)
{
    TDistance d;
    d.start = a;
    d.end = b;
    return d;
}

TEST(Report, EachPlaneOfTwoDrawsItsPlainLinesSolid)
{
    Document doc;
    test::TwoPlanes(doc);
    doc.View.BaseView = false;
    doc.View.TextView = false;
    // The left plane (current) holds a corrected distance, the right one a plain one.
    TDistance corrected = Segment({300, 350}, {420, 360});
    corrected.corrected = 1;
    corrected.correctionRef = {450, 300};
    doc.Plane.Distances.Append(corrected);
    CalcuDistanceHosei(doc);
    ASSERT_TRUE(CorrectionInForce(doc, 1)) << "the first plane's distance is drawn as corrected";
    doc.ParkedPlane.Distances.Append(Segment({600, 350}, {700, 380}));

    const std::vector<std::string> dashes = DashAtEachStroke(Report(doc));
    // A distance is its line and two end circles of four arcs each.
    ASSERT_EQ(dashes.size(), 18u);
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(dashes[i], "[10 3]0 d") << "stroke " << i << " of the corrected distance";
    for (std::size_t i = 9; i < 18; ++i)
        EXPECT_EQ(dashes[i], "[]0 d") << "stroke " << i << " of the other plane's plain distance";
}

} // namespace
} // namespace kvx
