// Kalvex: measuring lengths and areas on photographs.
//
//   kalvex [--home DIR] [--lang ja|en] [PHOTO]
//   kalvex --batch PHOTO [--home DIR] [--setting N] [--group G] [--names on|off]
//          [--csv FILE] [--sd FILE] [--pdf FILE] [--pdf-detail on|off] [--dxf FILE] [--table FILE]
//          [--xlsx FILE]
//          [--rectified FILE.png [--mm-per-px S] [--overlay on|off]]
//          [--find-reference marker|sheet|card [--marker-size MM] [--sheet-size A4|A3|Letter]]
//          [--lens auto|none|FILE | --straight-lines FILE]
//   kalvex --new-job JOBFILE PHOTO... [--home DIR]
//   kalvex --batch-job JOBFILE [--home DIR] [--pdf FILE] [--table FILE] [--xlsx FILE] [-j N]
//   kalvex --calibrate-camera --board COLSxROWS --square MM [--profile FILE] PHOTO...
//   kalvex --help | --version
//
// The options are checked before anything needs a display: an unknown option
// or a bad value is told on stderr with exit status 2, also with no display.
//
// --home (or KALVEX_HOME) names the folder that holds kvx.ini and the working
// folder Temp; without it they live beside the executable.

#include "shell/application.h"
#include "shell/batch.h"
#include "shell/calibrate_command.h"
#include "shell/job_command.h"
#include "base/app_settings.h"
#include "base/housekeeping.h"
#include "shell/dialogs.h"
#include "shell/main_window.h"
#include "shell/path_names.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>

