#pragma once

// Everything the window asks of the user or tells the user goes through this
// narrow interface, so flows run in tests with scripted answers.

#include "measure/workfiles.h"
#include "base/app_settings.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <utility>

class QPrinter;
class QWidget;

namespace kvx {

// What the user chose after the measurements could not be saved.
enum class SaveFailureChoice { Retry, GoOn, Stay };

class Prompter : public WorkFileUi {
public:
    // Whether to save the changes before they are left: true for "保存する"
    // (Save), false for "保存しない" (Don't Save), nothing for "キャンセル"
    // (Cancel).  The buttons say what they do: a bare No has thrown
    // measurements away for users who read it as "don't close".
    virtual std::optional<bool> AskSaveChanges(const std::string& message) = 0;
    // The measurements could not be saved (message says what failed): try
    // again, go on without them, or stay where the user was.
    virtual SaveFailureChoice SaveFailed(const std::string& message) = 0;
    // Warn and AskYesNo come from WorkFileUi (messages in UTF-8; "\r" breaks a line).
    virtual void Info(const std::string& message) = 0;
    virtual void Error(const std::string& message) = 0;
    // The photo chosen in the open dialog, starting in folder; nothing on cancel.
    virtual std::optional<QString> OpenPhoto(const QString& folder) = 0;

    // The name dialog "名称入力": the text typed, however it was closed.
    virtual std::string AskAreaName() = 0;
    // The name dialog on an area's current name: the name typed, current when
    // cancelled.  A prompter without its own dialog asks in the input box.
    virtual std::string RenameArea(const std::string& caption, const std::string& prompt, const std::string& current)
    {
        return InputBox(caption, prompt, current);
    }
    // The one-line input box: the text typed, or the default when cancelled.
    virtual std::string InputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultText) = 0;
    // The slope dialog with its bottom-right corner at the global point at:
    // the two angle texts on OK, nothing otherwise.
    virtual std::optional<std::pair<std::string, std::string>> SlopeDialog(double slantV, double slantH,
                                                                           QPoint at) = 0;

    // Where an image is to be saved: the path and the filter chosen (1 JPEG, 2 BMP).
    // The path is the name the image is written under (ImageSaveName), and the
    // user has agreed to replace a file of that name.
    struct SaveChoice {
        QString path;
        int filter = 1;
    };
    virtual std::optional<SaveChoice> SaveImage(const QString& title, const QString& folder,
                                                const QString& proposedName, int preselectedFilter) = 0;

    // Where a text file is to be saved (the dialog asks before replacing a file).
    // A name typed without a suffix gets the one of the filter ("*.pdf": ".pdf").
    virtual std::optional<QString> SaveText(const QString& title, const QString& folder, const QString& proposedName,
                                            const QString& filter) = 0;
    // The meter's CSV file to read, from the open dialog.
    virtual std::optional<QString> OpenPd25(const QString& folder) = 0;
    // The line picked from the meter's list, placed at the global point at.
    virtual std::optional<int> PickPd25(const QStringList& lines, QPoint at) = 0;

    // Opens a file with the desktop's application for it; false when none could.
    virtual bool OpenDocument(const QString& path) = 0;
    // The print dialog: false when printing is cancelled.
    virtual bool ChoosePrinter(QPrinter& printer) = 0;

    // The image processing dialog on settings: 1 OK, 3 abort, 4 preview; on
    // OK and preview settings holds the dialog's values.
    virtual int EffectDialog(ImageEffects& settings) = 0;

    // The scanner to read from, among devices; nothing when cancelled.
    virtual std::optional<std::string> ChooseScanDevice(const QStringList& devices, const QString& current) = 0;

    // The preferences dialog on settings: the settings as OK stores them,
    // nothing when aborted.
    virtual std::optional<TAppSettings> PropertyDialog(const TAppSettings& settings) = 0;
    // The job file to open, the name of a new one, and photos to add to a job.
    virtual std::optional<QString> OpenJobFile(const QString& /*folder*/) { return std::nullopt; }
    virtual std::optional<QString> NewJobFile(const QString& /*folder*/) { return std::nullopt; }
    virtual QStringList AddJobPhotos(const QString& /*folder*/) { return {}; }
};

// Qt's standard message boxes and file dialog, owned by the main window.
class TFNameDlg;

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent);
    void Warn(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    std::optional<bool> AskSaveChanges(const std::string& message) override;
    SaveFailureChoice SaveFailed(const std::string& message) override;
    void Info(const std::string& message) override;
    void Error(const std::string& message) override;
    std::optional<QString> OpenPhoto(const QString& folder) override;
    std::string AskAreaName() override;
    std::string RenameArea(const std::string& caption, const std::string& prompt, const std::string& current) override;
    std::string InputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;
    std::optional<std::pair<std::string, std::string>> SlopeDialog(double slantV, double slantH, QPoint at) override;
    std::optional<SaveChoice> SaveImage(const QString& title, const QString& folder, const QString& proposedName,
                                        int preselectedFilter) override;
    std::optional<QString> SaveText(const QString& title, const QString& folder, const QString& proposedName,
                                    const QString& filter) override;
    std::optional<QString> OpenPd25(const QString& folder) override;
    std::optional<int> PickPd25(const QStringList& lines, QPoint at) override;
    bool OpenDocument(const QString& path) override;
    bool ChoosePrinter(QPrinter& printer) override;
    int EffectDialog(ImageEffects& settings) override;
    std::optional<std::string> ChooseScanDevice(const QStringList& devices, const QString& current) override;
    std::optional<TAppSettings> PropertyDialog(const TAppSettings& settings) override;
    std::optional<QString> OpenJobFile(const QString& folder) override;
    std::optional<QString> NewJobFile(const QString& folder) override;
    QStringList AddJobPhotos(const QString& folder) override;

private:
    QWidget* parent_;
    // Made once with the window and kept for the whole run.
    TFNameDlg* nameDialog_;
};

// The name an image typed as typed is written under with the filter (1 JPEG,
// 2 BMP): "page" and "page.png" become "page.jpg" or "page.bmp".
QString ImageSaveName(const QString& typed, int filter);

// The suffix a save dialog with filter adds to a bare name: "csv files (*.jts)" gives "jts".
QString FilterSuffix(const QString& filter);

// A message as a message box shows it: our texts break lines with "\r".  A
// message with a path marked by PathLine becomes rich text with the path in a
// paragraph of its own that never wraps.
QString BoxText(const std::string& message);

} // namespace kvx
