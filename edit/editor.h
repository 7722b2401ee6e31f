#pragma once

// The one writer of the open photo's Document.  The window, the pointer tools,
// batch mode and the report change the document only through an Editor; they
// read it through Doc().  Every change goes through one commit path with the
// name of its step, `Modified` is set there and nowhere else, and what changed
// is told once, at the end of the outermost step, to everyone who observes.
//
// Two kinds of step: an edit of the user's measurements (it sets `Modified`,
// and is what a history of steps would record) and tool state (the points of
// the command under way, the current item, the group, the view toggles) which
// is part of the document but never the user's work.

#include "edit/history.h"
#include "measure/lens_fit.h"
#include "measure/model.h"
#include "measure/workfiles.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

// What a step changed, for those who show the document.
enum ChangeFlag : unsigned {
    kChangeOverlay = 1u << 0,       // the marks over the photo
    kChangeSummary = 1u << 1,       // the summary line of the current item
    kChangeFields = 1u << 2,        // W, H, price and the view toggles
    kChangePlanes = 1u << 3,        // the current setting or plane
    kChangeEnabling = 1u << 4,      // which menus and tools are offered
    kChangePhoto = 1u << 5,         // another photo, or none
    kChangeMeasurements = 1u << 6,  // a completed edit of the user's work (Modified set)
    kChangeSaved = 1u << 7,         // the working files were written or read
    kChangeEffects = 1u << 8,       // the image processing settings: the shown photo is made again
    kChangeHistory = 1u << 9,       // what can be undone or redone
};

inline constexpr unsigned kChangeShown = kChangeOverlay | kChangeSummary | kChangeEnabling;
// Everything a whole new document shows.  The two flags after it are told
// only by the steps that mean them: the photo is processed again only when its
// settings change under it (an undo), not on every load, which processes it
// itself.
inline constexpr unsigned kChangeAll = 0xFFu;

// The user's work in a document, as one step of the history keeps it: every
// measurement, the references, the fields and the image processing of the
// setting (both planes of setting 4), with Modified.  Tool state (the points
// of the command under way, the group, the view) is not part of it.
struct WorkState {
    TPlaneState Plane;
    TPlaneState ParkedPlane;
    std::int32_t CurrentSetting = 1;
    std::int32_t CurrentBase = 0;
    std::uint8_t OtherBaseSet = 0;
    std::array<TDPoint, 6> OtherBaseRect{};
    std::uint8_t CrossLineSet = 0;
    TDPoint CrossLinePoint;
    std::array<TDPoint, 7> SixPoint{};
    std::int32_t CurrentDistance = 0;
    std::int32_t CurrentSpace = 0;
    std::uint8_t Modified = 0;
    ImageEffects Effects;
    std::string KijunWText;
    std::string KijunHText;
    std::string TankaText;
    std::optional<LensChoice> Lens;

    friend bool operator==(const WorkState&, const WorkState&) = default;
};

WorkState WorkOf(const Document& doc);

// A WorkState as the history keeps it: its planes' lists of marks in pieces
// shared with the steps beside it (edit/history.h), the rest as it is.
struct StoredWork {
    WorkState rest;  // with the planes' lists empty
    StoredPlane plane;
    StoredPlane parked;
};

// One notification: the union of the flags of a step and of every step inside
// it, and the name of the outermost step.
struct ChangeNote {
    unsigned flags = 0;
    std::string step;
};

// Which of the three fields a text is for.
enum class FieldText { W, H, Price };

class Editor {
public:
    Editor();
    // Starts from a document built elsewhere (a test's scene, a file's contents).
    explicit Editor(Document doc);
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    const Document& Doc() const { return doc_; }

    // --- observing
    using Observer = std::function<void(const ChangeNote&)>;
    // Returns a ticket for Forget.  Observers are told in the order they came.
    int Observe(Observer observer);
    void Forget(int ticket);

    // --- several edits as one
    // Runs edits (calls of this Editor's own methods) as one step of the
    // history, named step, told once when the last has run.  A group in which
    // no edit ran is no step and tells nothing.
    void Group(std::string_view step, const std::function<void()>& edits);

    // --- tool state
    void AddInputPoint(TDPoint p);
    // Moves input point i (1-based) of the command under way (none: nothing).
    void SetInputPoint(std::int32_t i, TDPoint p);
    void DropLastInputPoint();
    void ClearInput();
    void SelectDistance(std::int32_t k);
    void SelectSpace(std::int32_t k);
    void SetGroup(std::int32_t group);
    void SetViewToggles(const ViewToggles& view);

