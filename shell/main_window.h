#pragma once

// The main window: menus, tool buttons, the W, H and price fields, the summary,
// the status line and the photo display; the start-up and shutdown of the
// program, opening photos, the tool modes and the setting and group switches.
// Names follow the program's design vocabulary (mnOpen, SpeedButton_Distance,
// SetCommand, LoadFile) so that a handler is found by the name a user report
// leaves in the error trail.

#include "edit/editor.h"
#include "image/corner_snap.h"
#include "image/photo.h"
#include "image/reference_finder.h"
#include "image/photo_view.h"
#include "interact/interaction.h"
#include "interact/window_port.h"
#include "measure/model.h"
#include "measure/results.h"
#include "base/app_settings.h"
#include "base/housekeeping.h"
#include "base/recovery_note.h"
#include "base/scratch_folder.h"
#include "shell/autosave.h"
#include "output/export/job_tables.h"
#include "shell/export_to.h"
#include "shell/home_claim.h"
#include "shell/job.h"
#include "shell/photo_open.h"
#include "shell/photo_session.h"
#include "shell/recovery_files.h"
#include "shell/prompter.h"
#include "shell/view_zoom.h"
#include "view/view_mapping.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QAction;
class QButtonGroup;
class QLockFile;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QToolButton;

namespace kvx {


class JobPanel;
class TFTitle;
class StartHint;
class TchCalcEdit;
class TFocusManager;

// Where the program finds its files: its home (kvx.ini, Temp) and the folder of
// the installed resources (history.txt, Manual).
struct AppPaths {
    Folders folders;
    QString resourceFolder;
};

class TF001 : public QMainWindow, public WindowPort {
    Q_OBJECT
public:
    explicit TF001(AppPaths paths, std::unique_ptr<Prompter> prompter = nullptr, QWidget* parent = nullptr);
    ~TF001() override;

    // --- the state, for the parts that build on the window and for tests
    const Document& Doc() const { return doc_; }
    // The one writer of the document.
    Editor& Edit() { return editor_; }
    const TAppSettings& Settings() const { return settings_; }
    TAppSettings& MutableSettings() { return settings_; }
    const AppPaths& Paths() const { return paths_; }
    bool HasPhoto() const { return photo_.HasPhoto(); }
    const Photo& WorkImage() const { return photo_.Work(); }
    const Photo& SourceImage() const { return photo_.Source(); }
    uCommand Command() const { return interaction_->Command(); }
    Interaction& Tools() { return *interaction_; }
    PhotoView* Display() const { return Ik5Disp1; }
    Prompter& Prompt() { return *prompter_; }
    void SetPrompter(std::unique_ptr<Prompter> prompter);
    bool DiagnosticOverlay() const { return diagnostic_; }

    // Named widgets and actions, by their design names.
    QAction* Action(const QString& name) const;
    QWidget* Control(const QString& name) const;
    bool ItemEnabled(const QString& name) const;
    QString StatusText(int panel) const;

    // --- the working folder
    // Whether this window holds the lock on its home's working folder (a second
    // program on the same home works in a private folder of its own).
    bool OwnsHome() const;
    // The folder of the working files this window writes: the home's, or its
    // private one.  Whoever names it is about to read or write it, so the
    // autosave in flight is finished first.
    const std::filesystem::path& WorkingFolder() const
    {
        autosave_.Wait();
        return home_.Current();
    }
    // After a completed change: the working files and the recovery note are
    // brought up to date a moment later, once for a whole burst of changes.
    void ScheduleRecovery();
    // Starts writing them now, on the autosave's thread (what the timer runs):
    // the window's thread only takes a snapshot of the document.
    void WriteRecovery();
    // Writes them now, on the window's thread, after the write in flight.
    void WriteRecoveryNow();
    // At start-up: offers to bring back the photo a crash left unsaved.
    void OfferRecovery();

    // --- the job
    bool HasJob() const;
    const Job* CurrentJob() const;
    JobPanel* JobDock() const { return jobPanel_; }
    // Opens the job file at path in place of the job open now (the photo shown
    // kept first); false when it was refused, with the reason told.
    bool OpenJob(const QString& path);
    // Makes an empty job file at path, which must not exist yet, and opens it.
    bool NewJob(const QString& path);
    void mnOpenJobClick();
    void mnNewJobClick();
    // Adds the photos to the job open now; each one refused is told.
    void AddToCurrentJob(const QStringList& files);
    // Opens the job's photo of row, keeping the one shown first.
    void ChooseJobPhoto(int row);
    void MoveJobPhoto(int row, int to);
    void RenameJobPhoto(int row);
    // Takes the photo out of the job; its file and measurements stay.
    void RemoveJobPhoto(int row);
    // The panel's rows and totals as the job and the open photo are now.
    void RefreshJobPanel();

