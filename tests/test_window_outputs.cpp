// The files the window writes from its menus, read back by readers of their
// own and compared with what batch mode writes: the DXF drawing, the results
// file, the straight-on image, the cut-out, the lengths file, and the save dialogs.

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

#include <QApplication>
#include <QAction>
#include <QFile>
#include <QMessageBox>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>
#include <cmath>
#include <fstream>
#include <map>
#include <tuple>

using namespace kvx;
using namespace kvx::test;

class WindowOutputsTest : public QObject {
    Q_OBJECT
private slots:
    void imageRangeOutputOpensTheCutOut();
    void exportsThroughTheMenus();
    void dxfDrawingReadBackByAnIndependentReader();
    void resultsFileFromTheMenuAndFromBatchMode();
    void workbookFromBatchModeHoldsTheResultsFilesNumbers();
    void theStraightOnImageFromTheMenuAndBatchMode();
    void pd25LengthsForWAndH();
    void batchModeWritesWhatTheMenuWrites();
    void filesAreTheSameInEveryLanguage();
    void batchMessagesNameTheUsersFiles();
    void saveDialogsAddTheirOwnSuffix_data();
    void saveDialogsAddTheirOwnSuffix();
    void imageSaveAsksAboutTheNameItWrites();
    void saveDialogsStartWhereTheFilesBelong();
    void exportsWaitForAPhoto();
};

void WindowOutputsTest::imageRangeOutputOpensTheCutOut()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("site.jpg"), Qt::darkCyan, QSize(600, 400));
    w.MutableSettings().ImageFolder = f.home.path().toStdString();
    {
        QFile existing(f.home.filePath(QStringLiteral("site_1.bmp")));
        QVERIFY(existing.open(QIODevice::WriteOnly));
    }
    w.LoadFile(photo);
    w.mnZoom1Click();
    const QString target = f.home.filePath(QStringLiteral("cut.jpg"));
    f.prompter->saveChoice = Prompter::SaveChoice{target, 2};  // the BMP filter with a ".jpg" name
    w.SetCommand(uCommand::ImageFix);
    ClickAt(w, {100, 50});
    ClickAt(w, {300, 250});
    QCOMPARE(f.prompter->saveProposals.size(), std::size_t{1});
    QCOMPARE(f.prompter->saveProposals[0], QStringLiteral("site_2"));
    const QString written = f.home.filePath(QStringLiteral("cut.bmp"));
    QVERIFY(QFile::exists(written));
    QCOMPARE(QString::fromStdString(w.Doc().ImageFileName), written);
    QCOMPARE(w.WorkImage().Width(), 200);
    QCOMPARE(w.WorkImage().Height(), 200);
    f.Close();
}

