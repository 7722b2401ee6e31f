// Batch mode's lens: the measurements of a wall photographed through a known
// barrel lens, kept by the window as the user placed them on the photo, and
// exported by the real program with each way of choosing the correction.
#include "exif_fixture.h"
#include "csv_first_distance.h"
#include "lens_scene.h"
#include "scene.h"
#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace kvx;
using namespace kvx::test;

namespace {

constexpr int kWidth = 960, kHeight = 720;
constexpr double kK = -0.2;

Camera SceneCamera()
{
    Camera cam;
    cam.yawDeg = 20;
    cam.pitchDeg = 5;
    cam.distance = 3000;
    cam.focal = 800;
    cam.cx = kWidth / 2.0;
    cam.cy = kHeight / 2.0;
    return cam;
}

const LensTruth kLens = LensTruth::Division(kK, kWidth, kHeight);

TDPoint OnPhoto(double X, double Y)
{
    return Shot(SceneCamera(), kLens, X, Y);
}

// The wall's line from a to b (mm) as n points on the photo.
QString EdgeLine(TDPoint a, TDPoint b, int n)
{
    QString line;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / (n - 1);
        const TDPoint p = OnPhoto(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
        line += QString::number(p.x, 'f', 3) + QLatin1Char(' ') + QString::number(p.y, 'f', 3) + QLatin1Char(' ');
    }
    return line.trimmed() + QLatin1Char('\n');
}

void WriteText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}


struct Run {
    int code = -1;
    QByteArray err;
};

Run Batch(const QString& photo, const QString& home, QStringList options)
{
    QProcess batch;
    batch.start(QStringLiteral(KALVEX_BINARY), QStringList{QStringLiteral("--batch"), photo, QStringLiteral("--home"), home} + options);
    if (!batch.waitForFinished(60000))
        return {};
    return {batch.exitCode(), batch.readAllStandardError()};
}

// The wall's 2 m long diagonal across the photo's corner regions, far from
// the 400 x 300 mm reference in the middle.
const TDPoint kFrom{-1500, -1100}, kTo{1300, 1000};

} // namespace

class BatchLensTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void eachWayOfChoosingTheLens_data();
    void eachWayOfChoosingTheLens();
    void refusalsWriteNothing_data();
    void refusalsWriteNothing();

private:
    Fixture f_;
    QString photo_;
    QString home_;
    double wall_ = 0;
};

void BatchLensTest::initTestCase()
{
    // A JPEG that tells its camera, as a phone's does.
    QImage grey(kWidth, kHeight, QImage::Format_RGB888);
    grey.fill(QColor(140, 140, 140));
    photo_ = f_.home.filePath(QStringLiteral("wall.jpg"));
    WriteText(photo_, JpegWithExif(grey, ExifBlock(CameraFixture{"Test", "Wall", "", "", "", 4, 1, 0})));
    TF001& w = f_.Open();
    w.LoadFile(photo_);
    w.Edit().SetReferenceWithSize({OnPhoto(-200, 150), OnPhoto(200, 150), OnPhoto(200, -150), OnPhoto(-200, -150)}, "400",
                                  "300");
    w.Edit().AddDistance(OnPhoto(kFrom.x, kFrom.y), OnPhoto(kTo.x, kTo.y), false);
    QVERIFY(w.SaveImageState());
    f_.Close();
    home_ = f_.home.path();
    wall_ = std::hypot(kTo.x - kFrom.x, kTo.y - kFrom.y);

    // Two wall lines near the photo's top and left side, and a profile of the
    // lens itself, for this photo's size and another.
    WriteText(f_.home.filePath(QStringLiteral("edges.txt")),
              ("# top and left\n" + EdgeLine({-2000, 1150}, {1800, 1150}, 9) + "\n" + EdgeLine({-1650, -1200}, {-1650, 1300}, 9))
                  .toUtf8());
    WriteText(f_.home.filePath(QStringLiteral("one.txt")), EdgeLine({-2000, 1150}, {1800, 1150}, 9).toUtf8());
    WriteText(f_.home.filePath(QStringLiteral("odd.txt")), "10 10 400 12 900\n");
    const QString model = QStringLiteral("lens division %1 %2 %3\r\n").arg(kK).arg(kWidth).arg(kHeight);
    WriteText(f_.home.filePath(QStringLiteral("lens.kvxcam")),
              ("kalvex-camera 1\r\nmake Test\r\nmodel Wall\r\nfocal 4\r\nsize 960 720\r\n" + model + "rms 0\r\n").toUtf8());
    WriteText(f_.home.filePath(QStringLiteral("other.kvxcam")),
              "kalvex-camera 1\r\nmake Test\r\nmodel Wall\r\nfocal 4\r\nsize 4000 3000\r\nlens division -0.2 4000 3000\r\nrms 0\r\n");
}

