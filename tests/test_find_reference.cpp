// The reference found in a rendered photo of a printed marker, through the
// window's real keys and clicks and through batch mode, and the marker sheet
// read back from its PDF.

#include "shell/main_window.h"

#include "image/photo.h"
#include "image/reference_finder.h"
#include "interact/commands.h"
#include "measure/calibration.h"
#include "tests/csv_first_distance.h"
#include "tests/render.h"
#include "tests/scene.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/aruco.hpp>

#include <cmath>
#include <deque>
#include <fstream>
#include <iterator>

using namespace kvx;
using test::CsvFirstDistance;

namespace {

// Answers nothing is asked of here: the tests drive the window's own flows.
class QuietPrompter : public Prompter {
public:
    std::vector<std::string> warnings, errors;
    std::optional<QString> textTarget;
    void Warn(const std::string& m) override { warnings.push_back(m); }
    bool AskYesNo(const std::string&) override { return true; }
    std::optional<bool> AskSaveChanges(const std::string&) override { return true; }
    SaveFailureChoice SaveFailed(const std::string&) override { return SaveFailureChoice::Stay; }
    void Info(const std::string&) override {}
    void Error(const std::string& m) override { errors.push_back(m); }
    std::optional<QString> OpenPhoto(const QString&) override { return std::nullopt; }
    std::string AskAreaName() override { return {}; }
    std::string InputBox(const std::string&, const std::string&, const std::string&) override { return {}; }
    std::optional<std::pair<std::string, std::string>> SlopeDialog(double, double, QPoint) override { return std::nullopt; }
    std::optional<SaveChoice> SaveImage(const QString&, const QString&, const QString&, int) override { return std::nullopt; }
    std::optional<QString> SaveText(const QString&, const QString&, const QString&, const QString&) override { return textTarget; }
    std::optional<QString> OpenPd25(const QString&) override { return std::nullopt; }
    std::optional<int> PickPd25(const QStringList&, QPoint) override { return std::nullopt; }
    bool OpenDocument(const QString&) override { return false; }
    bool ChoosePrinter(QPrinter&) override { return false; }
    int EffectDialog(ImageEffects&) override { return 3; }
    std::optional<std::string> ChooseScanDevice(const QStringList&, const QString&) override { return std::nullopt; }
    std::optional<TAppSettings> PropertyDialog(const TAppSettings&) override { return std::nullopt; }
};

constexpr int kWidth = 960, kHeight = 720;
constexpr double kSide = 150;  // the marker's black square, mm

test::Camera SceneCamera(double yaw)
{
    test::Camera cam;
    cam.yawDeg = yaw;
    cam.pitchDeg = 0;
    cam.distance = 1200;
    cam.focal = 1000;
    cam.cx = kWidth / 2.0;
    cam.cy = kHeight / 2.0;
    return cam;
}

std::vector<TDPoint> Poly(const std::array<TDPoint, 4>& corners)
{
    return {corners.begin(), corners.end()};
}

QImage ToImage(const cv::Mat& grey)
{
    QImage image(grey.cols, grey.rows, QImage::Format_RGB888);
    for (int y = 0; y < grey.rows; ++y)
        for (int x = 0; x < grey.cols; ++x) {
            const int v = grey.at<uchar>(y, x);
            image.setPixel(x, y, qRgb(v, v, v));
        }
    return image;
}

// A grey wall with ArUco marker 7 printed kSide wide (a white margin of a
// cell) at the wall's origin; withMarker false: the bare wall.
QImage RenderPhoto(const test::Camera& cam, bool withMarker)
{
    using test::kRenderScale;
    cv::Mat exact(kHeight * kRenderScale, kWidth * kRenderScale, CV_64F, cv::Scalar(130));
    if (withMarker) {
        cv::Mat bits;
        cv::aruco::drawMarker(cv::aruco::getPredefinedDictionary(cv::aruco::DICT_4X4_50), 7, 6, bits, 1);
        const double cell = kSide / 6;
        const double white = 230, black = 25;
        test::AddPolygon(exact, Poly(cam.Rect(0, 0, kSide + 2 * cell, kSide + 2 * cell)), white - 130, kRenderScale);
        test::AddPolygon(exact, Poly(cam.Rect(0, 0, kSide, kSide)), black - white, kRenderScale);
        for (int r = 0; r < 6; ++r)
            for (int k = 0; k < 6; ++k)
                if (bits.at<uchar>(r, k) > 128) {
                    const double x = -kSide / 2 + (k + 0.5) * cell, y = kSide / 2 - (r + 0.5) * cell;
                    test::AddPolygon(exact, Poly(cam.Rect(x, y, cell, cell)), white - black, kRenderScale);
                }
    }
    return ToImage(test::Photograph(exact, test::Camera8{0.8, 0, 0, 1}));
}

// What can lie on the wall besides a marker.
enum class Sheet { A4, Letter, Card };

// Its true size, mm, the shorter side across.
std::pair<double, double> SheetSize(Sheet s)
{
    switch (s) {
    case Sheet::A4:
        return {210, 297};
    case Sheet::Letter:
        return {215.9, 279.4};
    case Sheet::Card:
        return {85.60, 53.98};
    }
    return {1, 1};
}

// The photo outline of a w x h rectangle at the wall's origin with corners
// rounded to radius (a card's 3.18 mm), or sharp for 0.
std::vector<TDPoint> Outline(const test::Camera& cam, double w, double h, double radius)
{
    if (radius <= 0)
        return Poly(cam.Rect(0, 0, w, h));
    std::vector<TDPoint> out;
    const TDPoint centres[4] = {{-w / 2 + radius, h / 2 - radius}, {w / 2 - radius, h / 2 - radius},
                                {w / 2 - radius, -h / 2 + radius}, {-w / 2 + radius, -h / 2 + radius}};
    const double start[4] = {180, 90, 0, 270};
    for (int k = 0; k < 4; ++k)
        for (int s = 0; s <= 12; ++s) {
            const double a = (start[k] - 90.0 * s / 12) * M_PI / 180;
            out.push_back(cam.Project(centres[k].x + radius * std::cos(a), centres[k].y + radius * std::sin(a)));
        }
    return out;
}

// A grey wall with a white sheet or a light card at the wall's origin.
QImage RenderSheet(const test::Camera& cam, Sheet s)
{
    using test::kRenderScale;
    const bool card = s == Sheet::Card;
    const double wall = card ? 70 : 120, face = card ? 215 : 238;
    cv::Mat exact(kHeight * kRenderScale, kWidth * kRenderScale, CV_64F, cv::Scalar(wall));
    const auto [w, h] = SheetSize(s);
    test::AddPolygon(exact, Outline(cam, w, h, card ? 3.18 : 0), face - wall, kRenderScale);
    return ToImage(test::Photograph(exact, test::Camera8{0.8, 1.0, 0, 3}));
}

// The sheet's camera: a little turned and tilted, so both pairs of sides
// converge; a card, much smaller, from nearer.
test::Camera SheetCamera(Sheet s)
{
    test::Camera cam = SceneCamera(20);
    cam.pitchDeg = 10;
    if (s == Sheet::Card)
        cam.distance = 450;
    return cam;
}

struct Window {
    QTemporaryDir home;
    QuietPrompter* prompter = nullptr;
    std::unique_ptr<TF001> w;