    // --- routines
    void Init();
    // Saves the open photo's measurements before it is left (the tool under
    // way ended first).  When a save fails the user chooses: try again, go on
    // without the measurements, or stay; false means stay.
    bool SaveImageState();
    // The same for the current setting alone, without the question whether to
    // keep the photo's own copies (a setting or plane switch).
    bool SaveWorkingFiles(bool leavingPhoto);
    void LoadFile(const QString& path);
    void SetCommand(uCommand mode);
    void BaseIndicator();
    void SetFormTitle();
    void SetCalcuText();
    void RedrawImage();
    void RedrawOverlay() override;
    void SetPanWindow();
    void SyncFieldsFromDocument();

    void ZoomAll() override;
    void mnZoom1Click();
    void ZoomWindow(TDPoint p1, TDPoint p2) override;
    void ZoomPre() override;
    // One zoom step in or out about the photo point p, redrawing what redraw names.
    void ZoomAt(TDPoint p, ZoomDirection direction, ZoomRedraw redraw, double factor);
    void fncZoomUp(TDPoint p, ZoomRedraw redraw, double factor) { ZoomAt(p, ZoomDirection::In, redraw, factor); }
    void fncZoomDown(TDPoint p, ZoomRedraw redraw, double factor) { ZoomAt(p, ZoomDirection::Out, redraw, factor); }
    void WheelZoom(QPoint viewportPos, bool zoomIn);

    void mnChangeClick(int setting);
    void mnGroupClick(int group);
    void mnResetClick();
    void mnBaseClick();
    void mnBaseChangeClick();
    void mnDistanceAllDelClick();
    void mnCheckAllDelClick();
    void mnSpaceAllDelClick();
    void mnFileClick();
    void mnHelpClick();
    void mnErrorClick();
    void mnPropertyClick();
    void mnAboutClick();
    // The open photo's file and camera, read from the file as it is now.
    void mnPhotoInfoClick();
    void mnHistoryClick();
    void mnManualClick();
    void mnOpenClick();
    void StatusBar1DblClick(bool shiftHeld);
    void mnCsvOutClick();
    void mnPdfOutClick();
    void mnPrintClick();
    void mnEffectClick();
    void mnScanClick();
    // Asks where the scanned page is to be kept and writes it there; the path
    // written, or empty when the page was discarded.
    QString ScanSave(const Photo& scanned);
    // Saves a photo made here through the image dialog, telling the user
    // failed (with the path for %1) when it could not be written; the path
    // written, empty when cancelled or not written.
    QString SavePhoto(const Photo& photo, const QString& caption, const QString& proposed, const char* trail,
                      const QString& failed);
    // WorkImage made anew from SourceImage with the document's image processing.
    void ApplyEffects();
    // The display takes the photo as now shown and draws it again.
    void ShowWorkImage();
    void mnCsvOut2Click();
    void mnDxfOutClick();
    void mnTableOutClick();
    void mnRectifiedOutClick();
    void mnBaseLineClick(bool w);
    // Looks for a marker, then a sheet or card, and offers what it finds as
    // the reference: Return takes it, Tab the next candidate, a click or
    // Escape leaves the manual reference tool.
    void mnDetectReferenceClick();
    // Writes a marker to print at the preference's size, with a ruler.
    void mnMarkerSheetClick();
    // The candidates offered now (empty when none is).
    const std::vector<FoundReference>& FoundOffered() const { return found_; }
    // The meter's lines offered by the W and H commands.
    const QStringList& Pd25Lines() const { return pd25Lines_; }

