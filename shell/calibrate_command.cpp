#include "shell/calibrate_command.h"

#include "base/app_settings.h"
#include "base/safe_file.h"
#include "image/profile_maker.h"
#include "measure/camera_profiles.h"
#include "shell/path_names.h"

#include <QCoreApplication>

#include <charconv>
#include <cmath>
#include <ostream>

namespace kvx {

namespace fs = std::filesystem;

namespace {

std::optional<int> Count(std::string_view text)
{
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || text.front() == '+' ||
        text.front() == '-')
        return std::nullopt;
    return n;
}

// A message as a terminal shows it: without the marks that keep a path on
// one line of a message box, which a terminal would print as odd characters.
std::string Plain(QString message)
{
    message.remove(QChar(0x2068)).remove(QChar(0x2069));
    return message.toStdString();
}

// One line: why, and that nothing was written.
int Fail(std::ostream& err, const QString& message, int code)
{
    err << "kalvex: " << Plain(message + " " + QCoreApplication::translate("CalibrateCommand", "プロファイルは書き込んでいません.")) << "\n";
    return code;
}

} // namespace

std::optional<std::pair<int, int>> ParseBoardSize(std::string_view text)
{
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return std::nullopt;
    const std::optional<int> columns = Count(text.substr(0, x)), rows = Count(text.substr(x + 1));
    if (!columns || !rows || *columns < 3 || *rows < 3 || *columns > kMaxBoardCorners || *rows > kMaxBoardCorners)
        return std::nullopt;
    return std::pair{*columns, *rows};
}

std::optional<double> ParseSquareMm(std::string_view text)
{
    double mm = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), mm);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(mm) || !(mm > 0) || mm > 10000)
        return std::nullopt;
    return mm;
}

int RunCalibrateCamera(const CalibrateOptions& options, const Folders& folders, std::ostream& out, std::ostream& err)
{
    const TAppSettings settings = ReadSettings(folders.IniFile(), TAppSettings{});
    const ProfileMaking made = MakeCameraProfile(options.photos, options.board, PhotoPixelLimit(settings));
    // What was found is told also when it made no profile: it says which
    // photos to take again.
    for (std::size_t i = 0; i < made.calibration.found.size() && i < options.photos.size(); ++i)
        out << (made.calibration.found[i] ? QCoreApplication::translate("CalibrateCommand", "チェッカーボードあり: %1") : QCoreApplication::translate("CalibrateCommand", "チェッカーボードなし: %1"))
                   .arg(options.photos[i])
                   .toStdString()
            << "\n";
    if (made.calibration.fault == CalibrationFault::None && !made.calibration.found.empty())
        out << QCoreApplication::translate("CalibrateCommand", "再投影誤差 (RMS): %1 画素").arg(RmsText(made.calibration.rms)).toStdString() << "\n";
    if (!made) {
        const int code = made.outcome == ProfileOutcome::Unreadable ? kCalibratePhotoUnreadable : kCalibrateNoProfile;
        return Fail(err, made.message, code);
    }
    const CameraProfile& profile = made.calibration.profile;

    fs::path target;
    if (options.profile) {
        target = fs::path(*options.profile);
    } else {
        // An earlier profile of the camera stays: the new one takes a number.
        std::error_code ec;
        fs::create_directories(folders.ProfilesFolder(), ec);
        const std::optional<fs::path> free = FreeProfilePath(folders.ProfilesFolder(), profile);
        if (!free)
            return Fail(err, QCoreApplication::translate("CalibrateCommand", "プロファイルを '%1' に書き込めません.")
                                 .arg(FromPath(folders.ProfilesFolder() / ProfileFileName(profile))),
                        kCalibrateNotWritten);
        target = *free;
    }
    const QString shown = FromPath(target);
    if (const std::string refused = RefusedWrite(target); !refused.empty())
        return Fail(err, QString::fromStdString(refused), kCalibrateNotWritten);
    // Never a file this program would not read back as it was made.
    const std::string bytes = EncodeCameraProfile(profile);
    const CameraProfileRead back = DecodeCameraProfile(bytes);
    if (!back || !(back.profile == profile))
        return Fail(err, QCoreApplication::translate("CalibrateCommand", "プロファイルを書き込めません: 数値をファイルに表せません."), kCalibrateNotWritten);
    std::error_code why;
    if (!WriteFileReplacing(target, bytes, &why)) {
        QString message = QCoreApplication::translate("CalibrateCommand", "プロファイルを '%1' に書き込めません.").arg(shown);
        if (const std::string reason = WriteFailureReason(target, why); !reason.empty())
            message += " " + QString::fromStdString(reason);
        return Fail(err, message, kCalibrateNotWritten);
    }
    if (!made.note.isEmpty())
        out << Plain(made.note) << "\n";
    out << QCoreApplication::translate("CalibrateCommand", "プロファイルを書き込みました: %1").arg(shown).toStdString() << "\n";
    return 0;
}

} // namespace kvx
