// The report the window writes and prints, read back with the system's PDF
// tools: its detailed pages, both planes, the marks on the printed photo and
// the page batch mode makes.

#include "window_fixture.h"

#include "image/photo.h"
#include "image/colour.h"
#include "measure/calibration.h"
#include "interact/commands.h"
#include "interact/prompts.h"
#include "shell/dialogs.h"
#include "measure/numfmt.h"
#include "measure/computation.h"
#include "measure/results.h"
#include "widgets/scan_dialog.h"
#include "widgets/list_dialog.h"
#include "widgets/calc_edit.h"
#include "widgets/area_dialogs.h"
#include "widgets/effect_dialog.h"
#include "widgets/property_dialog.h"
#include "shell/application.h"
#include "base/translate.h"
#include "base/error_trail.h"
#include "measure/cp932.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "measure/uncertainty.h"
#include "measure/checks.h"
#include "sane_pin.h"

#include <QAction>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>
#include <cmath>

using namespace kvx;
using namespace kvx::test;

class WindowReportTest : public QObject {
    Q_OBJECT
private slots:
    void theReportsDetailedPagesListEveryResult();
    void pdfReportThroughTheMenu();
    void pdfReportOfBothPlanes();
    void printingPutsTheMarksOnThePhoto();
    void thePrintedPageIsTheReportPage();
    void batchReportShowsThePhotoAsTheWindowDoes();
};