// The DXF drawing from the menu and from batch mode, read back by ezdxf with
// its audit: every distance (a chain as one polyline) and every area has the
// length and area the table of results and the CSV give.
void WindowOutputsTest::dxfDrawingReadBackByAnIndependentReader()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("cad.jpg"), Qt::gray);
    w.LoadFile(photo);
    Measure(w);
    // A chain of two segments in group 2, and a subtracted area.
    Set(w, [&](Document& d) {
        d.Plane.Distances.Append(TDistance{2, {130, 200}, {180, 230}, 0, 3});
        d.Plane.Distances.Append(TDistance{2, {180, 230}, {260, 210}, 2, 0});
        TSpace hole;
        hole.kind = kSpaceSub;
        hole.points = {{170, 160}, {200, 160}, {200, 190}, {170, 190}, {170, 160}};
        hole.correctedPoints.resize(5);
        d.Plane.Spaces.Append(hole);
    });
    const QString fromMenu = f.home.filePath(QStringLiteral("menu.dxf"));
    f.prompter->textTarget = fromMenu;
    w.Action(QStringLiteral("mnDxfOut"))->trigger();
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("cad.dxf"));
    const std::vector<ResultRow> rows = ResultRows(w.Doc(), kDefaultClickSigma);
    const QByteArray csv = QByteArray::fromStdString(CsvBytes(w.Doc(), true));
    f.prompter->answers = {true};
    f.Close();

    const QString fromBatch = f.home.filePath(QStringLiteral("batch.dxf"));
    QProcess batch;
    batch.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                               QStringLiteral("--dxf"), fromBatch});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);

    auto read = [](const QString& file) {
        QProcess reader;
        reader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(QT_TESTCASE_SOURCEDIR "/read_dxf.py"), file});
        reader.waitForFinished(60000);
        return std::pair{reader.exitCode(), QString::fromUtf8(reader.readAllStandardOutput() + reader.readAllStandardError())};
    };
    const auto [code, out] = read(fromMenu);
    QVERIFY2(code == 0, qPrintable(out));
    // The menu and batch mode draw the same drawing, to the micrometre.
    QCOMPARE(read(fromBatch).second, out);
    QVERIFY2(out.startsWith(QStringLiteral("VERSION AC1015 INSUNITS 4")), qPrintable(out));

    std::multimap<QString, std::pair<double, double>> polylines;  // layer -> length, area
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QStringList f2 = line.split(QLatin1Char(' '));
        if (f2.size() == 5 && f2[0] == QStringLiteral("POLY"))
            polylines.emplace(f2[1], std::pair{f2[2].toDouble(), f2[3].toDouble()});
    }
    QCOMPARE(polylines.count(QStringLiteral("REFERENCE")), std::size_t{1});
    // Distances: the single one and the chain, by their lengths in the CSV.
    QCOMPARE(polylines.count(QStringLiteral("DIST_G0")), std::size_t{1});
    QCOMPARE(polylines.count(QStringLiteral("DIST_G2")), std::size_t{1});
    // Each is the plane's own length or area of its points (an independent
    // model of the reference, to a millimetre and a thousandth of a square
    // metre), and prints as the table of results and the CSV print it.
    const Homography plane = ReferenceModel();
    const double single = polylines.find(QStringLiteral("DIST_G0"))->second.first;
    const double chain = polylines.find(QStringLiteral("DIST_G2"))->second.first;
    QVERIFY2(std::fabs(single - PlaneLength(plane, {120, 120}, {200, 130})) < 1.0, qPrintable(QString::number(single)));
    QVERIFY2(std::fabs(chain - PlaneLength(plane, {130, 200}, {180, 230}) - PlaneLength(plane, {180, 230}, {260, 210})) < 1.0,
             qPrintable(QString::number(chain)));
    QCOMPARE(std::lround(single), 408L);
    QCOMPARE(std::lround(chain), 810L);
    QCOMPARE(rows[0].valueText, std::string("408"));
    QVERIFY(rows[2].chainTotal);
    QCOMPARE(rows[2].chainText, std::string("810"));
    QVERIFY(csv.contains(" 408, 406, 39, -5.492, 408"));
    QVERIFY(csv.contains(" 471, 433, 186, 23.214, 810"));
    // Areas: added and subtracted on their own layers.
    const double added = polylines.find(QStringLiteral("AREA_G0"))->second.second;
    const double hole = polylines.find(QStringLiteral("AREA_SUB_G0"))->second.second;
    QVERIFY2(std::fabs(added - PlaneArea(plane, {{150, 150}, {250, 150}, {250, 220}, {150, 220}})) < 0.001,
             qPrintable(QString::number(added)));
    QVERIFY2(std::fabs(hole - PlaneArea(plane, {{170, 160}, {200, 160}, {200, 190}, {170, 190}})) < 0.001,
             qPrintable(QString::number(hole)));
    QCOMPARE(std::lround(added * 1000), 269L);
    QCOMPARE(std::lround(hole * 1000), 34L);
    QCOMPARE(rows[3].valueText, std::string("0.269"));
    QCOMPARE(rows[4].valueText, std::string("-0.034"));
    QVERIFY(csv.contains(" +0.269, 2078,"));
    QVERIFY(csv.contains(" -0.034, 745,"));
    // The area's name, as CAD programs read it.
    QVERIFY2(out.contains(QStringLiteral("TEXT LABELS 外壁")), qPrintable(out));
}

