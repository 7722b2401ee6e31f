#include "shell/main_window.h"
#include "widgets/words.h"
#include "base/translate.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "output/pd25/pd25.h"
#include "base/safe_file.h"
#include "shell/report_file.h"
#include "interact/commands.h"
#include "interact/hit_test.h"
#include "shell/dialogs.h"
#include "base/error_trail.h"
#include "image/effects.h"
#include "shell/painter_canvas.h"
#include "image/scanner.h"
#include "image/corner_snap.h"
#include "output/overlay/overlay.h"
#include "widgets/calc_edit.h"
#include "widgets/focus_manager.h"
#include "widgets/start_hint.h"
#include "shell/window_helpers.h"

#include <utility>
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
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include "base/scratch_folder.h"
#include "view/view_mapping.h"
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <tuple>

namespace kvx {

using namespace window_helpers;

TF001::TF001(AppPaths paths, std::unique_ptr<Prompter> prompter, QWidget* parent)
    : QMainWindow(parent), paths_(std::move(paths)), prompter_(std::move(prompter))
{
    if (!prompter_)
        prompter_ = std::make_unique<QtPrompter>(this);
    Guard("FormCreate", [&] {
        setObjectName(QStringLiteral("F001"));
        setWindowIcon(ProgramIcon());
        EnsureTempFolder(paths_.folders);
        ClaimHome();
        ConfigureImageDecoding();
        settings_ = ReadSettings(paths_.folders.IniFile(),
                                 DefaultSettings(paths_.folders.ExeFolder.string(), QDir::homePath().toStdString()));
        storedSettings_ = settings_;

        interaction_ = std::make_unique<Interaction>(editor_, settings_, *this);
        // A pointer move asks twice for the same point (the mark and the
        // rubber band): the last answer is kept, for the same photo.
        interaction_->cornerSnap = [this, last = std::optional<std::tuple<TDPoint, double, qint64, std::optional<CornerSnapResult>>>()](
                                       TDPoint p) mutable -> std::optional<TDPoint> {
            lastSnap_.reset();
            if (!settings_.SnapFlag || photo_.Work().isNull())
                return std::nullopt;
            // A few screen pixels around the pointer, in photo pixels.
            const double reach = std::clamp(8.0 / Ik5Disp1->State().DispScale, 2.0, 24.0);
            const qint64 photo = photo_.Work().Image().cacheKey();
            if (!last || std::get<0>(*last) != p || std::get<1>(*last) != reach || std::get<2>(*last) != photo)
                last.emplace(p, reach, photo, SnapCorner(photo_.Work().Image(), p, reach));
            // The edges it was crossed from, for the mark to show them.
            lastSnap_ = std::get<3>(*last);
            if (!lastSnap_)
                return std::nullopt;
            return lastSnap_->corner;
        };
        BuildMenus();
        BuildTopPanel();
        BuildToolPanel();
        BuildStatusBar();
        Ik5Disp1 = new PhotoView(this);
        zoom_ = std::make_unique<ViewZoom>(*Ik5Disp1, photo_.Work());
        Ik5Disp1->setObjectName(QStringLiteral("Ik5Disp1"));
        auto* central = new QWidget(this);
        auto* outer = new QVBoxLayout(central);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->setSpacing(0);
        outer->addWidget(Panel1);
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        row->addWidget(Panel2);
        row->addWidget(Ik5Disp1, 1);
        outer->addLayout(row, 1);
        setCentralWidget(central);
        setMinimumSize(400, 400);

        startHint_ = new StartHint(Ik5Disp1->viewport());
        auto* hintLayout = new QVBoxLayout(Ik5Disp1->viewport());
        hintLayout->addWidget(startHint_);
        connect(Ik5Disp1, &PhotoView::photoShown, this, [this] { UpdateStartHint(); });
        connect(startHint_, &StartHint::openRequested, this, [this] { Run([&] { Guard("StartHintOpen", [&] { mnOpenClick(); }); }); });
        connect(startHint_, &StartHint::recentChosen, this, [this](const QString& path) {
            Run([&] { Guard("StartHintRecent", [&] { LoadFile(path); }); });
        });

        Ik5Disp1->onEndDisplay = [this](QPainter& p, const ViewState& view) {
            // No dialog ever opens inside a paint: it would paint again and
            // fail again.  A drawing error is told once, after the paint.
            try {
                Guard("Ik5Disp1EndDispImage", [&] {
                    if (!HasPhoto())
                        return;
                    statusPanels_[1]->setText(Qx("MainWindow", "拡大率 = %1").arg(view.DispScale, 0, 'f', 2));
                    DrawOverlay(p, view);
                    emit overlayPainted(p, view);
                    paintErrorTold_ = false;
                });
            } catch (const std::exception& e) {
                PaintFailed(e.what());
            } catch (...) {
                PaintFailed(Tx("MainWindow", "予期しないエラーが発生しました."));
            }
        };
        connect(Ik5Disp1, &PhotoView::fileDropped, this, [this](const QString& path) {
            Run([&] { Guard("Ik5Disp1GetDragDropFileName", [&] { LoadFile(path); }); });
        });
        connect(Ik5Disp1, &PhotoView::pointerPressed, this, [this](QPoint pos, bool left, bool right) {
            // A click while a found reference is offered turns it down, and is no point of the tool.
            if (FoundClick()) {
                swallowRelease_ = true;
                return;
            }
            Run([&] {
                if (!HasPhoto())
                    return;
                interaction_->MouseDownAt(DisplayToPhoto(StoW(Ik5Disp1->State(), TPoint{pos.x(), pos.y()})), left, right);
            });
        });
        connect(Ik5Disp1, &PhotoView::pointerReleased, this, [this](QPoint pos, bool left, bool right) {
            if (std::exchange(swallowRelease_, false))
                return;
            Run([&] {
                if (HasPhoto())
                    interaction_->PointerUp(DisplayToPhoto(StoW(Ik5Disp1->State(), TPoint{pos.x(), pos.y()})), left, right);
            });
        });
        connect(Ik5Disp1, &PhotoView::pointerMoved, this, [this](QPoint pos) {
            if (const auto echo = std::find(cursorPlaced_.begin(), cursorPlaced_.end(), pos);
                echo != cursorPlaced_.end() && keyPointer_) {
                cursorPlaced_.erase(cursorPlaced_.begin(), echo + 1);
                return;
            }
            cursorPlaced_.clear();
            const TDPoint at = StoW(Ik5Disp1->State(), TPoint{pos.x(), pos.y()});
            keyPointer_ = at;
            UpdateLoupe(at);
            ShowSnap(at);
            Run([&] {
                if (HasPhoto())
                    interaction_->PointerMove(DisplayToPhoto(at));
            });
        });
        connect(Ik5Disp1, &PhotoView::wheelTurned, this, [this](QPoint pos, int delta) {
            if (delta != 0)
                WheelZoom(pos, delta < 0);
        });

        Timer1.setSingleShot(true);
        Timer1.setInterval(1000);
        connect(&Timer1, &QTimer::timeout, this, [this] {
            Run([&] {
                Guard("Timer1Timer", [&] {
                    if (splash_) {
                        splash_->deleteLater();
                        splash_ = nullptr;
                    }
                });
            });
        });
        ZoomTimer.setSingleShot(true);
        ZoomTimer.setInterval(100);
        connect(&ZoomTimer, &QTimer::timeout, this, [this] {
            Run([&] {
                Guard("ZoomTimer", [&] {
                    // The wheel only zooms: the tool under way keeps its points,
                    // its rubber band and an open chain; the cursor is the tool's again.
                    RedrawImage();
                    RedrawOverlay();
                    RestoreCursor();
                });
            });
        });

        RecoveryTimer.setSingleShot(true);
        RecoveryTimer.setInterval(300);
        connect(&RecoveryTimer, &QTimer::timeout, this, [this] { Run([&] { WriteRecovery(); }); });
        // After the window is up and before a photo named on the command line.
        QTimer::singleShot(0, this, [this] { Run([&] { StartUp(); }); });

        editor_.Observe([this](const ChangeNote& note) { DocumentChanged(note); });
        Init();
        BuildResultsPanel();
        BuildJobPanel();
        actions_[QStringLiteral("mnLoupe")]->setChecked(settings_.LoupeFlag);
        CheckBox_Snap->setChecked(settings_.SnapFlag);
        UpdateHistoryActions();
        UpdateStartHint();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect s = screen->availableGeometry();
            setGeometry(s.left() + 1, s.top() + 1, std::max(400, s.width() - 3), std::max(400, s.height() - 31));
        }
        SetFormTitle();
        Panel2->setVisible(settings_.ShortCutButtonFlag);
        Ik5Disp1->Pan()->move(geometry().left() + geometry().width() - settings_.PanWindowSize - 10,
                               geometry().top() + 20);
        // The window sees every key first, wherever the focus is: Shift
        // snaps the rubber band at once.
        qApp->installEventFilter(this);
    });
}