    TF001& Open(const QString& photo)
    {
        AppPaths p;
        p.folders = ResolveFolders(home.path().toStdString(), nullptr, "/nonexistent");
        p.resourceFolder = home.path();
        auto quiet = std::make_unique<QuietPrompter>();
        prompter = quiet.get();
        w = std::make_unique<TF001>(p, std::move(quiet));
        w->resize(1100, 900);
        w->show();
        QCoreApplication::processEvents();
        if (!photo.isEmpty())
            w->LoadFile(photo);
        return *w;
    }
};

QString SavePhoto(const QTemporaryDir& dir, const QString& name, const QImage& image)
{
    const QString path = dir.filePath(name);
    image.save(path, "PNG");
    return path;
}

QWidget* Viewport(TF001& w)
{
    return w.Display()->viewport();
}

} // namespace

class FindReferenceTest : public QObject {
    Q_OBJECT
private slots:
    void acceptTakesTheMarkerAsOneStep_data();
    void acceptTakesTheMarkerAsOneStep();
    void clickRejectsAndLeavesTheManualTool();
    void nothingFoundLeavesTheManualTool();
    void batchFindsTheMarker();
    void batchWithNothingWritesNothing();
    void markerSheetIsAtScale();
    void sheetAcceptedAsOneStep_data();
    void sheetAcceptedAsOneStep();
    void clickRejectsACard();
    void tabOffersTheOtherASize();
    void batchFindsSheetsAndCards_data();
    void batchFindsSheetsAndCards();
    void batchAsksWhichASize();
    void offWithoutAPhotoAndForTwoPlanes();
};

