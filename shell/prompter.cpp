#include "shell/prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace kvx {

QString BoxText(const std::string& message)
{
    QString text = QString::fromStdString(message);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void QtPrompter::Warn(const std::string& message)
{
    QMessageBox::warning(parent_, QApplication::applicationName(), BoxText(message));
}

bool QtPrompter::AskYesNo(const std::string& message)
{
    return QMessageBox::question(parent_, QApplication::applicationName(), BoxText(message),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

void QtPrompter::Info(const std::string& message)
{
    QMessageBox::information(parent_, QApplication::applicationName(), BoxText(message));
}

void QtPrompter::Error(const std::string& message)
{
    QMessageBox::critical(parent_, QApplication::applicationName(), BoxText(message));
}

std::optional<QString> QtPrompter::OpenPhoto(const QString& folder)
{
    const QString path = QFileDialog::getOpenFileName(
        parent_, QStringLiteral("開く"), folder,
        QStringLiteral("画像ファイル (*.jpg *.jpeg *.JPG *.JPEG *.bmp *.BMP *.png *.PNG *.tif *.tiff);;すべてのファイル (*)"));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace kvx
