// A photo's lens choice in its side file and camera profiles: exact round
// trips, the text as written, and damaged, cut, huge and hostile files, each
// told by its code and never a crash.

#include "measure/lens_file.h"

#include "workfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace kvx {
namespace {

namespace fs = std::filesystem;

LensChoice EdgesChoice()
{
    LensChoice c;
    c.kind = LensChoiceKind::Edges;
    c.model = LensModel::Division(-0.123456789012345, 4000, 3000);
    c.edges = {{{0.1 + 0.2, 1.0 / 3}, {1999.5, 2.25}, {3999.9999, 7e-7}},
               {{12, 2900}, {13.5, 1500.125}, {14, 100}, {-0.0, 3000}}};
    return c;
}

BrownConrady SomeBrown()
{
    return BrownConrady{3012.25, 3010.0000001, 1999.5, 1499.5, -0.2, 0.05, 1e-4, -2.5e-5, -0.0123};
}

LensChoice ProfileChoice()
{
    LensChoice c;
    c.kind = LensChoiceKind::Profile;
    c.profileName = "Canon EOS 6D 24 mm 5472x3648";
    c.model = LensModel::Brown(SomeBrown());
    return c;
}

CameraProfile SomeProfile()
{
    CameraProfile p;
    p.camera = {"Canon", "Canon EOS 6D", 24, 5472, 3648};
    p.lens = LensModel::Brown(SomeBrown());
    p.rms = 0.2731;
    return p;
}

TEST(LensFile, RoundTripsExactly)
{
    const LensChoice none;
    // Edges that tell no lens yet: one edge, or edges whose fit was refused.
    LensChoice untold = EdgesChoice();
    untold.model = {};
    for (const LensChoice& c : {none, EdgesChoice(), ProfileChoice(), untold}) {
        const LensChoiceRead back = DecodeLensChoice(EncodeLensChoice(c));
        ASSERT_TRUE(back) << static_cast<int>(back.error) << " line " << back.line;
        EXPECT_EQ(back.choice, c);
    }
}

TEST(LensFile, ReadableText)
{
    LensChoice c;
    c.kind = LensChoiceKind::Edges;
    c.model = LensModel::Division(-0.1, 4000, 3000);
    c.edges = {{{1, 2}, {3.5, 4}, {5, 6.25}}, {{7, 8}, {9, 10}, {11, 12}}};
    EXPECT_EQ(EncodeLensChoice(c), "kalvex-lens 1\r\nchoice edges\r\nmodel division -0.1 4000 3000\r\nedges 2\r\n"
                                   "edge 3 1 2 3.5 4 5 6.25\r\nedge 3 7 8 9 10 11 12\r\n");
    EXPECT_EQ(EncodeLensChoice(LensChoice{}), "kalvex-lens 1\r\nchoice none\r\nmodel none\r\n");
    EXPECT_EQ(EncodeLensChoice(ProfileChoice()),
              "kalvex-lens 1\r\nchoice profile Canon EOS 6D 24 mm 5472x3648\r\n"
              "model brown-conrady 3012.25 3010.0000001 1999.5 1499.5 -0.2 0.05 1e-04 -2.5e-05 -0.0123\r\n");
}

// A name with a line break in it would end its record: it is written with a space.
TEST(LensFile, NamesKeepToOneLine)
{
    LensChoice c = ProfileChoice();
    c.profileName = "Two\r\nlines";
    const LensChoiceRead back = DecodeLensChoice(EncodeLensChoice(c));
    ASSERT_TRUE(back);
    EXPECT_EQ(back.choice.profileName, "Two  lines");
    c.profileName = std::string(kMaxLensText + 10, 'x');
    EXPECT_EQ(DecodeLensChoice(EncodeLensChoice(c)).choice.profileName.size(), kMaxLensText);
}

std::string Edges(int edges, int points)
{
    std::string out = "kalvex-lens 1\r\nchoice edges\r\nmodel division -0.1 4000 3000\r\nedges " + std::to_string(edges) +
                      "\r\n";
    for (int e = 0; e < edges; ++e) {
        out += "edge " + std::to_string(points);
        for (int i = 0; i < points; ++i)
            out += " " + std::to_string(i) + " " + std::to_string(e);
        out += "\r\n";
    }
    return out;
}

TEST(LensFile, DamageIsToldByItsCode)
{
    const std::string head = "kalvex-lens 1\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        LensFileError error;
    } const cases[] = {
        {"empty", "", LensFileError::Truncated},
        {"a header without its end", "kalvex-lens 1", LensFileError::Truncated},
        {"the header alone", head, LensFileError::Truncated},
        {"another version", "kalvex-lens 2\r\nchoice none\r\nmodel none\r\n", LensFileError::UnknownVersion},
        {"another version without its end", "kalvex-lens 10", LensFileError::UnknownVersion},
        {"a check file", "kalvex-checks 1\r\n1 2 3 4 5\r\n", LensFileError::NotALensFile},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0", 10), LensFileError::NotALensFile},
        {"an unknown choice", head + "choice magic\r\nmodel none\r\n", LensFileError::Damaged},
        {"an unknown model", head + "choice edges\r\nmodel fisheye 1\r\n", LensFileError::Damaged},
        {"a model of too few numbers", head + "choice edges\r\nmodel division -0.1 4000\r\n", LensFileError::Damaged},
        {"a decimal comma", head + "choice edges\r\nmodel division -0,1 4000 3000\r\n", LensFileError::NotANumber},
        {"a word for a number", head + "choice edges\r\nmodel division minus 4000 3000\r\n", LensFileError::NotANumber},
        {"two spaces", head + "choice edges\r\nmodel division  -0.1 4000 3000\r\n", LensFileError::Damaged},
        {"not a number", head + "choice edges\r\nmodel division nan 4000 3000\r\n", LensFileError::NotFinite},
        {"infinity", head + "choice profile P\r\nmodel brown-conrady inf 1 1 1 0 0 0 0 0\r\n", LensFileError::NotFinite},
        {"beyond double", head + "choice edges\r\nmodel division 1e999 4000 3000\r\n", LensFileError::NotFinite},
        {"k of 1", head + "choice edges\r\nmodel division 1 4000 3000\r\nedges 0\r\n", LensFileError::BadValue},
        {"a photo of no width", head + "choice edges\r\nmodel division 0.1 0 3000\r\nedges 0\r\n", LensFileError::BadValue},
        {"a negative focal length", head + "choice profile P\r\nmodel brown-conrady -3000 3000 1 1 0 0 0 0 0\r\n",
         LensFileError::BadValue},
        {"a coefficient of nonsense", head + "choice profile P\r\nmodel brown-conrady 3000 3000 1 1 1e7 0 0 0 0\r\n",
         LensFileError::BadValue},
        {"edges with a Brown-Conrady model", head + "choice edges\r\nmodel brown-conrady 3000 3000 1 1 0 0 0 0 0\r\n",
         LensFileError::BadValue},
        {"no correction with a model", head + "choice none\r\nmodel division 0.1 4000 3000\r\n", LensFileError::BadValue},
        {"a profile without a name", head + "choice profile \r\nmodel division 0.1 4000 3000\r\n", LensFileError::BadValue},
        {"a profile name with a tab", head + "choice profile A\tB\r\nmodel division 0.1 4000 3000\r\n",
         LensFileError::BadValue},
        {"no edge count", head + "choice edges\r\nmodel division 0.1 4000 3000\r\n", LensFileError::Truncated},
        {"an edge missing", Edges(2, 3).substr(0, Edges(2, 3).rfind("edge 3")), LensFileError::Truncated},
        {"a cut number", Edges(2, 3).substr(0, Edges(2, 3).size() - 3), LensFileError::Truncated},
        {"an edge count of a fraction", head + "choice edges\r\nmodel division 0.1 4000 3000\r\nedges 1.5\r\n",
         LensFileError::Damaged},
        {"a negative edge count", head + "choice edges\r\nmodel division 0.1 4000 3000\r\nedges -1\r\n",
         LensFileError::Damaged},
        {"an absurd edge count", head + "choice edges\r\nmodel division 0.1 4000 3000\r\nedges 1e300\r\n",
         LensFileError::AbsurdCount},
        {"an absurd point count", head + "choice edges\r\nmodel division 0.1 4000 3000\r\nedges 1\r\nedge 99999999 1 2\r\n",
         LensFileError::AbsurdCount},
        {"fewer points than counted", head + "choice edges\r\nmodel division 0.1 4000 3000\r\nedges 1\r\nedge 3 1 2 3 4\r\n",
         LensFileError::Damaged},
        {"a point far off any photo", head + "choice edges\r\nmodel division 0.1 4000 3000\r\nedges 1\r\nedge 1 1e9 2\r\n",
         LensFileError::BadValue},
        {"a line after the end", head + "choice none\r\nmodel none\r\nmore\r\n", LensFileError::Damaged},
        {"more edges than counted", Edges(1, 3) + "edge 3 1 2 3 4 5 6\r\n", LensFileError::Damaged},
        {"the most edges", Edges(kMaxFileEdges, 3), LensFileError::None},
        {"one edge too many", Edges(kMaxFileEdges + 1, 3), LensFileError::AbsurdCount},
        {"the most points", Edges(2, kMaxFileEdgePoints), LensFileError::None},
        {"one point too many", Edges(2, kMaxFileEdgePoints + 1), LensFileError::AbsurdCount},
        {"empty lines at the end", head + "choice none\r\nmodel none\r\n\r\n\r\n", LensFileError::None},
        {"lines ended by LF alone", "kalvex-lens 1\nchoice none\nmodel none\n", LensFileError::None},
        {"larger than any real one", head + "choice none\r\nmodel none\r\n" + std::string(kMaxLensFileBytes, '\n'),
         LensFileError::Oversize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const LensChoiceRead read = DecodeLensChoice(c.bytes);
        EXPECT_EQ(read.error, c.error) << "line " << read.line;
        if (c.error != LensFileError::None) {
            EXPECT_EQ(read.choice, LensChoice{}) << "nothing half read is handed on";
        }
    }
}

// Every file cut short anywhere is told as such, never read as another choice.
TEST(LensFile, EveryCutIsTold)
{
    for (const LensChoice& c : {EdgesChoice(), ProfileChoice(), LensChoice{}}) {
        const std::string bytes = EncodeLensChoice(c);
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            const LensChoiceRead read = DecodeLensChoice(std::string_view(bytes).substr(0, n));
            EXPECT_EQ(read.error, LensFileError::Truncated) << "cut at " << n;
        }
    }
}

