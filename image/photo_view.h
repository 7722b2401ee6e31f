#pragma once

// The display of the photo: it shows the photo at a view (the image point at its
// top-left corner and a scale), scrolls, accepts dropped files, and after every
// repaint hands its painter to the overlay.
//
// Repainting is two steps, as everything that changes the picture needs one or
// both: RedrawImage renders the visible part of the photo into a frame (only
// when the view or the photo changed), RedrawOverlay repaints the window from
// that frame and draws the overlay over it.  A pointer move never re-renders.

#include "image/photo.h"
#include "image/zoom.h"
#include "view/trace_figure.h"
#include "measure/geometry.h"
#include "view/view_mapping.h"

#include <QAbstractScrollArea>
#include <QImage>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QPainter;

namespace kvx {

class PanWindow;

class PhotoView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PhotoView(QWidget* parent = nullptr);
    ~PhotoView() override;

    // The photo shown, or none.  The view keeps its own reference to the pixels.
    void SetPhoto(const Photo* photo);
    bool HasPhoto() const { return !photo_.isNull(); }

    View CurrentView() const { return view_; }
    // Sets the view as the display allows it (clamped to the photo).
    void SetView(View v);
    // The view together with where the photo starts inside the control.
    ViewState State() const;

    int ControlWidth() const;
    int ControlHeight() const;

    void RedrawImage();
    void RedrawOverlay();

    // The rubber band and the gesture figure: drawn over the last picture
    // (photo and overlay) without drawing either again.
    void SetFigure(FigureSlot slot, const std::optional<TraceFigure>& figure);
    // The loupe: the photo around the pointer at full resolution, zoom times
    // enlarged, beside the pointer while a tool takes points.  at: the
    // pointer's image point (photo pixels; the keyboard's pointer may sit
    // between screen pixels), or nothing to hide it.
    void SetLoupe(std::optional<TDPoint> at, int zoom);
    // Where the loupe is drawn now (empty when hidden).
    QRect LoupeRect() const;
    static constexpr int kLoupeSize = 160;
    // A mark where a click would place its point (a snapped corner), in photo
    // coordinates; nothing to hide it.
    void SetMarker(std::optional<TDPoint> at);
    std::optional<TDPoint> Marker() const { return marker_; }
    // The two straight edges a snapped corner was crossed from (photo
    // coordinates), drawn with the mark so the user sees what it snapped to.
    void SetMarkerEdges(std::vector<std::array<TDPoint, 2>> edges);
    const std::vector<std::array<TDPoint, 2>>& MarkerEdges() const { return markerEdges_; }
    // A reference found in the photo, offered to the user: drawn over
    // everything until it is accepted or rejected.
    void SetFound(std::optional<TraceFigure> figure);
    const std::optional<TraceFigure>& Found() const { return found_; }
    const std::optional<TraceFigure>& Figure(FigureSlot slot) const { return figures_[static_cast<int>(slot)]; }
    // How often the overlay has been drawn (for tests that a pointer move does not).
    int OverlayPaints() const { return overlayPaints_; }

    // Called at the end of every repaint with the painter of the window and the
    // view it was painted at: the place of the overlay.
    std::function<void(QPainter&, const ViewState&)> onEndDisplay;

    // The pan window: a small tool window with the whole photo and the visible
    // part framed; dragging in it pans.
    void ShowPanWindow(bool show, int size);
    PanWindow* Pan() const { return pan_; }

    // The reduced copy of the photo whose size is nearest above scale (for the
    // pan window and for rendering small scales).
    const QImage& Level(double scale);

signals:
    void fileDropped(const QString& path);
    void wheelTurned(QPoint viewportPos, int angleDelta);
    void pointerMoved(QPoint viewportPos);
    // The buttons held after a press; the button released on a release.
    void pointerPressed(QPoint viewportPos, bool left, bool right);
    void pointerReleased(QPoint viewportPos, bool left, bool right);
    void viewChanged();
    // A photo is shown, or none (what the empty area shows follows it).
    void photoShown(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void SyncScrollBars();
    std::size_t LevelIndex(double scale) const;

    QImage photo_;
    std::vector<QImage> levels_;  // levels_[k] is the photo reduced by 2^k, made when first needed
    View view_;
    QImage frame_;     // the photo as rendered at the view
    QImage composed_;  // the photo with the overlay, as last painted
    bool overlayDirty_ = true;
    int overlayPaints_ = 0;
    std::optional<TraceFigure> figures_[2];
    std::optional<TDPoint> loupeAt_;  // the image point at the loupe's centre
    std::optional<TDPoint> marker_;
    std::vector<std::array<TDPoint, 2>> markerEdges_;
    std::optional<TraceFigure> found_;
    int loupeZoom_ = 4;
    void DrawLoupe(QPainter& p);
    TPoint offset_;
    bool syncing_ = false;
    PanWindow* pan_ = nullptr;
};

class PanWindow : public QWidget {
    Q_OBJECT
public:
    PanWindow(PhotoView* view, QWidget* parent);
    void SetSize(int size);
    // The visible part of the photo as drawn in the window (for tests).
    QRect VisibleFrame() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void CentreOn(QPoint windowPoint);
    double Factor() const;

    PhotoView* view_;
    int size_ = 300;
};

// Reduces an RGB image by an integer factor, averaging each block of pixels.
QImage ReduceImage(const QImage& image, int factor, QImage::Format format = QImage::Format_RGB888);
// Halves an RGB image by averaging each 2 x 2 block.
QImage HalveImage(const QImage& image);

} // namespace kvx