void FindReferenceTest::acceptTakesTheMarkerAsOneStep_data()
{
    QTest::addColumn<double>("yaw");
    QTest::newRow("straight on") << 0.0;
    QTest::newRow("turned 30 degrees") << 30.0;
}

// Return takes the marker: its corners within a tenth of a pixel of the
// rendered square's, W and H its printed side; one undo brings back the
// reference that stood before.
void FindReferenceTest::acceptTakesTheMarkerAsOneStep()
{
    QFETCH(double, yaw);
    QTemporaryDir dir;
    const test::Camera cam = SceneCamera(yaw);
    Window win;
    TF001& w = win.Open(SavePhoto(dir, "marker.png", RenderPhoto(cam, true)));
    QVERIFY(w.HasPhoto());
    QCOMPARE(w.Settings().MarkerSide, 150);
    const std::array<TDPoint, 4> before{TDPoint{10, 10}, {300, 12}, {310, 200}, {12, 190}};
    w.Edit().SetReference(before);
    w.Edit().SetFieldText(FieldText::W, "500");
    w.Edit().SetFieldText(FieldText::H, "400");

    w.Action(QStringLiteral("mnDetectReference"))->trigger();
    QCOMPARE(w.FoundOffered().size(), std::size_t{1});
    QVERIFY(w.Display()->Found().has_value());
    auto* info = w.findChild<QLineEdit*>(QStringLiteral("Edit_Info"));
    QVERIFY(info);
    QVERIFY2(info->text().contains(QStringLiteral("ArUco 7")) && info->text().contains(QStringLiteral("150 mm")),
             qPrintable(info->text()));
    QTest::keyClick(Viewport(w), Qt::Key_Return);

    const std::array<TDPoint, 4> truth = cam.Rect(0, 0, kSide, kSide);
    const auto& rect = w.Doc().Plane.base.BaseRect;
    QCOMPARE(w.Doc().Plane.base.BaseSet, 1);
    for (std::size_t i = 0; i < 4; ++i)
        QVERIFY2(Distance(rect[i + 1], truth[i]) <= 0.1,
                 qPrintable(QStringLiteral("corner %1 off by %2 px").arg(i).arg(Distance(rect[i + 1], truth[i]))));
    QCOMPARE(QString::fromStdString(w.Doc().KijunWText), QStringLiteral("150"));
    QCOMPARE(QString::fromStdString(w.Doc().KijunHText), QStringLiteral("150"));
    QVERIFY(!w.Display()->Found().has_value());

    w.Action(QStringLiteral("mnUndo"))->trigger();
    for (std::size_t i = 0; i < 4; ++i)
        QCOMPARE(w.Doc().Plane.base.BaseRect[i + 1], before[i]);
    QCOMPARE(QString::fromStdString(w.Doc().KijunWText), QStringLiteral("500"));
    QCOMPARE(QString::fromStdString(w.Doc().KijunHText), QStringLiteral("400"));
}

// A click turns the offer down: no reference, and the manual tool waits
// without a point.
void FindReferenceTest::clickRejectsAndLeavesTheManualTool()
{
    QTemporaryDir dir;
    Window win;
    TF001& w = win.Open(SavePhoto(dir, "marker.png", RenderPhoto(SceneCamera(0), true)));
    w.Action(QStringLiteral("mnDetectReference"))->trigger();
    QCOMPARE(w.FoundOffered().size(), std::size_t{1});
    QTest::mouseClick(Viewport(w), Qt::LeftButton, {}, QPoint(40, 40));
    QVERIFY(w.FoundOffered().empty());
    QVERIFY(!w.Display()->Found().has_value());
    QCOMPARE(w.Doc().Plane.base.BaseSet, 0);
    QCOMPARE(w.Command(), uCommand::Base);
    QCOMPARE(w.Doc().InputCount(), 0);
    // Return now is the manual tool's click again, not an acceptance.
    QTest::keyClick(Viewport(w), Qt::Key_Escape);
    QCOMPARE(w.Doc().Plane.base.BaseSet, 0);
}

