#include "image/photo_view.h"

#include "image/loupe.h"

#include "image/colour.h"
#include "view/view_mapping.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kvx {

namespace {

const QColor kBackground(0x80, 0x80, 0x80);

} // namespace

QImage ReduceImage(const QImage& source, int factor, QImage::Format format)
{
    const QImage src = source.format() == QImage::Format_RGB888 ? source : source.convertToFormat(QImage::Format_RGB888);
    const int sw = src.width();
    const int sh = src.height();
    const int w = std::max(1, sw / factor);
    const int h = std::max(1, sh / factor);
    // Each output pixel averages the block of source pixels it covers; blocks at
    // the right and bottom edges take what is left of the photo.
    // 32-bit rows are what a smooth scaling works on: made here, they save
    // it a converted copy of the whole reduction.
    const bool wide = format == QImage::Format_RGB32;
    QImage out(w, h, wide ? QImage::Format_RGB32 : QImage::Format_RGB888);
    const qsizetype stride = src.bytesPerLine();
    const uchar* bits = src.constBits();
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(w) * 3);
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) {
        const int x0 = x * factor;
        const int x1 = x == w - 1 ? sw : std::min(sw, x0 + factor);
        counts[static_cast<std::size_t>(x)] = static_cast<std::uint32_t>(std::max(1, x1 - x0));
    }
    for (int y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const int y0 = y * factor;
        const int y1 = y == h - 1 ? sh : std::min(sh, y0 + factor);
        for (int sy = y0; sy < std::max(y1, y0 + 1); ++sy) {
            const uchar* row = bits + stride * std::min(sy, sh - 1);
            std::uint32_t* acc = sums.data();
            int sx = 0;
            int x = 0;
            // Halving, the most common reduction, has whole pairs up to the last
            // column: added without the block loop, so the compiler vectorises it.
            if (factor == 2) {
                for (; x < w - 1; ++x, acc += 3) {
                    const uchar* p = row + 6 * x;
                    acc[0] += static_cast<std::uint32_t>(p[0]) + p[3];
                    acc[1] += static_cast<std::uint32_t>(p[1]) + p[4];
                    acc[2] += static_cast<std::uint32_t>(p[2]) + p[5];
                }
                sx = 2 * x;
            }
            for (; x < w; ++x, acc += 3) {
                const int end = x == w - 1 ? sw : std::min(sw, sx + factor);
                std::uint32_t r = 0, g = 0, b = 0;
                for (; sx < end; ++sx) {
                    r += row[3 * sx];
                    g += row[3 * sx + 1];
                    b += row[3 * sx + 2];
                }
                acc[0] += r;
                acc[1] += g;
                acc[2] += b;
            }
        }
        const auto rows = static_cast<std::uint32_t>(std::max(1, y1 - y0));
        uchar* d = out.scanLine(y);
        if (wide) {
            auto* q = reinterpret_cast<QRgb*>(d);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t n = counts[static_cast<std::size_t>(x)] * rows;
                const std::uint32_t* s = sums.data() + 3 * static_cast<std::size_t>(x);
                q[x] = qRgb(static_cast<int>((s[0] + n / 2) / n), static_cast<int>((s[1] + n / 2) / n),
                            static_cast<int>((s[2] + n / 2) / n));
            }
            continue;
        }
        for (int x = 0; x < w; ++x) {
            const std::uint32_t n = counts[static_cast<std::size_t>(x)] * rows;
            const std::uint32_t* s = sums.data() + 3 * static_cast<std::size_t>(x);
            if (n == 4) {
                // A whole block of a halving: the same quotient by a shift.
                for (int c = 0; c < 3; ++c)
                    d[3 * x + c] = static_cast<uchar>((s[c] + 2) >> 2);
                continue;
            }
            for (int c = 0; c < 3; ++c)
                d[3 * x + c] = static_cast<uchar>((s[c] + n / 2) / n);
        }
    }
    return out;
}

