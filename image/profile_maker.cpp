#include "image/profile_maker.h"

#include "image/exif.h"
#include "measure/numfmt.h"
#include "measure/orientation.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kvx {

namespace {

// A photo as the photo reader's own messages name it: its file's name.
QString Named(const QString& path)
{
    return QFileInfo(path).fileName();
}

std::string Trimmed(const std::string& s)
{
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// The camera a photo's EXIF data name; all empty when it has none.
CameraId CameraOf(const QString& path)
{
    CameraId id;
    const std::optional<ExifInfo> exif = ReadExif(std::filesystem::path(QFile::encodeName(path).toStdString()));
    if (!exif)
        return id;
    id.make = Trimmed(exif->make);
    id.model = Trimmed(exif->model);
    id.focal = std::isfinite(exif->focal) && exif->focal > 0 ? exif->focal : 0.0;
    return id;
}

bool SameCamera(const CameraId& a, const CameraId& b)
{
    return a.make == b.make && a.model == b.model && std::fabs(a.focal - b.focal) <= 0.01;
}

QString CameraText(const CameraId& c)
{
    if (c.make.empty() && c.model.empty() && c.focal <= 0)
        return QCoreApplication::translate("ProfileMaker", "カメラの記録なし");
    QString text = QString::fromStdString(Trimmed(c.make + " " + c.model));
    if (c.focal > 0)
        text += (text.isEmpty() ? "" : " ") + QString::fromStdString(FormatGeneral(c.focal)) + " mm";
    return text;
}

QImage Thumbnail(const QImage& stored, int side)
{
    if (side <= 0)
        return {};
    return stored.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
}

// The corners found, over the thumbnail: the first in red, as OpenCV draws
// it, so the board's turn can be seen, the others in green joined row by row.
void DrawCorners(QImage& thumbnail, const std::vector<TDPoint>& corners, int storedWidth)
{
    if (thumbnail.isNull() || corners.empty() || storedWidth <= 0)
        return;
    const double scale = static_cast<double>(thumbnail.width()) / storedWidth;
    QPainter painter(&thumbnail);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 200, 0), 1.5));
    for (std::size_t i = 1; i < corners.size(); ++i)
        painter.drawLine(QPointF(corners[i - 1].x * scale, corners[i - 1].y * scale),
                         QPointF(corners[i].x * scale, corners[i].y * scale));
    painter.setBrush(QColor(220, 0, 0));
    painter.drawEllipse(QPointF(corners.front().x * scale, corners.front().y * scale), 3, 3);
}

QString FaultMessage(const CameraCalibration& c)
{
    switch (c.fault) {
    case CalibrationFault::None:
        return {};
    case CalibrationFault::BadBoard:
        return QCoreApplication::translate("ProfileMaker", "チェッカーボードの交点は横と縦とも 3 つ以上, 升目の大きさは 0 より大きくしてください.");
    case CalibrationFault::NoPhotos:
        return QCoreApplication::translate("ProfileMaker", "チェッカーボードの写真がありません.");
    case CalibrationFault::SizesDiffer:
        return QCoreApplication::translate("ProfileMaker", "写真の大きさがそろっていません. 一度に測れるのは 1 つのカメラの 1 つの設定だけです.");
    case CalibrationFault::TooFewBoards: {
        const auto found = std::count(c.found.begin(), c.found.end(), true);
        return QCoreApplication::translate("ProfileMaker", "チェッカーボードが見つかった写真は %1 枚だけです. 少なくとも %2 枚いります "
                  "(板の傾きを変えて 10 枚ほど撮ると確かです). 交点の数が板と合っているか確かめてください.")
            .arg(found)
            .arg(kMinCalibrationBoards);
    }
    case CalibrationFault::Failed:
        return QCoreApplication::translate("ProfileMaker", "レンズを求められませんでした: 写真から解が見つかりませんでした.");
    case CalibrationFault::Cancelled:
        return QCoreApplication::translate("ProfileMaker", "中止しました.");
    }
    return {};
}

} // namespace

QString RmsText(double rms)
{
    return QString::fromStdString(FormatFixed(rms, 3));
}

