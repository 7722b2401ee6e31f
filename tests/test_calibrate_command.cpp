// kalvex --calibrate-camera run as the user runs it: the real program on
// photo files of a chessboard rendered through a known lens (JPEG files with
// the camera in their EXIF data), its exit status, its words and the profile
// file it leaves, or does not leave.

#include "measure/camera_profiles.h"
#include "measure/lens.h"
#include "measure/lens_file.h"

#include "board_photos.h"
#include "exif_bytes.h"
#include "lens_scene.h"
#include "program_run.h"
#include "workfolder.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

namespace kvx {
namespace {

namespace fs = std::filesystem;

const test::BoardCamera kCamera{0.75};
const BrownConrady kBarrel = kCamera.Lens(-0.3, 0.1, 0.0005, -0.0003);
// A JPEG of the photo with the camera's make, model and focal length (mm x 10).
std::string JpegFile(const QImage& grey, const std::string& model, std::uint32_t focalTenths,
                     std::uint16_t orientation = 1)
{
    const cv::Mat m(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                    static_cast<std::size_t>(grey.bytesPerLine()));
    std::vector<uchar> bytes;
    cv::imencode(".jpg", m, bytes, {cv::IMWRITE_JPEG_QUALITY, 97});
    const std::string jpeg(bytes.begin(), bytes.end());
    if (model.empty())
        return jpeg;
    return test::WithExif(jpeg, test::Tiff(false).Build("Kalvex", model, orientation, focalTenths, 10, "2024:05:01 10:00:00"));
}

using test::ProgramRun;

ProgramRun Kalvex(const std::vector<std::string>& args, const fs::path& home, bool asNobody = false)
{
    return test::RunKalvex(args, home, asNobody);
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// How far the profile's ideal camera is from the true lens's, in pixels:
// the photo points of a grid of the true ideal camera's points are taken
// through the profile's ToIdeal, and the best affine map from the true ideal
// points to those is fitted (the profile's ideal camera may have a focal
// length and a centre of its own, which is an affine map); what no affine
// map explains is the distortion the profile got wrong.  The largest residual.
double DistortionResidual(const BrownConrady& truth, const LensModel& profile)
{
    const test::LensTruth lens = test::LensTruth::Brown(truth);
    const double w = kCamera.Width(), h = kCamera.Height();
    std::vector<cv::Point2d> from, to;
    for (double y = 0.05 * h; y <= 0.95 * h; y += h / 20)
        for (double x = 0.05 * w; x <= 0.95 * w; x += w / 20) {
            const TDPoint p = lens.ToPhoto({x, y});
            const std::optional<TDPoint> ideal = ToIdeal(profile, p);
            if (!ideal)
                return INFINITY;
            from.emplace_back(x, y);
            to.emplace_back(ideal->x, ideal->y);
        }
    cv::Mat a(static_cast<int>(from.size()), 3, CV_64F), bx(a.rows, 1, CV_64F), by(a.rows, 1, CV_64F);
    for (int i = 0; i < a.rows; ++i) {
        a.at<double>(i, 0) = from[i].x;
        a.at<double>(i, 1) = from[i].y;
        a.at<double>(i, 2) = 1;
        bx.at<double>(i) = to[i].x;
        by.at<double>(i) = to[i].y;
    }
    cv::Mat cx, cy;
    cv::solve(a, bx, cx, cv::DECOMP_SVD);
    cv::solve(a, by, cy, cv::DECOMP_SVD);
    const cv::Mat rx = a * cx - bx, ry = a * cy - by;
    double worst = 0, squares = 0;
    for (int i = 0; i < a.rows; ++i) {
        worst = std::max(worst, std::hypot(rx.at<double>(i), ry.at<double>(i)));
        squares += rx.at<double>(i) * rx.at<double>(i) + ry.at<double>(i) * ry.at<double>(i);
    }
    // Over the whole photo, the profile is a small fraction of a pixel off.
    EXPECT_LT(std::sqrt(squares / a.rows), profile.kind == LensKind::None ? INFINITY : 0.15);
    return worst;
}

class CalibrateCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        barrel_ = new std::vector<QImage>(test::BoardPhotos(kBarrel, kCamera));
        // A print whose squares wander by up to 2 mm.
        wobbly_ = new std::vector<QImage>(test::BoardPhotos(kBarrel, kCamera, Chessboard{9, 6, 25.0}, 2.0));
    }
    static void TearDownTestSuite()
    {
        delete barrel_;
        delete wobbly_;
    }