// The results file from the file menu and from batch mode: the same bytes,
// every setting of the photo in it (the one shown as it is, the other from
// its working file), each number the CSV's, each uncertainty worked out with
// the click precision of the preferences.
void WindowOutputsTest::resultsFileFromTheMenuAndFromBatchMode()
{
    Fixture f;
    TF001& w = f.Open();
    w.MutableSettings().ClickSigma = 1.5;
    const QString photo = f.Photo(QStringLiteral("site,1.jpg"), Qt::gray);
    w.LoadFile(photo);
    Measure(w);
    w.mnChangeClick(2);
    QCOMPARE(w.Doc().CurrentSetting, 2);
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{4, {110, 140}, {260, 150}}); });
    Set(w, [&](Document& d) { d.Modified = 1; });
    const std::string csv = Cp932ToUtf8(CsvBytes(w.Doc(), true));
    // A check distance: a row of its own, after the results, never in the CSV.
    w.Edit().AddCheck({120, 200}, {250, 215}, 1250.5);
    QCOMPARE(Cp932ToUtf8(CsvBytes(w.Doc(), true)), csv);
    // Some 704.6 mm on the plane of the reference.
    QVERIFY(std::fabs(PlaneLength(ReferenceModel(), {120, 200}, {250, 215}) - 704.7) < 0.5);

    const QString fromMenu = f.home.filePath(QStringLiteral("menu.csv"));
    f.prompter->textTarget = fromMenu;
    QVERIFY(w.ItemEnabled(QStringLiteral("mnTableOut")));
    w.Action(QStringLiteral("mnTableOut"))->trigger();
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("site,1_results.csv"));
    QFile menuFile(fromMenu);
    QVERIFY(menuFile.open(QIODevice::ReadOnly));
    const QByteArray menu = menuFile.readAll();
    f.prompter->answers = {true};
    f.Close();

    const QString fromBatch = f.home.filePath(QStringLiteral("batch.csv"));
    QProcess batch;
    batch.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                               QStringLiteral("--setting"), QStringLiteral("2"), QStringLiteral("--table"),
                                               fromBatch});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);
    QFile batchFile(fromBatch);
    QVERIFY(batchFile.open(QIODevice::ReadOnly));
    QCOMPARE(batchFile.readAll(), menu);

    QVERIFY(menu.startsWith("\xEF\xBB\xBFphoto,setting,plane,kind,number,group,name,value,unit,uncertainty,slope_v,"
                            "slope_h,corrected,check_length\r\n"));
    const QStringList lines = QString::fromUtf8(menu.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[4], QStringLiteral("\"site,1.jpg\",2,1,check,1,,,704.7,mm,13,,,0,1250.5"));
    QVERIFY2(lines[1].startsWith(QStringLiteral("\"site,1.jpg\",1,1,distance,1,0,,")), qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(QStringLiteral("\"site,1.jpg\",1,1,area,1,0,外壁,")), qPrintable(lines[2]));
    // Setting 2's distance: the CSV's value and the uncertainty at 1.5 pixels.
    // (The quoted photo name holds one comma: the fields split one further on.)
    const QStringList last = lines[3].split(QLatin1Char(','));
    QCOMPARE(last.size(), 15);
    QCOMPARE(last.mid(2, 6), (QStringList{QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("distance"),
                                           QStringLiteral("1"), QStringLiteral("4"), QString()}));
    // 773 mm on the plane of the reference.
    QCOMPARE(std::lround(PlaneLength(ReferenceModel(), {110, 140}, {260, 150})), 773L);
    QCOMPARE(last[8], QStringLiteral("773"));
    QVERIFY2(csv.find("\r\n " + last[8].toStdString() + ",") != std::string::npos, csv.c_str());
    QCOMPARE(last[9], QStringLiteral("mm"));
    QCOMPARE(last[10], QStringLiteral("13"));
}