namespace {

// A distance of the detailed pages as it must read: its number, group, value
// and uncertainty, and where it was clicked, so its true length on the wall
// is known from the scene alone.
struct DistanceRow {
    int number;
    int group;
    const char* value;  // ㎜
    const char* plusMinus;
    TDPoint a, b;
};

// The report's scene at a click precision of 1.5 pixels.
const DistanceRow kDistanceRows[] = {
        {1, 0, "408", "±12", {120, 120}, {200, 130}},
        {2, 2, "339", "±13", {130, 200}, {180, 230}},
        {3, 2, "471", "±13", {180, 230}, {260, 210}},
        {4, 1, "179", "±12", {120, 240}, {150, 250}},
        {5, 1, "183", "±12", {121, 240}, {152, 250}},
        {6, 1, "189", "±12", {122, 240}, {154, 250}},
        {7, 1, "194", "±12", {123, 240}, {156, 250}},
        {8, 1, "200", "±12", {124, 240}, {158, 250}},
        {9, 1, "204", "±12", {125, 240}, {160, 250}},
        {10, 1, "210", "±12", {126, 240}, {162, 250}},
        {11, 1, "215", "±12", {127, 240}, {164, 250}},
        {12, 1, "220", "±12", {128, 240}, {166, 250}},
        {13, 1, "225", "±12", {129, 240}, {168, 250}},
        {14, 1, "231", "±12", {130, 240}, {170, 250}},
        {15, 1, "236", "±12", {131, 240}, {172, 250}},
        {16, 1, "240", "±12", {132, 240}, {174, 250}},
        {17, 1, "246", "±12", {133, 240}, {176, 250}},
        {18, 1, "251", "±12", {134, 240}, {178, 250}},
        {19, 1, "257", "±12", {135, 240}, {180, 250}},
        {20, 1, "262", "±12", {136, 240}, {182, 250}},
        {21, 1, "268", "±12", {137, 240}, {184, 250}},
        {22, 1, "273", "±12", {138, 240}, {186, 250}},
        {23, 1, "279", "±12", {139, 240}, {188, 250}},
        {24, 1, "283", "±12", {140, 240}, {190, 250}},
        {25, 1, "290", "±12", {141, 240}, {192, 250}},
        {26, 1, "295", "±12", {142, 240}, {194, 250}},
        {27, 1, "299", "±12", {143, 240}, {196, 250}},
        {28, 1, "305", "±12", {144, 240}, {198, 250}},
        {29, 1, "311", "±12", {145, 240}, {200, 250}},
        {30, 1, "316", "±12", {146, 240}, {202, 250}},
        {31, 1, "321", "±12", {147, 240}, {204, 250}},
        {32, 1, "328", "±12", {148, 240}, {206, 250}},
        {33, 1, "332", "±12", {149, 240}, {208, 250}},
        {34, 1, "337", "±12", {150, 240}, {210, 250}},
        {35, 1, "343", "±13", {151, 240}, {212, 250}},
        {36, 1, "349", "±13", {152, 240}, {214, 250}},
        {37, 1, "354", "±13", {153, 240}, {216, 250}},
        {38, 1, "359", "±13", {154, 240}, {218, 250}},
        {39, 1, "365", "±13", {155, 240}, {220, 250}},
        {40, 1, "371", "±13", {156, 240}, {222, 250}},
        {41, 1, "375", "±13", {157, 240}, {224, 250}},
        {42, 1, "380", "±13", {158, 240}, {226, 250}},
        {43, 1, "387", "±13", {159, 240}, {228, 250}},
        {44, 1, "392", "±13", {160, 240}, {230, 250}},
        {45, 1, "398", "±13", {161, 240}, {232, 250}},
        {46, 1, "403", "±13", {162, 240}, {234, 250}},
        {47, 1, "408", "±13", {163, 240}, {236, 250}},
        {48, 1, "414", "±13", {164, 240}, {238, 250}},
        {49, 1, "420", "±13", {165, 240}, {240, 250}},
        {50, 1, "424", "±13", {166, 240}, {242, 250}},
        {51, 1, "430", "±13", {167, 240}, {244, 250}},
        {52, 1, "435", "±13", {168, 240}, {246, 250}},
        {53, 1, "441", "±13", {169, 240}, {248, 250}},
        {54, 1, "447", "±13", {170, 240}, {250, 250}},
        {55, 1, "451", "±13", {171, 240}, {252, 250}},
        {56, 1, "457", "±13", {172, 240}, {254, 250}},
        {57, 1, "463", "±13", {173, 240}, {256, 250}},
        {58, 1, "468", "±13", {174, 240}, {258, 250}},
        {59, 1, "474", "±13", {175, 240}, {260, 250}},
        {60, 1, "479", "±13", {176, 240}, {262, 250}},
        {61, 1, "484", "±13", {177, 240}, {264, 250}},
        {62, 1, "490", "±13", {178, 240}, {266, 250}},
        {63, 1, "495", "±13", {179, 240}, {268, 250}},
        {64, 1, "501", "±14", {180, 240}, {270, 250}},
        {65, 1, "505", "±14", {181, 240}, {272, 250}},
        {66, 1, "511", "±14", {182, 240}, {274, 250}},
        {67, 1, "517", "±14", {183, 240}, {276, 250}},
        {68, 1, "522", "±14", {184, 240}, {278, 250}},
        {69, 1, "528", "±14", {185, 240}, {280, 250}},
        {70, 1, "533", "±14", {186, 240}, {282, 250}},
        {71, 1, "538", "±14", {187, 240}, {284, 250}},
        {72, 1, "544", "±14", {188, 240}, {286, 250}},
        {73, 1, "549", "±14", {189, 240}, {288, 250}},
};

// The wall the scene's reference shows: photo pixels to wall millimetres.
double TrueLength(TDPoint a, TDPoint b)
{
    const Homography toWall = Homography::FromCorners({TDPoint{100, 100}, {300, 110}, {290, 250}, {110, 240}},
                                                      {TDPoint{0, 1000}, {1000, 1000}, {1000, 0}, {0, 0}});
    const TDPoint p = toWall.Map(a), q = toWall.Map(b);
    return std::hypot(p.x - q.x, p.y - q.y);
}

} // namespace

