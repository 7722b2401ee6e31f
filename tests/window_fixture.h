#pragma once

// The main window as the window tests drive it: a window with a home of its
// own, a prompter that answers from a script and keeps what it was told, and
// the moves a user makes (clicks on photo points, answers in modal boxes).

#include "editor_access.h"
#include "measure/calibration.h"
#include "shell/main_window.h"
#include "shell/prompter.h"

#include <QApplication>
#include <QColor>
#include <QMessageBox>
#include <QPrinter>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <cmath>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kvx::test {

class ScriptedPrompter : public Prompter {
public:
    std::deque<bool> answers;  // for AskYesNo; Yes when none is left
    std::vector<std::string> warnings, questions, infos, errors;
    std::optional<QString> openPath;
    // Warnings shown as real modal boxes, for flows that depend on the focus
    // and activation a box takes and gives back.
    bool realWarnings = false;

    void Warn(const std::string& m) override
    {
        warnings.push_back(m);
        if (realWarnings)
            QMessageBox::warning(QApplication::activeWindow(), QString(), QString::fromStdString(m));
    }
    bool AskYesNo(const std::string& m) override
    {
        questions.push_back(m);
        if (answers.empty())
            return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    // Yes, No or Cancel: from cancelAnswers while there are any, else as AskYesNo.
    std::deque<std::optional<bool>> cancelAnswers;
    std::optional<bool> AskSaveChanges(const std::string& m) override
    {
        if (cancelAnswers.empty())
            return AskYesNo(m);
        questions.push_back(m);
        const auto a = cancelAnswers.front();
        cancelAnswers.pop_front();
        return a;
    }
    // After a failed save: stay where the user was when nothing is scripted.
    std::deque<SaveFailureChoice> saveFailureAnswers;
    std::vector<std::string> saveFailures;
    std::function<void()> onSaveFailure;  // what changes while the user reads the message
    SaveFailureChoice SaveFailed(const std::string& m) override
    {
        saveFailures.push_back(m);
        if (onSaveFailure)
            onSaveFailure();
        if (saveFailureAnswers.empty())
            return SaveFailureChoice::Stay;
        const SaveFailureChoice a = saveFailureAnswers.front();
        saveFailureAnswers.pop_front();
        return a;
    }
    void Info(const std::string& m) override { infos.push_back(m); }
    void Error(const std::string& m) override { errors.push_back(m); }
    std::optional<QString> OpenPhoto(const QString&) override { return openPath; }

    std::deque<std::string> names;
    std::string inputBoxAnswer;
    std::optional<std::pair<std::string, std::string>> slopeAnswer;
    std::optional<SaveChoice> saveChoice;
    std::vector<QString> saveProposals;
    std::string AskAreaName() override
    {
        if (names.empty())
            return {};
        std::string n = names.front();
        names.pop_front();
        return n;
    }
    // Answers taken in turn, then inputBoxAnswer; each prompt is kept.
    std::deque<std::string> inputBoxAnswers;
    std::vector<std::string> inputBoxPrompts;
    std::string InputBox(const std::string&, const std::string& prompt, const std::string&) override
    {
        inputBoxPrompts.push_back(prompt);
        if (inputBoxAnswers.empty())
            return inputBoxAnswer;
        std::string a = inputBoxAnswers.front();
        inputBoxAnswers.pop_front();
        return a;
    }
    std::optional<std::pair<std::string, std::string>> SlopeDialog(double, double, QPoint) override { return slopeAnswer; }
    std::optional<SaveChoice> SaveImage(const QString&, const QString&, const QString& proposed, int) override
    {
        saveProposals.push_back(proposed);
        return saveChoice;
    }
    std::optional<QString> textTarget;
    std::optional<QString> pd25File;
    std::optional<int> pd25Pick;
    std::vector<QStringList> pd25Offers;
    std::vector<QString> saveFolders;
    std::optional<QString> SaveText(const QString&, const QString& folder, const QString& proposed, const QString&) override
    {
        saveFolders.push_back(folder);
        saveProposals.push_back(proposed);
        return textTarget;
    }
    std::optional<QString> OpenPd25(const QString&) override { return pd25File; }
    std::optional<int> PickPd25(const QStringList& lines, QPoint) override
    {
        pd25Offers.push_back(lines);
        return pd25Pick;
    }
    std::vector<QString> opened;
    bool viewerAvailable = false;
    bool OpenDocument(const QString& path) override
    {
        opened.push_back(path);
        return viewerAvailable;
    }
    std::deque<std::pair<int, ImageEffects>> effectAnswers;
    int EffectDialog(ImageEffects& settings) override
    {
        if (effectAnswers.empty())
            return 3;
        const auto [result, values] = effectAnswers.front();
        effectAnswers.pop_front();
        if (result == 1 || result == 4)
            settings = values;
        return result;
    }
    std::optional<std::string> scanDevice;
    QStringList scanDevicesOffered;
    std::optional<std::string> ChooseScanDevice(const QStringList& devices, const QString&) override
    {
        scanDevicesOffered = devices;
        return scanDevice;
    }
    std::optional<TAppSettings> propertyAnswer;
    std::optional<TAppSettings> PropertyDialog(const TAppSettings&) override { return propertyAnswer; }
    std::optional<QString> printTo;
    bool ChoosePrinter(QPrinter& printer) override
    {
        if (!printTo)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(*printTo);
        return true;
    }
};
// A window with a home and a resource folder of its own.
struct Fixture {
    QTemporaryDir home;
    QTemporaryDir resources;
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<TF001> window;