void FindReferenceTest::nothingFoundLeavesTheManualTool()
{
    QTemporaryDir dir;
    Window win;
    TF001& w = win.Open(SavePhoto(dir, "wall.png", RenderPhoto(SceneCamera(0), false)));
    w.Action(QStringLiteral("mnDetectReference"))->trigger();
    QVERIFY(w.FoundOffered().empty());
    QCOMPARE(w.Command(), uCommand::Base);
    QCOMPARE(w.Doc().Plane.base.BaseSet, 0);
    auto* info = w.findChild<QLineEdit*>(QStringLiteral("Edit_Info"));
    QVERIFY(info);
    QVERIFY2(info->text().contains(QStringLiteral("見つかりません")), qPrintable(info->text()));
}

// The stored reference is a wrong one (a 1000 mm square on the marker):
// batch mode finds the marker and measures the stored distance against it.
void FindReferenceTest::batchFindsTheMarker()
{
    QTemporaryDir dir;
    const test::Camera cam = SceneCamera(25);
    const QString photo = SavePhoto(dir, "marker.png", RenderPhoto(cam, true));
    const TDPoint a{-420, -280}, b{430, 260};
    const double wallLength = std::hypot(b.x - a.x, b.y - a.y);
    Window again;
    TF001& w = again.Open(photo);
    w.Edit().SetReference(cam.Rect(0, 0, kSide, kSide));
    w.Edit().AddDistance(cam.Project(a.x, a.y), cam.Project(b.x, b.y), false);
    QVERIFY(w.SaveImageState());
    const QString home = again.home.path();
    again.w->close();
    again.w.reset();

    const QString csv = dir.filePath("out.csv");
    QProcess batch;
    batch.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), home,
                                                QStringLiteral("--find-reference"), QStringLiteral("marker"),
                                                QStringLiteral("--csv"), csv});
    QVERIFY(batch.waitForFinished(60000));
    QVERIFY2(batch.exitCode() == 0, batch.readAllStandardError().constData());
    const double measured = CsvFirstDistance(csv);
    QVERIFY2(std::abs(measured / wallLength - 1) <= 0.001,
             qPrintable(QStringLiteral("measured %1 mm, the wall has %2 mm").arg(measured).arg(wallLength)));

    // A marker said to be 300 mm doubles every length.
    const QString csv2 = dir.filePath("out2.csv");
    QProcess larger;
    larger.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), home,
                                                 QStringLiteral("--find-reference"), QStringLiteral("marker"),
                                                 QStringLiteral("--marker-size"), QStringLiteral("300"), QStringLiteral("--csv"), csv2});
    QVERIFY(larger.waitForFinished(60000));
    QCOMPARE(larger.exitCode(), 0);
    QVERIFY(std::abs(CsvFirstDistance(csv2) / (2 * wallLength) - 1) <= 0.001);
}

void FindReferenceTest::batchWithNothingWritesNothing()
{
    QTemporaryDir dir;
    const QString photo = SavePhoto(dir, "wall.png", RenderPhoto(SceneCamera(0), false));
    const QString csv = dir.filePath("out.csv");
    for (const char* what : {"marker", "sheet", "card"}) {
        QProcess batch;
        batch.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), dir.path(),
                                                    QStringLiteral("--find-reference"), QString::fromLatin1(what),
                                                    QStringLiteral("--csv"), csv});
        QVERIFY(batch.waitForFinished(60000));
        QVERIFY(batch.exitCode() != 0);
        QVERIFY(!batch.readAllStandardError().isEmpty());
        QVERIFY(!QFile::exists(csv));
    }
    QProcess wrong;
    wrong.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--find-reference"),
                                                QStringLiteral("poster"), QStringLiteral("--csv"), csv});
    QVERIFY(wrong.waitForFinished(60000));
    QCOMPARE(wrong.exitCode(), 2);
    QVERIFY(!QFile::exists(csv));
}

