// The PDF report as the window and batch mode write it: "~.bmp" is written
// beside it, and the page is made from the photo in memory.  Reading "~.bmp"
// back, as the report once did, must make the very same file.

#include "shell/report_file.h"

#include "realistic.h"
#include "workfolder.h"
#include "exif_fixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace kvx {
namespace {

QByteArray ReportBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray pdf = f.readAll();
    // The creation date is the one thing that may differ.
    const QByteArray date("/CreationDate (D:");
    const qsizetype at = pdf.indexOf(date);
    if (at >= 0)
        pdf.replace(at + date.size(), 14, "20000101000000");
    return pdf;
}

QImage Pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uchar>((x * 7 + y * 3) & 0xFF);
            row[3 * x + 1] = static_cast<uchar>((x ^ y) & 0xFF);
            row[3 * x + 2] = static_cast<uchar>((x * y) >> 4 & 0xFF);
        }
    }
    return image;
}

// Sizes that reduce by whole factors before the smooth scaling, and one that
// is only scaled; wider and higher than long.
TEST(ReportFile, PageFromMemoryIsThePageFromTheBitmap)
{
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{{3001, 2003}, {1203, 1805}, {640, 480}}) {
        test::TempFolder folder;
        const std::string temp = folder.path().string();
        Document doc = test::RealisticDocument(50);
        const TAppSettings settings;
        const Photo photo(Pattern(width, height));
        const QString direct = QString::fromStdString(temp + "/direct.pdf");
        std::vector<int> steps;
        int process = 0;
        WritePdfReport(direct, doc, settings, photo, folder.path(), process, [&](int p) { steps.push_back(p); });
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back(), 100);
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));

        const PhotoLoad back = LoadPhoto(QString::fromStdString(temp + "/~.bmp"));
        ASSERT_TRUE(back.error.isEmpty()) << back.error.toStdString();
        const QString viaBitmap = QString::fromStdString(temp + "/via.pdf");
        WritePdfReport(viaBitmap, doc, settings, back.photo, folder.path(), process);
        const QByteArray a = ReportBytes(direct);
        ASSERT_GT(a.size(), 1000);
        EXPECT_TRUE(a == ReportBytes(viaBitmap)) << width << " x " << height;
    }
}

// The text of pages first..last of the PDF at path, as pdftotext reads it.
std::string PdfText(const QString& path, int first, int last)
{
    const std::string command = "pdftotext -enc UTF-8 -f " + std::to_string(first) + " -l " + std::to_string(last) +
                                " '" + path.toStdString() + "' - 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        text += buffer;
    return text;
}

// The detail pages tell the camera the photo names; the report's first page
// is the same whether the photo tells it or not.
TEST(ReportFile, DetailPagesTellTheCamera)
{
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdftotext is installed by make deps";
    test::TempFolder folder;
    const QImage image = Pattern(640, 480);
    test::CameraFixture camera;
    camera.make = "Apple";
    camera.model = "iPhone 13";
    camera.lensModel = "iPhone 13 back camera 5.1mm f/1.6";
    camera.focalNum = 51;
    camera.focalDen = 10;
    camera.focal35 = 26;
    camera.date = "2023:08:14 17:05:59";
    const std::string withExif = (folder.path() / "with.jpg").string();
    const std::string without = (folder.path() / "without.jpg").string();
    {
        QFile f(QString::fromStdString(withExif));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(test::JpegWithExif(image, test::ExifBlock(camera)));
    }
    ASSERT_TRUE(image.save(QString::fromStdString(without), "JPEG"));

    TAppSettings settings;
    settings.ReportDetailFlag = true;
    Document doc = test::RealisticDocument(50);
    int process = 0;
    const QString told = QString::fromStdString((folder.path() / "told.pdf").string());
    doc.ImageFileName = withExif;
    WritePdfReport(told, doc, settings, Photo(image), folder.path(), process);
    const QString silent = QString::fromStdString((folder.path() / "silent.pdf").string());
    doc.ImageFileName = without;
    WritePdfReport(silent, doc, settings, Photo(image), folder.path(), process);

    const std::string details = PdfText(told, 2, 2);
    for (const std::string expected : {"iPhone 13", "iPhone 13 back camera 5.1mm f/1.6", "5.1 mm", "26 mm",
                                       "2023-08-14 17:05:59"})
        EXPECT_NE(details.find(expected), std::string::npos) << expected << " missing from\n" << details;
    const std::string none = PdfText(silent, 2, 2);
    EXPECT_EQ(none.find("iPhone"), std::string::npos);
    EXPECT_EQ(none.find(" mm"), std::string::npos) << none;
    EXPECT_FALSE(PdfText(told, 1, 1).empty());
    EXPECT_EQ(PdfText(told, 1, 1), PdfText(silent, 1, 1)) << "the first page does not change";
}

} // namespace
} // namespace kvx