QImage HalveImage(const QImage& source)
{
    return ReduceImage(source, 2);
}

PhotoView::PhotoView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    pan_ = new PanWindow(this, this);
}

PhotoView::~PhotoView() = default;

void PhotoView::SetPhoto(const Photo* photo)
{
    photo_ = photo ? photo->Image() : QImage();
    levels_.clear();
    if (!photo_.isNull())
        levels_.push_back(photo_);
    SyncScrollBars();
    if (pan_)
        pan_->update();
    emit photoShown(!photo_.isNull());
}

int PhotoView::ControlWidth() const
{
    return viewport()->width();
}

int PhotoView::ControlHeight() const
{
    return viewport()->height();
}

void PhotoView::SetView(View v)
{
    if (!(v.DispScale > 0))
        v.DispScale = 1.0;
    view_ = HasPhoto() ? ClampView(v, ControlWidth(), ControlHeight(), photo_.width(), photo_.height()) : v;
    offset_ = HasPhoto() ? DisplayOffset(view_, ControlWidth(), ControlHeight(), photo_.width(), photo_.height())
                         : TPoint{};
    SyncScrollBars();
    emit viewChanged();
    if (pan_ && pan_->isVisible())
        pan_->update();
}

ViewState PhotoView::State() const
{
    return ViewState{view_.StartX, view_.StartY, view_.DispScale, offset_.x, offset_.y};
}

std::size_t PhotoView::LevelIndex(double scale) const
{
    std::size_t k = 0;
    while (scale * std::pow(2.0, static_cast<double>(k + 1)) <= 1.0 && (photo_.width() >> (k + 1)) >= 1 &&
           (photo_.height() >> (k + 1)) >= 1)
        ++k;
    return k;
}

const QImage& PhotoView::Level(double scale)
{
    static const QImage none;
    if (levels_.empty())
        return none;
    // The level k reduced by 2^k that is still at least as large as the
    // display needs it; it is made from the nearest level already there, in
    // one pass, and kept.
    const std::size_t k = LevelIndex(scale);
    if (levels_.size() <= k)
        levels_.resize(k + 1);
    if (levels_[k].isNull()) {
        std::size_t from = k;
        while (levels_[from].isNull())
            --from;
        levels_[k] = ReduceImage(levels_[from], 1 << (k - from));
    }
    return levels_[k];
}

void PhotoView::RedrawImage()
{
    overlayDirty_ = true;
    const QSize size = viewport()->size();
    if (frame_.size() != size)
        frame_ = QImage(size, QImage::Format_RGB32);
    frame_.fill(kBackground);
    if (!HasPhoto() || size.isEmpty())
        return;
    // Re-clamp: the control may have been resized since the view was set.
    SetView(view_);
    const double scale = view_.DispScale;
    // A reduced copy not made yet would hold up the frame: this one is drawn
    // from the nearest copy at hand, and the smooth one follows at once.
    const std::size_t wanted = LevelIndex(scale);
    const bool ready = wanted < levels_.size() && !levels_[wanted].isNull();
    std::size_t nearest = std::min(wanted, levels_.size() - 1);
    while (levels_[nearest].isNull())
        --nearest;
    const QImage& level = ready ? Level(scale) : levels_[nearest];
    if (!ready)
        QTimer::singleShot(0, this, [this] {
            Level(view_.DispScale);
            RedrawImage();
            RedrawOverlay();
        });
    const double levelFactor = static_cast<double>(level.width()) / photo_.width();

    const double x0 = view_.StartX;
    const double y0 = view_.StartY;
    const double x1 = std::min<double>(photo_.width(), x0 + (size.width() - offset_.x) / scale + 1);
    const double y1 = std::min<double>(photo_.height(), y0 + (size.height() - offset_.y) / scale + 1);
    if (x1 <= x0 || y1 <= y0)
        return;
    const QRectF target(offset_.x, offset_.y, (x1 - x0) * scale, (y1 - y0) * scale);
    const QRectF source(x0 * levelFactor, y0 * levelFactor, (x1 - x0) * levelFactor, (y1 - y0) * levelFactor);
    QPainter p(&frame_);
    // Below 1:1 smooth sampling keeps the photo readable; above it the pixels
    // stay sharp, which is what a user aiming at a corner wants to see.
    p.setRenderHint(QPainter::SmoothPixmapTransform, scale < 1.0 && ready);
    p.drawImage(target, level, source);
}