// The sheet rendered at 254 dots an inch (ten a millimetre): the marker's
// black square is its preference's side, 150 mm = 425.2 points = 1500 dots.
void FindReferenceTest::markerSheetIsAtScale()
{
    QTemporaryDir dir;
    Window win;
    TF001& w = win.Open(QString());
    const QString pdf = dir.filePath("marker.pdf");
    win.prompter->textTarget = pdf;
    QVERIFY(w.Action(QStringLiteral("mnMarkerSheet"))->isEnabled());
    w.Action(QStringLiteral("mnMarkerSheet"))->trigger();
    QVERIFY2(QFile::exists(pdf), win.prompter->errors.empty() ? "" : win.prompter->errors.back().c_str());
    QProcess render;
    render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("254"), QStringLiteral("-gray"),
                                              QStringLiteral("-aa"), QStringLiteral("no"), QStringLiteral("-aaVector"),
                                              QStringLiteral("no"), pdf, dir.filePath("page")});
    QVERIFY(render.waitForFinished(60000));
    QCOMPARE(render.exitCode(), 0);
    QImage page;
    for (const QString& name : QDir(dir.path()).entryList({QStringLiteral("page*.pgm")}))
        page.load(dir.filePath(name));
    QVERIFY(!page.isNull());
    page = page.convertToFormat(QImage::Format_Grayscale8);
    // The black square's top row is the page's longest dark run.
    int longest = 0, top = -1, bottom = -1;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* row = page.constScanLine(y);
        int run = 0;
        bool dark = false;
        for (int x = 0; x < page.width(); ++x) {
            run = row[x] < 128 ? run + 1 : 0;
            if (run > longest)
                longest = run;
            dark = dark || run >= 1400;
        }
        if (dark) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    }
    // Side in points 150 x 72 / 25.4, in dots at 254 dpi; a dot for the edges' rounding.
    const double expected = 150 * 72 / 25.4 * 254 / 72;
    QVERIFY2(std::abs(longest - expected) <= 2, qPrintable(QStringLiteral("%1 dots wide").arg(longest)));
    QVERIFY2(std::abs(bottom - top + 1 - expected) <= 2, qPrintable(QStringLiteral("%1 dots high").arg(bottom - top + 1)));
}

namespace {

QString MmText(double v)
{
    return QString::number(v, 'g', 10);
}

// What the makers allow a side, as a standard uncertainty: ISO 216 cuts
// sheets within +-2 mm from 150 to 600 mm (Letter taken alike); ISO/IEC 7810
// keeps an ID-1 card within 85.47..85.72 by 53.92..54.03 mm.  Anywhere within
// the limits alike: the half-width over the root of three.
double SideUncertainty(Sheet s, double side)
{
    if (s != Sheet::Card)
        return 2 / std::sqrt(3.0);
    return (side > 70 ? 0.25 : 0.11) / 2 / std::sqrt(3.0);
}

} // namespace

void FindReferenceTest::sheetAcceptedAsOneStep_data()
{
    QTest::addColumn<int>("sheet");
    QTest::newRow("A4 sheet") << static_cast<int>(Sheet::A4);
    QTest::newRow("Letter sheet") << static_cast<int>(Sheet::Letter);
    QTest::newRow("ID-1 card") << static_cast<int>(Sheet::Card);
}