struct Folder {
    test::TempFolder folder;
    fs::path Write(const std::string& name, const std::string& bytes)
    {
        const fs::path p = folder.path() / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
};

TEST(LensFile, ReadFromDisk)
{
    Folder f;
    const fs::path good = f.folder.path() / "photo.lens";
    ASSERT_TRUE(WriteLensChoice(good, EdgesChoice()));
    EXPECT_EQ(ReadLensChoice(good).choice, EdgesChoice());
    EXPECT_EQ(ReadLensChoice(f.folder.path() / "none.lens").error, LensFileError::Missing);
    EXPECT_EQ(ReadLensChoice(f.folder.path()).error, LensFileError::Unreadable);
    // A pipe never ends: it must not be read at all.
    const fs::path fifo = f.folder.path() / "pipe.lens";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadLensChoice(fifo).error, LensFileError::Unreadable);
    // Exactly the largest size read, one byte more refused unread.
    const std::string valid = "kalvex-lens 1\r\nchoice none\r\nmodel none\r\n";
    const std::string largest = valid + std::string(kMaxLensFileBytes - valid.size(), '\n');
    EXPECT_EQ(ReadLensChoice(f.Write("largest.lens", largest)).error, LensFileError::None);
    EXPECT_EQ(ReadLensChoice(f.Write("larger.lens", largest + "\n")).error, LensFileError::Oversize);
    EXPECT_FALSE(WriteLensChoice(f.folder.path() / "no such folder" / "photo.lens", EdgesChoice()));
}

