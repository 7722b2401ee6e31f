// The PDF report as the window and batch mode write it: "~.bmp" is written
// beside it, and the page is made from the photo in memory.  Reading "~.bmp"
// back, as the report once did, must make the very same file.

#include "shell/report_file.h"

#include "realistic.h"
#include "workfolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

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

} // namespace
} // namespace kvx