    // --- distances
    // Appends a distance of the current group.  linked: continuous mode joins
    // it to the open end of the chain before it; otherwise it starts alone.
    std::int32_t AddDistance(TDPoint start, TDPoint end, bool linked);
    // Leaves the chain open at distance k for the next segment of continuous mode.
    void OpenChainAfter(std::int32_t k);
    // Ends a chain left open (the last distance's next pointing past the end).
    // Every save and every swap of the document's contents comes after this.
    void EndOpenChain();
    void DeleteDistance(std::int32_t k);
    void DeleteAllDistances();
    void SetDistanceCorrection(std::int32_t k, std::optional<TDPoint> ref);
    // Moves the start (or the end) of distance k to p, and the joining end of
    // the distance linked to it in a chain (0: none).
    void MoveDistanceEnd(std::int32_t k, bool start, TDPoint p, std::int32_t linked);

    // --- areas
    std::int32_t AddSpace(std::vector<TDPoint> outline, std::uint8_t kind, std::string name);
    void DeleteSpace(std::int32_t k);
    void DeleteAllSpaces();
    void SetSlope(std::int32_t k, double slantV, double slantH);
    void SetSpaceName(std::int32_t k, std::string name);
    void SetSpaceCorrection(std::int32_t k, std::optional<TDPoint> ref);
    // Moves vertex v of area k to p.  rectangle: the area is a rectangle of
    // the plane, drawn again from p and the corner opposite v.
    void MoveSpaceVertex(std::int32_t k, std::size_t v, TDPoint p, bool rectangle);

    // --- check distances: kept with the photo, never in a total
    std::int32_t AddCheck(TDPoint start, TDPoint end, double known);
    void SetCheckLength(std::int32_t k, double known);
    void DeleteCheck(std::int32_t k);
    void DeleteAllChecks();

    // --- the reference and what hangs on it
    void SetReference(const std::array<TDPoint, 4>& corners);
    // A reference found in the photo with its known size: the rectangle and
    // the W and H texts in one step.  keepMeasurements: the distances and
    // areas stay where they were and are measured anew against it (a run
    // that finds the reference in place of the stored one); otherwise they go,
    // as with a reference clicked anew.  tolerance: how far a sheet's or a
    // card's true size may be from the one given (none for a marker).
    void SetReferenceWithSize(const std::array<TDPoint, 4>& corners, const std::string& wText, const std::string& hText,
                              bool keepMeasurements = false, const SizeTolerance& tolerance = {});
    void SetTwoPlanes(const std::array<TDPoint, 7>& sixPoint);
    void SetBaseLine(bool w, TDPoint a, TDPoint b);
    void SetBaseUnit(TDPoint a, TDPoint b);
    void SetCrossLine(TDPoint p);
    // Moves corner k (1..4) of the current plane's reference rectangle to p;
    // the base lines are dropped.  lock, in setting 4: the other plane's
    // corner that lies where corner k was moves with it.
    void MoveReferenceCorner(int k, TDPoint p, bool lock);
    // Moves end (1 or 2) of the W (or H) base line to p.
    void MoveBaseLinePoint(bool w, int end, TDPoint p);
    // Moves corner (1 or 2) of the measurement base to p: the base is the
    // user's own from then on, and the base lines are dropped.
    void MoveBaseUnitCorner(int corner, TDPoint p);
    void Reset();

    // --- fields and planes
    void SetFieldText(FieldText field, const std::string& text);
    // The field the user is in now (none: the user left it).  The keystrokes
    // of one visit of a field are one step of the history.
    void VisitField(std::optional<FieldText> field);
    // The unit price a photo was last shown with, put back as it opens (a
    // job keeps it, the working files do not): no step of the user's, and
    // the photo is not changed by it.
    void UseStoredPrice(const std::string& text);
    void SwapPlanes();

    // --- image processing
    void SetEffects(const ImageEffects& effects);

    // --- the lens
    // The user's lens choice for the photo (empty: none made, a matching
    // profile applies).
    void SetLensChoice(const std::optional<LensChoice>& choice);
    // Straight edges, each a run of points of the shown photo along an edge
    // straight in reality.  Every change fits the lens again from all the
    // edges and makes them the photo's choice; the fit is returned, and a
    // fit that failed leaves the edges without a correction until they
    // tell one.
    EdgeFit AddStraightEdge(const std::vector<TDPoint>& points);
    EdgeFit MoveStraightEdgePoint(std::size_t edge, std::size_t point, TDPoint p);
    EdgeFit DeleteStraightEdge(std::size_t edge);
    // Edges kept before (sensor pixels, as a choice holds them) made the
    // photo's choice again, fitted anew, as one step; no edges: no choice.
    EdgeFit UseStraightEdges(const std::vector<std::vector<TDPoint>>& edges);
    // The profile found for the photo's camera when it was opened: tool
    // state, since it is found again at every opening.
    void SetAutoLens(const LensModel& lens, const std::string& name, double kUncertainty = 0.0);

