#include "shell/application.h"

#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <exception>
#include <memory>

namespace kvx {

KalvexApplication::KalvexApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kalvex"));
    setApplicationDisplayName(QStringLiteral("Kalvex"));
    InstallQtTranslations(*this, QLocale());
}

QString InstallQtTranslations(QCoreApplication& app, const QLocale& locale)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>(&app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) &&
        !translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return {};
    app.installTranslator(translator.get());
    return translator.release()->language();
}

bool KalvexApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, applicationName(), QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, applicationName(), QStringLiteral("予期しないエラーが発生しました."));
    }
    return false;
}

} // namespace kvx