ProfileMaking MakeCameraProfile(const std::vector<QString>& photos, const Chessboard& board, std::int64_t maxPixels,
                                int thumbnailSide, const std::function<bool(int done, int total)>& progress)
{
    ProfileMaking out;
    auto fail = [&](ProfileOutcome outcome, QString message) {
        out.outcome = outcome;
        out.message = std::move(message);
        out.calibration.profile.lens = LensModel{};
        return out;
    };
    if (photos.size() > static_cast<std::size_t>(kMaxCalibrationPhotos))
        return fail(ProfileOutcome::TooManyPhotos, QCoreApplication::translate("ProfileMaker", "写真が多すぎます (%1 枚). 一度に使えるのは %2 枚までです.")
                                                       .arg(photos.size())
                                                       .arg(kMaxCalibrationPhotos));
    const int total = 2 * static_cast<int>(photos.size());
    std::vector<QImage> stored;
    stored.reserve(photos.size());
    CameraId camera;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        const QString& path = photos[i];
        QImage grey;
        {
            const PhotoLoad load = LoadPhoto(path, {}, maxPixels);
            if (!load.error.isEmpty() || load.photo.isNull())
                return fail(ProfileOutcome::Unreadable,
                            load.error.isEmpty() ? QCoreApplication::translate("ProfileMaker", "'%1' を読み込めません.").arg(Named(path)) : load.error);
            // Back to the sensor's own rows: the lens sits in front of the
            // sensor, whichever way the camera was held.
            const QImage asStored = UprightImage(load.photo.Image(), InverseOrientation(load.photo.Orientation()));
            if (asStored.isNull())
                return fail(ProfileOutcome::Unreadable, QCoreApplication::translate("ProfileMaker", "'%1' を読み込むためのメモリが足りません.").arg(Named(path)));
            out.thumbnails.push_back(Thumbnail(asStored, thumbnailSide));
            // A byte a pixel is all the board search looks at.
            grey = asStored.convertToFormat(QImage::Format_Grayscale8);
        }
        if (grey.isNull())
            return fail(ProfileOutcome::Unreadable, QCoreApplication::translate("ProfileMaker", "'%1' を読み込むためのメモリが足りません.").arg(Named(path)));
        const CameraId seen = CameraOf(path);
        if (i == 0) {
            camera = seen;
        } else {
            if (!SameCamera(seen, camera))
                return fail(ProfileOutcome::CamerasDiffer,
                            QCoreApplication::translate("ProfileMaker", "写真のカメラがそろっていません: '%1' は %2, 最初の写真 '%3' は %4 です. "
                               "1 つのカメラの 1 つの焦点距離の写真だけを使ってください.")
                                .arg(Named(path), CameraText(seen), Named(photos.front()), CameraText(camera)));
            if (grey.size() != stored.front().size())
                return fail(ProfileOutcome::SizesDiffer,
                            QCoreApplication::translate("ProfileMaker", "写真の大きさがそろっていません: '%1' は %2 × %3 画素, 最初の写真 '%4' は %5 × %6 画素です.")
                                .arg(Named(path))
                                .arg(grey.width())
                                .arg(grey.height())
                                .arg(Named(photos.front()))
                                .arg(stored.front().width())
                                .arg(stored.front().height()));
        }
        stored.push_back(std::move(grey));
        if (progress && !progress(static_cast<int>(i) + 1, total))
            return fail(ProfileOutcome::Cancelled, QCoreApplication::translate("ProfileMaker", "中止しました."));
    }
    const int read = static_cast<int>(photos.size());
    out.calibration = CalibrateCamera(stored, board, camera, [&](int searched) {
        return !progress || progress(read + searched, total);
    });
    for (std::size_t i = 0; i < out.thumbnails.size() && i < out.calibration.corners.size(); ++i)
        DrawCorners(out.thumbnails[i], out.calibration.corners[i], stored[i].width());
    if (!out.calibration) {
        const ProfileOutcome outcome =
            out.calibration.fault == CalibrationFault::Cancelled ? ProfileOutcome::Cancelled : ProfileOutcome::NotCalibrated;
        return fail(outcome, FaultMessage(out.calibration));
    }
    if (!(out.calibration.rms <= kMaxProfileRms))
        return fail(ProfileOutcome::RmsTooHigh,
                    QCoreApplication::translate("ProfileMaker", "再投影誤差が %1 画素で, 許せる %2 画素を超えています. 升目の大きさと交点の数が板と合っているか, "
                       "板が平らか, 写真がぼけていないか確かめてください.")
                        .arg(RmsText(out.calibration.rms), RmsText(kMaxProfileRms)));
    if (camera.make.empty() || camera.model.empty())
        out.note = QCoreApplication::translate("ProfileMaker", "写真の EXIF にカメラの記録がないため, このプロファイルは写真に自動では当てはめられません "
                      "(名前で選ぶことはできます).");
    out.outcome = ProfileOutcome::Made;
    return out;
}

} // namespace kvx