    AppPaths Paths() const;
    TF001& Open();
    // The window with a generated photo open.
    TF001& OpenWith(const QString& name, QColor colour, QSize size = QSize(400, 300));
    void Close();
    // A photo of one colour written into the home, by its path.
    QString Photo(const QString& name, QColor colour, QSize size = QSize(400, 300)) const;
    std::filesystem::path Temp() const { return Paths().folders.TempFolder; }
};

// Where a photo point is on the screen, and a click there.
QPoint Screen(TF001& w, TDPoint p);
void ClickAt(TF001& w, TDPoint p);

// Sets the scene up as a test needs it, through the window's editor.
void Set(TF001& w, const std::function<void(Document&)>& change);

// Acts on the modal windows as they open, one step each, in order.  A step
// answers false when the window on top is not the one it expects (a window
// still closing), and is tried again; a script stuck for seconds rejects the
// window on top so the test fails instead of hanging.
class ModalScript : public QObject {
public:
    using Step = std::function<bool(QWidget*)>;
    explicit ModalScript(std::vector<Step> steps);
    bool Done() const { return steps_.empty() && !stuck_; }

private:
    void Next();
    std::deque<Step> steps_;
    QTimer timer_;
    int idle_ = 0;
    bool stuck_ = false;
};

// Types name into the save dialog (choosing filter first, when given) and
// saves.  The dialog fills in its own name once it has read the folder, so the
// name is typed again until it has stood for a few rounds.
ModalScript::Step SaveAs(const QString& name, const QString& filter = {});

// Presses button in the message box on top, keeping its text in seen.
ModalScript::Step Answer(QMessageBox::StandardButton button, QStringList& seen);

// A slightly skewed reference rectangle on the 400 x 300 photo.
void MarkReference(Document& doc);

// The overlay drawn again now, as after any change of the document.
void Repaint(TF001& w);

// A file's bytes, empty when it cannot be read.
QByteArray Bytes(const QString& path);

// Every file of a folder with its bytes, to see that nothing changed.
std::map<QString, QByteArray> Snapshot(const QString& folder);

// A reference, a distance and a named area on the open photo, the document
// marked as changed and no tool active.
void Measure(TF001& w);

// Runs a tool of the system (qpdf, poppler) and gives its exit code and output.
std::pair<int, QByteArray> Tool(const QString& program, const QStringList& args);

// The projective map from the wall's plane (millimetres, Y up) to the photo,
// fixed by four corners: an independent model of what the program computes.
struct Homography {
    double h[9];

    static Homography FromCorners(const std::array<TDPoint, 4>& plane, const std::array<TDPoint, 4>& image)
    {
        // Eight unknowns, h[8] = 1, solved by Gaussian elimination.
        double a[8][9] = {};
        for (int i = 0; i < 4; ++i) {
            const double X = plane[static_cast<std::size_t>(i)].x, Y = plane[static_cast<std::size_t>(i)].y;
            const double u = image[static_cast<std::size_t>(i)].x, v = image[static_cast<std::size_t>(i)].y;
            double r1[9] = {X, Y, 1, 0, 0, 0, -u * X, -u * Y, u};
            double r2[9] = {0, 0, 0, X, Y, 1, -v * X, -v * Y, v};
            std::copy(r1, r1 + 9, a[2 * i]);
            std::copy(r2, r2 + 9, a[2 * i + 1]);
        }
        for (int c = 0; c < 8; ++c) {
            int pivot = c;
            for (int r = c + 1; r < 8; ++r)
                if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                    pivot = r;
            std::swap(a[c], a[pivot]);
            for (int r = 0; r < 8; ++r) {
                if (r == c)
                    continue;
                const double f = a[r][c] / a[c][c];
                for (int k = c; k < 9; ++k)
                    a[r][k] -= f * a[c][k];
            }
        }
        Homography H;
        for (int i = 0; i < 8; ++i)
            H.h[i] = a[i][8] / a[i][i];
        H.h[8] = 1;
        return H;
    }

    TDPoint Map(TDPoint p) const
    {
        const double w = h[6] * p.x + h[7] * p.y + h[8];
        return {(h[0] * p.x + h[1] * p.y + h[2]) / w, (h[3] * p.x + h[4] * p.y + h[5]) / w};
    }

    // The plane point of an image point.
    TDPoint Unmap(TDPoint q) const
    {
        // Solve H (X, Y, 1) ~ (u, v, 1) for X, Y.
        const double a11 = h[0] - q.x * h[6], a12 = h[1] - q.x * h[7], b1 = q.x * h[8] - h[2];
        const double a21 = h[3] - q.y * h[6], a22 = h[4] - q.y * h[7], b2 = q.y * h[8] - h[5];
        const double det = a11 * a22 - a12 * a21;
        return {(b1 * a22 - a12 * b2) / det, (a11 * b2 - b1 * a21) / det};
    }
};

// The plane of MarkReference's rectangle: W and H at their first 1000 mm,
// its corners clicked from the top left round to the bottom left.
Homography ReferenceModel();

// What the independent model makes of a distance and of an outline (the
// polygon of image points, closed or not) on the plane of H: millimetres and
// square metres.
double PlaneLength(const Homography& H, TDPoint a, TDPoint b);
double PlaneArea(const Homography& H, const std::vector<TDPoint>& outline);

} // namespace kvx::test