// The menu item finds the sheet or card, the prompt names its size, Return
// takes it with its W and H and the makers' tolerance as one step, and one
// undo brings back the reference that stood before, without the tolerance.
void FindReferenceTest::sheetAcceptedAsOneStep()
{
    QFETCH(int, sheet);
    const Sheet s = static_cast<Sheet>(sheet);
    const auto [w, h] = SheetSize(s);
    QTemporaryDir dir;
    const test::Camera cam = SheetCamera(s);
    Window win;
    TF001& w0 = win.Open(SavePhoto(dir, "sheet.png", RenderSheet(cam, s)));
    QVERIFY(w0.HasPhoto());
    const std::array<TDPoint, 4> before{TDPoint{10, 10}, {300, 12}, {310, 200}, {12, 190}};
    w0.Edit().SetReference(before);
    w0.Edit().SetFieldText(FieldText::W, "500");
    w0.Edit().SetFieldText(FieldText::H, "400");

    QVERIFY(w0.Action(QStringLiteral("mnDetectReference"))->isEnabled());
    w0.Action(QStringLiteral("mnDetectReference"))->trigger();
    QVERIFY(!w0.FoundOffered().empty());
    auto* info = w0.findChild<QLineEdit*>(QStringLiteral("Edit_Info"));
    QVERIFY(info);
    QVERIFY2(info->text().contains(MmText(w) + QStringLiteral(" × ") + MmText(h)), qPrintable(info->text()));
    QTest::keyClick(Viewport(w0), Qt::Key_Return);

    const std::array<TDPoint, 4> truth = cam.Rect(0, 0, w, h);
    const auto& rect = w0.Doc().Plane.base.BaseRect;
    QCOMPARE(w0.Doc().Plane.base.BaseSet, 1);
    for (std::size_t i = 0; i < 4; ++i)
        QVERIFY2(Distance(rect[i + 1], truth[i]) <= 0.15,
                 qPrintable(QStringLiteral("corner %1 off by %2 px").arg(i).arg(Distance(rect[i + 1], truth[i]))));
    QCOMPARE(QString::fromStdString(w0.Doc().KijunWText), MmText(w));
    QCOMPARE(QString::fromStdString(w0.Doc().KijunHText), MmText(h));
    const SizeTolerance& t = w0.Doc().Plane.SheetSize;
    QVERIFY(std::abs(t.dw - SideUncertainty(s, w)) < 1e-9);
    QVERIFY(std::abs(t.dh - SideUncertainty(s, h)) < 1e-9);
    QVERIFY(!w0.Display()->Found().has_value());

    w0.Action(QStringLiteral("mnUndo"))->trigger();
    for (std::size_t i = 0; i < 4; ++i)
        QCOMPARE(w0.Doc().Plane.base.BaseRect[i + 1], before[i]);
    QCOMPARE(QString::fromStdString(w0.Doc().KijunWText), QStringLiteral("500"));
    QCOMPARE(QString::fromStdString(w0.Doc().KijunHText), QStringLiteral("400"));
    QVERIFY(!w0.Doc().Plane.SheetSize.Any());
}

// A card on offer turned down by a click: nothing set, the manual tool waits.
void FindReferenceTest::clickRejectsACard()
{
    QTemporaryDir dir;
    Window win;
    TF001& w = win.Open(SavePhoto(dir, "card.png", RenderSheet(SheetCamera(Sheet::Card), Sheet::Card)));
    w.Action(QStringLiteral("mnDetectReference"))->trigger();
    QVERIFY(!w.FoundOffered().empty());
    QCOMPARE(w.FoundOffered().front().kind, FoundKind::Card);
    QTest::mouseClick(Viewport(w), Qt::LeftButton, {}, QPoint(40, 40));
    QVERIFY(w.FoundOffered().empty());
    QVERIFY(!w.Display()->Found().has_value());
    QCOMPARE(w.Doc().Plane.base.BaseSet, 0);
    QCOMPARE(w.Command(), uCommand::Base);
    QCOMPARE(w.Doc().InputCount(), 0);
    QVERIFY(!w.Edit().CanUndo());
}

// A4 and A3 have the same proportions: the prompt names the size it offers
// and Tab offers the same outline as the other size.
void FindReferenceTest::tabOffersTheOtherASize()
{
    QTemporaryDir dir;
    Window win;
    TF001& w = win.Open(SavePhoto(dir, "sheet.png", RenderSheet(SheetCamera(Sheet::A4), Sheet::A4)));
    w.Action(QStringLiteral("mnDetectReference"))->trigger();
    QVERIFY(w.FoundOffered().size() >= 2);
    auto* info = w.findChild<QLineEdit*>(QStringLiteral("Edit_Info"));
    QVERIFY2(info->text().contains(QStringLiteral("A4")) && info->text().contains(QStringLiteral("210 × 297")),
             qPrintable(info->text()));
    QVERIFY2(info->text().contains(QStringLiteral("A3")), qPrintable(info->text()));
    const auto first = w.FoundOffered().front().corners;
    QTest::keyClick(Viewport(w), Qt::Key_Tab);
    QVERIFY2(info->text().contains(QStringLiteral("A3")) && info->text().contains(QStringLiteral("297 × 420")),
             qPrintable(info->text()));
    QTest::keyClick(Viewport(w), Qt::Key_Return);
    QCOMPARE(QString::fromStdString(w.Doc().KijunWText), QStringLiteral("297"));
    QCOMPARE(QString::fromStdString(w.Doc().KijunHText), QStringLiteral("420"));
    for (std::size_t i = 0; i < 4; ++i)
        QCOMPARE(w.Doc().Plane.base.BaseRect[i + 1], first[i]);
}