// What would not read back exactly is never written, and the file that
// stood there stays.
TEST(LensFile, NothingWrittenThatWouldNotReadBack)
{
    Folder f;
    const fs::path path = f.folder.path() / "photo.lens";
    ASSERT_TRUE(WriteLensChoice(path, EdgesChoice()));
    LensChoice broken = EdgesChoice();
    broken.model.k = std::nan("");
    LensChoice renamed = ProfileChoice();
    renamed.profileName = "line\nbreak";
    renamed.profileName[4] = '\n';
    LensChoice mismatched = EdgesChoice();
    mismatched.model = LensModel::Brown(SomeBrown());
    for (const LensChoice& c : {broken, renamed, mismatched}) {
        EXPECT_FALSE(WriteLensChoice(path, c));
        EXPECT_EQ(ReadLensChoice(path).choice, EdgesChoice());
    }
    CameraProfile profile = SomeProfile();
    profile.camera.focal = -1;
    EXPECT_FALSE(WriteCameraProfile(f.folder.path() / "camera.profile", profile));
    EXPECT_EQ(ReadCameraProfile(f.folder.path() / "camera.profile").error, LensFileError::Missing);
}

TEST(CameraProfile, RoundTripsExactly)
{
    CameraProfile division = SomeProfile();
    division.lens = LensModel::Division(-0.0731, 5472, 3648);
    division.rms = 0;
    for (const CameraProfile& p : {SomeProfile(), division}) {
        const CameraProfileRead back = DecodeCameraProfile(EncodeCameraProfile(p));
        ASSERT_TRUE(back) << static_cast<int>(back.error) << " line " << back.line;
        EXPECT_EQ(back.profile, p);
    }
    EXPECT_EQ(EncodeCameraProfile(SomeProfile()),
              "kalvex-camera 1\r\nmake Canon\r\nmodel Canon EOS 6D\r\nfocal 24\r\nsize 5472 3648\r\n"
              "lens brown-conrady 3012.25 3010.0000001 1999.5 1499.5 -0.2 0.05 1e-04 -2.5e-05 -0.0123\r\n"
              "rms 0.2731\r\n");
}