// Batch mode's workbook of one photo, read back by openpyxl: a row for each
// distance and area of the results file batch mode writes beside it, every
// quantity the same number, the cost the quantity's cell times the price's
// cell; a workbook that cannot be written leaves nothing behind.
void WindowOutputsTest::workbookFromBatchModeHoldsTheResultsFilesNumbers()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("site,2.jpg"), Qt::gray);
    w.LoadFile(photo);
    Measure(w);
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{3, {110, 140}, {260, 150}}); });
    Set(w, [&](Document& d) { d.Modified = 1; });
    f.prompter->answers = {true};
    f.Close();

    const QString table = f.home.filePath(QStringLiteral("batch.csv"));
    const QString xlsx = f.home.filePath(QStringLiteral("batch.xlsx"));
    auto run = [&](const QStringList& more) {
        QProcess batch;
        batch.start(QStringLiteral(KALVEX_BINARY), QStringList{QStringLiteral("--batch"), photo, QStringLiteral("--home"),
                                                               f.home.path()} + more);
        batch.waitForFinished(60000);
        return std::pair{batch.exitCode(), QString::fromUtf8(batch.readAllStandardError())};
    };
    const auto done = run({QStringLiteral("--table"), table, QStringLiteral("--xlsx"), xlsx});
    QCOMPARE(done.first, 0);
    QVERIFY2(done.second.isEmpty(), qPrintable(done.second));

    // The results file's distances and areas, in its order.
    QFile tableFile(table);
    QVERIFY(tableFile.open(QIODevice::ReadOnly));
    QStringList rows = QString::fromUtf8(tableFile.readAll().mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    rows.removeFirst();
    struct Own {
        QString kind;
        double value;
    };
    std::vector<Own> own;
    for (const QString& row : rows) {
        // The photo's name is quoted for its comma: the fields after it split cleanly.
        const QStringList fields = row.mid(row.indexOf(QStringLiteral("\","))).split(QLatin1Char(','));
        if (fields[3] == QStringLiteral("distance") || fields[3] == QStringLiteral("area"))
            own.push_back({fields[3], fields[7].toDouble()});
    }
    QVERIFY(own.size() >= 3);

    for (const auto& [language, sheet, photoCaption] :
         {std::tuple{QStringLiteral("ja"), QStringLiteral("計測結果!"), QStringLiteral("写真")},
          std::tuple{QStringLiteral("en"), QStringLiteral("Results!"), QStringLiteral("Photo")}}) {
        const auto written = run({QStringLiteral("--lang"), language, QStringLiteral("--xlsx"), xlsx});
        QCOMPARE(written.first, 0);
        QProcess reader;
        reader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(QT_TESTCASE_SOURCEDIR "/read_xlsx.py"), xlsx});
        QVERIFY(reader.waitForFinished(60000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        std::map<QString, QStringList> cells;
        for (const QString& line : QString::fromUtf8(reader.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList f6 = line.split(QLatin1Char('\t'));
            QCOMPARE(f6.size(), 6);
            cells[f6[0] + QLatin1Char('!') + f6[1]] = f6.mid(2);
        }
        // The sheets and captions in the language of the run.
        QCOMPARE(cells[sheet + QStringLiteral("A1")].value(1), photoCaption);
        for (std::size_t i = 0; i < own.size(); ++i) {
            const QString r = QString::number(i + 2);
            const bool distance = own[i].kind == QStringLiteral("distance");
            const QString quantity = (distance ? QStringLiteral("H") : QStringLiteral("I")) + r;
            const QStringList q = cells[sheet + quantity];
            QCOMPARE(q.value(0), QStringLiteral("n"));
            QCOMPARE(q[1].toDouble(), own[i].value);
            QCOMPARE(cells[sheet + QStringLiteral("A") + r].value(1), QStringLiteral("site,2.jpg"));
            // The unit price is the window's field, no part of the working files:
            // batch mode's is none, and the estimator writes it into its cell.
            QCOMPARE(cells[sheet + QStringLiteral("K") + r].value(0), QStringLiteral("n"));
            QCOMPARE(cells[sheet + QStringLiteral("K") + r].value(1).toDouble(), 0.0);
            const QStringList cost = cells[sheet + QStringLiteral("L") + r];
            QCOMPARE(cost.value(0), QStringLiteral("f"));
            QCOMPARE(cost[1], QStringLiteral("=") + quantity + (distance ? QStringLiteral("/1000") : QString()) +
                                  QStringLiteral("*K") + r);
            QCOMPARE(cost[2].toDouble(), 0.0);
            QCOMPARE(cost[3].toDouble(), 0.0);
        }
        QVERIFY(!cells.contains(sheet + QStringLiteral("A") + QString::number(own.size() + 2)));
    }

    // Into a folder: refused, with the status of a file that cannot be written.
    const auto folder = run({QStringLiteral("--xlsx"), f.home.path()});
    QCOMPARE(folder.first, 5);
    QVERIFY2(folder.second.contains(QStringLiteral("it is a folder")), qPrintable(folder.second));
    // A file system with no room: the workbook that was there stays as it was.
    const QByteArray before = [&] {
        QFile file(xlsx);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QProcess limited;
    limited.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 8; exec \"$0\" \"$@\""),
                                              QStringLiteral(KALVEX_BINARY), QStringLiteral("--batch"), photo,
                                              QStringLiteral("--home"), f.home.path(), QStringLiteral("--xlsx"), xlsx});
    QVERIFY(limited.waitForFinished(60000));
    QCOMPARE(limited.exitCode(), 5);
    QFile after(xlsx);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
    QVERIFY(QDir(f.home.path()).entryList({QStringLiteral("*.xlsx*")}, QDir::Files | QDir::Hidden).size() == 1);
}

// The reference plane straight on, from the menu at the size the user gives
// and from batch mode: a PNG that records its scale, a world file beside it,
// and a clear refusal past 100 megapixels.
void WindowOutputsTest::theStraightOnImageFromTheMenuAndBatchMode()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("plane.jpg"), Qt::gray);
    w.LoadFile(photo);
    Measure(w);
    const QString png = f.home.filePath(QStringLiteral("menu.png"));
    f.prompter->inputBoxAnswer = "0.5";
    f.prompter->textTarget = png;
    w.Action(QStringLiteral("mnRectifiedOut"))->trigger();
    QImage menuImage(png);
    QVERIFY(!menuImage.isNull());
    QCOMPARE(menuImage.dotsPerMeterX(), 2000);
    const QList<QByteArray> world = Bytes(f.home.filePath(QStringLiteral("menu.pgw"))).split('\n');
    QVERIFY(world.size() >= 6);
    QCOMPARE(world[0], QByteArray("0.5"));
    QCOMPARE(world[3], QByteArray("-0.5"));
    f.prompter->answers = {true};
    f.Close();

    auto run = [&](const QString& out, const QString& size, const QString& overlay = QStringLiteral("off")) {
        QProcess p;
        p.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                               QStringLiteral("--rectified"), out, QStringLiteral("--mm-per-px"), size,
                                               QStringLiteral("--overlay"), overlay});
        p.waitForFinished(60000);
        return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    };
    const QString half = f.home.filePath(QStringLiteral("batch.png"));
    QCOMPARE(run(half, QStringLiteral("1")).first, 0);
    const QImage batchImage(half);
    QCOMPARE(batchImage.dotsPerMeterX(), 1000);
    // Half the pixels a side at twice the millimetres a pixel.
    QVERIFY(std::abs(batchImage.width() * 2 - menuImage.width()) <= 2);
    QVERIFY(QFile::exists(f.home.filePath(QStringLiteral("batch.pgw"))));
    // With the overlay, the distance is drawn in its colour; without, nowhere.
    const QString drawn = f.home.filePath(QStringLiteral("drawn.png"));
    QCOMPARE(run(drawn, QStringLiteral("1"), QStringLiteral("on")).first, 0);
    auto distancePixels = [](const QImage& image) {
        const QColor colour = ColorOf(TAppSettings{}.ColorDistance);
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y) == colour;
        return n;
    };
    QVERIFY(distancePixels(QImage(drawn)) > 10);
    QCOMPARE(distancePixels(batchImage), 0);
    const QString huge = f.home.filePath(QStringLiteral("huge.png"));
    const auto [code, err] = run(huge, QStringLiteral("0.0001"));
    QVERIFY(code != 0);
    QVERIFY2(err.contains(QStringLiteral("100 megapixels")), qPrintable(err));
    QVERIFY(!QFile::exists(huge));
}

