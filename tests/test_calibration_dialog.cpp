// The lens calibration dialog driven as a user drives it, offscreen: photos
// of a chessboard rendered through a known lens (JPEG files with their
// camera in EXIF), the button pressed, the list and the RMS read, the profile
// saved into the profiles folder and read back.

#include "widgets/calibration_dialog.h"

#include "measure/camera_profiles.h"
#include "shell/main_window.h"

#include "board_photos.h"
#include "exif_bytes.h"
#include "workfolder.h"

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace kvx {

namespace fs = std::filesystem;

namespace {

const test::BoardCamera kCamera{0.5};

std::string Jpeg(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 97);
    const std::string jpeg = bytes.toStdString();
    return test::WithExif(jpeg, test::Tiff(true).Build("Kalvex", "KX-1", 1, 45, 10, "2024:05:01 10:00:00"));
}

QStringList Write(const test::TempFolder& folder, const std::vector<QImage>& images, const std::string& stem)
{
    QStringList out;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const fs::path p = folder.path() / (stem + std::to_string(i) + ".jpg");
        test::WriteAll(p, Jpeg(images[i]));
        out << QString::fromStdString(p.string());
    }
    return out;
}

} // namespace

class CalibrationDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { boards_ = test::BoardPhotos(kCamera.Lens(-0.3, 0.1, 0.0005, -0.0003), kCamera); }

    void MakesAndSavesAProfile()
    {
        test::TempFolder folder;
        const fs::path profiles = folder.path() / "Profiles";
        CameraCalibrationDialog dialog(profiles, 250'000'000);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* run = dialog.findChild<QPushButton*>(QStringLiteral("calibrate"));
        auto* save = dialog.findChild<QPushButton*>(QStringLiteral("save"));
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("photos"));
        auto* rms = dialog.findChild<QLabel*>(QStringLiteral("rms"));
        QVERIFY(run && save && list && rms);
        QVERIFY(!save->isEnabled());

        QImage blank(kCamera.Width(), kCamera.Height(), QImage::Format_Grayscale8);
        blank.fill(128);
        QStringList photos = Write(folder, boards_, "board");
        photos << Write(folder, {blank}, "blank");
        dialog.AddPhotos(photos);
        QCOMPARE(list->count(), 11);
        QTest::mouseClick(run, Qt::LeftButton);

        QVERIFY2(dialog.Result(), qPrintable(dialog.Status()));
        QVERIFY(save->isEnabled());
        QCOMPARE(list->count(), 11);
        for (int i = 0; i < 10; ++i) {
            QVERIFY2(list->item(i)->text().contains(QStringLiteral("チェッカーボードあり")), qPrintable(list->item(i)->text()));
            QVERIFY(!list->item(i)->icon().isNull());
        }
        QVERIFY(list->item(10)->text().contains(QStringLiteral("チェッカーボードなし")));
        QVERIFY2(rms->text().contains(QStringLiteral("再投影誤差 (RMS): 0.")), qPrintable(rms->text()));

        // The corners drawn over the copy of a photo where the board was
        // found, none over the photo without one.
        auto greenish = [](const QImage& image) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    n += c.green() > c.red() + 60 && c.green() > c.blue() + 60;
                }
            return n;
        };
        QVERIFY(greenish(dialog.Result().thumbnails[0]) > 20);
        QCOMPARE(greenish(dialog.Result().thumbnails[10]), 0);

        QTest::mouseClick(save, Qt::LeftButton);
        const fs::path first = profiles / "Kalvex KX-1 4.5 mm 640x480.kvxcam";
        QVERIFY2(fs::is_regular_file(first), qPrintable(dialog.Status()));
        QVERIFY(!save->isEnabled());
        const auto found = FindMatchingNamedProfile(profiles, CameraId{"Kalvex", "KX-1", 4.5, 640, 480});
        QVERIFY(found);
        QCOMPARE(found->second, dialog.Result().calibration.profile);

        // A second calibration of the same camera never replaces the first.
        const std::string before = test::ReadAll(first);
        QTest::mouseClick(run, Qt::LeftButton);
        QVERIFY(dialog.Result());
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(fs::is_regular_file(profiles / "Kalvex KX-1 4.5 mm 640x480 (2).kvxcam"));
        QCOMPARE(test::ReadAll(first), before);
    }

    void TellsWhyNoProfileWasMade_data()
    {
        QTest::addColumn<int>("boards");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("told");
        QTest::newRow("two boards") << 2 << 9 << QStringLiteral("2 枚だけ");
        QTest::newRow("corners of another board") << 10 << 8 << QStringLiteral("交点の数が板と合っているか");
        QTest::newRow("too few photos") << 2 << 9 << QStringLiteral("少なくとも 3 枚");
    }

    void TellsWhyNoProfileWasMade()
    {
        QFETCH(int, boards);
        QFETCH(int, columns);
        QFETCH(QString, told);
        test::TempFolder folder;
        const fs::path profiles = folder.path() / "Profiles";
        CameraCalibrationDialog dialog(profiles, 250'000'000);
        dialog.show();
        QImage blank(kCamera.Width(), kCamera.Height(), QImage::Format_Grayscale8);
        blank.fill(128);
        std::vector<QImage> images(boards_.begin(), boards_.begin() + boards);
        if (!told.contains(QStringLiteral("少なくとも")))
            images.push_back(blank);
        dialog.AddPhotos(Write(folder, images, "p"));
        dialog.findChild<QSpinBox*>(QStringLiteral("columns"))->setValue(columns);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("calibrate")), Qt::LeftButton);
        QVERIFY(!dialog.Result());
        QVERIFY2(dialog.Status().contains(told), qPrintable(dialog.Status()));
        auto* save = dialog.findChild<QPushButton*>(QStringLiteral("save"));
        QVERIFY(!save->isEnabled());
        QVERIFY(!dialog.Save());
        QVERIFY(!fs::exists(profiles));
    }

    // The window's File menu opens the dialog, modal, over the window.
    void OpensFromTheFileMenu()
    {
        QTemporaryDir home;
        AppPaths paths;
        paths.folders = ResolveFolders(home.path().toStdString(), nullptr, "/nonexistent");
        paths.resourceFolder = home.path();
        TF001 window(paths);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QAction* item = window.Action(QStringLiteral("mnCalibrateLens"));
        QVERIFY(item);
        QVERIFY(item->text().contains(QStringLiteral("(&L)")));
        bool seen = false;
        QTimer::singleShot(0, &window, [&] {
            auto* dialog = qobject_cast<CameraCalibrationDialog*>(QApplication::activeModalWidget());
            seen = dialog && dialog->parentWidget() == &window;
            if (dialog)
                dialog->reject();
        });
        item->trigger();
        QVERIFY(seen);
    }

private:
    std::vector<QImage> boards_;
};

} // namespace kvx

QTEST_MAIN(kvx::CalibrationDialogTest)
#include "test_calibration_dialog.moc"
