#include "shell/application.h"

#include <QMessageBox>

#include <exception>

namespace kvx {

KalvexApplication::KalvexApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kalvex"));
    setApplicationDisplayName(QStringLiteral("Kalvex"));
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