void WindowOutputsTest::exportsThroughTheMenus()
{
    Fixture f;
    TF001& w = f.OpenWith(QStringLiteral("front.jpg"), Qt::gray);
    Measure(w);
    const QString csv = f.home.filePath(QStringLiteral("out/front.csv"));
    QDir(f.home.path()).mkdir(QStringLiteral("out"));
    f.prompter->textTarget = csv;
    w.Action(QStringLiteral("mnCsvOut"))->trigger();
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("front.csv"));
    QCOMPARE(Bytes(csv), QByteArray::fromStdString(CsvBytes(w.Doc(), true)));
    QCOMPARE(QString::fromStdString(w.Settings().CsvFolder), f.home.filePath(QStringLiteral("out")));

    Set(w, [&](Document& d) { d.View.SpaceNameView = false; });
    w.Action(QStringLiteral("mnCsvOut"))->trigger();
    QCOMPARE(Bytes(csv), QByteArray::fromStdString(CsvBytes(w.Doc(), false)));

    const QString sd = f.home.filePath(QStringLiteral("front.jts"));
    f.prompter->textTarget = sd;
    w.Action(QStringLiteral("mnCsvOut2"))->trigger();
    QCOMPARE(f.prompter->saveProposals.back(), QStringLiteral("front.jts"));
    QCOMPARE(Bytes(sd), QByteArray::fromStdString(SdBytes(w.Doc(), 0)));

    // A target that cannot be replaced: reported, the trail names the export,
    // and what stood there stays.
    const QString blocked = f.home.filePath(QStringLiteral("blocked.csv"));
    QDir(f.home.path()).mkdir(QStringLiteral("blocked.csv"));
    f.prompter->textTarget = blocked;
    const std::size_t trail = ErrorTrail::global().size();
    w.Action(QStringLiteral("mnCsvOut"))->trigger();
    QCOMPARE(f.prompter->errors.size(), std::size_t{1});
    QVERIFY(ErrorTrail::global().size() > trail);
    QCOMPARE(ErrorTrail::global().lines()[trail], std::string("mnCsvOut"));
    QVERIFY(QFileInfo(blocked).isDir());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    f.Close();
}

void WindowOutputsTest::pd25LengthsForWAndH()
{
    Fixture f;
    TF001& w = f.Open();
    const QString meter = f.home.filePath(QStringLiteral("pd25.csv"));
    {
        QFile out(meter);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray::fromStdString(Utf8ToCp932("番号,種別,値,単位\r\n1,距離,1.234,m,,\r\n2,距離,56.7,cm,,\r\n3,距離,3.5,ft,,\r\n4,距離,2,yd,,\r\n")));
    }
    w.MutableSettings().PD25Flag = true;
    f.prompter->pd25File = meter;
    w.LoadFile(f.Photo(QStringLiteral("m.jpg"), Qt::gray));
    QCOMPARE(w.Pd25Lines().size(), 5);
    QCOMPARE(QString::fromStdString(w.Settings().PD25Folder), f.home.path());
    Set(w, [&](Document& d) { MarkReference(d); });
    w.SetCommand(uCommand::None);

    f.prompter->pd25Pick = 1;
    w.mnBaseLineClick(true);
    QCOMPARE(w.Command(), uCommand::BaseLineW);
    QCOMPARE(w.Doc().KijunWText, std::string("1234"));
    f.prompter->pd25Pick = 2;
    w.mnBaseLineClick(false);
    QCOMPARE(w.Doc().KijunHText, std::string("567"));
    f.prompter->pd25Pick.reset();
    w.mnBaseLineClick(true);
    QCOMPARE(w.Doc().KijunWText, std::string("1234"));  // abort changes nothing

    // Feet are converted; a unit we cannot convert is refused by name.
    f.prompter->pd25Pick = 3;
    w.mnBaseLineClick(false);
    QCOMPARE(w.Doc().KijunHText, std::string("1066.8"));
    f.prompter->pd25Pick = 4;
    const std::size_t warned = f.prompter->warnings.size();
    w.mnBaseLineClick(true);
    QCOMPARE(f.prompter->warnings.size(), warned + 1);
    QVERIFY(f.prompter->warnings.back().find("'yd'") != std::string::npos);
    QCOMPARE(w.Doc().KijunWText, std::string("1234"));

    // A meter's file that cannot be read does not keep the photo closed.
    f.prompter->pd25File = f.home.path();
    w.LoadFile(f.Photo(QStringLiteral("n.jpg"), Qt::gray));
    QVERIFY(w.HasPhoto());
    QVERIFY(w.Pd25Lines().isEmpty());
    QVERIFY(QString::fromStdString(f.prompter->warnings.back()).contains(f.home.path()));

    // With the feature off the list loaded earlier stays.
    f.prompter->pd25File = meter;
    w.LoadFile(f.Photo(QStringLiteral("o.jpg"), Qt::gray));
    w.MutableSettings().PD25Flag = false;
    w.LoadFile(f.Photo(QStringLiteral("p.jpg"), Qt::gray));
    QCOMPARE(w.Pd25Lines().size(), 5);
    f.Close();
}

