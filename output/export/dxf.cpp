#include "output/export/dxf.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "measure/ideal_view.h"
#include "measure/numfmt.h"
#include "output/export/dxf_writer.h"

#include <dxflib/dl_dxf.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace kvx {

namespace {


constexpr double kLabelHeight = 100.0;  // mm on the plane
constexpr double kPlaneGap = 1000.0;    // mm between the two planes of setting 4

struct Shape {
    std::string layer;
    std::vector<TDPoint> points;  // plane coordinates, mm
    bool closed = false;
};

struct Label {
    TDPoint at;
    std::string text;
};

struct PlaneDrawing {
    std::vector<Shape> shapes;
    std::vector<Label> labels;
};

// The plane point of an image point; the plane's y runs up, as drawings have it.
TDPoint Plane(const Document& doc, TDPoint p)
{
    return GetDelta(doc, p);
}

// An area's vertex on the plane, stretched by its slopes as its area is.
TDPoint SlopedPoint(const Document& doc, const TSpace& s, std::size_t j)
{
    const bool corrected = CorrectionInForce(doc, s.corrected) && j < s.correctedPoints.size();
    const TDPoint g = GetDelta(doc, corrected ? s.correctedPoints[j] : s.points[j]);
    constexpr double kRad = std::numbers::pi / 180;
    return {g.x / std::cos(s.slantH * kRad), g.y / std::cos(s.slantV * kRad)};
}

PlaneDrawing DrawPlane(const Document& doc, const std::string& prefix)
{
    PlaneDrawing out;
    const TPlaneState& plane = doc.Plane;
    if (plane.base.BaseSet == 1) {
        Shape reference{prefix + "REFERENCE", {}, true};
        for (int k = 1; k <= 4; ++k)
            reference.points.push_back(Plane(doc, plane.base.BaseRect[static_cast<std::size_t>(k)]));
        out.shapes.push_back(reference);
    }
    // A chain is drawn once, from its first segment; the segments after it
    // are passed over at once (looking for each one's first segment walked
    // the chain back, the whole chain for each of its segments).
    for (std::int32_t i = 1, next = 1; i <= plane.DistanceCount(); i = std::max(i + 1, next)) {
        if (ChainFirst(plane, i) != i)
            continue;
        const std::int32_t last = ChainLast(plane, i);
        next = last + 1;
        const TDistance& first = plane.Distances[i];
        Shape line{prefix + "DIST_G" + std::to_string(first.group), {}, false};
        double length = 0;
        for (std::int32_t k = i; k <= last; ++k) {
            const TDistance& d = plane.Distances[k];
            const bool corrected = CorrectionInForce(doc, d.corrected);
            const TDPoint a = Plane(doc, corrected ? d.correctedStart : d.start);
            const TDPoint b = Plane(doc, corrected ? d.correctedEnd : d.end);
            if (line.points.empty())
                line.points.push_back(a);
            line.points.push_back(b);
            TDistanceResult r;
            CalcuDistance(doc, k, r, ChainSums::Skip);
            length += r.distance;
        }
        const TDPoint mid = line.points[line.points.size() / 2];
        out.labels.push_back({mid, "L" + std::to_string(i) + (last > i ? "-" + std::to_string(last) : "") + " " +
                                       FormatNumber0(length) + " mm"});
        out.shapes.push_back(std::move(line));
    }
    for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i) {
        const TSpace& s = plane.Spaces[i];
        const bool sub = s.kind == kSpaceSub;
        Shape outline{prefix + (sub ? "AREA_SUB_G" : "AREA_G") + std::to_string(s.group), {}, true};
        // The outline's last point repeats its first: a closed polyline needs it once.
        const std::size_t n = s.points.size() > 1 && s.points.front() == s.points.back() ? s.points.size() - 1 : s.points.size();
        TDPoint sum{0, 0};
        for (std::size_t j = 0; j < n; ++j) {
            outline.points.push_back(SlopedPoint(doc, s, j));
            sum.x += outline.points.back().x;
            sum.y += outline.points.back().y;
        }
        if (outline.points.size() < 3)
            continue;
        TSpaceResult r;
        CalcuSpace(doc, i, r);
        const std::string name = Cp932ToUtf8(s.name);
        out.labels.push_back({{sum.x / static_cast<double>(n), sum.y / static_cast<double>(n)},
                              (name.empty() ? "A" + std::to_string(i) : name) + " " + (sub ? "-" : "") +
                                  FormatFixed(r.area, 3) + " m2"});
        out.shapes.push_back(std::move(outline));
    }
    for (Label& l : out.labels)
        l.text = DxfText(l.text);
    return out;
}

void Shift(PlaneDrawing& drawing, double dx)
{
    for (Shape& s : drawing.shapes)
        for (TDPoint& p : s.points)
            p.x += dx;
    for (Label& l : drawing.labels)
        l.at.x += dx;
}

std::pair<double, double> XRange(const PlaneDrawing& drawing)
{
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const Shape& s : drawing.shapes)
        for (const TDPoint& p : s.points) {
            lo = std::min(lo, p.x);
            hi = std::max(hi, p.x);
        }
    return {lo, hi};
}

bool Finite(const PlaneDrawing& drawing)
{
    for (const Shape& s : drawing.shapes)
        for (const TDPoint& p : s.points)
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                return false;
    return true;
}

} // namespace