namespace {

// The photo's stored state: a wrong reference (the sheet's outline taken
// for a 1000 mm square) and one distance from a to b on the wall, kept in win's home.
bool StoreWrongReference(Window& win, const QString& photo, const test::Camera& cam, TDPoint a, TDPoint b, double w, double h)
{
    TF001& w0 = win.Open(photo);
    w0.Edit().SetReference(cam.Rect(0, 0, w, h));
    w0.Edit().AddDistance(cam.Project(a.x, a.y), cam.Project(b.x, b.y), false);
    const bool kept = w0.SaveImageState();
    win.w->close();
    win.w.reset();
    return kept;
}

} // namespace

void FindReferenceTest::batchFindsSheetsAndCards_data()
{
    QTest::addColumn<int>("sheet");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<double>("scale");  // the lengths' factor for the size said
    QTest::newRow("A4 said to be A4") << static_cast<int>(Sheet::A4)
                                      << QStringList{QStringLiteral("sheet"), QStringLiteral("--sheet-size"), QStringLiteral("A4")} << 1.0;
    QTest::newRow("A4 said to be A3") << static_cast<int>(Sheet::A4)
                                      << QStringList{QStringLiteral("sheet"), QStringLiteral("--sheet-size"), QStringLiteral("A3")}
                                      << 420.0 / 297.0;
    QTest::newRow("Letter") << static_cast<int>(Sheet::Letter) << QStringList{QStringLiteral("sheet")} << 1.0;
    QTest::newRow("Letter said to be Letter") << static_cast<int>(Sheet::Letter)
                                              << QStringList{QStringLiteral("sheet"), QStringLiteral("--sheet-size"), QStringLiteral("Letter")}
                                              << 1.0;
    QTest::newRow("ID-1 card") << static_cast<int>(Sheet::Card) << QStringList{QStringLiteral("card")} << 1.0;
}

// The real program finds the sheet or card in place of the stored wrong
// reference and measures the stored distance against it to a thousandth.
void FindReferenceTest::batchFindsSheetsAndCards()
{
    QFETCH(int, sheet);
    QFETCH(QStringList, options);
    QFETCH(double, scale);
    const Sheet s = static_cast<Sheet>(sheet);
    const auto [w, h] = SheetSize(s);
    QTemporaryDir dir;
    const test::Camera cam = SheetCamera(s);
    const QString photo = SavePhoto(dir, "sheet.png", RenderSheet(cam, s));
    const bool card = s == Sheet::Card;
    const TDPoint a = card ? TDPoint{-150, -100} : TDPoint{-420, -280}, b = card ? TDPoint{160, 90} : TDPoint{430, 260};
    const double wallLength = std::hypot(b.x - a.x, b.y - a.y);
    Window stored;
    QVERIFY(StoreWrongReference(stored, photo, cam, a, b, w, h));
    const QString home = stored.home.path();

    const QString csv = dir.filePath("out.csv");
    QProcess batch;
    batch.start(QStringLiteral(KALVEX_BINARY), QStringList{QStringLiteral("--batch"), photo, QStringLiteral("--home"), home,
                                                           QStringLiteral("--find-reference")} +
                                                   options + QStringList{QStringLiteral("--csv"), csv});
    QVERIFY(batch.waitForFinished(60000));
    QVERIFY2(batch.exitCode() == 0, batch.readAllStandardError().constData());
    // The CSV gives whole millimetres: half of one on top of the thousandth.
    const double measured = CsvFirstDistance(csv);
    QVERIFY2(std::abs(measured - scale * wallLength) <= 0.001 * scale * wallLength + 0.5,
             qPrintable(QStringLiteral("measured %1 mm, the wall has %2 mm").arg(measured).arg(scale * wallLength)));
}

