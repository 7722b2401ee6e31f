#include "output/export/dxf.h"
#include "output/export/dxf_writer.h"

#include "realistic.h"
#include "scene.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <locale>
#include <memory>
#include <string>

namespace kvx {
namespace {

using test::TempFolder;

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// What dxflib's own file writer makes of the same calls: the bytes every DXF
// was written with before the drawing was kept in memory.
std::string ThroughDxflibFile(const std::function<void(DL_WriterA&)>& write)
{
    TempFolder folder;
    const std::filesystem::path file = folder.path() / "drawing.dxf";
    // dxflib's stream takes the global locale, which writes group code 1040
    // as "1.040" under a German one; the bytes to match are the classic ones.
    const std::locale before = std::locale::global(std::locale::classic());
    struct Restore {
        std::locale locale;
        ~Restore() { std::locale::global(locale); }
    } restore{before};
    {
        DL_Dxf dxf;
        std::unique_ptr<DL_WriterA> dw(dxf.out(file.string().c_str(), DL_Codes::AC1015));
        EXPECT_TRUE(dw);
        if (!dw)
            return {};
        write(*dw);
        dw->close();
    }
    return ReadAll(file);
}

std::string ThroughMemory(const std::function<void(DL_WriterA&)>& write)
{
    DxfMemoryWriter writer;
    write(writer);
    return writer.Take();
}

struct NumberCase {
    const char* name;
    double value;
};

class DxfNumbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(DxfNumbers, AreWrittenAsDxflibWritesThem)
{
    const double v = GetParam().value;
    auto write = [v](DL_WriterA& w) {
        w.dxfReal(10, v);
        w.dxfReal(1040, -v);
        w.dxfInt(5, static_cast<int>(std::fmod(v, 1e9)));
        w.dxfHex(105, static_cast<int>(std::fmod(v, 1e9)));
        w.dxfString(1, "text");
    };
    EXPECT_EQ(ThroughMemory(write), ThroughDxflibFile(write));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DxfNumbers,
    ::testing::Values(NumberCase{"zero", 0.0}, NumberCase{"whole", 1250.0}, NumberCase{"tenth", 0.1},
                      NumberCase{"third", 1.0 / 3.0}, NumberCase{"millimetres", 8123.456789},
                      NumberCase{"tiny", 1e-17}, NumberCase{"below_sixteen_decimals", 4.9e-16},
                      NumberCase{"rounds_up", 0.99999999999999999}, NumberCase{"large", 1.5e15},
                      NumberCase{"huge", 1e200}, NumberCase{"negative", -2.5}, NumberCase{"hex_like", 255.0},
                      NumberCase{"negative_int", -48879.0}),
    [](const ::testing::TestParamInfo<NumberCase>& i) { return std::string(i.param.name); });

// The whole drawing of a busy document (3,000 marks, labels in Japanese, two
// planes) is the drawing dxflib's file writer made, byte for byte.
struct DrawingCase {
    const char* name;
    std::function<Document()> make;
};

class DxfDrawings : public ::testing::TestWithParam<DrawingCase> {};

// The dimension style's handle of its text style (code 340) is a member
// dxflib never sets for a style not named "Standard": whatever its memory
// held, in both writers alike.  It is blanked for the comparison.
std::string WithoutStyleHandle(std::string dxf)
{
    const std::string code = "\n340\n";
    for (std::size_t at = dxf.find(code); at != std::string::npos; at = dxf.find(code, at + 1)) {
        const std::size_t value = at + code.size();
        const std::size_t end = dxf.find('\n', value);
        if (end == std::string::npos)
            break;
        dxf.replace(value, end - value, "?");
    }
    return dxf;
}

TEST_P(DxfDrawings, AreTheBytesDxflibsFileWriterMade)
{
    const Document doc = GetParam().make();
    const std::string bytes = WithoutStyleHandle(DxfBytes(doc));
    ASSERT_GT(bytes.size(), 1000u);
    const std::string expected = WithoutStyleHandle(ThroughDxflibFile([&](DL_WriterA& w) { WriteDxf(doc, w); }));
    // Where they part, not the whole drawings twice over.
    const auto [mine, theirs] = std::mismatch(bytes.begin(), bytes.end(), expected.begin(), expected.end());
    const std::size_t at = static_cast<std::size_t>(mine - bytes.begin());
    const std::size_t from = at > 80 ? at - 80 : 0;
    EXPECT_TRUE(mine == bytes.end() && theirs == expected.end())
        << "first difference at byte " << at << " of " << bytes.size() << " / " << expected.size() << ":\n"
        << bytes.substr(from, 160) << "\n---- dxflib's:\n"
        << expected.substr(from, 160);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, DxfDrawings,
    ::testing::Values(DrawingCase{"realistic", [] { return test::RealisticDocument(); }},
                      DrawingCase{"far_marks_only", [] { return test::RealisticDocument(0, true); }}),
    [](const ::testing::TestParamInfo<DrawingCase>& i) { return std::string(i.param.name); });

} // namespace
} // namespace kvx
