// A replay of hostile inputs through the real loaders: working files, check
// files, the recovery note, the settings and the range meter's files.  Each
// input is one case, made here in code; each must end in a clear refusal or a
// load that leaves only values the program could have made itself.  Run under
// the sanitizers, the same table checks that none of them reads past an end.

#include "le_bytes.h"
#include "base/app_settings.h"
#include "base/recovery_note.h"
#include "measure/workfiles.h"
#include "output/pd25/pd25.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>

namespace kvx {
namespace {

namespace fs = std::filesystem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using test::Bytes;

struct AreaShape {
    std::int32_t group = 1;
    std::int32_t points = 5;
    double slantV = 0;
    double slantH = 0;
    double x = 120;
};

struct PlaneShape {
    std::int32_t version = 3;
    std::int32_t distanceGroup = 2;
    AreaShape area;
    double W = 1500;
};

// A plane file of a reference, one distance and one area.
std::string Plane(const PlaneShape& p = {})
{
    Bytes f;
    f.i32(p.version).u8(1);
    f.pt(100, 100).pt(500, 110).pt(490, 400).pt(110, 390).pt(100, 100);
    f.u8(0).pt(0, 0).pt(0, 0);
    f.u8(0).pt(0, 0).pt(0, 0);
    f.u8(0).pt(100, 100).pt(490, 400);
    f.i32(1).i32(p.distanceGroup).pt(150, 200).pt(300, 210).i32(0).i32(0).u8(0).zeros(3);
    f.pt(0, 0).pt(0, 0).pt(0, 0);
    f.i32(1).i32(p.area.group).u8(1).i32(p.area.points).u8(0).pt(0, 0);
    for (std::int32_t j = 0; j < p.area.points && j < 64; ++j)
        f.pt(j % 2 ? 200 : p.area.x, j % 3 ? 220 : 130).pt(0, 0);
    if (p.version >= 3) {
        f.u8(4).b += "Wall";
        f.zeros(16).f64(p.area.slantV).f64(p.area.slantH);
    }
    f.f64(p.W).f64(750);
    f.i32(0).i32(0).i32(0).i32(0).i32(0).u8(0).u8(0).u8(0);
    return f.b;
}

std::string Junk(std::uint32_t seed, std::size_t size)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random() & 0xFF);
    return out;
}

std::string Cut(std::string s, std::size_t keep)
{
    s.resize(std::min(s.size(), keep));
    return s;
}

enum class Loader { Plane, CrossLine, Checks, Recovery, Settings, Pd25 };
enum class Outcome { Refused, Loads };

struct HostileCase {
    const char* name;
    Loader loader;
    std::function<std::string()> bytes;
    Outcome outcome;
};

// What every loaded plane must hold, whatever the file said.
void ExpectSane(const Document& doc)
{
    for (const TDistance& d : doc.Plane.Distances) {
        EXPECT_GE(d.group, kFirstGroup);
        EXPECT_LE(d.group, kLastGroup);
        EXPECT_TRUE(std::isfinite(d.start.x) && std::isfinite(d.end.y));
    }
    for (const TSpace& s : doc.Plane.Spaces) {
        EXPECT_GE(s.group, kFirstGroup);
        EXPECT_LE(s.group, kLastGroup);
        EXPECT_LE(s.count(), kMaxAreaPoints);
        EXPECT_EQ(s.points.size(), s.correctedPoints.size());
        EXPECT_LE(std::fabs(s.slantV), kMaxSlopeDegrees);
        EXPECT_LE(std::fabs(s.slantH), kMaxSlopeDegrees);
        for (const TDPoint& q : s.points)
            EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y));
    }
    for (const TCheck& c : doc.Plane.Checks)
        EXPECT_TRUE(std::isfinite(c.known) && c.known > 0);
    EXPECT_TRUE(std::isfinite(doc.W()) && std::isfinite(doc.H()));
}

class HostileInputs : public ::testing::TestWithParam<HostileCase> {
protected:
    test::TempFolder folder;
};