void PhotoView::RedrawOverlay()
{
    overlayDirty_ = true;
    viewport()->update();
}

void PhotoView::SetFigure(FigureSlot slot, const std::optional<TraceFigure>& figure)
{
    auto& current = figures_[static_cast<int>(slot)];
    if (current == figure)
        return;
    current = figure;
    viewport()->update();
}

void PhotoView::paintEvent(QPaintEvent*)
{
    if (frame_.size() != viewport()->size()) {
        RedrawImage();
        overlayDirty_ = true;
    }
    if (overlayDirty_ || composed_.size() != frame_.size()) {
        composed_ = frame_.copy();
        QPainter c(&composed_);
        if (onEndDisplay)
            onEndDisplay(c, State());
        ++overlayPaints_;
        overlayDirty_ = false;
    }
    QPainter p(viewport());
    p.drawImage(0, 0, composed_);
    // The figures are cut to the view in image pixels before they become
    // display pixels: a band that starts at a vanishing point far away must
    // not overflow them.
    const ViewState view = State();
    const double x0 = view.StartX - 10.0 / view.DispScale;
    const double y0 = view.StartY - 10.0 / view.DispScale;
    const double x1 = view.StartX + (ControlWidth() + 10.0) / view.DispScale;
    const double y1 = view.StartY + (ControlHeight() + 10.0) / view.DispScale;
    for (const auto* figure : {&figures_[0], &figures_[1], &found_}) {
        if (!*figure)
            continue;
        // The band in its own colour over a wider band in the opposite
        // lightness: a black band alone vanishes on a dark wall, a white one
        // in the sky, and the user must see it wherever the pointer goes.
        const QColor colour = ColorOf((*figure)->colour);
        const QColor outline = colour.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black);
        std::vector<QLine> lines;
        lines.reserve((*figure)->lines.size());
        for (const auto& line : (*figure)->lines) {
            const auto cut = ClipSegment(line[0], line[1], x0, y0, x1, y1);
            if (!cut)
                continue;
            const TPoint a = WtoS(view, cut->first);
            const TPoint b = WtoS(view, cut->second);
            lines.emplace_back(a.x, a.y, b.x, b.y);
        }
        p.setPen(QPen(outline, 3));
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
        p.setPen(QPen(colour, 1));
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
    if (marker_) {
        const TPoint m = WtoS(view, *marker_);
        p.setPen(QPen(QColor(0, 200, 0), 1));
        for (const auto& edge : markerEdges_) {
            const auto cut = ClipSegment(edge[0], edge[1], x0, y0, x1, y1);
            if (!cut)
                continue;
            const TPoint a = WtoS(view, cut->first);
            const TPoint b = WtoS(view, cut->second);
            p.drawLine(a.x, a.y, b.x, b.y);
        }
        p.setPen(QPen(QColor(0, 200, 0), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPoint(m.x, m.y), 6, 6);
        p.drawLine(m.x - 9, m.y, m.x + 9, m.y);
        p.drawLine(m.x, m.y - 9, m.x, m.y + 9);
    }
    DrawLoupe(p);
}

void PhotoView::SetMarker(std::optional<TDPoint> at)
{
    if (at == marker_)
        return;
    marker_ = at;
    viewport()->update();
}

void PhotoView::SetMarkerEdges(std::vector<std::array<TDPoint, 2>> edges)
{
    if (edges == markerEdges_)
        return;
    markerEdges_ = std::move(edges);
    viewport()->update();
}

void PhotoView::SetFound(std::optional<TraceFigure> figure)
{
    if (figure == found_)
        return;
    found_ = std::move(figure);
    viewport()->update();
}

void PhotoView::SetLoupe(std::optional<TDPoint> at, int zoom)
{
    zoom = std::clamp(zoom, 2, 8);
    if (at == loupeAt_ && zoom == loupeZoom_)
        return;
    loupeAt_ = at;
    loupeZoom_ = zoom;
    viewport()->update();
}

QRect PhotoView::LoupeRect() const
{
    if (!loupeAt_ || !HasPhoto())
        return {};
    const TPoint at = WtoS(State(), *loupeAt_);
    const LoupeBox box = PlaceLoupe(at.x, at.y, viewport()->width(), viewport()->height(), kLoupeSize, 24);
    return {box.x, box.y, box.size, box.size};
}

void PhotoView::DrawLoupe(QPainter& p)
{
    const QRect box = LoupeRect();
    if (box.isEmpty())
        return;
    // The pointer's image point sits at the loupe's centre, even where it
    // falls between screen pixels; each photo pixel is zoom screen pixels,
    // drawn sharp.
    const TDPoint centre = *loupeAt_;
    const double half = static_cast<double>(kLoupeSize) / (2.0 * loupeZoom_);
    const QRectF source(centre.x - half, centre.y - half, 2 * half, 2 * half);
    p.save();
    p.setClipRect(box);
    p.fillRect(box, kBackground);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRectF(box), photo_, source);
    // The rubber band, in the loupe's scale.
    auto toLoupe = [&](TDPoint w) {
        return QPointF(box.x() + (w.x - source.x()) * loupeZoom_, box.y() + (w.y - source.y()) * loupeZoom_);
    };
    for (const auto& figure : figures_) {
        if (!figure)
            continue;
        p.setPen(QPen(ColorOf(figure->colour), 1));
        for (const auto& line : figure->lines) {
            const auto cut = ClipSegment(line[0], line[1], source.left() - 1, source.top() - 1, source.right() + 1,
                                         source.bottom() + 1);
            if (cut)
                p.drawLine(toLoupe(cut->first), toLoupe(cut->second));
        }
    }
    const QPointF c = toLoupe(centre);
    p.setPen(QPen(QColor(255, 0, 0), 1));
    p.drawLine(QPointF(box.left(), c.y()), QPointF(box.right(), c.y()));
    p.drawLine(QPointF(c.x(), box.top()), QPointF(c.x(), box.bottom()));
    p.restore();
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(box.adjusted(0, 0, -1, -1));
}