// The language changes the words the user reads, never the files a peer
// reads: the CSV and SD files are the same bytes, and the report shows the
// same numbers, whichever language wrote them.
void WindowOutputsTest::filesAreTheSameInEveryLanguage()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("lang.jpg"), Qt::darkGray);
    w.LoadFile(photo);
    Measure(w);
    f.prompter->answers = {true};
    f.Close();
    std::map<QString, std::map<QString, QByteArray>> written;
    for (const QString& lang : {QStringLiteral("ja"), QStringLiteral("en")}) {
        const QString csv = f.home.filePath(lang + QStringLiteral(".csv"));
        const QString sd = f.home.filePath(lang + QStringLiteral(".jts"));
        const QString pdf = f.home.filePath(lang + QStringLiteral(".pdf"));
        QProcess p;
        p.start(QStringLiteral(KALVEX_BINARY),
                {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(), QStringLiteral("--lang"), lang,
                 QStringLiteral("--csv"), csv, QStringLiteral("--sd"), sd, QStringLiteral("--pdf"), pdf});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QProcess text;
        // As laid out on the page: the words of each language are of other
        // widths, and only the layout keeps the reading order of a row.
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        QByteArray numbers;
        static const QRegularExpression number(QStringLiteral("[0-9][0-9,.]*"));
        // The unit, not a number: the English detail pages write the square metre as "m2".
        const QString words = QString::fromUtf8(text.readAllStandardOutput()).replace(QStringLiteral("m2"), QStringLiteral("㎡"));
        for (const auto& m : number.globalMatch(words))
            numbers += m.captured().toUtf8() + ' ';
        written[lang] = {{QStringLiteral("csv"), Bytes(csv)}, {QStringLiteral("sd"), Bytes(sd)},
                         {QStringLiteral("report's numbers"), numbers}};
    }
    for (const auto& [what, bytes] : written[QStringLiteral("ja")]) {
        QVERIFY2(!bytes.isEmpty(), qPrintable(what));
        QVERIFY2(written[QStringLiteral("en")][what] == bytes,
                 qPrintable(what + QStringLiteral(":\n") + QString::fromUtf8(bytes) + QStringLiteral("\n") +
                            QString::fromUtf8(written[QStringLiteral("en")][what])));
    }
}

