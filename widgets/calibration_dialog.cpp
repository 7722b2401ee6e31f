#include "widgets/calibration_dialog.h"

#include "base/safe_file.h"
#include "base/translate.h"
#include "measure/camera_profiles.h"
#include "widgets/words.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <exception>
#include <memory>
#include <new>

namespace kvx {

namespace fs = std::filesystem;

namespace {

constexpr int kThumbnailSide = 96;

} // namespace

CameraCalibrationDialog::CameraCalibrationDialog(fs::path profilesFolder, std::int64_t maxPixels, QWidget* parent)
    : QDialog(parent), folder_(std::move(profilesFolder)), maxPixels_(maxPixels)
{
    setObjectName(QStringLiteral("CameraCalibrationDialog"));
    setWindowTitle(Qx("CalibrationDialog", "カメラのレンズを測定"));
    auto* layout = new QVBoxLayout(this);

    auto* intro = new QLabel(Qx("CalibrationDialog", "印刷したチェッカーボードを, 傾きと位置を変えて 10 枚ほど撮った写真を選んでください. "
                                                     "すべて同じカメラ, 同じ焦点距離, 同じ大きさで撮ります."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    auto* corners = new QHBoxLayout;
    columns_ = new QSpinBox(this);
    columns_->setObjectName(QStringLiteral("columns"));
    rows_ = new QSpinBox(this);
    rows_->setObjectName(QStringLiteral("rows"));
    for (QSpinBox* box : {columns_, rows_}) {
        box->setRange(3, 200);
        // Numbers are written and read with a point whatever the user's locale.
        box->setLocale(QLocale::c());
    }
    columns_->setValue(9);
    rows_->setValue(6);
    corners->addWidget(columns_);
    corners->addWidget(new QLabel(QStringLiteral("×"), this));
    corners->addWidget(rows_);
    corners->addStretch();
    auto* cornersLabel = new QLabel(Qx("CalibrationDialog", "内側の交点 (横 × 縦)(&B)"), this);
    cornersLabel->setBuddy(columns_);
    form->addRow(cornersLabel, corners);
    square_ = new QDoubleSpinBox(this);
    square_->setObjectName(QStringLiteral("square"));
    square_->setLocale(QLocale::c());
    square_->setDecimals(2);
    square_->setRange(0.1, 10000);
    square_->setValue(25);
    square_->setSuffix(QStringLiteral(" mm"));
    auto* squareLabel = new QLabel(Qx("CalibrationDialog", "升目の一辺(&Q)"), this);
    squareLabel->setBuddy(square_);
    form->addRow(squareLabel, square_);
    layout->addLayout(form);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("photos"));
    list_->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    list_->setMinimumSize(420, 240);
    layout->addWidget(list_, 1);

    auto* buttons = new QHBoxLayout;
    add_ = new QPushButton(Qx("CalibrationDialog", "写真を追加(&A)"), this);
    add_->setObjectName(QStringLiteral("add"));
    clear_ = new QPushButton(Qx("CalibrationDialog", "写真をすべて外す(&R)"), this);
    clear_->setObjectName(QStringLiteral("clear"));
    run_ = new QPushButton(Qx("CalibrationDialog", "測定する(&C)"), this);
    run_->setObjectName(QStringLiteral("calibrate"));
    save_ = new QPushButton(Qx("CalibrationDialog", "プロファイルを保存(&S)"), this);
    save_->setObjectName(QStringLiteral("save"));
    save_->setEnabled(false);
    for (QPushButton* b : {add_, clear_, run_, save_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    layout->addLayout(buttons);

    rms_ = new QLabel(this);
    rms_->setObjectName(QStringLiteral("rms"));
    layout->addWidget(rms_);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);

    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close->button(QDialogButtonBox::Close)->setText(Qx("CalibrationDialog", "閉じる"));
    layout->addWidget(close);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Every handler keeps its exceptions: none reaches the event loop.
    auto guarded = [this](auto handler) {
        return [this, handler] {
            try {
                handler();
            } catch (const std::exception& e) {
                Tell(Qx("CalibrationDialog", "予期しないエラーが発生しました: %1").arg(QString::fromUtf8(e.what())), true);
            } catch (...) {
                Tell(Qx("CalibrationDialog", "予期しないエラーが発生しました: %1").arg(QString()), true);
            }
        };
    };
    connect(add_, &QPushButton::clicked, this, guarded([this] { ChoosePhotos(); }));
    connect(clear_, &QPushButton::clicked, this, guarded([this] {
                photos_.clear();
                result_ = {};
                ShowResult();
                Tell({}, false);
            }));
    connect(run_, &QPushButton::clicked, this, guarded([this] { Calibrate(); }));
    connect(save_, &QPushButton::clicked, this, guarded([this] { Save(); }));
    ShowResult();
}

void CameraCalibrationDialog::ChoosePhotos()
{
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, Qx("CalibrationDialog", "チェッカーボードの写真"), QString(),
        Qx("CalibrationDialog", "写真") + QStringLiteral(" (*.jpg *.jpeg *.JPG *.JPEG *.heic *.HEIC *.heif *.png *.PNG *.bmp *.BMP)"));
    AddPhotos(chosen);
}

void CameraCalibrationDialog::AddPhotos(const QStringList& paths)
{
    for (const QString& p : paths)
        if (!photos_.contains(p))
            photos_.push_back(p);
    // A list that changed asks for a new calibration.
    result_ = {};
    ShowResult();
    Tell({}, false);
}

bool CameraCalibrationDialog::Calibrate()
{
    result_ = {};
    save_->setEnabled(false);
    if (photos_.size() < kMinCalibrationBoards) {
        Tell(Qx("CalibrationDialog", "写真を少なくとも %1 枚選んでください.").arg(kMinCalibrationBoards), true);
        ShowResult();
        return false;
    }
    const std::vector<QString> photos(photos_.begin(), photos_.end());
    const Chessboard board{columns_->value(), rows_->value(), square_->value()};
    const std::int64_t maxPixels = maxPixels_;
    for (QPushButton* b : {add_, clear_, run_})
        b->setEnabled(false);

    // The work runs on a thread of its own; the window keeps drawing and
    // the progress box can stop it between two photos.
    struct Shared {
        std::atomic<int> done{0};
        std::atomic<int> total{1};
        std::atomic<bool> cancel{false};
        ProfileMaking result;
        QString failure;
    };
    auto shared = std::make_shared<Shared>();
    QThread* worker = QThread::create([shared, photos, board, maxPixels] {
        try {
            shared->result = MakeCameraProfile(photos, board, maxPixels, kThumbnailSide, [&](int done, int total) {
                shared->done = done;
                shared->total = total;
                return !shared->cancel.load();
            });
        } catch (const std::bad_alloc&) {
            shared->failure = QCoreApplication::translate("CalibrationDialog", "写真を読み込むためのメモリが足りません.");
        } catch (const std::exception& e) {
            shared->failure = QString::fromUtf8(e.what());
        } catch (...) {
            shared->failure = QStringLiteral("?");
        }
    });
    QProgressDialog progress(Qx("CalibrationDialog", "チェッカーボードを探しています."), Qx("CalibrationDialog", "中止"), 0, 100,
                             this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QEventLoop wait;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &progress, [&] {
        const int total = std::max(1, shared->total.load());
        progress.setValue(std::min(99, 100 * shared->done.load() / total));
    });
    connect(&progress, &QProgressDialog::canceled, &progress, [&] { shared->cancel = true; });
    connect(worker, &QThread::finished, &wait, &QEventLoop::quit);
    tick.start(100);
    worker->start();
    wait.exec();
    worker->wait();
    delete worker;
    tick.stop();
    progress.reset();

    result_ = std::move(shared->result);
    ShowResult();
    if (!shared->failure.isEmpty()) {
        result_ = {};
        Tell(Qx("CalibrationDialog", "予期しないエラーが発生しました: %1").arg(shared->failure), true);
        return false;
    }
    if (!result_) {
        Tell(result_.message, true);
        return false;
    }
    Tell(Qx("CalibrationDialog", "レンズを測定しました. 「プロファイルを保存」で残してください.") +
             (result_.note.isEmpty() ? QString() : QStringLiteral(" ") + result_.note),
         false);
    return true;
}

std::optional<fs::path> CameraCalibrationDialog::Save()
{
    if (!result_)
        return std::nullopt;
    const CameraProfile& profile = result_.calibration.profile;
    std::error_code ec;
    fs::create_directories(folder_, ec);
    const std::optional<fs::path> target = FreeProfilePath(folder_, profile);
    const std::string bytes = EncodeCameraProfile(profile);
    const CameraProfileRead back = DecodeCameraProfile(bytes);
    std::error_code why;
    if (!target || !back || !(back.profile == profile) || !WriteFileReplacing(*target, bytes, &why)) {
        QString message = Qx("CalibrationDialog", "プロファイルを '%1' に保存できません.")
                              .arg(QString::fromStdString(PathLine((target ? *target : folder_).string())));
        if (const std::string reason = target ? WriteFailureReason(*target, why) : std::string(); !reason.empty())
            message += QStringLiteral(" ") + QString::fromStdString(reason);
        Tell(message, true);
        return std::nullopt;
    }
    save_->setEnabled(false);
    Tell(Qx("CalibrationDialog", "プロファイルを保存しました: %1").arg(QString::fromStdString(PathLine(target->string()))), false);
    return target;
}

void CameraCalibrationDialog::ShowResult()
{
    list_->clear();
    const CameraCalibration& c = result_.calibration;
    for (int i = 0; i < photos_.size(); ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        QString text = QFileInfo(photos_[i]).fileName();
        if (at < c.found.size())
            text += QStringLiteral("\n") + (c.found[at] ? Qx("CalibrationDialog", "チェッカーボードあり")
                                                        : Qx("CalibrationDialog", "チェッカーボードなし"));
        auto* item = new QListWidgetItem(text, list_);
        item->setToolTip(photos_[i]);
        if (at < result_.thumbnails.size() && !result_.thumbnails[at].isNull())
            item->setIcon(QIcon(QPixmap::fromImage(result_.thumbnails[at])));
    }
    const bool calibrated = c.fault == CalibrationFault::None && !c.found.empty();
    rms_->setText(calibrated ? Qx("CalibrationDialog", "再投影誤差 (RMS): %1 画素").arg(RmsText(c.rms)) : QString());
    save_->setEnabled(static_cast<bool>(result_));
    run_->setEnabled(!photos_.isEmpty());
    clear_->setEnabled(!photos_.isEmpty());
}

void CameraCalibrationDialog::Tell(const QString& text, bool trouble)
{
    status_->setText(text);
    status_->setStyleSheet(trouble ? QStringLiteral("color: #b00000;") : QString());
}

QString CameraCalibrationDialog::Status() const
{
    return status_->text();
}

} // namespace kvx