void PhotoView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    RedrawImage();
}

void PhotoView::SyncScrollBars()
{
    syncing_ = true;
    if (!HasPhoto()) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
    } else {
        const double visibleW = ControlWidth() / view_.DispScale;
        const double visibleH = ControlHeight() / view_.DispScale;
        // A photo that fits the control without scroll bars needs none, even
        // while they are still shown from a closer view: kept, they would take
        // the room that made it fit, and the fitted scale would not fit.
        const QSize room = maximumViewportSize();
        const bool fits = photo_.width() * view_.DispScale <= room.width() + 0.5 &&
                          photo_.height() * view_.DispScale <= room.height() + 0.5;
        horizontalScrollBar()->setRange(0, fits ? 0 : std::max(0, static_cast<int>(std::ceil(photo_.width() - visibleW))));
        verticalScrollBar()->setRange(0, fits ? 0 : std::max(0, static_cast<int>(std::ceil(photo_.height() - visibleH))));
        horizontalScrollBar()->setPageStep(std::max(1, static_cast<int>(visibleW)));
        verticalScrollBar()->setPageStep(std::max(1, static_cast<int>(visibleH)));
        horizontalScrollBar()->setSingleStep(std::max(1, static_cast<int>(20 / view_.DispScale)));
        verticalScrollBar()->setSingleStep(std::max(1, static_cast<int>(20 / view_.DispScale)));
        horizontalScrollBar()->setValue(view_.StartX);
        verticalScrollBar()->setValue(view_.StartY);
    }
    syncing_ = false;
}

