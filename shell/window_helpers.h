#pragma once

// Small helpers shared by the files that make up the main window.

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <string>

namespace kvx::window_helpers {

// The cursor stays an hourglass for the life of one of these.
class Hourglass {
public:
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QApplication::restoreOverrideCursor(); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

inline std::string Utf8(const QString& s)
{
    return s.toStdString();
}

// A path shortened for a menu: leading folders give way to "..." one at a
// time until it fits; the file name always stays.
inline QString ShortenedPath(const QString& path, const QFontMetrics& fm, int width)
{
    if (fm.horizontalAdvance(path) <= width)
        return path;
    const QString native = QDir::toNativeSeparators(path);
    const QChar sep = QDir::separator();
    QStringList parts = native.split(sep);
    const QString root = parts.isEmpty() ? QString() : parts.takeFirst();
    const QString file = parts.isEmpty() ? QString() : parts.takeLast();
    while (!parts.isEmpty()) {
        parts.removeFirst();
        QString candidate = root + sep + QStringLiteral("...");
        for (const QString& p : parts)
            candidate += sep + p;
        candidate += sep + file;
        if (fm.horizontalAdvance(candidate) <= width)
            return candidate;
    }
    return root + sep + QStringLiteral("...") + sep + file;
}

inline void ShowIndicator(QLabel* shape, bool on)
{
    shape->setStyleSheet(QStringLiteral("background:%1; border:1px solid black; border-radius:6px;")
                             .arg(on ? QStringLiteral("#ff0000") : QStringLiteral("#ffffff")));
    shape->setProperty("lit", on);
}

// Where an export is proposed: the photo's name with the export's extension.
inline QString ProposedName(const std::string& imageFileName, const char* extension)
{
    return QString::fromStdString(std::filesystem::path(imageFileName).stem().string()) + QLatin1String(extension);
}

// The letter a caption underlines ("開く(&O)", "&Open"), upper case; empty
// when it has none.  "&&" is a literal ampersand.
inline QString MnemonicOf(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return caption[i + 1].toUpper();
    }
    return {};
}

// A caption as a sentence: without the Japanese "(&O)" and the English "&".
inline QString PlainCaption(QString caption)
{
    static const QRegularExpression japaneseMnemonic(QStringLiteral("\\(&[^)]\\)$"));
    caption.remove(japaneseMnemonic);
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return caption;
}

// How the keyboard reaches a menu item: its own shortcut, else the menu
// letters from the menu bar down ("Alt+E, L, L").  Empty for an item in no menu.
inline QString KeysFor(const QAction* action)
{
    const QKeySequence own = action->shortcut();
    if (!own.isEmpty())
        return own.toString(QKeySequence::NativeText);
    QStringList letters;
    const QAction* at = action;
    while (at) {
        letters.prepend(MnemonicOf(at->text()));
        const QMenu* menu = nullptr;
        bool onBar = false;
        for (QObject* o : at->associatedObjects()) {
            if (auto* m = qobject_cast<QMenu*>(o))
                menu = m;
            else if (qobject_cast<QMenuBar*>(o))
                onBar = true;
        }
        if (onBar || !menu)
            return onBar && !letters.contains(QString()) ? QStringLiteral("Alt+") + letters.join(QStringLiteral(", "))
                                                        : QString();
        at = menu->menuAction();
    }
    return {};
}

// A tool button's tooltip: the menu item's full name and its keys.
inline QString ToolTipOf(const QAction* action)
{
    const QString keys = KeysFor(action);
    const QString name = PlainCaption(action->text());
    return keys.isEmpty() ? name : name + QStringLiteral(" (") + keys + QLatin1Char(')');
}

} // namespace kvx::window_helpers