std::string DxfText(const std::string& utf8)
{
    return Utf8ToCp932(utf8);
}

void WriteDxf(const Document& photo, DL_WriterA& writer)
{
    const Measured measured(photo);
    const Document& doc = *measured;
    std::vector<PlaneDrawing> planes{DrawPlane(doc, "")};
    if (doc.CurrentSetting == 4 && doc.OtherBaseSet == 1) {
        planes.push_back(DrawPlane(ParkedPlaneView(doc), "P2_"));
        const auto [lo1, hi1] = XRange(planes[0]);
        const auto [lo2, hi2] = XRange(planes[1]);
        if (std::isfinite(hi1) && std::isfinite(lo2))
            Shift(planes[1], hi1 + kPlaneGap - lo2);
    }
    for (const PlaneDrawing& p : planes)
        if (!Finite(p))
            throw std::runtime_error("the measurements hold points that have no place on the plane");

    std::map<std::string, int> layers;  // name -> colour
    int colour = 1;
    for (const PlaneDrawing& p : planes)
        for (const Shape& s : p.shapes)
            if (!layers.count(s.layer))
                layers[s.layer] = s.layer.find("REFERENCE") != std::string::npos ? 7 : (colour++ % 6) + 1;
    layers["LABELS"] = 8;
    if (planes.size() > 1)
        layers["P2_LABELS"] = 8;

    DL_Dxf dxf;
    DL_WriterA* const dw = &writer;
    {
        dxf.writeHeader(*dw);
        // Drawing units: millimetres, metric.
        dw->dxfString(9, "$INSUNITS");
        dw->dxfInt(70, 4);
        dw->dxfString(9, "$MEASUREMENT");
        dw->dxfInt(70, 1);
        // Names are Japanese: the code page Japanese CAD programs read.
        dw->dxfString(9, "$DWGCODEPAGE");
        dw->dxfString(3, "ANSI_932");
        dw->sectionEnd();
        dw->sectionTables();
        dxf.writeVPort(*dw);
        dw->tableLinetypes(3);
        dxf.writeLinetype(*dw, DL_LinetypeData("BYBLOCK", "BYBLOCK", 0, 0, 0.0));
        dxf.writeLinetype(*dw, DL_LinetypeData("BYLAYER", "BYLAYER", 0, 0, 0.0));
        dxf.writeLinetype(*dw, DL_LinetypeData("CONTINUOUS", "Continuous", 0, 0, 0.0));
        dw->tableEnd();
        dw->tableLayers(static_cast<int>(layers.size()) + 1);
        dxf.writeLayer(*dw, DL_LayerData("0", 0), DL_Attributes("", DL_Codes::black, 100, "CONTINUOUS", 1.0));
        for (const auto& [name, c] : layers)
            dxf.writeLayer(*dw, DL_LayerData(name, 0), DL_Attributes("", c, 100, "CONTINUOUS", 1.0));
        dw->tableEnd();
        dw->tableStyle(1);
        dxf.writeStyle(*dw, DL_StyleData("standard", 0, 0.0, 1.0, 0.0, 0, kLabelHeight, "txt", ""));
        dw->tableEnd();
        dxf.writeView(*dw);
        dxf.writeUcs(*dw);
        dw->tableAppid(1);
        dxf.writeAppid(*dw, "ACAD");
        dw->tableEnd();
        dxf.writeDimStyle(*dw, 1, 1, 1, 1, 1);
        dxf.writeBlockRecord(*dw);
        dw->tableEnd();
        dw->sectionEnd();
        dw->sectionBlocks();
        dxf.writeBlock(*dw, DL_BlockData("*Model_Space", 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(*dw, "*Model_Space");
        dxf.writeBlock(*dw, DL_BlockData("*Paper_Space", 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(*dw, "*Paper_Space");
        dxf.writeBlock(*dw, DL_BlockData("*Paper_Space0", 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(*dw, "*Paper_Space0");
        dw->sectionEnd();
        dw->sectionEntities();
        for (const PlaneDrawing& p : planes) {
            for (const Shape& s : p.shapes) {
                const DL_Attributes attributes(s.layer, 256, -1, "BYLAYER", 1.0);
                dxf.writePolyline(*dw, DL_PolylineData(static_cast<int>(s.points.size()), 0, 0, s.closed ? 1 : 0), attributes);
                for (const TDPoint& v : s.points)
                    dxf.writeVertex(*dw, DL_VertexData(v.x, v.y, 0.0, 0.0));
                dxf.writePolylineEnd(*dw);
            }
            const std::string labelLayer = &p == &planes.front() ? "LABELS" : "P2_LABELS";
            for (const Label& l : p.labels)
                dxf.writeText(*dw,
                              DL_TextData(l.at.x, l.at.y, 0.0, l.at.x, l.at.y, 0.0, kLabelHeight, 1.0, 0, 0, 0, l.text,
                                          "standard", 0.0),
                              DL_Attributes(labelLayer, 256, -1, "BYLAYER", 1.0));
        }
        dw->sectionEnd();
        dxf.writeObjects(*dw);
        dxf.writeObjectsEnd(*dw);
        dw->dxfEOF();
    }
}

std::string DxfBytes(const Document& photo)
{
    DxfMemoryWriter writer;
    WriteDxf(photo, writer);
    return writer.Take();
}

} // namespace kvx