// The report's detailed pages follow its first page, which stays as it was:
// every value, name, group total and cost is on them, read back by
// pdftotext, the table's header repeated on every page it runs over, and
// every page renders.
void WindowReportTest::theReportsDetailedPagesListEveryResult()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("detail.jpg"), Qt::gray);
    w.LoadFile(photo);
    Measure(w);
    Set(w, [&](Document& d) {
        // A chain in group 2 and enough distances to run over a page.
        d.Plane.Distances.Append(TDistance{2, {130, 200}, {180, 230}, 0, 3});
        d.Plane.Distances.Append(TDistance{2, {180, 230}, {260, 210}, 2, 0});
        for (int i = 0; i < 70; ++i)
            d.Plane.Distances.Append(TDistance{1, {120.0 + i, 240}, {150.0 + 2 * i, 250}});
        TSpace named;
        named.kind = kSpaceSub;
        named.group = 2;
        named.points = {{170, 160}, {200, 160}, {200, 190}, {170, 190}, {170, 160}};
        named.correctedPoints.resize(5);
        named.name = AreaNameFromUtf8("窓");
        d.Plane.Spaces.Append(named);
    });
    w.Edit().AddCheck({120, 130}, {260, 200}, 1000);
    w.Edit().AddCheck({110, 250}, {290, 262}, 725.5);
    // The report works its uncertainties out for the preferences' click precision.
    w.MutableSettings().ClickSigma = 1.5;
    const std::string atDefault = PlusMinus(*DistanceUncertainty(w.Doc(), 1, kDefaultClickSigma));
    f.prompter->answers = {true};
    f.Close();

    auto report = [&](const QString& detail) {
        const QString pdf = f.home.filePath(detail + QStringLiteral(".pdf"));
        QProcess p;
        p.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                               QStringLiteral("--lang"), QStringLiteral("ja"), QStringLiteral("--pdf-detail"),
                                               detail, QStringLiteral("--pdf"), pdf});
        p.waitForFinished(60000);
        return std::pair{p.exitCode(), pdf};
    };
    auto pages = [](const QString& pdf) {
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        text.waitForFinished(60000);
        return QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    };
    auto render = [](const QString& pdf, int page) {
        QProcess r;
        r.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-f"), QString::number(page),
                                              QStringLiteral("-l"), QString::number(page), pdf});
        r.waitForFinished(60000);
        return std::pair{r.exitCode(), r.readAllStandardOutput()};
    };
    const auto [offCode, off] = report(QStringLiteral("off"));
    const auto [onCode, on] = report(QStringLiteral("on"));
    QCOMPARE(offCode, 0);
    QCOMPARE(onCode, 0);
    const QStringList plain = pages(off), detailed = pages(on);
    QCOMPARE(plain.size(), 1);
    QVERIFY2(detailed.size() >= 3, qPrintable(QString::number(detailed.size())));
    // The first page as it was, in its text and its pixels.
    QCOMPARE(detailed[0], plain[0]);
    QCOMPARE(render(on, 1), render(off, 1));
    for (int page = 2; page <= detailed.size(); ++page) {
        const auto [code, image] = render(on, page);
        QCOMPARE(code, 0);
        QVERIFY(!image.isEmpty());
        QVERIFY2(detailed[page - 1].contains(QStringLiteral("種類")), qPrintable(QStringLiteral("page %1").arg(page)));
    }
    const QString details = detailed.mid(1).join(QLatin1Char('\n'));
    QVERIFY(details.contains(QStringLiteral("detail.jpg")));
    // Every value is the wall's true length to the millimetre the page
    // shows, give or take the plane's stepping in the program (a millimetre).
    for (const DistanceRow& r : kDistanceRows) {
        QVERIFY2(details.contains(QLatin1String(r.value) + QStringLiteral("㎜")), r.value);
        const double printed = std::stod(std::string(r.value));
        QVERIFY2(std::fabs(printed - TrueLength(r.a, r.b)) <= 1.5,
                 qPrintable(QStringLiteral("distance %1: %2 for %3").arg(r.number).arg(printed).arg(TrueLength(r.a, r.b))));
    }
    QVERIFY(details.contains(QStringLiteral("0.269㎡")));
    QVERIFY(details.contains(QStringLiteral("-0.034㎡")));
    QVERIFY(details.contains(QStringLiteral("外壁")));
    QVERIFY(details.contains(QStringLiteral("窓")));
    // The chain of distances 2 and 3 is their sum on the wall.
    QVERIFY(std::fabs(810 - TrueLength({130, 200}, {180, 230}) - TrueLength({180, 230}, {260, 210})) <= 1.5);
    for (const char* group : {"グループ0", "グループ1", "グループ2"})
        QVERIFY2(details.contains(QString::fromUtf8(group)), group);
    for (const char* total : {"408", "25,381", "810", "￥0"})
        QVERIFY2(details.contains(QString::fromUtf8(total)), total);
    // Each result's uncertainty in the column after its value, on its own
    // row as the page lays it out; each group's sums with theirs.
    QProcess layout;
    layout.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), on,
                                               QStringLiteral("-")});
    QVERIFY(layout.waitForFinished(60000));
    const QString laidOut = QString::fromUtf8(layout.readAllStandardOutput());
    QVERIFY(laidOut.contains(QRegularExpression(QStringLiteral("値\\s+±\\s+勾配V"))));
    for (const DistanceRow& r : kDistanceRows) {
        const QString row = QStringLiteral("(?m)^\\s*距離\\s+%1\\s+%2\\s+%3㎜\\s+%4㎜(\\s|$)")
                                .arg(r.number)
                                .arg(r.group)
                                .arg(QLatin1String(r.value), QString::fromUtf8(r.plusMinus));
        QVERIFY2(laidOut.contains(QRegularExpression(row)), qPrintable(row));
    }
    // The chain's length after its last distance.
    QVERIFY(laidOut.contains(QRegularExpression(QStringLiteral("(?m)^\\s*距離\\s+3\\s+2\\s+471㎜\\s+±13㎜\\s+810㎜"))));
    for (const char* area : {"(?m)^\\s*面積\\s+1\\s+0\\s+外壁\\s+0\\.269㎡\\s+±0\\.0080㎡(\\s|$)",
                             "(?m)^\\s*面積\\s+2\\s+2\\s+窓\\s+-0\\.034㎡\\s+±0\\.0024㎡(\\s|$)"})
        QVERIFY2(laidOut.contains(QRegularExpression(QString::fromUtf8(area))), area);
    for (const char* line : {"グループ0:\\s+長さ=408 ±12㎜,\\s+面積=0\\.269 ±0\\.0080㎡",
                             "グループ1:\\s+長さ=25,381 ±315㎜,\\s+面積=0\\.000㎡",
                             "グループ2:\\s+長さ=810 ±19㎜,\\s+面積=-0\\.034 ±0\\.0024㎡"})
        QVERIFY2(laidOut.contains(QRegularExpression(QString::fromUtf8(line))), line);
    // Worked out for the preferences' precision, not the default.
    QVERIFY(std::string(kDistanceRows[0].plusMinus) + "㎜" != atDefault);

    // The check distances after the results, kept with the photo and read
    // by batch mode: one row each, then their summary.
    QVERIFY(laidOut.contains(QStringLiteral("検証距離 (実際の長さが分かっている距離)")));
    // The checks measure 852.5 and 1008.9 true millimetres on the wall.
    QVERIFY(std::fabs(852.1 - TrueLength({120, 130}, {260, 200})) <= 1.5);
    QVERIFY(std::fabs(1008.9 - TrueLength({110, 250}, {290, 262})) <= 1.5);
    for (const char* row : {"(?m)^\\s*1\\s+1000㎜\\s+852\\.1㎜\\s+±14㎜\\s+-147\\.9㎜\\s+-14\\.79 %\\s+2σ超",
                            "(?m)^\\s*2\\s+725\\.5㎜\\s+1008\\.9㎜\\s+±18㎜\\s+\\+283\\.4㎜\\s+\\+39\\.06 %\\s+2σ超"})
        QVERIFY2(laidOut.contains(QRegularExpression(QString::fromUtf8(row))), row);
    QVERIFY(laidOut.contains(
        QStringLiteral("検証距離 2 本: 最大偏差 +283.4㎜ (+39.06 %), RMS 226.0㎜ (29.54 %), 2σ以内 0/2")));
}

