// Kalvex: measuring lengths and areas on photographs.
//
//   kalvex [--home DIR] [PHOTO]
//
// --home (or KALVEX_HOME) names the folder that holds kvx.ini and the working
// folder Temp; without it they live beside the executable.

#include "shell/application.h"
#include "shell/housekeeping.h"
#include "shell/main_window.h"

#include <QCommandLineParser>
#include <QTimer>

#include <cstdlib>
#include <optional>

int main(int argc, char** argv)
{
    kvx::KalvexApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kalvex"));
    parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Folder for kvx.ini and Temp."),
                                  QStringLiteral("DIR"));
    parser.addOption(home);
    parser.addPositionalArgument(QStringLiteral("photo"), QStringLiteral("Photo to open."));
    parser.process(app);

    std::optional<std::string> homeOption;
    if (parser.isSet(home))
        homeOption = parser.value(home).toStdString();
    kvx::AppPaths paths;
    paths.folders = kvx::ResolveFolders(homeOption, std::getenv("KALVEX_HOME"),
                                        QCoreApplication::applicationDirPath().toStdString());
    paths.resourceFolder = QCoreApplication::applicationDirPath();

    kvx::TF001 window(paths);
    window.show();
    const QStringList photos = parser.positionalArguments();
    if (!photos.isEmpty()) {
        const QString photo = photos.first();
        QTimer::singleShot(0, &window, [&window, photo] { window.Run([&] { window.LoadFile(photo); }); });
    }
    return app.exec();
}
