#include "shell/prompter.h"
#include "widgets/words.h"
#include "base/translate.h"

#include "widgets/area_dialogs.h"
#include "widgets/effect_dialog.h"
#include "widgets/list_dialog.h"
#include "widgets/property_dialog.h"
#include "widgets/scan_dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace kvx {

QString BoxText(const std::string& message)
{
    QString text = QString::fromStdString(message);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QChar open(0x2068);
    const QChar close(0x2069);
    if (!text.contains(open))
        return text;
    // A path goes into a paragraph of its own whose lines do not break: a
    // message box wraps plain text wherever Unicode allows, "/" included.
    // Qt's rich text keeps "white-space: pre" for a whole block.
    QString html;
    const auto paragraph = [&html](const QString& inner, bool whole) {
        html += whole ? QStringLiteral("<p style=\"margin:0; white-space:pre\">") : QStringLiteral("<p style=\"margin:0\">");
        html += inner.isEmpty() ? QStringLiteral("&nbsp;") : inner;
        html += QStringLiteral("</p>");
    };
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QString pending;
        qsizetype at = 0;
        bool hadPath = false;
        while (at < line.size()) {
            const qsizetype start = line.indexOf(open, at);
            if (start < 0) {
                pending += line.mid(at).toHtmlEscaped();
                break;
            }
            qsizetype end = line.indexOf(close, start + 1);
            if (end < 0)
                end = line.size();
            pending += line.mid(at, start - at).toHtmlEscaped();
            if (!pending.trimmed().isEmpty())
                paragraph(pending, false);
            pending.clear();
            paragraph(line.mid(start + 1, end - start - 1).toHtmlEscaped(), true);
            hadPath = true;
            at = end + 1;
        }
        if (!hadPath || !pending.trimmed().isEmpty())
            paragraph(pending, false);
    }
    return html;
}

QtPrompter::QtPrompter(QWidget* parent) : parent_(parent), nameDialog_(new TFNameDlg(parent)) {}

void QtPrompter::Warn(const std::string& message)
{
    QMessageBox::warning(parent_, QApplication::applicationName(), BoxText(message));
}