namespace {

// The page's drawing operators, uncompressed.
QByteArray Uncompressed(const QString& pdf, const QString& work)
{
    const QString qdf = work + QStringLiteral(".qdf");
    Tool(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), pdf, qdf});
    return Bytes(qdf);
}

} // namespace

void WindowReportTest::pdfReportThroughTheMenu()
{
    Fixture f;
    TF001& w = f.Open();
    // 800 x 600: landscape, s = 595 / 600, placed 793 x 595 at (24, 0), as a 4000 x 3000 photo.
    w.LoadFile(f.Photo(QStringLiteral("report.jpg"), Qt::lightGray, QSize(800, 600)));
    Measure(w);
    Set(w, [&](Document& d) { d.KijunWText = "400"; });
    Set(w, [&](Document& d) { d.KijunHText = "300"; });
    const QString pdf = f.home.filePath(QStringLiteral("report.pdf"));
    f.prompter->textTarget = pdf;
    w.Action(QStringLiteral("mnPdfOut"))->trigger();
    QVERIFY2(f.prompter->errors.empty(), f.prompter->errors.empty() ? "" : f.prompter->errors[0].c_str());
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("report.pdf"));
    QVERIFY(QFile::exists(f.Temp().string().c_str() + QStringLiteral("/~.bmp")));
    QCOMPARE(f.prompter->opened.back(), pdf);
    QCOMPARE(f.prompter->infos.back(), (QStringLiteral("ＰＤＦファイル出力完了.\r") + pdf).toStdString());

    QCOMPARE(Tool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).first, 0);
    const auto info = Tool(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.second.contains("842 x 595 pts"), info.second.constData());
    const QByteArray content = Uncompressed(pdf, f.home.filePath(QStringLiteral("r")));
    QVERIFY(content.contains("1 0 0 1 24 0 cm"));
    QVERIFY(content.contains("793 0 0 595 0 0 cm"));
    const auto text = Tool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY2(text.second.contains(QStringLiteral("外壁").toUtf8()), text.second.constData());
    QVERIFY2(text.second.contains(QStringLiteral("㎡(").toUtf8()), text.second.constData());
    QCOMPARE(Tool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-png"), pdf,
                                               f.home.filePath(QStringLiteral("page"))})
                 .first,
             0);

    // All toggles off: only the photo.
    for (const char* toggle : {"mnBaseView", "mnDistanceView", "mnSpaceView"})
        w.Action(QString::fromLatin1(toggle))->trigger();
    w.Action(QStringLiteral("mnPdfOut"))->trigger();
    const QByteArray bare = Uncompressed(pdf, f.home.filePath(QStringLiteral("b")));
    QVERIFY(!bare.contains(" l\r"));
    f.Close();
}