void WindowOutputsTest::batchModeWritesWhatTheMenuWrites()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("batch.jpg"), Qt::darkGray);
    w.LoadFile(photo);
    Measure(w);
    const QString menuCsv = f.home.filePath(QStringLiteral("menu.csv"));
    f.prompter->textTarget = menuCsv;
    w.Action(QStringLiteral("mnCsvOut"))->trigger();
    f.prompter->answers = {true};
    f.Close();  // keeps the measurements in the photo's own files

    const QString temp = QString::fromStdString(f.Temp().string());
    const auto before = Snapshot(temp);
    const QByteArray ini = Bytes(f.home.filePath(QStringLiteral("kvx.ini")));
    QVERIFY(before.size() >= 2);
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(KALVEX_BINARY), args);
        p.waitForFinished(60000);
        return std::tuple{p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    };
    const QString batchCsv = f.home.filePath(QStringLiteral("batch.csv"));
    const QString batchSd = f.home.filePath(QStringLiteral("batch.jts"));
    auto [code, out, err] = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                 QStringLiteral("--csv"), batchCsv, QStringLiteral("--sd"), batchSd});
    QCOMPARE(code, 0);
    QVERIFY2(out.isEmpty() && err.isEmpty(), err.constData());
    QCOMPARE(Bytes(batchCsv), Bytes(menuCsv));
    QVERIFY(Bytes(batchSd).contains(QByteArray::fromStdString(Utf8ToCp932("外壁"))));
    QVERIFY(Snapshot(temp) == before);  // the working folder as it was
    QCOMPARE(Bytes(f.home.filePath(QStringLiteral("kvx.ini"))), ini);  // batch mode writes no settings

    // Names off and another setting (empty there).
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                     QStringLiteral("--setting"), QStringLiteral("2"), QStringLiteral("--names"),
                                     QStringLiteral("off"), QStringLiteral("--csv"), batchCsv});
    QCOMPARE(code, 0);
    QVERIFY(!Bytes(batchCsv).contains("150"));
    QVERIFY(Snapshot(temp) == before);

    const QString nothing = f.home.filePath(QStringLiteral("nothing.csv"));
    std::tie(code, out, err) = run({QStringLiteral("--batch"), f.home.filePath(QStringLiteral("missing.jpg")),
                                     QStringLiteral("--home"), f.home.path(), QStringLiteral("--csv"), nothing});
    QVERIFY(code != 0);
    QVERIFY(err.startsWith("kalvex: "));
    QVERIFY(!QFile::exists(nothing));

    QDir(f.home.path()).mkdir(QStringLiteral("taken.csv"));
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                     QStringLiteral("--csv"), f.home.filePath(QStringLiteral("taken.csv"))});
    QVERIFY(code != 0);
    QVERIFY2(err.contains("is a folder"), err.constData());
    QVERIFY(QFileInfo(f.home.filePath(QStringLiteral("taken.csv"))).isDir());

    // Standard output takes the CSV as it is (a pipe here), and a link keeps
    // pointing at the file it names, which gets the new CSV.
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                     QStringLiteral("--csv"), QStringLiteral("/dev/stdout")});
    QCOMPARE(code, 0);
    QCOMPARE(out, Bytes(menuCsv));
    const QString linked = f.home.filePath(QStringLiteral("linked.csv"));
    QVERIFY(QFile::link(menuCsv, linked));
    QVERIFY(QFile::remove(batchCsv) && QFile::copy(menuCsv, batchCsv));
    QFile::remove(menuCsv);
    QVERIFY(QFile(menuCsv).open(QIODevice::WriteOnly));
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                     QStringLiteral("--csv"), linked});
    QCOMPARE(code, 0);
    QVERIFY(QFileInfo(linked).isSymLink());
    QCOMPARE(Bytes(menuCsv), Bytes(batchCsv));
    std::tie(code, out, err) = run({QStringLiteral("--batch"), photo, QStringLiteral("--group"), QStringLiteral("9")});
    QVERIFY(code != 0);
}

void WindowOutputsTest::batchMessagesNameTheUsersFiles()
{
    Fixture f;
    TF001& w = f.Open();
    const QString photo = f.Photo(QStringLiteral("damaged.jpg"), Qt::darkGray);
    w.LoadFile(photo);
    const std::string key = PerImageKey(w.Doc().ImageFileName, w.Doc().ImageCheckSum);
    f.Close();
    // The photo's saved measurements of the first setting, cut short after
    // their version.
    const std::filesystem::path saved = PerImageFile(f.Temp(), key, 1);
    std::filesystem::create_directories(f.Temp());
    std::ofstream(saved, std::ios::binary) << std::string("\x03\x00\x00\x00\x01", 5);

    QProcess p;
    p.start(QStringLiteral(KALVEX_BINARY), {QStringLiteral("--batch"), photo, QStringLiteral("--home"), f.home.path(),
                                           QStringLiteral("--csv"), f.home.filePath(QStringLiteral("out.csv"))});
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY(p.exitCode() != 0);
    QVERIFY2(err.contains(QString::fromStdString(saved.string())), qPrintable(err));
    QString rest = err;
    rest.remove(f.home.path());
    QVERIFY2(!rest.contains(QDir::tempPath()), qPrintable(err));
}

// A save dialog first proposes the photo's own folder; once a file of that
// kind is written elsewhere, the next one of the kind starts there.
void WindowOutputsTest::saveDialogsStartWhereTheFilesBelong()
{
    Fixture f;
    QVERIFY(QDir(f.home.path()).mkpath(QStringLiteral("site/photos")));
    QVERIFY(QDir(f.home.path()).mkpath(QStringLiteral("out")));
    const QString photos = f.home.filePath(QStringLiteral("site/photos"));
    TF001& w = f.Open();
    QImage image(QSize(300, 200), QImage::Format_RGB888);
    image.fill(Qt::gray);
    const QString photo = photos + QStringLiteral("/wall.jpg");
    kvx::Photo(image).SaveJpeg(photo);
    w.LoadFile(photo);
    QVERIFY(w.HasPhoto());
    f.prompter->textTarget = f.home.filePath(QStringLiteral("out/wall.csv"));
    w.mnCsvOutClick();
    w.mnCsvOutClick();
    f.prompter->textTarget.reset();
    w.mnPdfOutClick();
    const std::vector<QString> expected{photos, f.home.filePath(QStringLiteral("out")), photos};
    QCOMPARE(f.prompter->saveFolders, expected);
    f.Close();
}