    // --- what the pointer tools ask of the window
    ViewState View() const override;
    int DisplayWidth() const override;
    int DisplayHeight() const override;
    void SetStatusText(int panel, const std::string& text) override;
    void SetInfoText(const std::string& text) override;
    void CommandChanged() override;
    void PlaneChanged() override;
    void FocusField(InputField field) override;
    bool ShiftHeld() const override;
    void ShowFigure(FigureSlot slot, const std::optional<TraceFigure>& figure) override;
    void ZoomUp(TDPoint p, ZoomRedraw redraw, double factor) override
    {
        ZoomAt(PhotoToDisplay(p), ZoomDirection::In, redraw, factor);
    }
    void ZoomDown(TDPoint p, ZoomRedraw redraw, double factor) override
    {
        ZoomAt(PhotoToDisplay(p), ZoomDirection::Out, redraw, factor);
    }
    std::string AskAreaName() override;
    std::string RenameArea(const std::string& caption, const std::string& prompt, const std::string& current) override;
    std::string InputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;
    std::optional<std::pair<std::string, std::string>> SlopeDialog(double slantV, double slantH, TPoint at) override;
    std::optional<std::string> AskCheckLength(const std::string& prompt, const std::string& current = {}) override;
    void ImageRangeOutput(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
    void ReferenceSet() override;
    void ReferenceAdjusted() override;
    // Warns, once for each new reference, when it measures a metre through
    // the photo's middle less well than one per cent.
    void JudgeReference();
    // The same at the next turn of the event loop, with the sizes as they stand.
    void JudgeReferenceSoon();

    // Draws the overlay of both planes onto a painter (the display's end of repaint).
    void DrawOverlay(QPainter& painter, const ViewState& view);

    // --- the lens
    // Whether the display shows the photo straightened (the lens in force
    // taken out) rather than as taken.
    bool Straightened() const;
    // A point of the display's image (the photo as shown, or straightened)
    // as a point of the shown photo, where every point is kept; and back.
    TDPoint DisplayToPhoto(TDPoint p) const;
    TDPoint PhotoToDisplay(TDPoint p) const;
    // The photo's lens choices as the menu offers them now: the profiles of
    // the home's folder are read again.
    void FillLensMenu();

    // Runs a handler: an error leaving it is shown in the standard error box and
    // the program goes on (the handler's own guard has put its name on the trail).
    void Run(const std::function<void()>& handler);
    // Writes the choices changed since the last write into kvx.ini; false when
    // they could not be written (they are tried again with the next change).
    bool StoreSettings();

signals:
    // After every repaint of the photo, with the painter of the display.
    void overlayPainted(QPainter& painter, const ViewState& view);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildMenus();
    void BuildTopPanel();
    void BuildToolPanel();
    void BuildStatusBar();
    void BuildLensMenu(QMenu* edit, QMenu* view);
    // The lens menu's checks and offers follow the document.
    void UpdateLensMenu();
    // The display takes the photo as now shown, or straightened.
    void ShowDisplayedPhoto();
    // After a change of the document: the remembered edges, the menu and
    // the display follow the lens.
    void FollowLens();
    // doc as the display draws it: itself, or in the straightened view its
    // view through the lens.
    Document DrawnDocument(const Document& doc) const;
    QAction* AddAction(QMenu* menu, const QString& name, const QString& caption, std::function<void()> handler,
                       bool checkable = false);
    // A button of the tool panel that triggers the menu item actionName; its
    // tooltip is that item's full name and how to reach it from the keyboard.
    QToolButton* AddToolButton(const QString& name, const QString& label, bool checkable, const QString& actionName);
    void ExplainToolButtons();
    // The empty photo area's hint follows whether a photo is open and the recent photos.
    void UpdateStartHint();
    void SetItemEnabled(const QString& name, bool on);
    void SyncViewToggles();
    void Edit_KijunChange(QLineEdit* field);
    void SyncToolOptions();
    void Progress(int percent);
    bool FormClose();
    // What a change of the document means for the window.
    void DocumentChanged(const ChangeNote& note);
    void UpdateEnabling();
    // The cursor of the tool mode (after the wheel showed the zoom's).
    void RestoreCursor();
    void PaintFailed(const std::string& message);
    bool MarkCancelled(const std::string& question);
    void ClaimHome();
    void UsePrivateWorkingFolder(const std::string& why);
    // Leaves the private folder where it is, with its recovery note, and tells
    // where: it holds measurements the home could not take.
    void LeavePrivateFolderBehind();
    // Working files brought back that must not be replaced yet: this window
    // then works in a private folder.
    void SpareUnrecoveredWork();
    void ShowStartupNotices();
    void StartUp();
    void BringInStoredCopies();
    bool StoredCopiesChangedElsewhere() const;
    void KeepStoredCopies(WorkFileUi& ui);
    // Keys that take points without the mouse: arrows move the pointer by a
    // photo pixel, Space or Return clicks, Escape drops the points entered.
    bool PointKey(const QKeyEvent& key);
    // The keyboard's pointer as an image point: where the arrows left it
    // while it is in view, else under the mouse, else the view's centre.
    TDPoint KeyPointer() const;
    // The history: one step back or forward, into its setting when another.
    void StepThroughHistory(bool back);
    void UpdateHistoryActions();
    // The table of results follows the document; its choices go through the editor.
    void BuildResultsPanel();
    void RefreshResults();
    void SelectCurrentResult();
    // The loupe beside the pointer while a tool takes points.
    void UpdateLoupe(std::optional<TDPoint> pointer);
    // Takes the loupe away until the pointer moves over the photo again.
    void HideLoupe();
    // The mark of the corner a click would snap to.
    void ShowSnap(std::optional<TDPoint> pointer);
    bool PrepareWorkingFiles();
    void BuildJobPanel();
    void CloseJob();
    void FindMovedJobPhotos();
    bool SaveJobFile();
    // The index in the job of the photo shown, or -1.
    int CurrentJobIndex() const;
    // The job's measurements of the photo id become its kept copies in the home.
    void BringFromCurrentJob(const PhotoKey& id);
    // The photo shown, when it is the job's, is kept in the job's folder.
    void KeepInJob();
    // The open job photo's stored unit price put in the price field.
    void UseJobPrice();
    // The price shown stored with the open job photo; whether it changed.
    bool KeepJobPrice();
    // Another photo's settings read for the panel, away from the window's thread.
    void ReadJobPhotoInBackground(std::size_t index);
    // The found reference on offer: what it is called, and the user's answers.
    QString FoundText(const FoundReference& found) const;
    void OfferFound();
    void DropFound();
    void AcceptFound();
    void RejectFound();
    bool FoundKey(const QKeyEvent& key);
    bool FoundClick();
    void ForgetRecovery();
    // Stops the clock and waits for the write in flight, whose report is
    // then ignored; forget: what was written last is forgotten too.
    void DropRecoveryInFlight(bool forget);
    void TakeRecoveryOutcome(const RecoveryOutcome& r, std::uint64_t epoch);
    // Work not yet kept, waiting in a working folder: the recovery note there
    // says whose photo it is.
    struct PendingRecovery {
        std::filesystem::path folder;
        RecoveryNote note;
    };
    // Brings the work of from back on the photo decoded (the one it was done on).
    void BringBack(const PendingRecovery& from, const Photo& decoded);
    // Whether the note's work was done on the photo at path with this check sum.
    static bool RecoveryFor(const PendingRecovery& pending, const QString& path, std::int32_t checkSum);

    AppPaths paths_;
    std::unique_ptr<Prompter> prompter_;
    // The pointer as an image point (photo pixels): the arrow keys move it by
    // whole photo pixels, which at a small zoom fall between screen pixels.
    std::optional<TDPoint> keyPointer_;
    // Where the arrow keys put the mouse cursor, oldest first: the moves that
    // report it back (the system's, possibly after further presses) are no
    // moves of the user's and must not round the pointer to a screen pixel.
    std::deque<QPoint> cursorPlaced_;
    std::optional<CornerSnapResult> lastSnap_;  // the snapped corner last asked for, with its edges
    std::vector<FoundReference> found_;
    std::size_t foundAt_ = 0;
    bool swallowRelease_ = false;  // the release of the click that turned an offer down
    class ResultsPanel* results_ = nullptr;  // where the keys last put the pointer, in the view
    // The rows the panel shows, kept so that a change works out only the rows it touched.
    ResultTable resultTable_;
    TAppSettings settings_;
    // The settings as this window last read or wrote them: what differs from
    // them is what this window changed, and only that goes into kvx.ini.
    TAppSettings storedSettings_;
    // Where each kind of export's save dialog starts.
    ExportFolders exportFolders_{settings_};
    Editor editor_;
    const Document& doc_ = editor_.Doc();
    // The open photo, decoded and as shown, and what its copies looked like.
    PhotoSession photo_{editor_};
    std::unique_ptr<Interaction> interaction_;
    QStringList pd25Lines_;
    QString lastScanner_;
    bool scanCancel_ = false;
    bool diagnostic_ = false;
    bool activatedOnce_ = false;
    bool paintErrorTold_ = false;
    // The zoom of the display and the view to go back to.
    std::unique_ptr<ViewZoom> zoom_;
    std::optional<bool> base1Down_;

    std::map<QString, QAction*> actions_;
    std::map<QString, QWidget*> controls_;
    std::map<QString, QToolButton*> toolButtons_;
    std::map<QString, QString> toolActions_;
    StartHint* startHint_ = nullptr;
    QMenu* mnFile = nullptr;
    QMenu* mnHelp = nullptr;
    QMenu* mnChange = nullptr;
    QMenu* mnGroup = nullptr;
    QAction* mnFileName0 = nullptr;

    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    TchCalcEdit* chCalcEdit_KijunW = nullptr;
    TchCalcEdit* chCalcEdit_KijunH = nullptr;
    TchCalcEdit* chCalcEdit_Tanka = nullptr;
    TFocusManager* FocusManager1 = nullptr;
    QLabel* Label_Tanka = nullptr;
    QLineEdit* Edit_Info = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QComboBox* ComboBox_Change = nullptr;
    QButtonGroup* RadioGroup_Group = nullptr;
    QCheckBox* CheckBox_Lock = nullptr;
    QCheckBox* CheckBox_Snap = nullptr;
    QCheckBox* CheckBox_BaseChangeAuto = nullptr;
    QCheckBox* CheckBox_DistanceMode = nullptr;
    QCheckBox* CheckBox_PolygonMode = nullptr;
    QLabel* Shape1_BaseChange = nullptr;
    QLabel* Shape2_BaseChange = nullptr;
    PhotoView* Ik5Disp1 = nullptr;
    std::array<QLabel*, 3> statusPanels_{};
    // Which lens correction the numbers go through, at the status bar's end.
    QLabel* lensState_ = nullptr;
    QMenu* mnLens = nullptr;
    // The straight edges this photo had last, in sensor pixels: choosing
    // "the photo's straight edges" again after another choice brings them back.
    std::vector<std::vector<TDPoint>> lensEdges_;
    std::string lensEdgesOf_;  // the photo they belong to
    bool showingStraightened_ = false;
    // The straightened photo and what it was made from: made again only
    // when the shown photo, the lens or the frame changes.
    struct StraightenedFor {
        qint64 image = 0;
        LensModel lens;
        SensorFrame sensor;
        int rotate = 0;
        friend bool operator==(const StraightenedFor&, const StraightenedFor&) = default;
    };
    Photo straightened_;
    std::optional<StraightenedFor> straightenedFor_;
    // A reference was just set and is judged once W and H are typed (focus
    // leaves the two fields) or a measuring tool starts.
    bool referenceToJudge_ = false;
    // The user typed W or H on this photo: a reference closing now is judged
    // at once with them, as a stray corner must not wait for more typing.
    bool sizesTyped_ = false;
    // The last judgement warned: moving a corner of a reference already told
    // weak does not tell again.
    bool referenceWeak_ = false;
    QMetaObject::Connection sizeFieldsLeft_;  // the focus leaving W and H

    QTimer Timer1;
    QTimer ZoomTimer;
    QTimer RecoveryTimer;

    // The home's working folder held, or the private one this window works in.
    HomeClaim home_{SystemTemporaryFolder()};
    // Per photo key: the numbers of the private folder's copies the home has
    // not taken yet (kFingerprintCopy for the fingerprint).
    std::map<std::string, std::set<int>> unkeptCopies_;
    // Work the user wanted back but whose photo could not be read.
    std::vector<PendingRecovery> pendingRecovery_;
    std::string lastRecovery_;
    bool recoveryWarned_ = false;
    // A change came while a write was in flight: another follows it.
    bool recoveryAgain_ = false;
    // A write was started and has not reported yet (it may be done).
    bool recoveryInFlight_ = false;
    // Counts the times the working files stopped being this photo's: a write
    // finishing after that is no longer what they hold.
    std::uint64_t recoveryEpoch_ = 0;
    TFTitle* splash_ = nullptr;

    std::optional<Job> job_;
    std::unique_ptr<QLockFile> jobLock_;
    JobPanel* jobPanel_ = nullptr;
    // The settings of the job's photos not open, read in the background, by fingerprint.
    struct JobTotalsEntry {
        std::vector<Document> settings;
        std::string problem;
        // Worked out once for the price they were last shown at: an edit of
        // the photo shown sums them again without working them out.
        bool reference = false;
        std::optional<std::vector<JobGroupTotal>> totals;
        std::string totalsProblem;
        std::string totalsPrice;
    };
    std::map<std::string, JobTotalsEntry> jobTotals_;
    std::set<std::string> jobReading_;
    // How often each job photo was kept: a background read that began before
    // the last keep brings back an old state.
    std::map<std::string, std::uint64_t> jobKeeps_;
    // The job photo whose price the price field shows (by fingerprint).
    std::string jobPriceFor_;
    // The price could not be written to the job file, and the user was told.
    bool jobPriceRefused_ = false;
    // Declared last: it goes first, finishing the write in flight while
    // everything it reports to is still there.
    mutable AutosaveWriter autosave_{[this](std::function<void()> f) {
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
    }};
};

} // namespace kvx