void WindowReportTest::pdfReportOfBothPlanes()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("corner.jpg"), Qt::lightGray, QSize(600, 600));
    w.mnChangeClick(4);
    Set(w, [&](Document& d) { d.SixPoint = SixPointFromClick({300, 100}, {0, 0}, {600, 600}); });
    Set(w, [&](Document& d) { BuildTwoPlanes(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {100, 300}, {200, 320}}); });
    Set(w, [&](Document& d) { d.ParkedPlane.Distances.Append(TDistance{0, {400, 300}, {500, 320}}); });
    w.SetCommand(uCommand::None);
    const QString pdf = f.home.filePath(QStringLiteral("two.pdf"));
    f.prompter->textTarget = pdf;
    f.prompter->viewerAvailable = true;
    w.Action(QStringLiteral("mnPdfOut"))->trigger();
    QVERIFY(f.prompter->infos.empty());  // a viewer opened it
    QCOMPARE(w.Doc().CurrentBase, 2);       // the second plane stays current
    const auto info = Tool(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.second.contains("595 x 842 pts"), info.second.constData());  // square: portrait
    const QByteArray content = Uncompressed(pdf, f.home.filePath(QStringLiteral("t")));
    QCOMPARE(content.count("0.5 w"), 2 * 9);  // both planes: each distance a line and two circles of four arcs
    f.Close();
}

