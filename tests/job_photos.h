#pragma once

// A job of photos of known scenes for the tests of the job's outputs: each
// photo a pinhole camera's view of a wall with a reference rectangle, its
// distances and areas laid out in wall millimetres, so that every number the
// outputs print has a truth to be held against.

#include "measure/calibration.h"
#include "measure/cp932.h"
#include "output/export/job_tables.h"
#include "output/export/results_table.h"
#include "scene.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kvx::test {

struct WallDistance {
    std::int32_t group;
    TDPoint a, b;  // wall millimetres
};

struct WallArea {
    std::uint8_t kind;  // kSpaceAdd or kSpaceSub
    std::int32_t group;
    TDPoint centre;
    double w, h;  // mm
    const char* name;
};

inline Document WallPhoto(const std::string& file, const Camera& cam, const char* price,
                          const std::vector<WallDistance>& distances, const std::vector<WallArea>& areas)
{
    Document doc;
    doc.ImageFileName = "/jobs/site/" + file;
    doc.CurrentSetting = 1;
    SetReferenceRect(doc, cam.Rect(0, 0, 1000, 800), true);
    doc.KijunHText = "800";
    doc.TankaText = price;
    for (const WallDistance& d : distances) {
        TDistance t;
        t.group = d.group;
        t.start = cam.Project(d.a.x, d.a.y);
        t.end = cam.Project(d.b.x, d.b.y);
        doc.Plane.Distances.Append(t);
    }
    for (const WallArea& a : areas) {
        TSpace s;
        s.kind = a.kind;
        s.group = a.group;
        const TDPoint c = a.centre;
        s.points = {cam.Project(c.x - a.w / 2, c.y + a.h / 2), cam.Project(c.x + a.w / 2, c.y + a.h / 2),
                    cam.Project(c.x + a.w / 2, c.y - a.h / 2), cam.Project(c.x - a.w / 2, c.y - a.h / 2)};
        s.points.push_back(s.points.front());
        s.correctedPoints.resize(s.points.size());
        s.name = Utf8ToCp932(a.name);
        doc.Plane.Spaces.Append(s);
    }
    return doc;
}

// Three photos: two with results in groups they share and groups of their
// own, at different unit prices, and one with none.
inline std::vector<JobPhoto> ThreePhotos()
{
    const Camera north{30, 10};
    const Camera south{-20, 5};
    return {
        {"north.jpg",
         {WallPhoto("north.jpg", north, "1200",
                    {{2, {-400, -300}, {600, 200}}, {0, {-900, 100}, {1800, -600}}},
                    {{kSpaceAdd, 1, {0, 0}, 2000, 1500, "壁,東"}, {kSpaceSub, 1, {200, 100}, 600, 400, "窓"}})}},
        {"south.jpg",
         {WallPhoto("south.jpg", south, "800", {{2, {-700, 0}, {800, 0}}},
                    {{kSpaceAdd, 2, {0, 0}, 1000, 1000, "=SUM(A1)"}, {kSpaceSub, 2, {0, 0}, 400, 500, "扉"}})}},
        {"empty.jpg", {WallPhoto("empty.jpg", south, "500", {}, {})}},
    };
}

// The truth of the scenes: each group's length (mm) and area (m²) over the job.
struct SceneTotal {
    double length = 0, area = 0;
};
inline std::map<std::int32_t, SceneTotal> SceneTotals()
{
    return {{0, {std::hypot(2700.0, 700.0), 0}},
            {1, {0, 3.0 - 0.24}},
            {2, {std::hypot(1000.0, 500.0) + 1500, 1.0 - 0.2}}};
}

// One row of a photo's own results file as a reader of it sees it.
struct OwnRow {
    std::string kind;
    std::int32_t group = 0;
    double value = 0;
};

// The distance and area rows of a photo's own results file, read back from
// its bytes: the fields split at commas outside quotes.
inline std::vector<OwnRow> OwnResults(const JobPhoto& photo)
{
    const std::string bytes = ResultsTableBytes(photo.settings, 0.5);
    std::vector<OwnRow> rows;
    std::size_t at = bytes.find("\r\n") + 2;  // past the header
    while (at < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", at);
        std::vector<std::string> fields(1);
        bool quoted = false;
        for (std::size_t i = at; i < end; ++i) {
            const char c = bytes[i];
            if (c == '"')
                quoted = !quoted;
            else if (c == ',' && !quoted)
                fields.emplace_back();
            else
                fields.back() += c;
        }
        at = end + 2;
        EXPECT_EQ(fields.size(), 14u);
        if (fields.size() != 14 || (fields[3] != "distance" && fields[3] != "area"))
            continue;
        OwnRow r;
        r.kind = fields[3];
        std::from_chars(fields[5].data(), fields[5].data() + fields[5].size(), r.group);
        const auto [p, ec] = std::from_chars(fields[7].data(), fields[7].data() + fields[7].size(), r.value);
        EXPECT_TRUE(ec == std::errc() && p == fields[7].data() + fields[7].size()) << fields[7];
        rows.push_back(r);
    }
    return rows;
}

// The output of a command.
inline std::string CommandOutput(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        EXPECT_EQ(pclose(p), 0) << command;
    } else {
        ADD_FAILURE() << "cannot run " << command;
    }
    return out;
}

} // namespace kvx::test