    // The photos as files in the test's folder: name i of image, camera model, focal (mm x 10).
    std::string Photo(const std::string& name, const QImage& image, const std::string& model = "KX-1",
                      std::uint32_t focal = 45, std::uint16_t orientation = 1)
    {
        const fs::path p = folder_.path() / name;
        test::WriteAll(p, JpegFile(image, model, focal, orientation));
        ::chmod(p.c_str(), 0644);
        return p.string();
    }
    std::vector<std::string> BarrelPhotos(std::uint16_t orientation = 1)
    {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < barrel_->size(); ++i)
            out.push_back(Photo("board" + std::to_string(i) + ".jpg", (*barrel_)[i], "KX-1", 45, orientation));
        return out;
    }
    std::vector<std::string> Args(const std::vector<std::string>& photos, std::vector<std::string> more)
    {
        std::vector<std::string> args{"--calibrate-camera", "--lang", "en", "--board", "9x6", "--square", "25"};
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), photos.begin(), photos.end());
        return args;
    }
    QImage Blank() const
    {
        QImage blank(kCamera.Width(), kCamera.Height(), QImage::Format_Grayscale8);
        blank.fill(128);
        return blank;
    }

    test::TempFolder folder_;
    static std::vector<QImage>* barrel_;
    static std::vector<QImage>* wobbly_;
};

std::vector<QImage>* CalibrateCommand::barrel_ = nullptr;
std::vector<QImage>* CalibrateCommand::wobbly_ = nullptr;