void WindowReportTest::printingPutsTheMarksOnThePhoto()
{
    Fixture f;
    TF001& w = f.Open();
    w.MutableSettings().ColorDistance = 0x00FF00;  // pure green, easy to find
    w.LoadFile(f.Photo(QStringLiteral("print.jpg"), QColor(128, 128, 128), QSize(800, 600)));
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.View.TextView = false; });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {200, 300}, {600, 300}}); });
    w.SetCommand(uCommand::None);
    const QString pdf = f.home.filePath(QStringLiteral("printed.pdf"));
    w.mnPrintClick();  // cancelled: nothing printed
    QVERIFY(!QFile::exists(pdf));
    f.prompter->printTo = pdf;
    w.mnPrintClick();
    QVERIFY(QFile::exists(pdf));
    QCOMPARE(Tool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).first, 0);
    const QString png = f.home.filePath(QStringLiteral("printed"));
    QCOMPARE(Tool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                                               QStringLiteral("-singlefile"), pdf, png})
                 .first,
             0);
    QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    // The photo fills the page width (landscape photo on a portrait page); the
    // distance runs from x = 200 to 600 of 800 at mid height of the photo.
    int minX = page.width(), maxX = -1;
    long long sumY = 0, count = 0;
    QRect grey;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.green() > 200 && c.red() < 80 && c.blue() < 80) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                sumY += y;
                ++count;
            }
            if (std::abs(c.red() - 128) < 12 && std::abs(c.green() - 128) < 12 && std::abs(c.blue() - 128) < 12)
                grey = grey.united(QRect(x, y, 1, 1));
        }
    }
    QVERIFY(count > 0);
    QVERIFY(grey.width() > 100);
    const double scale = grey.width() / 800.0;
    QVERIFY2(std::abs(minX - (grey.left() + 200 * scale)) <= 4, qPrintable(QStringLiteral("%1 vs %2").arg(minX).arg(grey.left() + 200 * scale)));
    QVERIFY(std::abs(maxX - (grey.left() + 600 * scale)) <= 4);
    QVERIFY(std::abs(static_cast<double>(sumY) / static_cast<double>(count) - (grey.top() + 300 * scale)) <= 4);
    f.Close();
}

namespace {

// The words of a PDF's first page with their boxes (points, y down).
std::vector<std::pair<QString, QRectF>> Words(const QString& pdf)
{
    std::vector<std::pair<QString, QRectF>> words;
    const auto [code, html] = Tool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (code != 0)
        return words;
    static const QRegularExpression word(
        QStringLiteral(R"re(xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]+)<)re"));
    for (auto it = word.globalMatch(QString::fromUtf8(html)); it.hasNext();) {
        const auto m = it.next();
        const double x0 = m.captured(1).toDouble(), y0 = m.captured(2).toDouble();
        words.emplace_back(m.captured(5), QRectF(QPointF(x0, y0), QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())));
    }
    return words;
}

} // namespace

