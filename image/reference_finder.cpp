#include "image/reference_finder.h"

#include "image/markers.h"
#include "image/sheets.h"

#include <opencv2/aruco.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace kvx {

namespace {

FoundKind KindOf(SheetKind kind)
{
    switch (kind) {
    case SheetKind::A4:
        return FoundKind::A4;
    case SheetKind::A3:
        return FoundKind::A3;
    case SheetKind::Letter:
        return FoundKind::Letter;
    case SheetKind::Card:
        return FoundKind::Card;
    }
    return FoundKind::A4;
}

// Long and short side, mm.
std::pair<double, double> SheetSize(SheetKind kind)
{
    switch (kind) {
    case SheetKind::A4:
        return {297, 210};
    case SheetKind::A3:
        return {420, 297};
    case SheetKind::Letter:
        return {279.4, 215.9};
    case SheetKind::Card:
        return {85.60, 53.98};
    }
    return {1, 1};
}

// The standard uncertainty of a side of nominal length mm of a sheet or card
// of kind.  The standards give limits a side stays within: ISO 216 (2007)
// allows A-series sheets +-1.5 mm up to 150 mm and +-2 mm from 150 up to
// 600 mm; Letter has no such figure of its own and is taken as cut alike;
// ISO/IEC 7810 keeps an ID-1 card between 85.47 and 85.72 mm wide and
// between 53.92 and 54.03 mm high.  Anywhere within the limits alike, the
// standard uncertainty is the half-width over the root of three.
double SideUncertainty(SheetKind kind, double mm)
{
    double halfWidth = 0;
    if (kind == SheetKind::Card)
        halfWidth = mm > 70 ? (85.72 - 85.47) / 2 : (54.03 - 53.92) / 2;
    else
        halfWidth = mm <= 150 ? 1.5 : 2.0;
    return halfWidth / std::sqrt(3.0);
}

bool SameCorners(const std::array<TDPoint, 4>& a, const std::array<TDPoint, 4>& b)
{
    for (std::size_t i = 0; i < 4; ++i)
        if (Distance(a[i], b[i]) > 3)
            return false;
    return true;
}

} // namespace

double WallSideRatio(const std::array<TDPoint, 4>& corners, int width, int height, double focal)
{
    // The homography of the unit square onto the corners about the photo's
    // centre: its first column runs along corners 0-1, its second along 0-3
    // (as long as 1-2 on the wall), each a true direction once the focal
    // length is undone.
    const double cx = width / 2.0, cy = height / 2.0;
    double x[4], y[4];
    for (std::size_t i = 0; i < 4; ++i) {
        x[i] = corners[i].x - cx;
        y[i] = corners[i].y - cy;
    }
    const double sx = x[0] - x[1] + x[2] - x[3], sy = y[0] - y[1] + y[2] - y[3];
    const double dx1 = x[1] - x[2], dx2 = x[3] - x[2], dy1 = y[1] - y[2], dy2 = y[3] - y[2];
    const double den = dx1 * dy2 - dx2 * dy1;
    if (std::abs(den) < 1e-9 || !(focal > 0))
        return 1;
    const double g = (sx * dy2 - dx2 * sy) / den, h = (dx1 * sy - sx * dy1) / den;
    const double a = x[1] - x[0] + g * x[1], b = x[3] - x[0] + h * x[3];
    const double d = y[1] - y[0] + g * y[1], e = y[3] - y[0] + h * y[3];
    const double f2 = focal * focal;
    const double first = std::sqrt((a * a + d * d) / f2 + g * g);
    const double second = std::sqrt((b * b + e * e) / f2 + h * h);
    if (!(first > 0) || !(second > 0) || !std::isfinite(first / second))
        return 1;
    return first / second;
}

std::vector<std::vector<bool>> ArucoCells(int id)
{
    if (id < 0 || id >= 50)
        return {};
    cv::Mat image;
    cv::aruco::drawMarker(cv::aruco::getPredefinedDictionary(cv::aruco::DICT_4X4_50), id, 6, image, 1);
    std::vector<std::vector<bool>> cells(6, std::vector<bool>(6, false));
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 6; ++c)
            cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = image.at<uchar>(r, c) < 128;
    return cells;
}

std::vector<FoundReference> FindReferences(const QImage& photo, FindWhat what, double markerSide)
{
    std::vector<FoundReference> out;
    if (photo.isNull())
        return out;
    const QImage grey8 = photo.convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat grey(grey8.height(), grey8.width(), CV_8U, const_cast<uchar*>(grey8.constBits()),
                       static_cast<std::size_t>(grey8.bytesPerLine()));
    if (what == FindWhat::Marker || what == FindWhat::Any) {
        for (const FoundMarker& m : DetectMarkers(grey)) {
            FoundReference r;
            r.kind = m.kind == MarkerKind::Aruco4x4 ? FoundKind::ArucoMarker : FoundKind::AprilTag;
            r.id = m.id;
            r.corners = m.corners;
            r.w = r.h = markerSide;
            out.push_back(r);
        }
        // The largest first: the nearest, whose corners are the surest.
        std::stable_sort(out.begin(), out.end(), [](const FoundReference& a, const FoundReference& b) {
            return Distance(a.corners[0], a.corners[2]) > Distance(b.corners[0], b.corners[2]);
        });
        if (what == FindWhat::Marker || !out.empty())
            return out;
    }
    for (const SheetCandidate& s : DetectSheets(grey)) {
        const bool card = s.kind == SheetKind::Card;
        if ((what == FindWhat::Card && !card) || (what == FindWhat::Sheet && card))
            continue;
        FoundReference r;
        r.kind = KindOf(s.kind);
        r.corners = s.corners;
        r.score = s.score;
        const auto [longer, shorter] = SheetSize(s.kind);
        const double ratio = WallSideRatio(s.corners, grey.cols, grey.rows, s.aspect.focal);
        r.w = ratio >= 1 ? longer : shorter;
        r.h = ratio >= 1 ? shorter : longer;
        r.dw = SideUncertainty(s.kind, r.w);
        r.dh = SideUncertainty(s.kind, r.h);
        out.push_back(r);
    }
    return out;
}

bool IsASeries(FoundKind kind)
{
    return kind == FoundKind::A4 || kind == FoundKind::A3;
}

bool ClearWinner(const std::vector<FoundReference>& found)
{
    if (found.empty())
        return false;
    // The same outline offered as the other A size is no rival: the two have
    // the same proportions, and which it is the user says (batch mode refuses
    // to guess).  The same outline offered as a kind of other proportions is
    // a rival like any other.
    for (std::size_t i = 1; i < found.size(); ++i) {
        if (SameCorners(found[i].corners, found[0].corners) && IsASeries(found[i].kind) && IsASeries(found[0].kind))
            continue;
        const bool marker = found[0].kind == FoundKind::ArucoMarker || found[0].kind == FoundKind::AprilTag;
        if (marker)
            return false;
        return found[0].score >= 2 * found[i].score;
    }
    return true;
}

} // namespace kvx