void WindowOutputsTest::saveDialogsAddTheirOwnSuffix_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    QTest::newRow("PDF report") << QStringLiteral("pdf files (*.pdf)") << QStringLiteral("report.pdf");
    QTest::newRow("CSV") << QStringLiteral("csv files (*.csv)") << QStringLiteral("report.csv");
    QTest::newRow("outline file") << QStringLiteral("csv files (*.jts)") << QStringLiteral("report.jts");
}

void WindowOutputsTest::saveDialogsAddTheirOwnSuffix()
{
    QFETCH(QString, filter);
    QFETCH(QString, written);
    QTemporaryDir folder;
    QWidget parent;
    QtPrompter prompter(&parent);
    {
        const ModalScript script({SaveAs(QStringLiteral("report"))});
        const auto path = prompter.SaveText(QStringLiteral("save"), folder.path(), QStringLiteral("x"), filter);
        QVERIFY(script.Done());
        QCOMPARE(path.value_or(QString()), folder.filePath(written));
    }
    // The question about replacing a file is about the name with its suffix.
    QVERIFY(QFile(folder.filePath(written)).open(QIODevice::WriteOnly));
    QStringList seen;
    const ModalScript script({SaveAs(QStringLiteral("report")), Answer(QMessageBox::No, seen),
                              SaveAs(QStringLiteral("other"))});
    const auto path = prompter.SaveText(QStringLiteral("save"), folder.path(), QStringLiteral("x"), filter);
    QVERIFY(script.Done());
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen.front().contains(written), qPrintable(seen.front()));
    QCOMPARE(path.value_or(QString()), folder.filePath(QStringLiteral("other.") + QFileInfo(written).suffix()));
}

void WindowOutputsTest::imageSaveAsksAboutTheNameItWrites()
{
    QTemporaryDir folder;
    QVERIFY(QFile(folder.filePath(QStringLiteral("photo.jpg"))).open(QIODevice::WriteOnly));
    QWidget parent;
    QtPrompter prompter(&parent);
    QStringList seen;
    {
        // "photo" would be written as the existing "photo.jpg": asked, kept,
        // asked again and replaced.
        const ModalScript script({SaveAs(QStringLiteral("photo")), Answer(QMessageBox::No, seen),
                                  SaveAs(QStringLiteral("photo")), Answer(QMessageBox::Yes, seen)});
        const auto choice = prompter.SaveImage(QStringLiteral("save"), folder.path(), QStringLiteral("x"), 1);
        QVERIFY(script.Done());
        QVERIFY(choice);
        QCOMPARE(choice->path, folder.filePath(QStringLiteral("photo.jpg")));
        QCOMPARE(choice->filter, 1);
        QCOMPARE(seen.size(), 2);
        QVERIFY2(seen.front().contains(folder.filePath(QStringLiteral("photo.jpg"))), qPrintable(seen.front()));
    }
    {
        // With the BMP filter the same name is a new file: no question.
        seen.clear();
        const ModalScript script({SaveAs(QStringLiteral("photo"), QStringLiteral("bmp files (*.bmp)"))});
        const auto choice = prompter.SaveImage(QStringLiteral("save"), folder.path(), QStringLiteral("x"), 1);
        QVERIFY(script.Done());
        QVERIFY(choice);
        QCOMPARE(choice->path, folder.filePath(QStringLiteral("photo.bmp")));
        QCOMPARE(choice->filter, 2);
        QVERIFY(seen.isEmpty());
    }
}

// The exports need a photo: without one their items are off, and the drawing's
// handler writes nothing even when reached.
void WindowOutputsTest::exportsWaitForAPhoto()
{
    Fixture f;
    TF001& w = f.Open();
    const QStringList exports = {QStringLiteral("mnPdfOut"),   QStringLiteral("mnCsvOut"),  QStringLiteral("mnCsvOut2"),
                                 QStringLiteral("mnDxfOut"),   QStringLiteral("mnTableOut"),
                                 QStringLiteral("mnRectifiedOut")};
    for (const QString& name : exports) {
        QVERIFY2(!w.ItemEnabled(name), qPrintable(name));
        QVERIFY2(!w.Action(name)->isEnabled(), qPrintable(name));
    }
    const QString drawing = f.home.filePath(QStringLiteral("nothing.dxf"));
    f.prompter->textTarget = drawing;
    w.mnDxfOutClick();
    QVERIFY(!QFileInfo::exists(drawing));

    w.LoadFile(f.Photo(QStringLiteral("now.jpg"), Qt::gray));
    for (const QString& name : exports)
        QVERIFY2(w.ItemEnabled(name), qPrintable(name));
    f.Close();
}

QTEST_MAIN(WindowOutputsTest)
#include "test_window_outputs.moc"
