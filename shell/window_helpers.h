#pragma once

// Small helpers shared by the files that make up the main window.

#include <QApplication>
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

} // namespace kvx::window_helpers
