// What the window shows of the camera that took the open photo.

#include "shell/main_window.h"

#include "exif_fixture.h"
#include "window_fixture.h"
#include "widgets/photo_info_dialog.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>


using namespace kvx;

namespace {

// The rows of the photo's information as the menu item shows them.
std::vector<std::pair<QString, QString>> ShownRows(TF001& w)
{
    std::vector<std::pair<QString, QString>> rows;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<TFDPhotoInfo*>(QApplication::activeModalWidget())) {
            seen = true;
            rows = dialog->Rows();
            dialog->reject();
        }
    });
    w.findChild<QAction*>(QStringLiteral("mnPhotoInfo"))->trigger();
    if (!seen)
        rows.emplace_back(QStringLiteral("no dialog"), QString());
    return rows;
}

} // namespace

class WindowCameraTest : public QObject {
    Q_OBJECT
private slots:
    void thePhotosCameraIsShown();
};

// A JPEG whose EXIF data tell camera, lens, focal length and date shows each;
// a photo without them says it has none rather than showing empty rows.
void WindowCameraTest::thePhotosCameraIsShown()
{
    test::Fixture fixture;
    auto& w = fixture.Open();
    const QTemporaryDir& home = fixture.home;

    QImage image(320, 240, QImage::Format_RGB888);
    image.fill(QColor(120, 140, 160));
    test::CameraFixture camera;
    camera.make = "NIKON CORPORATION";
    camera.model = "NIKON D750";
    camera.lensModel = "24.0-120.0 mm f/4.0";
    camera.focalNum = 35;
    camera.focal35 = 35;
    camera.date = "2021:03:02 11:22:33";
    const QString told = home.filePath(QStringLiteral("DSC_0001.JPG"));
    {
        QFile f(told);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(test::JpegWithExif(image, test::ExifBlock(camera)));
    }
    w.LoadFile(told);
    using Rows = std::vector<std::pair<QString, QString>>;
    const Rows expected = {{QStringLiteral("ファイル"), QStringLiteral("DSC_0001.JPG")},
                           {QStringLiteral("カメラ"), QStringLiteral("NIKON D750")},
                           {QStringLiteral("レンズ"), QStringLiteral("24.0-120.0 mm f/4.0")},
                           {QStringLiteral("焦点距離"), QStringLiteral("35 mm (35mm判換算 35 mm)")},
                           {QStringLiteral("撮影日時"), QStringLiteral("2021-03-02 11:22:33")}};
    QCOMPARE(ShownRows(w), expected);

    const QString silent = home.filePath(QStringLiteral("scan.png"));
    QVERIFY(image.save(silent, "PNG"));
    w.LoadFile(silent);
    const Rows none = {{QStringLiteral("ファイル"), QStringLiteral("scan.png")},
                       {QStringLiteral("カメラ"), QStringLiteral("この写真にはカメラの情報がありません")}};
    QCOMPARE(ShownRows(w), none);
    fixture.Close();
}

QTEST_MAIN(WindowCameraTest)
#include "test_window_camera.moc"
