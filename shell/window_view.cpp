// The photo display: what the pointer tools ask of the window, the overlay
// and zooming.

#include "shell/main_window.h"
#include "widgets/start_hint.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/workfiles.h"
#include "base/translate.h"
#include "output/export/exports.h"
#include "output/pd25/pd25.h"
#include "base/safe_file.h"
#include "shell/report_file.h"
#include "interact/commands.h"
#include "shell/dialogs.h"
#include "base/error_trail.h"
#include "image/effects.h"
#include "shell/painter_canvas.h"
#include "image/scanner.h"
#include "output/overlay/overlay.h"
#include "widgets/calc_edit.h"
#include "widgets/focus_manager.h"
#include "shell/window_helpers.h"
#include "view/view_mapping.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

namespace kvx {

using namespace window_helpers;

// --- what the tools ask of the window --------------------------------------------------------

ViewState TF001::View() const
{
    return Ik5Disp1->State();
}

int TF001::DisplayWidth() const
{
    return Ik5Disp1->ControlWidth();
}

int TF001::DisplayHeight() const
{
    return Ik5Disp1->ControlHeight();
}

void TF001::SetStatusText(int panel, const std::string& text)
{
    // Without a photo there is no point to give coordinates of.
    if (panel == 0 && !HasPhoto()) {
        statusPanels_[0]->clear();
        return;
    }
    QLabel* label = statusPanels_.at(static_cast<std::size_t>(panel));
    label->setText(QString::fromStdString(text));
    // A narrow window cuts the line; the pointer resting on it shows it whole.
    label->setToolTip(label->text());
}

void TF001::UpdateStartHint()
{
    QStringList recent;
    for (int n = 1; n <= 5; ++n)
        recent << QString::fromStdString(settings_.LastFileName[static_cast<std::size_t>(n)]);
    startHint_->SetRecent(recent);
    startHint_->setVisible(!HasPhoto());
    if (!HasPhoto())
        statusPanels_[0]->clear();
}

void TF001::SetInfoText(const std::string& text)
{
    Edit_Info->setText(QString::fromStdString(text));
    // A summary longer than the field shows its beginning, where the value
    // is, not the end a line edit scrolls to after setText.
    Edit_Info->setCursorPosition(0);
}

void TF001::PlaneChanged()
{
    SyncFieldsFromDocument();
    BaseIndicator();
}

void TF001::FocusField(InputField field)
{
    TchCalcEdit* edit = field == InputField::W ? chCalcEdit_KijunW : chCalcEdit_KijunH;
    edit->setFocus();
    edit->selectAll();
}

bool TF001::ShiftHeld() const
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

void TF001::ShowFigure(FigureSlot slot, const std::optional<TraceFigure>& figure)
{
    if (!figure || !Straightened()) {
        Ik5Disp1->SetFigure(slot, figure);
        return;
    }
    // The tools draw on the photo as taken; the straightened view has each
    // end where the ideal camera puts it.
    TraceFigure drawn = *figure;
    for (auto& line : drawn.lines)
        for (TDPoint& p : line)
            p = PhotoToDisplay(p);
    Ik5Disp1->SetFigure(slot, drawn);
}

std::string TF001::AskAreaName()
{
    return prompter_->AskAreaName();
}

std::string TF001::RenameArea(const std::string& caption, const std::string& prompt, const std::string& current)
{
    return prompter_->RenameArea(caption, prompt, current);
}

std::string TF001::InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText)
{
    return prompter_->InputBox(caption, prompt, defaultText);
}

std::optional<std::string> TF001::AskCheckLength(const std::string& prompt, const std::string& current)
{
    std::string lines = prompt;
    std::replace(lines.begin(), lines.end(), '\r', '\n');
    const std::string typed = prompter_->InputBox(Tx("WindowView", "検証距離"), lines, current);
    if (typed.empty() || typed == current)
        return std::nullopt;
    return typed;
}

std::optional<std::pair<std::string, std::string>> TF001::SlopeDialog(double slantV, double slantH, TPoint at)
{
    return prompter_->SlopeDialog(slantV, slantH, Ik5Disp1->viewport()->mapToGlobal(QPoint(at.x, at.y)));
}

void TF001::DrawOverlay(QPainter& painter, const ViewState& view)
{
    PainterCanvas canvas(painter);
    OverlayContext context =
        DisplayContext(view, Ik5Disp1->ControlWidth(), Ik5Disp1->ControlHeight(), photo_.Work().Width(), photo_.Work().Height(), settings_);
    context.uCommand = Command();
    context.polygonMode = CheckBox_PolygonMode->isChecked();
    context.diagnostic = diagnostic_;
    context.checks = true;
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The straightened view draws a view through the lens; the photo as
    // taken draws the document itself, never a copy.
    const bool straightened = Straightened();
    auto draw = [&](const Document& doc) {
        if (straightened)
            DrawBase(canvas, DrawnDocument(doc), context);
        else
            DrawBase(canvas, doc, context);
    };
    context.which = 1;
    draw(doc_);
    if (doc_.CurrentBase == 1 || doc_.CurrentBase == 2) {
        // The other plane over the current one, in its own colours.
        context.which = 2;
        editor_.WithParkedPlane(draw);
    }
}

// --- view -----------------------------------------------------------------------------------

void TF001::RedrawImage()
{
    Ik5Disp1->RedrawImage();
}

void TF001::RedrawOverlay()
{
    Ik5Disp1->RedrawOverlay();
}

void TF001::SetPanWindow()
{
    Guard("SetPanWindow", [&] { Ik5Disp1->ShowPanWindow(settings_.PanWindowFlag && isVisible(), settings_.PanWindowSize); });
}

void TF001::ZoomAll()
{
    zoom_->Fit();
}

void TF001::mnZoom1Click()
{
    zoom_->Actual();
}

void TF001::ZoomWindow(TDPoint p1, TDPoint p2)
{
    zoom_->Frame(PhotoToDisplay(p1), PhotoToDisplay(p2));
}

void TF001::ZoomPre()
{
    zoom_->Previous();
}

void TF001::ZoomAt(TDPoint p, ZoomDirection direction, ZoomRedraw redraw, double factor)
{
    zoom_->Step(p, direction, redraw, factor);
}

void TF001::WheelZoom(QPoint viewportPos, bool zoomIn)
{
    Run([&] {
        Guard(zoomIn ? "WheelZoomUp" : "WheelZoomDown", [&] {
            if (!HasPhoto())
                return;
            ZoomTimer.stop();
            Ik5Disp1->viewport()->setCursor(ZoomCursor(zoomIn));
            const TDPoint p = StoW(Ik5Disp1->State(), TPoint{viewportPos.x(), viewportPos.y()});
            ZoomAt(p, zoomIn ? ZoomDirection::In : ZoomDirection::Out, ZoomRedraw::None, zoomIn ? kWheelIn : kWheelOut);
            ZoomTimer.start();
        });
    });
}

} // namespace kvx