bool QtPrompter::AskYesNo(const std::string& message)
{
    return QMessageBox::question(parent_, QApplication::applicationName(), BoxText(message),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

std::optional<bool> QtPrompter::AskSaveChanges(const std::string& message)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), BoxText(message), QMessageBox::NoButton, parent_);
    QPushButton* save = box.addButton(Qx("Prompter", "保存する"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(Qx("Prompter", "保存しない"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(Qx("Prompter", "キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return true;
    if (box.clickedButton() == discard)
        return false;
    return std::nullopt;
}

SaveFailureChoice QtPrompter::SaveFailed(const std::string& message)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    BoxText(message + Tx("Prompter", "\r\r計測データを保存できませんでした.")), QMessageBox::NoButton, parent_);
    QPushButton* retry = box.addButton(Qx("Prompter", "再試行(&R)"), QMessageBox::AcceptRole);
    QPushButton* goOn = box.addButton(Qx("Prompter", "保存せずに続行(&D)"), QMessageBox::DestructiveRole);
    QPushButton* stay = box.addButton(Qx("Prompter", "キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(retry);
    box.setEscapeButton(stay);
    box.exec();
    if (box.clickedButton() == retry)
        return SaveFailureChoice::Retry;
    if (box.clickedButton() == goOn)
        return SaveFailureChoice::GoOn;
    return SaveFailureChoice::Stay;
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
        parent_, Qx("Prompter", "開く"), folder,
        Qx("Prompter", "画像ファイル (*.jpg *.jpeg *.JPG *.JPEG *.heic *.heif *.HEIC *.HEIF *.bmp *.BMP *.png *.PNG *.tif *.tiff);;すべてのファイル (*)"));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtPrompter::OpenJobFile(const QString& folder)
{
    const QString path = QFileDialog::getOpenFileName(parent_, Qx("Prompter", "ジョブを開く"), folder,
                                                      Qx("Prompter", "ジョブファイル (*.kvxjob);;すべてのファイル (*)"));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtPrompter::NewJobFile(const QString& folder)
{
    // An existing file is never made a new job: the window refuses it, so the
    // dialog need not ask about replacing it.
    const QString path = QFileDialog::getSaveFileName(parent_, Qx("Prompter", "新規ジョブ"), folder,
                                                      Qx("Prompter", "ジョブファイル (*.kvxjob)"), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return std::nullopt;
    return path.endsWith(QStringLiteral(".kvxjob")) ? path : path + QStringLiteral(".kvxjob");
}

QStringList QtPrompter::AddJobPhotos(const QString& folder)
{
    return QFileDialog::getOpenFileNames(
        parent_, Qx("Prompter", "ジョブに写真を加える"), folder,
        Qx("Prompter", "画像ファイル (*.jpg *.jpeg *.JPG *.JPEG *.heic *.heif *.HEIC *.HEIF *.bmp *.BMP *.png *.PNG *.tif *.tiff);;すべてのファイル (*)"));
}

} // namespace kvx

namespace kvx {

std::string QtPrompter::AskAreaName()
{
    // Centred on the desktop, as the dialog has always been.
    nameDialog_->adjustSize();
    if (const QScreen* screen = nameDialog_->screen())
        nameDialog_->move(screen->availableGeometry().center() - nameDialog_->rect().center());
    return nameDialog_->Ask(Qx("Prompter", "名称入力"), Qx("Prompter", "名称")).toStdString();
}

std::string QtPrompter::RenameArea(const std::string& caption, const std::string& prompt, const std::string& current)
{
    // The same dialog as for a new name, so a name is held to the same limit
    // whichever way it is typed.
    nameDialog_->adjustSize();
    const QString typed =
        nameDialog_->Ask(QString::fromStdString(caption), QString::fromStdString(prompt), QString::fromStdString(current));
    return nameDialog_->result() == QDialog::Accepted ? typed.toStdString() : current;
}

std::string QtPrompter::InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, QString::fromStdString(caption), QString::fromStdString(prompt),
                                               QLineEdit::Normal, QString::fromStdString(defaultText), &ok);
    return ok ? text.toStdString() : defaultText;
}

std::optional<std::pair<std::string, std::string>> QtPrompter::SlopeDialog(double slantV, double slantH, QPoint at)
{
    TFDSlant dialog(slantV, slantH, parent_);
    dialog.adjustSize();
    dialog.move(std::max(0, at.x() - dialog.width()), std::max(0, at.y() - dialog.height()));
    dialog.exec();
    const auto angles = dialog.Angles();
    if (!angles)
        return std::nullopt;
    return std::pair{angles->first.toStdString(), angles->second.toStdString()};
}

QString ImageSaveName(const QString& typed, int filter)
{
    const QFileInfo info(typed);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
           (filter == 2 ? QStringLiteral(".bmp") : QStringLiteral(".jpg"));
}

QString FilterSuffix(const QString& filter)
{
    const qsizetype star = filter.indexOf(QStringLiteral("*."));
    if (star < 0)
        return {};
    qsizetype end = star + 2;
    while (end < filter.size() && filter[end].isLetterOrNumber())
        ++end;
    return filter.mid(star + 2, end - star - 2);
}

std::optional<Prompter::SaveChoice> QtPrompter::SaveImage(const QString& title, const QString& folder,
                                                          const QString& proposedName, int preselectedFilter)
{
    const QString jpeg = QStringLiteral("jpeg files (*.jpg)");
    const QString bmp = QStringLiteral("bmp files (*.bmp)");
    QFileDialog dialog(parent_, title, QDir(folder).filePath(proposedName), jpeg + QStringLiteral(";;") + bmp);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog would ask about the name as typed; the photo is written under
    // the name with the filter's suffix, so that is the one to ask about.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectNameFilter(preselectedFilter == 2 ? bmp : jpeg);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const int filter = dialog.selectedNameFilter() == bmp ? 2 : 1;
        const QString path = ImageSaveName(dialog.selectedFiles().first(), filter);
        if (!QFileInfo::exists(path) ||
            AskYesNo(Qx("Prompter", "'%1' は既に存在します.\r上書きしますか?").arg(path).toStdString()))
            return SaveChoice{path, filter};
        // Not replaced: the dialog again, on the name it had.
        dialog.selectFile(QFileInfo(path).fileName());
    }
}

std::optional<QString> QtPrompter::SaveText(const QString& title, const QString& folder, const QString& proposedName,
                                            const QString& filter)
{
    QFileDialog dialog(parent_, title, QDir(folder).filePath(proposedName), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(FilterSuffix(filter));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtPrompter::OpenPd25(const QString& folder)
{
    const QString path = QFileDialog::getOpenFileName(parent_, Qx("Prompter", "ＰＤ２５データ(csv)を開く"), folder,
                                                      QStringLiteral("csv files (*.csv)"));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<int> QtPrompter::PickPd25(const QStringList& lines, QPoint at)
{
    TFDList dialog(parent_);
    dialog.SetLines(lines);
    dialog.move(at);
    dialog.exec();
    if (dialog.Chosen() < 0)
        return std::nullopt;
    return dialog.Chosen();
}

bool QtPrompter::OpenDocument(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtPrompter::ChoosePrinter(QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent_);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<TAppSettings> QtPrompter::PropertyDialog(const TAppSettings& settings)
{
    TFDProperty dialog(settings, parent_);
    if (parent_)
        dialog.move(parent_->geometry().topLeft());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Stored(settings);
}

int QtPrompter::EffectDialog(ImageEffects& settings)
{
    TFDEffect dialog(settings, parent_);
    if (parent_)
        dialog.move(parent_->geometry().topLeft());
    const int result = dialog.exec();
    if (result == TFDEffect::Ok || result == TFDEffect::Preview)
        settings = dialog.Settings();
    return result;
}

std::optional<std::string> QtPrompter::ChooseScanDevice(const QStringList& devices, const QString& current)
{
    TFDScan* shown = nullptr;
    TFDScan dialog(devices, current, [&](const QString& message) {
        QMessageBox box(QMessageBox::Information, QApplication::applicationName(), message, QMessageBox::Ok, shown);
        box.move(shown->geometry().topLeft() + QPoint(20, 20));
        box.exec();
    }, parent_);
    shown = &dialog;
    if (parent_)
        dialog.move(parent_->geometry().topLeft() + QPoint(20, 20));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Device().toStdString();
}

} // namespace kvx