TF001::~TF001()
{
    // A write of the working files under way is finished, not cut off.
    autosave_.Wait();
    // The application outlives the window: its focus changes during the
    // base classes' teardown must not reach this part of it, already gone.
    disconnect(sizeFieldsLeft_);
    // Copies the home never took are the only ones: the folder is not removed.
    if (!unkeptCopies_.empty())
        home_.KeepPrivateOnExit();
}

void TF001::SetPrompter(std::unique_ptr<Prompter> prompter)
{
    prompter_ = std::move(prompter);
}

void TF001::PaintFailed(const std::string& message)
{
    if (paintErrorTold_)
        return;
    paintErrorTold_ = true;
    QTimer::singleShot(0, this, [this, message] { prompter_->Error(message); });
}

void TF001::Run(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        prompter_->Error(e.what());
    } catch (...) {
        prompter_->Error(Tx("MainWindow", "予期しないエラーが発生しました."));
    }
    // Every command may have changed a choice: it is kept at once, not at exit,
    // so a crash loses none of them.
    StoreSettings();
}

bool TF001::StoreSettings()
{
    if (settings_ == storedSettings_)
        return true;
    try {
        if (!WriteSettingsChanges(paths_.folders.IniFile(), storedSettings_, settings_))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    storedSettings_ = settings_;
    return true;
}

// --- access ---------------------------------------------------------------------------

QAction* TF001::Action(const QString& name) const
{
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

QWidget* TF001::Control(const QString& name) const
{
    const auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

bool TF001::ItemEnabled(const QString& name) const
{
    if (QAction* a = Action(name))
        return a->isEnabled();
    if (QWidget* w = Control(name))
        return w->isEnabled();
    return false;
}

QString TF001::StatusText(int panel) const
{
    return statusPanels_.at(static_cast<std::size_t>(panel))->text();
}

void TF001::SetItemEnabled(const QString& name, bool on)
{
    if (QAction* a = Action(name))
        a->setEnabled(on);
    if (QWidget* w = Control(name))
        w->setEnabled(on);
}

void TF001::Progress(int percent)
{
    ProgressBar1->setValue(std::clamp(percent, 0, 100));
}

// --- the model and the tool modes ---------------------------------------------------------

void TF001::Init()
{
    Guard("Init", [&] {
        editor_.ClosePhoto();
        diagnostic_ = false;
        SyncFieldsFromDocument();
        SyncToolOptions();
        SetCommand(uCommand::None);
    });
}

void TF001::BaseIndicator()
{
    Guard("BaseIndicator", [&] {
        ShowIndicator(Shape1_BaseChange, doc_.CurrentBase == 1);
        ShowIndicator(Shape2_BaseChange, doc_.CurrentBase == 2);
    });
}

void TF001::SetFormTitle()
{
    Guard("SetFormTitle", [&] { setWindowTitle(FormTitle(QString::fromStdString(doc_.ImageFileName))); });
}

// --- window events ----------------------------------------------------------------------------

bool TF001::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && !activatedOnce_) {
        activatedOnce_ = true;
        Run([&] {
            Guard("FormActivate", [&] {
                Timer1.start();
                splash_ = new TFTitle(this);
                splash_->move(geometry().left() + (geometry().width() - splash_->width()) / 2,
                              geometry().top() + (geometry().height() - splash_->height()) / 2);
                splash_->show();
            });
        });
    }
    if (e->type() == QEvent::ApplicationActivate)
        SetPanWindow();
    if (e->type() == QEvent::ApplicationDeactivate)
        Ik5Disp1->ShowPanWindow(false, settings_.PanWindowSize);
    // Another window or a dialog in front: the loupe would stand over it.
    if (e->type() == QEvent::WindowDeactivate || e->type() == QEvent::ApplicationDeactivate)
        HideLoupe();
    return QMainWindow::event(e);
}

void TF001::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::WindowStateChange) {
        if (isMinimized())
            Ik5Disp1->ShowPanWindow(false, settings_.PanWindowSize);
        else
            SetPanWindow();
    }
    QMainWindow::changeEvent(e);
}