int main(int argc, char** argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kalvex: measuring lengths and areas on photographs."));
    parser.addHelpOption();
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Print the program's name and version."));
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Folder for kvx.ini and the working folder Temp."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption batch(QStringLiteral("batch"), QStringLiteral("Write the exports of PHOTO without the window."));
    const QCommandLineOption setting(QStringLiteral("setting"), QStringLiteral("Batch: the setting, 1 to 4 (default 1)."),
                                     QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption group(QStringLiteral("group"), QStringLiteral("Batch: the group, 0 to 5 (default 0)."),
                                   QStringLiteral("G"), QStringLiteral("0"));
    const QCommandLineOption names(QStringLiteral("names"), QStringLiteral("Batch: area names in the CSV file, on or off (default on)."),
                                   QStringLiteral("on|off"), QStringLiteral("on"));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("Batch: write the CSV file."), QStringLiteral("FILE"));
    const QCommandLineOption sd(QStringLiteral("sd"), QStringLiteral("Batch: write the SD (.jts) file."), QStringLiteral("FILE"));
    const QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("Batch: write the PDF report."), QStringLiteral("FILE"));
    const QCommandLineOption dxf(QStringLiteral("dxf"), QStringLiteral("Batch: write the DXF drawing (millimetres)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption table(QStringLiteral("table"),
                                   QStringLiteral("Batch: write the results file of every setting, with uncertainties (UTF-8 CSV)."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption xlsx(QStringLiteral("xlsx"),
                                  QStringLiteral("Batch: write the workbook of every setting's results, with totals and costs."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption pdfDetail(QStringLiteral("pdf-detail"),
                                       QStringLiteral("Batch: the report's detailed pages, on or off (default on)."),
                                       QStringLiteral("on|off"), QStringLiteral("on"));
    const QCommandLineOption rectified(QStringLiteral("rectified"),
                                       QStringLiteral("Batch: write the reference plane straight on as a PNG with a world file."),
                                       QStringLiteral("FILE.png"));
    const QCommandLineOption mmPerPx(QStringLiteral("mm-per-px"),
                                     QStringLiteral("Batch: millimetres a pixel of the straight-on image (default: the photo's own "
                                                    "at the reference)."),
                                     QStringLiteral("S"));
    const QCommandLineOption overlay(QStringLiteral("overlay"),
                                     QStringLiteral("Batch: draw the marks over the straight-on image, on or off (default off)."),
                                     QStringLiteral("on|off"), QStringLiteral("off"));
    const QCommandLineOption findReference(QStringLiteral("find-reference"),
                                           QStringLiteral("Batch: find the reference in the photo in place of the stored one: "
                                                          "a printed marker, a paper sheet (A4, A3, Letter) or an ID-1 card."),
                                           QStringLiteral("marker|sheet|card"));
    const QCommandLineOption markerSize(QStringLiteral("marker-size"),
                                        QStringLiteral("Batch: the printed side of the marker's black square in millimetres "
                                                       "(default: the preference)."),
                                        QStringLiteral("MM"));
    const QCommandLineOption sheetSize(QStringLiteral("sheet-size"),
                                       QStringLiteral("Batch: the size of the paper sheet to find (A4 and A3 have the same "
                                                      "proportions: an A-series sheet is refused without it)."),
                                       QStringLiteral("A4|A3|Letter"));
    const QCommandLineOption lens(QStringLiteral("lens"),
                                  QStringLiteral("Batch: the lens correction: the photo's own choice or a profile matching its "
                                                 "camera (auto, the default), none, or a camera profile file."),
                                  QStringLiteral("auto|none|FILE"), QStringLiteral("auto"));
    const QCommandLineOption straightLines(QStringLiteral("straight-lines"),
                                           QStringLiteral("Batch: correct the lens from straight edges in FILE, one a line as "
                                                          "\"x y x y x y ...\" in the photo's pixels, in place of stored ones."),
                                           QStringLiteral("FILE"));
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("The interface's language for this run, ja or en (default: the one chosen in "
                                                 "the preferences, else the user's locale)."),
                                  QStringLiteral("ja|en"));
    const QCommandLineOption calibrateCamera(QStringLiteral("calibrate-camera"),
                                             QStringLiteral("Make a camera profile from PHOTOs of a printed chessboard, "
                                                            "without the window."));
    const QCommandLineOption board(QStringLiteral("board"),
                                   QStringLiteral("Calibration: the board's inner corners across and down, e.g. 9x6."),
                                   QStringLiteral("COLSxROWS"));
    const QCommandLineOption square(QStringLiteral("square"),
                                    QStringLiteral("Calibration: the side of the board's squares in millimetres."),
                                    QStringLiteral("MM"));
    const QCommandLineOption profile(QStringLiteral("profile"),
                                     QStringLiteral("Calibration: write the profile here (default: the home's folder "
                                                    "Profiles, named after the camera)."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption newJob(QStringLiteral("new-job"),
                                    QStringLiteral("Make the job file JOBFILE of the PHOTOs in its folder, with what the home "
                                                   "kept of each."),
                                    QStringLiteral("JOBFILE"));
    const QCommandLineOption batchJob(QStringLiteral("batch-job"),
                                      QStringLiteral("Write the outputs of the job JOBFILE without the window (--pdf, --table, "
                                                     "--xlsx)."),
                                      QStringLiteral("JOBFILE"));
    const QCommandLineOption jobs(QStringList{QStringLiteral("j"), QStringLiteral("jobs")},
                                  QStringLiteral("Job: photos opened at once (default: the number of cores)."),
                                  QStringLiteral("N"));
    for (const auto* option : {&newJob, &batchJob, &jobs})
        parser.addOption(*option);
    for (const auto* option : {&version, &home, &batch, &setting, &group, &names, &csv, &sd, &pdf, &dxf, &table, &xlsx, &pdfDetail,
                               &rectified, &mmPerPx, &overlay, &findReference, &markerSize, &sheetSize, &lens, &straightLines, &lang,
                               &calibrateCamera, &board, &square, &profile})
        parser.addOption(*option);
    parser.addPositionalArgument(QStringLiteral("photo"), QStringLiteral("Photo to open."));
    // The arguments as given: a file name that is not UTF-8 keeps its bytes
    // (Qt's own list would replace them and name another file).
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(kvx::FromBytes(argv[i]));
    if (!parser.parse(arguments)) {
        std::cerr << "kalvex: " << parser.errorText().toStdString() << "\nTry 'kalvex --help'.\n";
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        // The help text needs an application object, not a display.
        QCoreApplication helpOnly(argc, argv);
        std::cout << parser.helpText().toStdString() << std::flush;
        return 0;
    }
    if (parser.isSet(version)) {
        std::cout << "Kalvex " << kvx::VersionText().toStdString() << '\n';
        return 0;
    }
    std::optional<kvx::UiLanguage> asked;
    if (parser.isSet(lang)) {
        asked = kvx::ParseLanguage(parser.value(lang).toStdString());
        if (!asked) {
            std::cerr << "kalvex: --lang takes ja or en\n";
            return 2;
        }
    }
    const QStringList photos = parser.positionalArguments();
    const bool batchMode = parser.isSet(batch);
    const bool newJobMode = parser.isSet(newJob);
    const bool batchJobMode = parser.isSet(batchJob);
    if ((newJobMode || batchJobMode) &&
        int(batchMode) + int(newJobMode) + int(batchJobMode) + int(parser.isSet(calibrateCamera)) > 1) {
        std::cerr << "kalvex: --batch, --new-job, --batch-job and --calibrate-camera cannot run together\n";
        return 2;
    }
    if (parser.isSet(jobs) && !batchJobMode) {
        std::cerr << "kalvex: -j goes with --batch-job\n";
        return 2;
    }
    kvx::NewJobOptions newJobOptions;
    if (newJobMode) {
        if (photos.isEmpty()) {
            std::cerr << "kalvex: --new-job takes the job file and at least one photo\n";
            return 2;
        }
        newJobOptions.jobFile = kvx::ToBytes(parser.value(newJob));
        for (const QString& photo : photos)
            newJobOptions.photos.push_back(kvx::ToBytes(photo));
    }
    kvx::BatchJobOptions batchJobOptions;
    if (batchJobMode) {
        if (!photos.isEmpty()) {
            std::cerr << "kalvex: --batch-job takes no photo: the job names them\n";
            return 2;
        }
        batchJobOptions.jobFile = kvx::ToBytes(parser.value(batchJob));
        if (parser.isSet(pdf))
            batchJobOptions.pdf = kvx::ToBytes(parser.value(pdf));
        if (parser.isSet(table))
            batchJobOptions.table = kvx::ToBytes(parser.value(table));
        if (parser.isSet(xlsx))
            batchJobOptions.xlsx = kvx::ToBytes(parser.value(xlsx));
        if (parser.isSet(jobs)) {
            int n = 0;
            const std::string text = parser.value(jobs).toStdString();
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
            if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > 256) {
                std::cerr << "kalvex: -j takes a number of photos from 1 to 256\n";
                return 2;
            }
            batchJobOptions.jobs = n;
        }
    }
    if (newJobMode || batchJobMode) {
        // As batch mode: no display, no window, only its own lines.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    }
    kvx::BatchOptions options;
    if (batchMode) {
        if (photos.size() != 1) {
            std::cerr << "kalvex: --batch takes exactly one photo\n";
            return 2;
        }
        options.photo = kvx::ToBytes(photos.first());
        bool ok = true;
        options.setting = parser.value(setting).toInt(&ok);
        bool groupOk = true;
        options.group = parser.value(group).toInt(&groupOk);
        const QString nameValue = parser.value(names);
        if (!ok || !groupOk || (nameValue != QStringLiteral("on") && nameValue != QStringLiteral("off"))) {
            std::cerr << "kalvex: --setting, --group and --names take 1-4, 0-5 and on|off\n";
            return 2;
        }
        options.names = nameValue == QStringLiteral("on");
        if (parser.isSet(csv))
            options.csv = kvx::ToBytes(parser.value(csv));
        if (parser.isSet(sd))
            options.sd = kvx::ToBytes(parser.value(sd));
        if (parser.isSet(pdf))
            options.pdf = kvx::ToBytes(parser.value(pdf));
        if (parser.isSet(dxf))
            options.dxf = kvx::ToBytes(parser.value(dxf));
        if (parser.isSet(table))
            options.table = kvx::ToBytes(parser.value(table));
        if (parser.isSet(xlsx))
            options.xlsx = kvx::ToBytes(parser.value(xlsx));
        // A switch of batch mode: on or off, nothing else.
        auto onOff = [&](const QCommandLineOption& option, bool& into) {
            const QString value = parser.value(option);
            if (value != QStringLiteral("on") && value != QStringLiteral("off")) {
                std::cerr << "kalvex: --" << option.names().front().toStdString() << " takes on or off\n";
                return false;
            }
            into = value == QStringLiteral("on");
            return true;
        };
        if (!onOff(pdfDetail, options.pdfDetail))
            return 2;
        if (parser.isSet(rectified))
            options.rectified = kvx::ToBytes(parser.value(rectified));
        if (!onOff(overlay, options.rectifiedOverlay))
            return 2;
        if (parser.isSet(mmPerPx)) {
            // A point, whatever the locale: the number is the user's file's.
            double s = 0;
            const std::string text = parser.value(mmPerPx).toStdString();
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), s);
            if (ec != std::errc() || end != text.data() + text.size() || !(s > 0)) {
                std::cerr << "kalvex: --mm-per-px takes a positive number\n";
                return 2;
            }
            options.mmPerPixel = s;
        }
        if (parser.isSet(findReference)) {
            const QString what = parser.value(findReference);
            if (what == QStringLiteral("marker"))
                options.findReference = kvx::FindWhat::Marker;
            else if (what == QStringLiteral("sheet"))
                options.findReference = kvx::FindWhat::Sheet;
            else if (what == QStringLiteral("card"))
                options.findReference = kvx::FindWhat::Card;
            else {
                std::cerr << "kalvex: --find-reference takes marker, sheet or card\n";
                return 2;
            }
        }
        if (parser.isSet(sheetSize)) {
            const QString size = parser.value(sheetSize);
            if (options.findReference != kvx::FindWhat::Sheet) {
                std::cerr << "kalvex: --sheet-size goes with --find-reference sheet\n";
                return 2;
            }
            if (size == QStringLiteral("A4"))
                options.sheetSize = kvx::FoundKind::A4;
            else if (size == QStringLiteral("A3"))
                options.sheetSize = kvx::FoundKind::A3;
            else if (size == QStringLiteral("Letter"))
                options.sheetSize = kvx::FoundKind::Letter;
            else {
                std::cerr << "kalvex: --sheet-size takes A4, A3 or Letter\n";
                return 2;
            }
        }
        if (parser.isSet(markerSize)) {
            double s = 0;
            const std::string text = parser.value(markerSize).toStdString();
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), s);
            if (ec != std::errc() || end != text.data() + text.size() || !(s > 0) || s > 100000) {
                std::cerr << "kalvex: --marker-size takes a positive number of millimetres\n";
                return 2;
            }
            options.markerSide = s;
        }
        if (const QString value = parser.value(lens); value == QStringLiteral("none"))
            options.lens = std::string("none");
        else if (value != QStringLiteral("auto"))
            options.lens = kvx::ToBytes(value);
        if (parser.isSet(straightLines))
            options.straightLines = kvx::ToBytes(parser.value(straightLines));
        if (options.lens && options.straightLines) {
            std::cerr << "kalvex: --lens and --straight-lines each choose the lens: give one\n";
            return 2;
        }
        // Batch mode needs no display and shows no window, and prints nothing
        // but its own one line on failure.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    }
    const bool calibrateMode = parser.isSet(calibrateCamera);
    kvx::CalibrateOptions calibration;
    if (calibrateMode) {
        if (batchMode) {
            std::cerr << "kalvex: --calibrate-camera and --batch cannot run together\n";
            return 2;
        }
        if (!parser.isSet(board) || !parser.isSet(square)) {
            std::cerr << "kalvex: --calibrate-camera needs --board COLSxROWS and --square MM\n";
            return 2;
        }
        const auto corners = kvx::ParseBoardSize(parser.value(board).toStdString());
        if (!corners) {
            std::cerr << "kalvex: --board takes the inner corners across and down, each 3 to " << kvx::kMaxBoardCorners
                      << ", as COLSxROWS (e.g. 9x6)\n";
            return 2;
        }
        const auto side = kvx::ParseSquareMm(parser.value(square).toStdString());
        if (!side) {
            std::cerr << "kalvex: --square takes a positive number of millimetres\n";
            return 2;
        }
        calibration.board = kvx::Chessboard{corners->first, corners->second, *side};
        if (photos.size() < kvx::kMinCalibrationBoards) {
            std::cerr << "kalvex: --calibrate-camera takes at least " << kvx::kMinCalibrationBoards
                      << " photos of the board\n";
            return 2;
        }
        for (const QString& photo : photos)
            calibration.photos.push_back(photo);
        if (parser.isSet(profile))
            calibration.profile = kvx::ToBytes(parser.value(profile));
        // As batch mode: no display, no window, only its own lines.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    } else if (parser.isSet(board) || parser.isSet(square) || parser.isSet(profile)) {
        std::cerr << "kalvex: --board, --square and --profile go with --calibrate-camera\n";
        return 2;
    }
    kvx::KalvexApplication app(argc, argv);

    std::optional<std::string> homeOption;
    if (parser.isSet(home))
        homeOption = kvx::ToBytes(parser.value(home));
    const kvx::Folders folders =
        kvx::ResolveFolders(homeOption, std::getenv("KALVEX_HOME"), QCoreApplication::applicationDirPath().toStdString(),
                            kvx::UserDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
    const std::string remembered = kvx::ReadSettings(folders.IniFile(), kvx::TAppSettings{}).Language;
    kvx::InstallLanguage(app, kvx::ChooseLanguage(asked, remembered, QLocale()));

    if (calibrateMode)
        return kvx::RunCalibrateCamera(calibration, folders, std::cout, std::cerr);
    if (newJobMode)
        return kvx::RunNewJob(newJobOptions, kvx::ReadingFolders(folders), std::cerr);
    if (batchJobMode)
        return kvx::RunBatchJob(batchJobOptions, kvx::ReadingFolders(folders), std::cerr);
    if (batchMode) {
        // Batch mode writes nothing into the home: one it cannot write is
        // still read.
        return kvx::RunBatch(options, kvx::ReadingFolders(folders), std::cerr);
    }

    kvx::AppPaths paths;
    paths.folders = folders;
    paths.resourceFolder = QCoreApplication::applicationDirPath();
    kvx::TF001 window(paths);
    window.show();
    if (!photos.isEmpty()) {
        const QString photo = photos.first();
        // Runs after the window's start-up, which may already have brought
        // this very photo back from a crash: opening it again would only ask
        // about keeping what was just brought back.
        QTimer::singleShot(0, &window, [&window, photo] {
            window.Run([&] {
                const QFileInfo open(QString::fromStdString(window.Doc().ImageFileName));
                if (!window.HasPhoto() || open.canonicalFilePath() != QFileInfo(photo).canonicalFilePath())
                    window.LoadFile(photo);
            });
        });
    }
    return app.exec();
}