    // --- the photo and its working files
    // Makes the photo the open one, with empty measurements, before its
    // working files are prepared.
    // fingerprint and key name whose per-image copies are the photo's (empty:
    // unknown, the legacy key).
    void StartPhoto(const std::string& imageFileName, std::int32_t checkSum, const std::string& fingerprint = {},
                    const std::string& key = {}, const SensorFrame& sensor = {});
    // Loads setting 1 of the open photo from the working files in folder; a
    // damaged working file throws WorkFileReadError after keeping what was
    // read whole.  True when setting 1 had a file.
    bool LoadFirstSetting(const std::filesystem::path& folder);
    // Reads the photo's lens choice from the working files in folder (work
    // brought back after a crash); a damaged file throws WorkFileReadError
    // and leaves no choice.
    void LoadLens(const std::filesystem::path& folder);
    // The measurements count as changed and not kept (brought back after a crash).
    void MarkUnkept();
    // No photo: empty measurements, no name.
    void ClosePhoto();
    // Writes the current setting to the working files (after ending an open chain).
    SaveSettingResult SaveSetting(const std::filesystem::path& folder, WorkFileUi& ui);
    // Copies the working files to the photo's own (asks first when Modified).
    void KeepPhotoFiles(const std::filesystem::path& folder, WorkFileUi& ui);
    SwitchResult SwitchSetting(int setting, const std::filesystem::path& folder, WorkFileUi& ui);
    // Makes setting 1..4 current from the working files, the current one
    // having been saved already.  True when its file was found.
    bool LoadSetting(int setting, const std::filesystem::path& folder);

    // --- the history of the user's steps
    // Every edit is a step; the history belongs to the open photo
    // and starts again with another photo.  At least kHistorySteps are kept.
    static constexpr std::size_t kHistorySteps = 500;
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // The name of the step Undo or Redo would take back or do again.
    std::string UndoName() const;
    std::string RedoName() const;
    // The setting the step was made in (0: no step).
    int UndoSetting() const { return undo_.empty() ? 0 : undo_.back().state.rest.CurrentSetting; }
    int RedoSetting() const { return redo_.empty() ? 0 : redo_.back().state.rest.CurrentSetting; }
    // Takes the last step back (or does the last undone one again): the
    // document is as it was, Modified included.  A step of another setting
    // switches to that setting first, saving the current one as any switch
    // does; false when that switch could not be made.
    bool Undo(const std::filesystem::path& folder, WorkFileUi& ui);
    bool Redo(const std::filesystem::path& folder, WorkFileUi& ui);
    void ClearHistory();
    // The bytes the history holds (both ways), each shared piece once.
    std::size_t HistoryBytes() const;

    // Shows the parked plane as the current one for the length of draw.
    void WithParkedPlane(const std::function<void(const Document&)>& draw);

private:
    // Tests stage their scenes through this door, never the program.
    friend struct EditorTestAccess;

    // The commit path.  An edit of the user's measurements: runs change on
    // the document, sets Modified, and tells the observers
    // flags | kChangeMeasurements.  Nested steps are told once, with the
    // outermost step's name.
    void Commit(std::string_view step, unsigned flags, const std::function<void(Document&)>& change);
    // A change of tool state: no Modified, no step of the user's.
    void Track(unsigned flags, const std::function<void(Document&)>& change);
    void Run(std::string_view step, unsigned flags, bool edit, const std::function<void(Document&)>& change);
    void Notify();

    struct Step {
        std::string name;
        StoredWork state;  // the document on the other side of the step
    };
    bool Travel(std::vector<Step>& from, std::vector<Step>& to, const std::filesystem::path& folder, WorkFileUi& ui);
    void Restore(const WorkState& state);

    Document doc_;
    std::vector<Step> undo_;
    std::vector<Step> redo_;
    std::optional<StoredWork> before_;  // the document before the outermost edit under way
    bool recording_ = true;
    // Which field the user is in, and the step its keystrokes go on adding
    // to (stepSerial_ when that step was made; 0: none yet in this visit).
    std::optional<FieldText> visiting_;
    std::uint64_t visitStep_ = 0;
    std::uint64_t stepSerial_ = 0;  // counts the steps made, undone and redone
    std::vector<std::pair<int, Observer>> observers_;
    int nextTicket_ = 1;
    int depth_ = 0;
    ChangeNote pending_;
};

} // namespace kvx