bool TF001::eventFilter(QObject* watched, QEvent* e)
{
    // The pointer off the photo: the loupe would cover the labels for nothing.
    if (e->type() == QEvent::Leave && Ik5Disp1 && watched == Ik5Disp1->viewport())
        HideLoupe();
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
        scanCancel_ = true;
    if (e->type() == QEvent::KeyPress && interaction_ && HasPhoto() && FoundKey(*static_cast<QKeyEvent*>(e)))
        return true;
    if (e->type() == QEvent::KeyPress && isActiveWindow() && interaction_ && HasPhoto() &&
        (watched == Ik5Disp1 || watched == Ik5Disp1->viewport()) && PointKey(*static_cast<QKeyEvent*>(e)))
        return true;
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) && isActiveWindow() && interaction_ &&
        HasPhoto()) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (!key->isAutoRepeat() && watched == QApplication::focusWidget()) {
            const bool shift = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
            Run([&] {
                if (e->type() == QEvent::KeyPress && (shift || key->key() == Qt::Key_Shift))
                    interaction_->KeyDown(true);
                else if (e->type() == QEvent::KeyRelease && (!shift || key->key() == Qt::Key_Shift))
                    interaction_->KeyUp(false);
            });
        }
    }
    if (e->type() == QEvent::MouseButtonDblClick &&
        (watched == statusBar() || std::find(statusPanels_.begin(), statusPanels_.end(), watched) != statusPanels_.end())) {
        Run([&] { StatusBar1DblClick(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier); });
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

bool TF001::PointKey(const QKeyEvent& key)
{
    QPoint step;
    switch (key.key()) {
    case Qt::Key_Left:
        step = {-1, 0};
        break;
    case Qt::Key_Right:
        step = {1, 0};
        break;
    case Qt::Key_Up:
        step = {0, -1};
        break;
    case Qt::Key_Down:
        step = {0, 1};
        break;
    case Qt::Key_Escape:
        // The points entered so far go; the tool stays for the next try.
        Run([&] { SetCommand(Command()); });
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        bool ended = false;
        Run([&] { ended = interaction_->EnterKey(); });
        if (ended)
            return true;
        [[fallthrough]];
    }
    case Qt::Key_Space:
        // A click where the pointer is, as the left button would make it,
        // at the image point itself rather than the screen pixel nearest it.
        Run([&] {
            const TDPoint at = DisplayToPhoto(KeyPointer());
            interaction_->PointerDown(at, true, false);
            interaction_->PointerUp(at, true, false);
        });
        return true;
    default:
        return false;
    }
    // One photo pixel at any zoom, ten with Shift, kept within the view.
    const double pixels = (key.modifiers() & Qt::ShiftModifier) ? 10.0 : 1.0;
    const ViewState view = Ik5Disp1->State();
    const QRect inside = Ik5Disp1->viewport()->rect();
    const TDPoint low = StoW(view, TPoint{inside.left(), inside.top()});
    const TDPoint high = StoW(view, TPoint{inside.right(), inside.bottom()});
    const TDPoint from = KeyPointer();
    const TDPoint at{std::clamp(from.x + step.x() * pixels, low.x, high.x),
                     std::clamp(from.y + step.y() * pixels, low.y, high.y)};
    keyPointer_ = at;
    UpdateLoupe(at);
    ShowSnap(at);
    const TPoint screen = WtoS(view, at);
    cursorPlaced_.push_back(QPoint(screen.x, screen.y));
    if (cursorPlaced_.size() > 16)
        cursorPlaced_.pop_front();
    QCursor::setPos(Ik5Disp1->viewport()->mapToGlobal(cursorPlaced_.back()));
    Run([&] { interaction_->PointerMove(DisplayToPhoto(at)); });
    return true;
}