// An A-series outline could be A4 or A3: batch mode asks rather than guess,
// and writes nothing; a size that is not one of the three is refused.
void FindReferenceTest::batchAsksWhichASize()
{
    QTemporaryDir dir;
    const test::Camera cam = SheetCamera(Sheet::A4);
    const QString photo = SavePhoto(dir, "sheet.png", RenderSheet(cam, Sheet::A4));
    const QString csv = dir.filePath("out.csv");
    QProcess batch;
    batch.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), dir.path(),
                                                QStringLiteral("--find-reference"), QStringLiteral("sheet"), QStringLiteral("--csv"), csv});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 6);
    const QByteArray why = batch.readAllStandardError();
    QVERIFY2(why.contains("A4") && why.contains("A3") && why.contains("--sheet-size"), why.constData());
    QVERIFY(!QFile::exists(csv));

    // Said to be Letter, the outline has the wrong proportions: none found.
    QProcess letter;
    letter.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), dir.path(),
                                                 QStringLiteral("--find-reference"), QStringLiteral("sheet"), QStringLiteral("--sheet-size"),
                                                 QStringLiteral("Letter"), QStringLiteral("--csv"), csv});
    QVERIFY(letter.waitForFinished(60000));
    QCOMPARE(letter.exitCode(), 6);
    QVERIFY(!QFile::exists(csv));

    for (const QStringList& wrong : {QStringList{QStringLiteral("--find-reference"), QStringLiteral("sheet"), QStringLiteral("--sheet-size"), QStringLiteral("B5")},
                                     QStringList{QStringLiteral("--find-reference"), QStringLiteral("marker"), QStringLiteral("--sheet-size"), QStringLiteral("A4")},
                                     QStringList{QStringLiteral("--sheet-size"), QStringLiteral("A4")}}) {
        QProcess refused;
        refused.start(QStringLiteral(KALVEX_BINARY), QStringList{QStringLiteral("--batch"), photo} + wrong + QStringList{QStringLiteral("--csv"), csv});
        QVERIFY(refused.waitForFinished(60000));
        QCOMPARE(refused.exitCode(), 2);
        QVERIFY(!QFile::exists(csv));
    }
}

// Without a photo the command is off; in setting 4 too, with the reason
// said, for the two planes stand together on six points no sheet gives: the
// sheet on the wall is not taken for either plane.  Back in setting 1 it works.
void FindReferenceTest::offWithoutAPhotoAndForTwoPlanes()
{
    QTemporaryDir dir;
    Window win;
    TF001& w = win.Open(QString());
    QAction* detect = w.Action(QStringLiteral("mnDetectReference"));
    QVERIFY(!w.HasPhoto());
    QVERIFY(!detect->isEnabled());
    QVERIFY(!detect->statusTip().isEmpty());
    detect->trigger();
    QVERIFY(w.FoundOffered().empty());

    w.LoadFile(SavePhoto(dir, "sheet.png", RenderSheet(SheetCamera(Sheet::A4), Sheet::A4)));
    QVERIFY(w.HasPhoto());
    QVERIFY(detect->isEnabled());
    QVERIFY(detect->statusTip().isEmpty());

    w.Action(QStringLiteral("mnChange4"))->trigger();
    QCOMPARE(w.Doc().CurrentSetting, 4);
    QVERIFY(!detect->isEnabled());
    QVERIFY2(detect->statusTip().contains(QStringLiteral("設定4")), qPrintable(detect->statusTip()));
    detect->trigger();
    QVERIFY(w.FoundOffered().empty());
    QCOMPARE(w.Doc().Plane.base.BaseSet, 0);
    QCOMPARE(w.Doc().ParkedPlane.base.BaseSet, 0);
    // The right plane current: still off.
    w.Edit().SetTwoPlanes(SixPointFromClick({480, 360}, {200, 150}, {760, 600}));
    w.Edit().SwapPlanes();
    QCOMPARE(w.Doc().CurrentBase, 2);
    QVERIFY(!detect->isEnabled());

    w.Action(QStringLiteral("mnChange1"))->trigger();
    QCOMPARE(w.Doc().CurrentSetting, 1);
    QVERIFY(detect->isEnabled());
    detect->trigger();
    QVERIFY(!w.FoundOffered().empty());
}

QTEST_MAIN(FindReferenceTest)
#include "test_find_reference.moc"