void BatchLensTest::eachWayOfChoosingTheLens_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("profiled");      // the home holds a profile of the photo's camera
    QTest::addColumn<double>("within");      // the relative error of the wall's length is below this
    QTest::addColumn<double>("offAtLeast");  // ... and at least this
    QTest::newRow("no profile: no correction") << QStringList{} << false << 1.0 << 0.01;
    QTest::newRow("the camera's profile") << QStringList{} << true << 0.001 << 0.0;
    QTest::newRow("none over the camera's profile") << QStringList{QStringLiteral("--lens"), QStringLiteral("none")} << true
                                                    << 1.0 << 0.01;
    QTest::newRow("the lens's profile named")
        << QStringList{QStringLiteral("--lens"), f_.home.filePath(QStringLiteral("lens.kvxcam"))} << false << 0.001 << 0.0;
    QTest::newRow("two straight edges")
        << QStringList{QStringLiteral("--straight-lines"), f_.home.filePath(QStringLiteral("edges.txt"))} << false << 0.003
        << 0.0;
}

void BatchLensTest::eachWayOfChoosingTheLens()
{
    QFETCH(QStringList, options);
    QFETCH(bool, profiled);
    QFETCH(double, within);
    QFETCH(double, offAtLeast);
    QDir profiles(f_.home.filePath(QStringLiteral("Profiles")));
    profiles.removeRecursively();
    if (profiled) {
        QVERIFY(profiles.mkpath(QStringLiteral(".")));
        QVERIFY(QFile::copy(f_.home.filePath(QStringLiteral("lens.kvxcam")), profiles.filePath(QStringLiteral("wall.kvxcam"))));
    }
    QTemporaryDir out;
    const QString csv = out.filePath(QStringLiteral("out.csv"));
    const Run run = Batch(photo_, home_, QStringList{QStringLiteral("--csv"), csv} + options);
    QVERIFY2(run.code == 0, run.err.constData());
    const double error = std::fabs(CsvFirstDistance(csv) / wall_ - 1);
    QVERIFY2(error < within && error >= offAtLeast,
             qPrintable(QStringLiteral("measured %1 mm, the wall has %2 mm").arg(CsvFirstDistance(csv)).arg(wall_)));
}

void BatchLensTest::refusalsWriteNothing_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("code");
    QTest::newRow("one edge") << QStringList{QStringLiteral("--straight-lines"), f_.home.filePath(QStringLiteral("one.txt"))} << 7;
    QTest::newRow("half a point") << QStringList{QStringLiteral("--straight-lines"), f_.home.filePath(QStringLiteral("odd.txt"))}
                                  << 7;
    QTest::newRow("no edges file") << QStringList{QStringLiteral("--straight-lines"), f_.home.filePath(QStringLiteral("none.txt"))}
                                   << 7;
    QTest::newRow("no profile") << QStringList{QStringLiteral("--lens"), f_.home.filePath(QStringLiteral("none.kvxcam"))} << 7;
    QTest::newRow("profile of another size")
        << QStringList{QStringLiteral("--lens"), f_.home.filePath(QStringLiteral("other.kvxcam"))} << 7;
    QTest::newRow("an edges file as the profile")
        << QStringList{QStringLiteral("--lens"), f_.home.filePath(QStringLiteral("edges.txt"))} << 7;
    QTest::newRow("both ways at once") << QStringList{QStringLiteral("--lens"), QStringLiteral("none"),
                                                      QStringLiteral("--straight-lines"),
                                                      f_.home.filePath(QStringLiteral("edges.txt"))}
                                       << 2;
}

void BatchLensTest::refusalsWriteNothing()
{
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QTemporaryDir out;
    const QString csv = out.filePath(QStringLiteral("out.csv"));
    const Run run = Batch(photo_, home_, QStringList{QStringLiteral("--csv"), csv} + options);
    QCOMPARE(run.code, code);
    QVERIFY(!run.err.isEmpty());
    QVERIFY2(!run.err.trimmed().contains('\n'), run.err.constData());
    QVERIFY(!QFile::exists(csv));
}

QTEST_MAIN(BatchLensTest)
#include "test_batch_lens.moc"