void PhotoView::scrollContentsBy(int, int)
{
    if (syncing_ || !HasPhoto())
        return;
    View v = view_;
    v.StartX = horizontalScrollBar()->value();
    v.StartY = verticalScrollBar()->value();
    SetView(v);
    RedrawImage();
    RedrawOverlay();
}

void PhotoView::wheelEvent(QWheelEvent* event)
{
    // Zooming belongs to the window; the event goes on unhandled, as the
    // scroll bars should not move with it.
    emit wheelTurned(event->position().toPoint(), event->angleDelta().y());
    event->ignore();
}

void PhotoView::mouseMoveEvent(QMouseEvent* event)
{
    emit pointerMoved(event->position().toPoint());
}

void PhotoView::mousePressEvent(QMouseEvent* event)
{
    const Qt::MouseButtons held = event->buttons();
    emit pointerPressed(event->position().toPoint(), held & Qt::LeftButton, held & Qt::RightButton);
}

void PhotoView::mouseReleaseEvent(QMouseEvent* event)
{
    emit pointerReleased(event->position().toPoint(), event->button() == Qt::LeftButton,
                         event->button() == Qt::RightButton);
}

void PhotoView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PhotoView::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    emit fileDropped(urls.first().toLocalFile());
}

void PhotoView::ShowPanWindow(bool show, int size)
{
    if (!pan_)
        return;
    pan_->SetSize(size);
    pan_->setVisible(show && HasPhoto());
}

// --- pan window -----------------------------------------------------------------

PanWindow::PanWindow(PhotoView* view, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), view_(view)
{
    setWindowTitle(QStringLiteral("Pan Window"));
    setObjectName(QStringLiteral("PanWindow"));
    SetSize(300);
}

void PanWindow::SetSize(int size)
{
    size_ = std::clamp(size, 50, 2000);
    setFixedSize(size_, size_);
    update();
}

double PanWindow::Factor() const
{
    const QImage& full = view_->Level(1.0);
    if (full.isNull())
        return 1.0;
    return std::min(static_cast<double>(width()) / full.width(), static_cast<double>(height()) / full.height());
}

QRect PanWindow::VisibleFrame() const
{
    const double f = Factor();
    const View v = view_->CurrentView();
    return QRect(static_cast<int>(v.StartX * f), static_cast<int>(v.StartY * f),
                 static_cast<int>(view_->ControlWidth() / v.DispScale * f),
                 static_cast<int>(view_->ControlHeight() / v.DispScale * f));
}

void PanWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x40, 0x40, 0x40));
    if (!view_->HasPhoto())
        return;
    const double f = Factor();
    const QImage& thumb = view_->Level(f);
    const QImage& full = view_->Level(1.0);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(0, 0, full.width() * f, full.height() * f), thumb);
    p.setPen(QPen(Qt::red, 2));
    p.drawRect(VisibleFrame().intersected(rect().adjusted(1, 1, -1, -1)));
}

void PanWindow::CentreOn(QPoint windowPoint)
{
    const double f = Factor();
    View v = view_->CurrentView();
    v.StartX = static_cast<std::int32_t>(windowPoint.x() / f - view_->ControlWidth() / v.DispScale / 2);
    v.StartY = static_cast<std::int32_t>(windowPoint.y() / f - view_->ControlHeight() / v.DispScale / 2);
    view_->SetView(v);
    view_->RedrawImage();
    view_->RedrawOverlay();
    update();
}

void PanWindow::mousePressEvent(QMouseEvent* event)
{
    CentreOn(event->position().toPoint());
}

void PanWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        CentreOn(event->position().toPoint());
}

} // namespace kvx
