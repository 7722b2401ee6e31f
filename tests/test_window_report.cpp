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
    const std::vector<CheckResult> checks = CheckResults(w.Doc(), 1.5);
    const std::vector<ResultRow> rows = ResultRows(w.Doc(), 1.5);
    const std::vector<GroupTotal> totals = GroupTotals(w.Doc(), rows, 1.5);
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
    for (const ResultRow& r : rows)
        QVERIFY2(details.contains(QString::fromStdString(r.valueText)), r.valueText.c_str());
    QVERIFY(details.contains(QStringLiteral("外壁")));
    QVERIFY(details.contains(QStringLiteral("窓")));
    QVERIFY(rows[2].chainTotal);
    QVERIFY(details.contains(QString::fromStdString(rows[2].chainText)));
    QCOMPARE(totals.size(), std::size_t{3});
    for (const GroupTotal& t : totals) {
        QVERIFY(details.contains(QStringLiteral("グループ%1").arg(t.group)));
        QVERIFY2(details.contains(QString::fromStdString(FormatNumber0(t.length))), FormatNumber0(t.length).c_str());
        QVERIFY2(details.contains(QString::fromStdString(FormatYen(t.cost))), FormatYen(t.cost).c_str());
    }
    // Each result's uncertainty in the column after its value, on its own
    // row as the page lays it out; each group's sums with theirs.
    QProcess layout;
    layout.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), on,
                                               QStringLiteral("-")});
    QVERIFY(layout.waitForFinished(60000));
    const QString laidOut = QString::fromUtf8(layout.readAllStandardOutput());
    QVERIFY(laidOut.contains(QRegularExpression(QStringLiteral("値\\s+±\\s+勾配V"))));
    for (const ResultRow& r : rows) {
        QVERIFY(r.uncertainty);
        const bool area = r.kind == ResultKind::Area;
        const QString row = QStringLiteral("(?m)^\\s*%1\\s+%2\\s+%3\\s+(%4\\s+)?%5%6\\s+%7%6(\\s|$)")
                                .arg(area ? QStringLiteral("面積") : QStringLiteral("距離"))
                                .arg(r.number)
                                .arg(r.group)
                                .arg(QRegularExpression::escape(QString::fromStdString(r.name)),
                                     QRegularExpression::escape(QString::fromStdString(r.valueText)),
                                     area ? QStringLiteral("㎡") : QStringLiteral("㎜"),
                                     QRegularExpression::escape(QString::fromStdString(r.uncertaintyText)));
        QVERIFY2(laidOut.contains(QRegularExpression(row)), qPrintable(row));
    }
    for (const GroupTotal& t : totals) {
        QVERIFY(t.lengthUncertainty);
        const QString line = QStringLiteral("グループ%1:\\s+長さ=%2㎜,\\s+面積=%3㎡")
                                 .arg(t.group)
                                 .arg(QRegularExpression::escape(QString::fromStdString(LengthTotalText(t))),
                                      QRegularExpression::escape(QString::fromStdString(AreaTotalText(t))));
        QVERIFY2(laidOut.contains(QRegularExpression(line)), qPrintable(line));
    }
    // Worked out for the preferences' precision, not the default.
    QVERIFY(rows[0].uncertaintyText != atDefault);

    // The check distances after the results, kept with the photo and read
    // by batch mode: one row each, then their summary.
    QVERIFY(laidOut.contains(QStringLiteral("検証距離 (実際の長さが分かっている距離)")));
    QCOMPARE(checks.size(), std::size_t{2});
    auto signedFixed = [](double x, int decimals) {
        const std::string t = FormatFixed(x, decimals);
        return QRegularExpression::escape(QString::fromStdString(t.front() == '-' ? t : "+" + t));
    };
    for (const CheckResult& c : checks) {
        const QString row = QStringLiteral("(?m)^\\s*%1\\s+%2㎜\\s+%3㎜\\s+%4㎜\\s+%5㎜\\s+%6 %\\s+%7")
                                .arg(c.number)
                                .arg(QString::fromStdString(FormatPlain(c.known)),
                                     QString::fromStdString(FormatFixed(c.measured, 1)),
                                     QRegularExpression::escape(QString::fromStdString(PlusMinus(*c.uncertainty))),
                                     signedFixed(c.deviation, 1), signedFixed(c.relative * 100, 2),
                                     c.within ? QStringLiteral("2σ以内") : QStringLiteral("2σ超"));
        QVERIFY2(laidOut.contains(QRegularExpression(row)), qPrintable(row));
    }
    QVERIFY2(laidOut.contains(QString::fromStdString(CheckSummaryLine(SummariseChecks(checks)))),
             CheckSummaryLine(SummariseChecks(checks)).c_str());
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
