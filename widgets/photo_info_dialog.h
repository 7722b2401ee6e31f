#pragma once

// "写真の情報": the open photo's file and what it tells of the camera that
// took it.  It only shows: the particulars are read and worded by the caller.

#include <QDialog>

#include <string>
#include <utility>
#include <vector>

class QFormLayout;

namespace kvx {

class TFDPhotoInfo : public QDialog {
    Q_OBJECT
public:
    // photo: the file's name; camera: label and value of each particular the
    // photo tells, in the interface's language (none: the dialog says so).
    TFDPhotoInfo(const QString& photo, const std::vector<std::pair<std::string, std::string>>& camera, QWidget* parent);

    // The rows as shown, label and value, for tests and the reader alike.
    std::vector<std::pair<QString, QString>> Rows() const;

private:
    QFormLayout* form_ = nullptr;
};

} // namespace kvx