TEST_P(HostileInputs, EndInARefusalOrASaneLoad)
{
    const HostileCase& c = GetParam();
    const std::string bytes = c.bytes();
    switch (c.loader) {
    case Loader::Plane:
    case Loader::CrossLine:
    case Loader::Checks: {
        // The other files are whole, so only the one under test can fail.
        test::WriteAll(WorkingFile(folder.path(), 1), c.loader == Loader::Plane ? bytes : Plane());
        if (c.loader == Loader::CrossLine)
            test::WriteAll(WorkingFile(folder.path(), 0), bytes);
        if (c.loader == Loader::Checks)
            test::WriteAll(WorkingFile(folder.path(), CheckFile(1)), bytes);
        Document doc;
        if (c.outcome == Outcome::Refused) {
            try {
                LoadTemp(doc, 1, folder.path());
                ADD_FAILURE() << c.name << ": loaded";
            } catch (const WorkFileReadError& e) {
                EXPECT_NE(std::string(e.what()).find(".tmp"), std::string::npos) << "the message names the file";
            }
        } else {
            EXPECT_TRUE(LoadTemp(doc, 1, folder.path())) << c.name;
        }
        ExpectSane(doc);
        break;
    }
    case Loader::Recovery: {
        test::WriteAll(RecoveryNoteFile(folder.path()), bytes);
        const std::optional<RecoveryNote> note = ReadRecoveryNote(folder.path());
        EXPECT_EQ(note.has_value(), c.outcome == Outcome::Loads) << c.name;
        if (note) {
            EXPECT_GE(note->setting, 1);
            EXPECT_LE(note->setting, 4);
            EXPECT_GE(note->group, 0);
            EXPECT_LE(note->group, 5);
            EXPECT_TRUE(FitsOneIniLine(note->photo));
        }
        break;
    }
    case Loader::Settings: {
        const fs::path ini = folder.path() / "kvx.ini";
        test::WriteAll(ini, bytes);
        const TAppSettings defaults = DefaultSettings("/exe", "/home");
        const TAppSettings s = ReadSettings(ini, defaults);
        // A settings file is never refused as a whole unless it is not one:
        // what cannot be read stays at its default, the rest in its range.
        if (c.outcome == Outcome::Refused) {
            EXPECT_TRUE(s == defaults) << c.name;
        }
        EXPECT_GE(s.DrawTextSize, kDrawTextSizeRange.lower);
        EXPECT_LE(s.DrawTextSize, kDrawTextSizeRange.upper);
        EXPECT_GE(s.PanWindowSize, kPanWindowSizeRange.lower);
        EXPECT_LE(s.PanWindowSize, kPanWindowSizeRange.upper);
        EXPECT_GE(s.LoupeZoom, kLoupeZoomRange.lower);
        EXPECT_LE(s.LoupeZoom, kLoupeZoomRange.upper);
        EXPECT_GE(s.PhotoMegapixelLimit, kPhotoMegapixelsRange.lower);
        EXPECT_LE(s.PhotoMegapixelLimit, kPhotoMegapixelsRange.upper);
        EXPECT_TRUE(std::isfinite(s.ClickSigma));
        break;
    }
    case Loader::Pd25: {
        const fs::path file = folder.path() / "meter.csv";
        test::WriteAll(file, bytes);
        const auto lines = ReadPd25File(file);
        EXPECT_EQ(lines.has_value(), c.outcome == Outcome::Loads) << c.name;
        if (lines)
            for (const std::string& line : *lines)
                (void)Pd25Millimetres(line);  // a value or a refusal, never a crash
        break;
    }
    }
}

std::string Ini(const std::string& body)
{
    return "[DrawText]\r\n" + body;
}

