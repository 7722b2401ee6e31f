#pragma once

#include <QApplication>
#include <QLocale>
#include <QString>

#include <optional>
#include <string>

namespace kvx {

// The application object: an error that reaches the event loop is shown in the
// standard error box and the program goes on.
class KalvexApplication : public QApplication {
public:
    KalvexApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The interface's languages.  Japanese is the source of every text; English
// is a translation of it.
enum class UiLanguage { Japanese, English };

// "ja" or "en", as --lang and kvx.ini write them.
std::string LanguageCode(UiLanguage language);
// "ja" or "en" (any case); nothing for anything else.
std::optional<UiLanguage> ParseLanguage(const std::string& code);

// The language to show: the one asked for on the command line, else the one
// remembered in kvx.ini, else the user's locale (Japanese for ja, English for
// every other).
UiLanguage ChooseLanguage(const std::optional<UiLanguage>& asked, const std::string& remembered, const QLocale& locale);

// Installs language on the application: the program's words (translated when
// English, the source when Japanese) and Qt's own dialogs and buttons in the
// same language.  Installing another language replaces the one before.
void InstallLanguage(QCoreApplication& app, UiLanguage language);

// The language installed last (Japanese before any).
UiLanguage CurrentLanguage();

} // namespace kvx