TEST_F(CalibrateCommand, WritesAProfileThatUndoesTheLens)
{
    const fs::path target = folder_.path() / "out" / "kx1.kvxcam";
    fs::create_directory(folder_.path() / "out");
    const ProgramRun run = Kalvex(Args(BarrelPhotos(), {"--profile", target.string()}), folder_.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Count(run.out, "Board found: "), 10u) << run.out;
    EXPECT_EQ(Count(run.out, "No board: "), 0u) << run.out;
    EXPECT_NE(run.out.find("Reprojection error (RMS): 0."), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Profile written: " + target.string()), std::string::npos) << run.out;

    const CameraProfileRead read = ReadCameraProfile(target);
    ASSERT_TRUE(read) << static_cast<int>(read.error);
    EXPECT_EQ(read.profile.camera, (CameraId{"Kalvex", "KX-1", 4.5, kCamera.Width(), kCamera.Height()}));
    EXPECT_GT(read.profile.rms, 0);
    EXPECT_LT(read.profile.rms, 0.5);
    ASSERT_EQ(read.profile.lens.kind, LensKind::BrownConrady);
    // The RMS printed is the one kept, to its three decimals.
    char rms[32];
    std::snprintf(rms, sizeof rms, "%.3f px", read.profile.rms);
    EXPECT_NE(run.out.find(rms), std::string::npos) << run.out;

    const double residual = DistortionResidual(kBarrel, read.profile.lens);
    RecordProperty("residual", std::to_string(residual));
    // The photo's outermost corners, where no board reached, are the
    // model's reach beyond its data: a little more there.
    EXPECT_LT(residual, 0.5);
    // What the test can see: without the profile the lens is many pixels off.
    EXPECT_GT(DistortionResidual(kBarrel, LensModel{}), 10.0);
    // And the profile is found for a photo of that camera.
    EXPECT_TRUE(FindMatchingProfile(target.parent_path(), CameraId{"Kalvex", "KX-1", 4.5, kCamera.Width(), kCamera.Height()}));
    for (const fs::directory_entry& e : fs::directory_iterator(target.parent_path()))
        EXPECT_EQ(e.path(), target) << "no temporary left";
}

TEST_F(CalibrateCommand, WithoutAFileNameGoesIntoTheHomesProfiles)
{
    const ProgramRun run = Kalvex(Args(BarrelPhotos(), {}), folder_.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const fs::path expected = folder_.path() / "Profiles" / "Kalvex KX-1 4.5 mm 960x720.kvxcam";
    EXPECT_TRUE(fs::is_regular_file(expected)) << run.out;
    EXPECT_NE(run.out.find(expected.string()), std::string::npos) << run.out;
    const auto found = FindMatchingNamedProfile(folder_.path() / "Profiles",
                                                CameraId{"Kalvex", "KX-1", 4.5, kCamera.Width(), kCamera.Height()});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->first, "Kalvex KX-1 4.5 mm 960x720");

    // Calibrated again: the earlier profile stays as it was, the new one is numbered.
    const std::string before = test::ReadAll(expected);
    const ProgramRun again = Kalvex(Args(BarrelPhotos(), {}), folder_.path());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(test::ReadAll(expected), before);
    EXPECT_TRUE(fs::is_regular_file(folder_.path() / "Profiles" / "Kalvex KX-1 4.5 mm 960x720 (2).kvxcam")) << again.out;
}

// Photos a camera held upright stored on their side (EXIF orientation 6):
// the profile is of the sensor as it stored them, which the lens sits in
// front of whichever way the camera was held.
TEST_F(CalibrateCommand, CalibratesPhotosAsStored)
{
    const fs::path target = folder_.path() / "turned.kvxcam";
    const ProgramRun run = Kalvex(Args(BarrelPhotos(6), {"--profile", target.string()}), folder_.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const CameraProfileRead read = ReadCameraProfile(target);
    ASSERT_TRUE(read);
    EXPECT_EQ(read.profile.camera.width, kCamera.Width());
    EXPECT_EQ(read.profile.camera.height, kCamera.Height());
    EXPECT_LT(DistortionResidual(kBarrel, read.profile.lens), 0.5);
}

TEST_F(CalibrateCommand, SpeaksTheInterfacesLanguage)
{
    const std::vector<std::string> good = BarrelPhotos();
    const std::vector<std::string> photos{good[0], good[1], good[5], Photo("blank.jpg", Blank())};
    std::vector<std::string> args = Args(photos, {"--profile", (folder_.path() / "p.kvxcam").string()});
    args[2] = "ja";
    const ProgramRun run = Kalvex(args, folder_.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.out, "チェッカーボードあり: "), 3u) << run.out;
    EXPECT_EQ(Count(run.out, "チェッカーボードなし: "), 1u) << run.out;
    EXPECT_NE(run.out.find("blank.jpg"), std::string::npos) << run.out;
}

// Each way a calibration ends without a profile: its status, its words, and
// no file where the profile would have gone, nor a temporary beside it.
TEST_F(CalibrateCommand, RefusesAndWritesNothing)
{
    const std::vector<std::string> good = BarrelPhotos();
    const fs::path out = folder_.path() / "out";
    fs::create_directory(out);
    ::chmod(folder_.path().c_str(), 0755);
    const fs::path target = out / "p.kvxcam";
    const std::string cut = Photo("cut.jpg", (*barrel_)[3]);
    fs::resize_file(cut, fs::file_size(cut) / 2);
    const std::string text = (folder_.path() / "notes.jpg").string();
    test::WriteAll(text, "not a photo at all\n");
    const fs::path locked = folder_.path() / "locked";
    fs::create_directory(locked);
    ::chmod(locked.c_str(), 0755);

    struct Case {
        const char* what;
        std::vector<std::string> photos;
        std::vector<std::string> more;
        int status;
        const char* inStderr;
        bool asNobody = false;
    };
    std::vector<std::string> twoBoards{good[0], good[1], Photo("blank1.jpg", Blank()), Photo("blank2.jpg", Blank())};
    std::vector<std::string> wobbly;
    for (std::size_t i = 0; i < wobbly_->size(); ++i)
        wobbly.push_back(Photo("wobbly" + std::to_string(i) + ".jpg", (*wobbly_)[i]));
    std::vector<std::string> otherCamera{good[0], good[1], Photo("other.jpg", (*barrel_)[2], "KX-2")};
    std::vector<std::string> otherFocal{good[0], good[1], Photo("zoomed.jpg", (*barrel_)[2], "KX-1", 60)};
    const std::vector<Case> cases{
        {"the board on two photos only", twoBoards, {"--profile", target.string()}, 6, "only 2 photos"},
        {"a board printed untrue", wobbly, {"--profile", target.string()}, 6, "reprojection error of"},
        {"a photo cut short", {good[0], good[1], cut}, {"--profile", target.string()}, 3, "cut.jpg"},
        {"a file that is no photo", {good[0], text, good[2]}, {"--profile", target.string()}, 3, "notes.jpg"},
        {"a missing photo", {good[0], good[1], (folder_.path() / "none.jpg").string()}, {"--profile", target.string()}, 3,
         "none.jpg"},
        {"another camera's photo", otherCamera, {"--profile", target.string()}, 6, "Kalvex KX-2 4.5 mm"},
        {"another focal length", otherFocal, {"--profile", target.string()}, 6, "Kalvex KX-1 6 mm"},
        {"a folder that is missing", good, {"--profile", (out / "missing" / "p.kvxcam").string()}, 5, "Cannot write"},
        {"a folder as the profile", good, {"--profile", out.string()}, 5, "is a folder"},
        {"a folder that refuses writes", good, {"--profile", (locked / "p.kvxcam").string()}, 5, "Permission denied",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramRun run = Kalvex(Args(c.photos, c.more), folder_.path(), c.asNobody);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_NE(run.err.find(c.inStderr), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("No profile was written"), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line: " << run.err;
        EXPECT_TRUE(fs::is_empty(out)) << "nothing written";
        EXPECT_TRUE(fs::is_empty(locked)) << "nothing written";
        EXPECT_FALSE(fs::exists(folder_.path() / "Profiles"));
    }
}

// The options are checked before any photo is read or anything written.
TEST_F(CalibrateCommand, OptionsAreCheckedFirst)
{
    const std::string a = Photo("a.jpg", (*barrel_)[0]), b = Photo("b.jpg", (*barrel_)[1]), c = Photo("c.jpg", (*barrel_)[2]);
    struct Case {
        std::vector<std::string> args;
        const char* inStderr;
    } const cases[] = {
        {{"--calibrate-camera", "--board", "9x", "--square", "25", a, b, c}, "--board"},
        {{"--calibrate-camera", "--board", "2x6", "--square", "25", a, b, c}, "--board"},
        {{"--calibrate-camera", "--board", "9x6x2", "--square", "25", a, b, c}, "--board"},
        {{"--calibrate-camera", "--board", "-9x6", "--square", "25", a, b, c}, "--board"},
        {{"--calibrate-camera", "--board", "9x6", "--square", "2,5", a, b, c}, "--square"},
        {{"--calibrate-camera", "--board", "9x6", "--square", "0", a, b, c}, "--square"},
        {{"--calibrate-camera", "--board", "9x6", "--square", "nan", a, b, c}, "--square"},
        {{"--calibrate-camera", "--board", "9x6", a, b, c}, "--square"},
        {{"--calibrate-camera", "--square", "25", a, b, c}, "--board"},
        {{"--calibrate-camera", "--board", "9x6", "--square", "25", a, b}, "at least 3"},
        {{"--calibrate-camera", "--batch", "--board", "9x6", "--square", "25", a, b, c}, "--batch"},
        {{"--board", "9x6", a}, "--calibrate-camera"},
        {{"--profile", "x.kvxcam", a}, "--calibrate-camera"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.args[1] + " " + k.args[2]);
        const ProgramRun run = Kalvex(k.args, folder_.path());
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(k.inStderr), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(folder_.path() / "Profiles"));
        EXPECT_FALSE(fs::exists(folder_.path() / "kvx.ini"));
    }
}

} // namespace
} // namespace kvx