const HostileCase kCases[] = {
    // Plane files.
    {"plane whole", Loader::Plane, [] { return Plane(); }, Outcome::Loads},
    {"plane empty", Loader::Plane, [] { return std::string(); }, Outcome::Refused},
    {"plane version only", Loader::Plane, [] { return Bytes().i32(3).b; }, Outcome::Refused},
    {"plane cut in the reference", Loader::Plane, [] { return Cut(Plane(), 40); }, Outcome::Refused},
    {"plane cut in the area", Loader::Plane, [] { return Cut(Plane(), 330); }, Outcome::Refused},
    {"plane cut before the effects", Loader::Plane, [] { return Cut(Plane(), Plane().size() - 3); }, Outcome::Refused},
    {"plane junk", Loader::Plane, [] { return Bytes().i32(3).b + Junk(1, 4000); }, Outcome::Refused},
    {"plane all 0xFF", Loader::Plane, [] { return Bytes().i32(3).b + std::string(600, '\xFF'); }, Outcome::Refused},
    {"plane unknown version of junk", Loader::Plane, [] { return Junk(2, 700); }, Outcome::Loads},
    {"plane slope 90", Loader::Plane, [] { return Plane({.area = {.slantV = 90}}); }, Outcome::Refused},
    {"plane slope -90", Loader::Plane, [] { return Plane({.area = {.slantH = -90}}); }, Outcome::Refused},
    {"plane slope NaN", Loader::Plane, [] { return Plane({.area = {.slantV = kNaN}}); }, Outcome::Refused},
    {"plane slope infinite", Loader::Plane, [] { return Plane({.area = {.slantH = kInf}}); }, Outcome::Refused},
    {"plane slope 89", Loader::Plane, [] { return Plane({.area = {.slantV = 89, .slantH = -89}}); }, Outcome::Loads},
    {"plane area group 6", Loader::Plane, [] { return Plane({.area = {.group = 6}}); }, Outcome::Refused},
    {"plane area group -1", Loader::Plane, [] { return Plane({.area = {.group = -1}}); }, Outcome::Refused},
    {"plane distance group 6", Loader::Plane, [] { return Plane({.distanceGroup = 6}); }, Outcome::Refused},
    {"plane distance group huge", Loader::Plane, [] { return Plane({.distanceGroup = 0x7FFFFFFF}); }, Outcome::Refused},
    {"plane area of a million points", Loader::Plane, [] { return Plane({.area = {.points = 1'000'000}}); },
     Outcome::Refused},
    {"plane area of negative points", Loader::Plane, [] { return Plane({.area = {.points = -3}}); }, Outcome::Refused},
    {"plane area point huge", Loader::Plane, [] { return Plane({.area = {.x = 1e300}}); }, Outcome::Refused},
    {"plane area point NaN", Loader::Plane, [] { return Plane({.area = {.x = kNaN}}); }, Outcome::Refused},
    {"plane W NaN", Loader::Plane, [] { return Plane({.W = kNaN}); }, Outcome::Refused},
    {"plane W huge", Loader::Plane, [] { return Plane({.W = 1e300}); }, Outcome::Refused},
    {"plane version 2", Loader::Plane, [] { return Plane({.version = 2}); }, Outcome::Loads},
    // Cross-line files.
    {"cross line empty", Loader::CrossLine, [] { return std::string(); }, Outcome::Refused},
    {"cross line cut", Loader::CrossLine, [] { return Bytes().i32(3).u8(1).f64(5).b; }, Outcome::Refused},
    {"cross line NaN", Loader::CrossLine, [] { return Bytes().i32(3).u8(1).pt(kNaN, 1).b; }, Outcome::Refused},
    {"cross line junk", Loader::CrossLine, [] { return Junk(3, 64); }, Outcome::Loads},
    // Check files.
    {"checks whole", Loader::Checks, [] { return std::string("kalvex-checks 1\r\n10 20 30 40 1000\r\n"); }, Outcome::Loads},
    {"checks header only cut", Loader::Checks, [] { return std::string("kalvex-che"); }, Outcome::Refused},
    {"checks NaN", Loader::Checks, [] { return std::string("kalvex-checks 1\r\n10 20 30 40 nan\r\n"); },
     Outcome::Refused},
    {"checks infinite", Loader::Checks, [] { return std::string("kalvex-checks 1\r\n10 20 inf 40 100\r\n"); },
     Outcome::Refused},
    {"checks beyond a double", Loader::Checks, [] { return std::string("kalvex-checks 1\r\n1e400 2 3 4 100\r\n"); },
     Outcome::Refused},
    {"checks huge point", Loader::Checks, [] { return std::string("kalvex-checks 1\r\n1e300 2 3 4 100\r\n"); },
     Outcome::Refused},
    {"checks cut line", Loader::Checks, [] { return std::string("kalvex-checks 1\r\n10 20 30"); }, Outcome::Refused},
    {"checks junk", Loader::Checks, [] { return "kalvex-checks 1\r\n" + Junk(4, 3000); }, Outcome::Refused},
    {"checks oversized", Loader::Checks, [] { return "kalvex-checks 1\r\n" + std::string(2 << 20, ' '); },
     Outcome::Refused},
    // Recovery notes.
    {"note whole", Loader::Recovery,
     [] { return std::string("Kalvex recovery 1\nchecksum=5\nsetting=2\ngroup=3\nphoto=/a.jpg\n"); }, Outcome::Loads},
    {"note cut", Loader::Recovery, [] { return std::string("Kalvex recovery 1\nchecksum=5\nsett"); }, Outcome::Refused},
    {"note setting 9", Loader::Recovery,
     [] { return std::string("Kalvex recovery 1\nchecksum=5\nsetting=9\ngroup=3\nphoto=/a.jpg\n"); }, Outcome::Refused},
    {"note group -1", Loader::Recovery,
     [] { return std::string("Kalvex recovery 1\nchecksum=5\nsetting=1\ngroup=-1\nphoto=/a.jpg\n"); }, Outcome::Refused},
    {"note checksum huge", Loader::Recovery,
     [] { return std::string("Kalvex recovery 1\nchecksum=99999999999\nsetting=1\ngroup=1\nphoto=/a.jpg\n"); },
     Outcome::Refused},
    {"note junk", Loader::Recovery, [] { return Junk(5, 500); }, Outcome::Refused},
    {"note oversized", Loader::Recovery,
     [] { return "Kalvex recovery 1\nchecksum=5\nsetting=1\ngroup=1\nphoto=/" + std::string(1 << 20, 'a') + "\n"; },
     Outcome::Refused},
    // Settings.
    {"settings junk", Loader::Settings, [] { return Junk(6, 5000); }, Outcome::Loads},
    {"settings zero bytes", Loader::Settings, [] { return std::string(300, '\0'); }, Outcome::Loads},
    {"settings oversized", Loader::Settings, [] { return Ini("Size=4\r\n") + std::string(2 << 20, ';'); },
     Outcome::Refused},
    {"settings negative label size", Loader::Settings, [] { return Ini("Size=-12\r\n"); }, Outcome::Loads},
    {"settings huge label size", Loader::Settings, [] { return Ini("Size=2147483647\r\n"); }, Outcome::Loads},
    {"settings label size beyond 32 bits", Loader::Settings, [] { return Ini("Size=99999999999\r\n"); },
     Outcome::Refused},
    {"settings label size NaN", Loader::Settings, [] { return Ini("Size=nan\r\n"); }, Outcome::Refused},
    {"settings hostile numbers", Loader::Settings,
     [] {
         return std::string("[PanWindow]\nSize=-1\n[Loupe]\nZoom=1000\n[Uncertainty]\nClickSigma=1e999\n"
                            "[Photo]\nMegapixelLimit=-5\n");
     },
     Outcome::Loads},
    // The range meter's files.
    {"meter junk", Loader::Pd25, [] { return Junk(7, 20000); }, Outcome::Loads},
    {"meter one long line", Loader::Pd25, [] { return std::string(100000, '9'); }, Outcome::Loads},
    {"meter empty", Loader::Pd25, [] { return std::string(); }, Outcome::Loads},
    {"meter fields of NaN", Loader::Pd25, [] { return std::string("1,2,nan,m,5,6\r\n1,2,1e999,mm\r\n,,,\r\n"); },
     Outcome::Loads},
};