// A profile that tells its k's standard deviation keeps it in a line of its
// own after rms; the profiles written before that line was known (and a
// profile that tells none) read as they always did, with no uncertainty.
TEST(CameraProfile, KUncertaintyIsAnOptionalLastLine)
{
    CameraProfile told = SomeProfile();
    told.kUncertainty = 0.0012345678901234;
    const std::string bytes = EncodeCameraProfile(told);
    EXPECT_TRUE(bytes.ends_with("rms 0.2731\r\nk-sd 0.0012345678901234\r\n")) << bytes;
    const CameraProfileRead back = DecodeCameraProfile(bytes);
    ASSERT_TRUE(back) << static_cast<int>(back.error) << " line " << back.line;
    EXPECT_EQ(back.profile, told);

    // As a profile was written before: no k-sd line, with and without empty lines after it.
    const std::string old = "kalvex-camera 1\r\nmake Canon\r\nmodel Canon EOS 6D\r\nfocal 24\r\nsize 5472 3648\r\n"
                            "lens brown-conrady 3012.25 3010.0000001 1999.5 1499.5 -0.2 0.05 1e-04 -2.5e-05 -0.0123\r\n"
                            "rms 0.2731\r\n";
    for (const std::string& bytesOfOld : {old, old + "\r\n\r\n", old + "\n"}) {
        const CameraProfileRead read = DecodeCameraProfile(bytesOfOld);
        ASSERT_TRUE(read) << static_cast<int>(read.error) << " line " << read.line;
        EXPECT_EQ(read.profile, SomeProfile());
        EXPECT_EQ(read.profile.kUncertainty, 0.0);
    }
    EXPECT_EQ(EncodeCameraProfile(SomeProfile()), old) << "a profile without one is written as before";

    struct Case {
        const char* what;
        std::string bytes;
        LensFileError error;
        int line;
    } const cases[] = {
        {"zero", old + "k-sd 0\r\n", LensFileError::None, 0},
        {"the largest", old + "k-sd 1000000\r\n", LensFileError::None, 0},
        {"beyond the largest", old + "k-sd 1000000.1\r\n", LensFileError::BadValue, 8},
        {"negative", old + "k-sd -0.001\r\n", LensFileError::BadValue, 8},
        {"not finite", old + "k-sd nan\r\n", LensFileError::NotFinite, 8},
        {"words", old + "k-sd small\r\n", LensFileError::NotANumber, 8},
        {"a decimal comma", old + "k-sd 0,001\r\n", LensFileError::NotANumber, 8},
        {"no number", old + "k-sd\r\n", LensFileError::Damaged, 8},
        {"two numbers", old + "k-sd 0.1 0.2\r\n", LensFileError::Damaged, 8},
        {"another record", old + "sd 0.001\r\n", LensFileError::Damaged, 8},
        {"cut in the line", old + "k-sd 0.00", LensFileError::Truncated, 8},
        {"a line after it", old + "k-sd 0.001\r\nextra\r\n", LensFileError::Damaged, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CameraProfileRead read = DecodeCameraProfile(c.bytes);
        EXPECT_EQ(read.error, c.error);
        EXPECT_EQ(read.line, c.line);
    }

    Folder f;
    const fs::path path = f.folder.path() / "camera.kvxcam";
    ASSERT_TRUE(WriteCameraProfile(path, told));
    EXPECT_EQ(ReadCameraProfile(path).profile, told);
    CameraProfile absurd = told;
    absurd.kUncertainty = -1;
    EXPECT_FALSE(WriteCameraProfile(path, absurd));
    EXPECT_EQ(ReadCameraProfile(path).profile, told) << "the profile that stood there stays";
}

// A photo's choice of a profile keeps the profile's k uncertainty; a choice
// without one is written byte for byte as before.
TEST(LensFile, ProfileChoiceKeepsItsKUncertainty)
{
    const std::string plain = EncodeLensChoice(ProfileChoice());
    EXPECT_EQ(plain, "kalvex-lens 1\r\nchoice profile Canon EOS 6D 24 mm 5472x3648\r\n"
                     "model brown-conrady 3012.25 3010.0000001 1999.5 1499.5 -0.2 0.05 1e-04 -2.5e-05 -0.0123\r\n");
    LensChoice told = ProfileChoice();
    told.kUncertainty = 0.004;
    const std::string bytes = EncodeLensChoice(told);
    EXPECT_EQ(bytes, plain + "k-sd 0.004\r\n");
    const LensChoiceRead back = DecodeLensChoice(bytes);
    ASSERT_TRUE(back) << static_cast<int>(back.error) << " line " << back.line;
    EXPECT_EQ(back.choice, told);
    EXPECT_EQ(DecodeLensChoice(plain).choice, ProfileChoice());
    // Only a profile's choice has one: after edges or no choice it is a stranger.
    EXPECT_EQ(DecodeLensChoice(EncodeLensChoice(EdgesChoice()) + "k-sd 0.004\r\n").error, LensFileError::Damaged);
    EXPECT_EQ(DecodeLensChoice(EncodeLensChoice(LensChoice{}) + "k-sd 0.004\r\n").error, LensFileError::Damaged);
    EXPECT_EQ(DecodeLensChoice(plain + "k-sd -1\r\n").error, LensFileError::BadValue);
    EXPECT_EQ(DecodeLensChoice(plain + "k-sd 0.0").error, LensFileError::Truncated);
}

TEST(CameraProfile, DamageIsToldByItsCode)
{
    const std::string good = EncodeCameraProfile(SomeProfile());
    auto with = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    struct Case {
        const char* what;
        std::string bytes;
        LensFileError error;
    } const cases[] = {
        {"as written", good, LensFileError::None},
        {"empty", "", LensFileError::Truncated},
        {"another version", with("kalvex-camera 1", "kalvex-camera 7"), LensFileError::UnknownVersion},
        {"a lens file", EncodeLensChoice(LensChoice{}), LensFileError::NotALensFile},
        {"no make record", with("make Canon\r\n", ""), LensFileError::Damaged},
        {"records out of order", with("focal 24\r\nsize 5472 3648", "size 5472 3648\r\nfocal 24"), LensFileError::Damaged},
        {"a focal length of words", with("focal 24", "focal twenty"), LensFileError::NotANumber},
        {"a focal length not a number", with("focal 24", "focal nan"), LensFileError::NotFinite},
        {"a negative focal length", with("focal 24", "focal -24"), LensFileError::BadValue},
        {"a size of a fraction", with("size 5472 3648", "size 5472.5 3648"), LensFileError::BadValue},
        {"a size beyond any photo", with("size 5472 3648", "size 5472 36480000"), LensFileError::BadValue},
        {"a size of one number", with("size 5472 3648", "size 5472"), LensFileError::Damaged},
        {"no correction", with("lens brown-conrady", "lens none").substr(0, good.find("lens ")) + "lens none\r\nrms 0\r\n",
         LensFileError::BadValue},
        {"a division model of another size",
         with("lens brown-conrady 3012.25 3010.0000001 1999.5 1499.5 -0.2 0.05 1e-04 -2.5e-05 -0.0123",
              "lens division -0.1 4000 3000"),
         LensFileError::BadValue},
        {"infinity in the lens", with("3012.25", "inf"), LensFileError::NotFinite},
        {"a negative rms", with("rms 0.2731", "rms -1"), LensFileError::BadValue},
        {"a make with a control character", with("make Canon", "make Ca\x01non"), LensFileError::BadValue},
        {"a make beyond the longest", with("make Canon", "make " + std::string(kMaxLensText + 1, 'C')),
         LensFileError::BadValue},
        {"the longest make", with("make Canon", "make " + std::string(kMaxLensText, 'C')), LensFileError::None},
        {"no make", with("make Canon", "make"), LensFileError::None},
        {"cut in the last line", good.substr(0, good.size() - 4), LensFileError::Truncated},
        {"the last line missing", good.substr(0, good.find("rms")), LensFileError::Truncated},
        {"a line after the end", good + "extra\r\n", LensFileError::Damaged},
        {"larger than any real one", good + std::string(kMaxLensFileBytes, '\n'), LensFileError::Oversize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CameraProfileRead read = DecodeCameraProfile(c.bytes);
        EXPECT_EQ(read.error, c.error) << "line " << read.line;
    }
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(DecodeCameraProfile(std::string_view(good).substr(0, n)).error, LensFileError::Truncated) << n;

    Folder f;
    const fs::path path = f.folder.path() / "camera.profile";
    ASSERT_TRUE(WriteCameraProfile(path, SomeProfile()));
    EXPECT_EQ(ReadCameraProfile(path).profile, SomeProfile());
    EXPECT_EQ(ReadCameraProfile(f.folder.path() / "other.profile").error, LensFileError::Missing);
    EXPECT_EQ(ReadCameraProfile(f.Write("big.profile", good + std::string(kMaxLensFileBytes, '\n'))).error,
              LensFileError::Oversize);
}

TEST(CameraProfile, MatchesItsOwnCameraOnly)
{
    const CameraProfile p = SomeProfile();
    CameraProfile noMake = p;
    noMake.camera.make.clear();
    struct Case {
        const char* what;
        CameraProfile profile;
        CameraId photo;
        bool matches;
    } const cases[] = {
        {"the same", p, {"Canon", "Canon EOS 6D", 24, 5472, 3648}, true},
        {"padded as EXIF pads", p, {"Canon ", "Canon EOS 6D  ", 24, 5472, 3648}, true},
        {"another make", p, {"Nikon", "Canon EOS 6D", 24, 5472, 3648}, false},
        {"another model", p, {"Canon", "Canon EOS 5D", 24, 5472, 3648}, false},
        {"the case of the model", p, {"Canon", "canon eos 6d", 24, 5472, 3648}, false},
        {"focal length just within", p, {"Canon", "Canon EOS 6D", 24.0099, 5472, 3648}, true},
        {"focal length just beyond", p, {"Canon", "Canon EOS 6D", 24.0101, 5472, 3648}, false},
        {"another focal length", p, {"Canon", "Canon EOS 6D", 35, 5472, 3648}, false},
        {"a smaller copy", p, {"Canon", "Canon EOS 6D", 24, 2736, 1824}, false},
        {"upright", p, {"Canon", "Canon EOS 6D", 24, 3648, 5472}, false},
        {"a profile without a make", noMake, {"", "Canon EOS 6D", 24, 5472, 3648}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Matches(c.profile, c.photo), c.matches);
    }
    EXPECT_EQ(ProfileName(p), "Canon EOS 6D 24 mm 5472x3648");
    CameraProfile nikon = p;
    nikon.camera = {"NIKON CORPORATION", "NIKON D750", 17.5, 6016, 4016};
    EXPECT_EQ(ProfileName(nikon), "NIKON CORPORATION NIKON D750 17.5 mm 6016x4016");
}

} // namespace
} // namespace kvx
