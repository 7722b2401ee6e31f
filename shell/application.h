#pragma once

#include <QApplication>
#include <QLocale>
#include <QString>

namespace kvx {

// The application object: an error that reaches the event loop is shown in the
// standard error box and the program goes on.
class KalvexApplication : public QApplication {
public:
    KalvexApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Qt's own dialogs (open, save, print, colour) and buttons in the user's
// language when Qt has a translation for it, else in Japanese, the language
// of everything else the program shows.  Installed on the application; gives
// the language loaded, empty when no translation was found at all.
QString InstallQtTranslations(QCoreApplication& app, const QLocale& locale);

} // namespace kvx