INSTANTIATE_TEST_SUITE_P(Replay, HostileInputs, ::testing::ValuesIn(kCases), [](const auto& tp) {
    std::string name = tp.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

// The label size of a hand-edited file is brought into the dialog's range:
// a negative size hid every label.
TEST(HostileSettings, NumbersOutsideTheirRangeComeBackToItsEnds)
{
    test::TempFolder folder;
    const fs::path ini = folder.path() / "kvx.ini";
    struct Case {
        const char* text;
        std::int32_t expected;
    };
    const Case cases[] = {{"-12", 8}, {"7", 8}, {"8", 8}, {"20", 20}, {"21", 20}, {"2147483647", 20}, {"12", 12}};
    for (const Case& c : cases) {
        test::WriteAll(ini, std::string("[DrawText]\nSize=") + c.text + "\n");
        const TAppSettings s = ReadSettings(ini, DefaultSettings("/exe", "/home"));
        EXPECT_EQ(s.DrawTextSize, c.expected) << c.text;
    }
    test::WriteAll(ini, "[Photo]\nMegapixelLimit=9\n");
    EXPECT_EQ(ReadSettings(ini, DefaultSettings("/exe", "/home")).PhotoMegapixelLimit, 10);
    test::WriteAll(ini, "[Photo]\nMegapixelLimit=1001\n");
    EXPECT_EQ(ReadSettings(ini, DefaultSettings("/exe", "/home")).PhotoMegapixelLimit, 1000);
    test::WriteAll(ini, "[Photo]\nMegapixelLimit=40\n");
    const TAppSettings s = ReadSettings(ini, DefaultSettings("/exe", "/home"));
    EXPECT_EQ(s.PhotoMegapixelLimit, 40);
    EXPECT_EQ(PhotoPixelLimit(s), 40'000'000);
    EXPECT_EQ(DefaultSettings("/exe", "/home").PhotoMegapixelLimit, 250);
    EXPECT_EQ(PhotoPixelLimit(DefaultSettings("/exe", "/home")), 250'000'000);
}

} // namespace
} // namespace kvx
