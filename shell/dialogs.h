#pragma once

// The small windows around the main work: the error information, the version
// box, the update history, the splash; and the pictures the program draws for
// itself (icon, splash, zoom cursors).

#include <QCursor>
#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QPlainTextEdit;

namespace kvx {

class ErrorTrail;

// "%d.%d.%d" of this build, with "β" for a pre-release and "α" for a debug build.
QString VersionText();

// The main window's caption: "Kalvex [Version …]  [photo path]".
QString FormTitle(const QString& imageFileName);

QIcon ProgramIcon();
QPixmap SplashPicture();
QCursor ZoomCursor(bool zoomIn);

// "エラー情報": the system's last error code and every line of the trail.
class TFDError : public QDialog {
    Q_OBJECT
public:
    TFDError(const ErrorTrail& trail, int lastError, QWidget* parent);
    QString Text() const;

private:
    QPlainTextEdit* memo_;
};

// "バージョン情報".
class TFDVersion : public QDialog {
    Q_OBJECT
public:
    explicit TFDVersion(QWidget* parent);
};

// "更新履歴": shows history.txt, loaded anew at every activation.  A missing
// file is reported once per opening: closing the warning activates the viewer
// again, and a warning at every activation would never let the user out.
class TFDHistory : public QDialog {
    Q_OBJECT
public:
    // warn is called with the message when the file is missing.
    TFDHistory(QString file, std::function<void(const QString&)> warn, QWidget* parent);
    QString Text() const;
    void Reload();

protected:
    bool event(QEvent* e) override;

private:
    QString file_;
    std::function<void(const QString&)> warn_;
    QPlainTextEdit* memo_;
    bool warned_ = false;  // since the viewer was last shown
};

// The splash shown for a second at the first activation.
class TFTitle : public QWidget {
    Q_OBJECT
public:
    explicit TFTitle(QWidget* parent);
};

} // namespace kvx