void WindowReportTest::thePrintedPageIsTheReportPage()
{
    Fixture f;
    TF001& w = f.Open();
    w.LoadFile(f.Photo(QStringLiteral("page.jpg"), QColor(128, 128, 128), QSize(800, 600)));
    Measure(w);
    Set(w, [&](Document& d) {
        SetBaseUnit(d, {150, 150}, {250, 220});  // its dashed lines reach the photo's edges
        d.View.TextView = true;
        d.View.SpaceNameView = true;
    });
    const QString printed = f.home.filePath(QStringLiteral("printed.pdf"));
    const QString report = f.home.filePath(QStringLiteral("report.pdf"));
    f.prompter->printTo = printed;
    w.mnPrintClick();
    f.prompter->textTarget = report;
    w.mnPdfOutClick();
    QVERIFY(QFile::exists(printed) && QFile::exists(report));

    // The area's name and its value: two lines, one above the other, on
    // both pages in the same places relative to the page.
    auto label = [](const QString& pdf) {
        QRectF name, value;
        // The first page's: the report's detailed pages come after it.
        for (const auto& [text, box] : Words(pdf)) {
            if (text.contains(QStringLiteral("外壁")) && name.isEmpty())
                name = box;
            else if (text.contains(QLatin1Char('(')) && text.contains(QLatin1Char('.')) && value.isEmpty())
                value = box;
        }
        return std::pair{name, value};
    };
    const auto [name, value] = label(printed);
    QVERIFY(!name.isEmpty() && !value.isEmpty());
    QVERIFY2(name.bottom() <= value.top() + 0.5, "the name and the value overprint");
    const auto [reportName, reportValue] = label(report);
    QVERIFY(!reportName.isEmpty() && !reportValue.isEmpty());
    QVERIFY2(std::abs(name.center().y() - reportName.center().y()) < 3 &&
                 std::abs(value.center().y() - reportValue.center().y()) < 3 &&
                 std::abs(value.center().x() - reportValue.center().x()) < 6,
             "the printed label is not where the report has it");

    // Around the photo the paper stays white: no line runs into the margins.
    const QString png = f.home.filePath(QStringLiteral("printed"));
    QCOMPARE(Tool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                                               QStringLiteral("-singlefile"), printed, png})
                 .first,
             0);
    const QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    QVERIFY(page.width() > page.height());  // the report's landscape page for a landscape photo
    QRect photo;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (std::abs(c.red() - 128) < 12 && std::abs(c.green() - 128) < 12 && std::abs(c.blue() - 128) < 12)
                photo = photo.united(QRect(x, y, 1, 1));
        }
    QVERIFY(photo.width() > 300);
    int marked = 0;
    const QRect around = photo.adjusted(-2, -2, 2, 2);
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (!around.contains(x, y) && QColor(page.pixel(x, y)).lightness() < 235)
                ++marked;
    QCOMPARE(marked, 0);
    f.Close();
}

void WindowReportTest::batchReportShowsThePhotoAsTheWindowDoes()
{
    Fixture f;
    TF001& w = f.Open();
    // A landscape photo turned upright in the window and kept that way.
    const QString photo = f.Photo(QStringLiteral("turned.jpg"), Qt::lightGray, QSize(600, 300));
    w.LoadFile(photo);
    ImageEffects turned;
    turned.Rotate = 1;
    f.prompter->effectAnswers = {{1, turned}};
    w.mnEffectClick();
    QCOMPARE(w.WorkImage().Width(), 300);
    f.prompter->answers = {true};
    f.Close();

    const QString pdf = f.home.filePath(QStringLiteral("turned.pdf"));
    QProcess p;
    p.start(QStringLiteral(KALVEX_BINARY),
            {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(), QStringLiteral("--pdf"), pdf});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const auto info = Tool(QStringLiteral("pdfinfo"), {pdf});
    // Upright, as on the screen: a portrait page, not the photo as it was taken.
    QVERIFY2(info.second.contains("595 x 842 pts"), info.second.constData());
}

QTEST_MAIN(WindowReportTest)
#include "test_window_report.moc"