void TF001::ShowSnap(std::optional<TDPoint> pointer)
{
    std::optional<TDPoint> corner;
    if (pointer && HasPhoto() && Tool(Command()).snapsToCorners)
        corner = interaction_->cornerSnap(DisplayToPhoto(*pointer));
    std::vector<std::array<TDPoint, 2>> edges;
    if (corner && lastSnap_ && lastSnap_->fromEdges && lastSnap_->corner == *corner)
        edges.assign(lastSnap_->edges.begin(), lastSnap_->edges.end());
    // The mark is drawn on the display's image, straightened or not.
    if (corner)
        corner = PhotoToDisplay(*corner);
    for (auto& edge : edges)
        for (TDPoint& p : edge)
            p = PhotoToDisplay(p);
    Ik5Disp1->SetMarkerEdges(std::move(edges));
    Ik5Disp1->SetMarker(corner);
}

void TF001::UpdateLoupe(std::optional<TDPoint> pointer)
{
    const bool takesPoints = Tool(Command()).takesPoints;
    Ik5Disp1->SetLoupe(settings_.LoupeFlag && takesPoints && HasPhoto() ? pointer : std::nullopt, settings_.LoupeZoom);
}

void TF001::HideLoupe()
{
    keyPointer_.reset();
    cursorPlaced_.clear();
    UpdateLoupe(std::nullopt);
    ShowSnap(std::nullopt);
}

