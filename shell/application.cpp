#include "shell/application.h"

#include "base/translate.h"
#include "widgets/words.h"

#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTranslator>

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>

namespace kvx {

namespace {

UiLanguage gLanguage = UiLanguage::Japanese;
QPointer<QTranslator> gProgramWords;
QPointer<QTranslator> gQtWords;

std::string LookUp(const char* context, const char* source)
{
    return QCoreApplication::translate(context, source).toStdString();
}

void Remove(QPointer<QTranslator>& translator)
{
    if (!translator)
        return;
    QCoreApplication::removeTranslator(translator);
    delete translator.data();
}

} // namespace

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
        QMessageBox::critical(nullptr, applicationName(), Qx("Application", "予期しないエラーが発生しました."));
    }
    return false;
}

std::string LanguageCode(UiLanguage language)
{
    return language == UiLanguage::English ? "en" : "ja";
}

std::optional<UiLanguage> ParseLanguage(const std::string& code)
{
    std::string lower = code;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "ja")
        return UiLanguage::Japanese;
    if (lower == "en")
        return UiLanguage::English;
    return std::nullopt;
}

UiLanguage ChooseLanguage(const std::optional<UiLanguage>& asked, const std::string& remembered, const QLocale& locale)
{
    if (asked)
        return *asked;
    if (const auto stored = ParseLanguage(remembered))
        return *stored;
    return locale.language() == QLocale::Japanese ? UiLanguage::Japanese : UiLanguage::English;
}

void InstallLanguage(QCoreApplication& app, UiLanguage language)
{
    Remove(gProgramWords);
    Remove(gQtWords);
    gLanguage = language;
    // Qt's own dialogs speak English without a translation of theirs.
    if (language == UiLanguage::Japanese) {
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        auto qt = std::make_unique<QTranslator>(&app);
        if (qt->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            app.installTranslator(qt.get());
            gQtWords = qt.release();
        }
    } else {
        auto words = std::make_unique<QTranslator>(&app);
        if (words->load(QStringLiteral(":/i18n/kalvex_en.qm"))) {
            app.installTranslator(words.get());
            gProgramWords = words.release();
        }
    }
    SetTranslateLookup(&LookUp);
}

UiLanguage CurrentLanguage()
{
    return gLanguage;
}

} // namespace kvx
