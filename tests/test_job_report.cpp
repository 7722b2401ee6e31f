#include "output/report/job_report.h"

#include "job_photos.h"
#include "measure/numfmt.h"
#include "workfolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kvx {
namespace {

// A photo of the job as its report takes it: the picture grey, at the size
// of its page for a photo of width x height pixels.
JobReportPhoto ReportPhoto(const JobPhoto& photo, int width, int height, bool detail)
{
    JobReportPhoto p;
    p.photo = photo;
    p.doc = photo.settings.front();
    p.page = ReportPageFor(width, height);
    p.image = TPDFImage(p.page.W, p.page.H,
                        std::vector<std::uint8_t>(static_cast<std::size_t>(p.page.W) * p.page.H * 3, 0x80));
    if (detail)
        p.detail = ReportDetail{photo.title, "2026-12-11", {}};
    return p;
}

std::string Written(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
}

int Pages(const std::string& pdf)
{
    const std::string info = test::CommandOutput("pdfinfo '" + pdf + "'");
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

// "595 x 842" for a portrait A4 page.
std::string PageSize(const std::string& pdf, int page)
{
    const std::string info =
        test::CommandOutput("pdfinfo -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" + pdf + "'");
    const std::string key = " " + std::to_string(page) + " size:";
    std::size_t at = info.find(key);
    if (at == std::string::npos)
        return info;
    at = info.find_first_not_of(' ', at + key.size());
    const std::size_t end = info.find(" pts", at);
    return info.substr(at, end - at);
}

std::string PageText(const std::string& pdf, int page)
{
    return test::CommandOutput("pdftotext -layout -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" +
                               pdf + "' -");
}

std::string SingleReport(const JobReportPhoto& p, const TAppSettings& settings)
{
    std::ostringstream out;
    int process = 0;
    WriteReport(out, p.doc, settings, p.image, p.page, process, p.detail ? &*p.detail : nullptr);
    return out.str();
}

TEST(JobReport, ASummaryPageThenEachPhotosOwnPages)
{
    const std::vector<JobPhoto> photos = test::ThreePhotos();
    const TAppSettings settings;
    // A landscape photo with details, a portrait one with details, one without.
    const std::vector<JobReportPhoto> job = {ReportPhoto(photos[0], 4000, 3000, true),
                                             ReportPhoto(photos[1], 3000, 4000, true),
                                             ReportPhoto(photos[2], 4000, 3000, false)};
    std::ostringstream out;
    int process = 0;
    WriteJobReport(out, job, JobReportHeading{"Hillside school", "2026-12-11"}, settings, process);
    EXPECT_EQ(process, 7);
    test::TempFolder folder;
    const std::string pdf = Written(folder.path() / "job.pdf", out.str());

    // Each photo's pages are as many as its own report has.
    std::vector<std::string> singles;
    int expectedPages = 1;
    for (std::size_t i = 0; i < job.size(); ++i) {
        singles.push_back(Written(folder.path() / ("single" + std::to_string(i) + ".pdf"), SingleReport(job[i], settings)));
        expectedPages += Pages(singles.back());
    }
    ASSERT_EQ(Pages(pdf), expectedPages);
    EXPECT_EQ(Pages(singles[0]), 2);
    EXPECT_EQ(Pages(singles[2]), 1);

    // The summary is portrait A4; each photo's pages have its own report's size and texts.
    EXPECT_EQ(PageSize(pdf, 1), "595 x 842");
    int page = 2;
    for (std::size_t i = 0; i < job.size(); ++i) {
        for (int own = 1; own <= Pages(singles[i]); ++own, ++page) {
            SCOPED_TRACE(job[i].photo.title + " page " + std::to_string(own));
            EXPECT_EQ(PageSize(pdf, page), PageSize(singles[i], own));
            EXPECT_EQ(PageText(pdf, page), PageText(singles[i], own));
        }
    }
    EXPECT_EQ(PageSize(pdf, 2), "842 x 595");
    EXPECT_EQ(PageSize(pdf, 4), "595 x 842");
    // North's photo and details, then south's.
    EXPECT_NE(PageText(pdf, 3).find("north.jpg"), std::string::npos) << "the first photo's details name it";
    EXPECT_NE(PageText(pdf, 5).find("south.jpg"), std::string::npos) << "the second photo's details name it";

    // The summary: the job, every photo with its totals, the job's totals by group.
    const std::string summary = PageText(pdf, 1);
    EXPECT_NE(summary.find("Hillside school"), std::string::npos) << summary;
    EXPECT_NE(summary.find("2026-12-11"), std::string::npos) << summary;
    for (const JobPhoto& p : photos)
        EXPECT_NE(summary.find(p.title), std::string::npos) << p.title;
    // Group 2 over the job: the length of north's and south's distance as
    // their own results files have them, summed.
    double group2 = 0;
    for (std::size_t i = 0; i < 2; ++i)
        for (const test::OwnRow& r : test::OwnResults(photos[i]))
            if (r.group == 2 && r.kind == "distance")
                group2 += r.value;
    EXPECT_NEAR(group2, test::SceneTotals()[2].length, 2.0);
    EXPECT_NE(summary.find(FormatNumber0(group2)), std::string::npos) << FormatNumber0(group2) << "\n" << summary;
}

// A job of so many photos that the summary runs onto a second page.
TEST(JobReport, ALongSummaryGoesOnToMorePages)
{
    const std::vector<JobPhoto> three = test::ThreePhotos();
    std::vector<JobReportPhoto> job;
    for (int i = 0; i < 60; ++i) {
        JobPhoto p = three[0];
        p.title = "photo" + std::to_string(i) + ".jpg";
        JobReportPhoto r = ReportPhoto(p, 40, 30, false);
        // The picture's pixels play no part here: a few stretched over the page.
        r.image = TPDFImage(4, 3, std::vector<std::uint8_t>(36, 0x80));
        job.push_back(std::move(r));
    }
    std::ostringstream out;
    int process = 0;
    WriteJobReport(out, job, JobReportHeading{"Long", "2026-12-11"}, TAppSettings{}, process);
    test::TempFolder folder;
    const std::string pdf = Written(folder.path() / "long.pdf", out.str());
    // 60 photos of 3 groups each: 180 rows do not fit one page.
    const int pages = Pages(pdf);
    ASSERT_GT(pages, 60 + 1);
    const int summaryPages = pages - 60;
    std::string summary;
    for (int p = 1; p <= summaryPages; ++p)
        summary += PageText(pdf, p);
    for (int i = 0; i < 60; ++i)
        EXPECT_NE(summary.find("photo" + std::to_string(i) + ".jpg"), std::string::npos) << i;
    EXPECT_EQ(PageSize(pdf, summaryPages + 1), "842 x 595");
}

} // namespace
} // namespace kvx