TDPoint TF001::KeyPointer() const
{
    const ViewState view = Ik5Disp1->State();
    const QRect inside = Ik5Disp1->viewport()->rect();
    if (keyPointer_) {
        const TPoint s = WtoS(view, *keyPointer_);
        if (inside.contains(s.x, s.y))
            return *keyPointer_;
    }
    const QPoint mouse = Ik5Disp1->viewport()->mapFromGlobal(QCursor::pos());
    const QPoint screen = inside.contains(mouse) ? mouse : inside.center();
    return StoW(view, TPoint{screen.x(), screen.y()});
}

bool TF001::FormClose()
{
    // The measurements first: when they cannot be kept the user may stay.
    if (!SaveImageState())
        return false;
    photo_.Close();
    Ik5Disp1->SetPhoto(nullptr);
    // Each step runs even when one before it failed: a settings file that cannot
    // be written must not cost the user the photo's measurements.
    // A first run leaves a whole file behind, to be edited by hand if need be.
    std::error_code missing;
    bool ok = std::filesystem::exists(paths_.folders.IniFile(), missing) ? StoreSettings()
                                                                         : WriteSettings(paths_.folders.IniFile(), settings_);
    try {
        PruneWorkingFiles(WorkingFolder(), settings_.DeleteTempLimit);
    } catch (const std::exception&) {
        ok = false;
    }
    if (!WriteErrorLog(ErrorTrail::global(), WorkingFolder()))
        ok = false;
    if (!ok)
        prompter_->Warn(Tx("MainWindow", "環境設定情報を保存できませんでした."));
    return true;
}

void TF001::closeEvent(QCloseEvent* event)
{
    bool closing = true;
    Run([&] { closing = FormClose(); });
    if (!closing) {
        event->ignore();
        return;
    }
    Ik5Disp1->ShowPanWindow(false, settings_.PanWindowSize);
    event->accept();
}

} // namespace kvx
