#pragma once

// "カメラのレンズを測定": a camera profile made from photos of a printed
// chessboard (image/profile_maker.h) and kept in the home's folder of
// profiles.  The board and the photos are chosen, the calibration runs off
// the event loop behind a progress box that can stop it, and the photos are
// listed with whether the board was found on each (its corners drawn over a
// small copy) and the RMS.  The profile is saved under its camera's name; a
// name already taken gets a number, so no earlier profile is ever replaced.

#include "image/profile_maker.h"

#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <optional>

class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace kvx {

class CameraCalibrationDialog : public QDialog {
    Q_OBJECT
public:
    CameraCalibrationDialog(std::filesystem::path profilesFolder, std::int64_t maxPixels, QWidget* parent = nullptr);

    // The photos the file dialog would add (the ones already listed are not added twice).
    void AddPhotos(const QStringList& paths);
    // Runs the calibration of the listed photos; false when it made no profile.
    bool Calibrate();
    // Writes the profile made into the profiles folder; the file written, or
    // nothing (the reason shown in the dialog).
    std::optional<std::filesystem::path> Save();

    const ProfileMaking& Result() const { return result_; }
    // What the dialog tells the user last, in one line (also for the tests).
    QString Status() const;

private:
    void ChoosePhotos();
    void ShowResult();
    void Tell(const QString& text, bool trouble);

    std::filesystem::path folder_;
    std::int64_t maxPixels_;
    QStringList photos_;
    ProfileMaking result_;
    QSpinBox* columns_ = nullptr;
    QSpinBox* rows_ = nullptr;
    QDoubleSpinBox* square_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* run_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* rms_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace kvx
