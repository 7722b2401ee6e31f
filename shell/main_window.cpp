#include "shell/main_window.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "output/pd25/pd25.h"
#include "shell/safe_file.h"
#include "shell/report_file.h"
#include "shell/commands.h"
#include "shell/dialogs.h"
#include "shell/error_trail.h"
#include "image/effects.h"
#include "image/painter_canvas.h"
#include "image/scanner.h"
#include "output/overlay/overlay.h"
#include "widgets/calc_edit.h"
#include "widgets/focus_manager.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

namespace kvx {

namespace {

// The cursor stays an hourglass for the life of one of these.
class Hourglass {
public:
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QApplication::restoreOverrideCursor(); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

std::string Utf8(const QString& s)
{
    return s.toStdString();
}

// A path shortened for a menu: leading folders give way to "..." one at a
// time until it fits; the file name always stays.
QString ShortenedPath(const QString& path, const QFontMetrics& fm, int width)
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

void ShowIndicator(QLabel* shape, bool on)
{
    shape->setStyleSheet(QStringLiteral("background:%1; border:1px solid black; border-radius:6px;")
                             .arg(on ? QStringLiteral("#ff0000") : QStringLiteral("#ffffff")));
    shape->setProperty("lit", on);
}

} // namespace

TF001::TF001(AppPaths paths, std::unique_ptr<Prompter> prompter, QWidget* parent)
    : QMainWindow(parent), paths_(std::move(paths)), prompter_(std::move(prompter))
{
    if (!prompter_)
        prompter_ = std::make_unique<QtPrompter>(this);
    Guard("FormCreate", [&] {
        setObjectName(QStringLiteral("F001"));
        setWindowIcon(ProgramIcon());
        EnsureTempFolder(paths_.folders);
        ConfigureImageDecoding();
        settings_ = ReadSettings(paths_.folders.IniFile(),
                                 DefaultSettings(paths_.folders.ExeFolder.string(), QDir::homePath().toStdString()));

        interaction_ = std::make_unique<Interaction>(doc_, settings_, *this);
        BuildMenus();
        BuildTopPanel();
        BuildToolPanel();
        BuildStatusBar();
        Ik5Disp1 = new PhotoView(this);
        Ik5Disp1->setObjectName(QStringLiteral("Ik5Disp1"));
        auto* central = new QWidget(this);
        auto* outer = new QVBoxLayout(central);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->setSpacing(0);
        outer->addWidget(Panel1);
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        row->addWidget(Panel2);
        row->addWidget(Ik5Disp1, 1);
        outer->addLayout(row, 1);
        setCentralWidget(central);
        setMinimumSize(400, 400);

        Ik5Disp1->onEndDisplay = [this](QPainter& p, const ViewState& view) {
            Run([&] {
                Guard("Ik5Disp1EndDispImage", [&] {
                    if (!HasPhoto())
                        return;
                    statusPanels_[1]->setText(QStringLiteral("拡大率 = %1").arg(view.DispScale, 0, 'f', 2));
                    DrawOverlay(p, view);
                    emit overlayPainted(p, view);
                });
            });
        };
        connect(Ik5Disp1, &PhotoView::fileDropped, this, [this](const QString& path) {
            Run([&] { Guard("Ik5Disp1GetDragDropFileName", [&] { LoadFile(path); }); });
        });
        connect(Ik5Disp1, &PhotoView::pointerPressed, this, [this](QPoint pos, bool left, bool right) {
            Run([&] {
                if (HasPhoto())
                    interaction_->MouseDown({pos.x(), pos.y()}, left, right);
            });
        });
        connect(Ik5Disp1, &PhotoView::pointerReleased, this, [this](QPoint pos, bool left, bool right) {
            Run([&] {
                if (HasPhoto())
                    interaction_->MouseUp({pos.x(), pos.y()}, left, right);
            });
        });
        connect(Ik5Disp1, &PhotoView::pointerMoved, this, [this](QPoint pos) {
            Run([&] {
                if (HasPhoto())
                    interaction_->MouseMove({pos.x(), pos.y()});
            });
        });
        connect(Ik5Disp1, &PhotoView::wheelTurned, this, [this](QPoint pos, int delta) {
            if (delta != 0)
                WheelZoom(pos, delta < 0);
        });

        Timer1.setSingleShot(true);
        Timer1.setInterval(1000);
        connect(&Timer1, &QTimer::timeout, this, [this] {
            Run([&] {
                Guard("Timer1Timer", [&] {
                    if (splash_) {
                        splash_->deleteLater();
                        splash_ = nullptr;
                    }
                });
            });
        });
        ZoomTimer.setSingleShot(true);
        ZoomTimer.setInterval(100);
        connect(&ZoomTimer, &QTimer::timeout, this, [this] {
            Run([&] {
                Guard("ZoomTimer", [&] {
                    RedrawImage();
                    RedrawOverlay();
                    SetCommand(Command());
                });
            });
        });

        Init();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect s = screen->availableGeometry();
            setGeometry(s.left() + 1, s.top() + 1, std::max(400, s.width() - 3), std::max(400, s.height() - 31));
        }
        SetFormTitle();
        Panel2->setVisible(settings_.ShortCutButtonFlag);
        Ik5Disp1->Pan()->move(geometry().left() + geometry().width() - settings_.PanWindowSize - 10,
                               geometry().top() + 20);
        // The window sees every key first, wherever the focus is: Shift
        // snaps the rubber band at once.
        qApp->installEventFilter(this);
    });
}

TF001::~TF001() = default;

void TF001::SetPrompter(std::unique_ptr<Prompter> prompter)
{
    prompter_ = std::move(prompter);
}

void TF001::Run(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        prompter_->Error(e.what());
    } catch (...) {
        prompter_->Error("予期しないエラーが発生しました.");
    }
}

// --- building the window -------------------------------------------------------------

QAction* TF001::AddAction(QMenu* menu, const QString& name, const QString& caption, std::function<void()> handler,
                          bool checkable)
{
    auto* a = menu->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(checkable);
    actions_[name] = a;
    if (handler) {
        const std::string trailName = Utf8(name) + "Click";
        connect(a, &QAction::triggered, this, [this, handler, trailName] {
            Run([&] { Guard(trailName, handler); });
        });
    }
    return a;
}

void TF001::BuildMenus()
{
    QMenuBar* bar = menuBar();
    auto mode = [this](int m, bool ViewToggles::*toggle) {
        return [this, m, toggle] {
            if (toggle) {
                doc_.View.*toggle = true;
                SyncViewToggles();
            }
            SetCommand(m);
            RedrawOverlay();
        };
    };

    mnFile = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    mnFile->setObjectName(QStringLiteral("mnFile"));
    AddAction(mnFile, QStringLiteral("mnOpen"), QStringLiteral("開く(&O)"), [this] { mnOpenClick(); });
    AddAction(mnFile, QStringLiteral("mnScan"), QStringLiteral("スキャナ読込(&S)"), [this] { mnScanClick(); });
    mnFile->addSeparator();
    AddAction(mnFile, QStringLiteral("mnPdfOut"), QStringLiteral("ＰＤＦファイル出力(&F)"), nullptr);
    connect(actions_[QStringLiteral("mnPdfOut")], &QAction::triggered, this, [this] { Run([&] { mnPdfOutClick(); }); });
    AddAction(mnFile, QStringLiteral("mnCsvOut"), QStringLiteral("ＣＳＶファイル出力(&C)"), [this] { mnCsvOutClick(); });
    AddAction(mnFile, QStringLiteral("mnCsvOut2"), QStringLiteral("ＳＤファイル出力"), [this] { mnCsvOut2Click(); });
    AddAction(mnFile, QStringLiteral("mnPrint"), QStringLiteral("印刷(&P)"), [this] { mnPrintClick(); })->setVisible(false);
    mnFile->addSeparator();
    AddAction(mnFile, QStringLiteral("mnProperty"), QStringLiteral("環境設定(&E)"), [this] { mnPropertyClick(); });
    mnFileName0 = mnFile->addSeparator();
    for (int n = 1; n <= 5; ++n) {
        QAction* a = AddAction(mnFile, QStringLiteral("mnLastFileName%1").arg(n), QString(), [this, n] {
            const QString path = QString::fromStdString(settings_.LastFileName[static_cast<std::size_t>(n)]);
            if (!path.isEmpty() && QFileInfo(path).isFile())
                LoadFile(path);
        });
        a->setVisible(false);
    }
    // The recent items report under one name, as they share one handler.
    for (int n = 1; n <= 5; ++n) {
        QAction* a = actions_[QStringLiteral("mnLastFileName%1").arg(n)];
        disconnect(a, &QAction::triggered, this, nullptr);
        connect(a, &QAction::triggered, this, [this, n] {
            Run([&] {
                Guard("mnLastFileNameClick", [&] {
                    const QString path = QString::fromStdString(settings_.LastFileName[static_cast<std::size_t>(n)]);
                    if (!path.isEmpty() && QFileInfo(path).isFile())
                        LoadFile(path);
                });
            });
        });
    }
    mnFile->addSeparator();
    AddAction(mnFile, QStringLiteral("mnExit"), QStringLiteral("終了(&X)"), [this] { close(); });
    connect(mnFile, &QMenu::aboutToShow, this, [this] { Run([&] { Guard("mnFileClick", [&] { mnFileClick(); }); }); });

    QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
    AddAction(edit, QStringLiteral("mnReset"), QStringLiteral("最初から(&R)"), [this] { mnResetClick(); });
    edit->addSeparator();
    AddAction(edit, QStringLiteral("mnBase"), QStringLiteral("基準矩形を設定する(&B)"), [this] { mnBaseClick(); });
    AddAction(edit, QStringLiteral("mnBaseAdjust"), QStringLiteral("基準矩形を調整する"), [this, mode] {
        if (doc_.Plane.base.BaseSet == 1)
            mode(ucBaseAdjust, &ViewToggles::BaseView)();
    });
    AddAction(edit, QStringLiteral("mnCrossLine"), QStringLiteral("設定1･2の基準矩形の交線"), [this, mode] {
        mode(ucCrossLine, &ViewToggles::BaseView)();
        interaction_->StartTrace(3, interaction_->PointerPoint(), doc_.Plane.base.VanishH, {},
                                 settings_.ColorCrossLine);
    });
    AddAction(edit, QStringLiteral("mnBaseChange"), QStringLiteral("基準矩形切り替え"), nullptr);
    connect(actions_[QStringLiteral("mnBaseChange")], &QAction::triggered, this,
            [this] { Run([&] { mnBaseChangeClick(); }); });
    edit->addSeparator();
    AddAction(edit, QStringLiteral("mnBaseLineW"), QStringLiteral("計測基準Ｗを設定する(&W)"),
              [this] { mnBaseLineClick(true); });
    AddAction(edit, QStringLiteral("mnBaseLineH"), QStringLiteral("計測基準Ｈを設定する(&H)"),
              [this] { mnBaseLineClick(false); });
    AddAction(edit, QStringLiteral("mnBaseLineAdjust"), QStringLiteral("計測基準ＷＨを調整する"), [this, mode] {
        if (doc_.Plane.base.BaseLineWSet == 1 || doc_.Plane.base.BaseLineHSet == 1)
            mode(ucBaseLineAdjust, &ViewToggles::BaseView)();
    });
    AddAction(edit, QStringLiteral("mnBaseUnit"), QStringLiteral("計測基準を設定する(&U)"),
              mode(ucBaseUnit, &ViewToggles::BaseView));
    AddAction(edit, QStringLiteral("mnBaseUnitAdjust"), QStringLiteral("計測基準を調整する"), [this, mode] {
        if (doc_.Plane.base.BaseSet == 1)
            mode(ucBaseUnitAdjust, &ViewToggles::BaseView)();
    });
    edit->addSeparator();

    QMenu* distance = edit->addMenu(QStringLiteral("距離を求める(&L)"));
    AddAction(distance, QStringLiteral("mnDistance"), QStringLiteral("２点間の距離を求める(&L)"),
              mode(ucDistance, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceAdjust"), QStringLiteral("２点間を調整する"),
              mode(ucDistanceAdjust, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceHosei"), QStringLiteral("遠近補正する"),
              mode(ucDistanceHosei, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceHoseiDel"), QStringLiteral("遠近補正を解除する"),
              mode(ucDistanceHoseiDel, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceDel"), QStringLiteral("削除する(&D)"),
              mode(ucDistanceDel, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceAllDel"), QStringLiteral("全て削除する(&R)"),
              [this] { mnDistanceAllDelClick(); });
    distance->addSeparator();
    AddAction(distance, QStringLiteral("mnDistanceMode"), QStringLiteral("連続モードのON/OFF"),
              [this] {
                  CheckBox_DistanceMode->setChecked(actions_[QStringLiteral("mnDistanceMode")]->isChecked());
                  SyncToolOptions();
                  SetCommand(Command());
              },
              true);

    QMenu* area = edit->addMenu(QStringLiteral("面積を求める(&S)"));
    AddAction(area, QStringLiteral("mnSpaceAdd"), QStringLiteral("加算する(&A)"), nullptr);
    AddAction(area, QStringLiteral("mnSpaceSub"), QStringLiteral("減算する(&S)"), nullptr);
    for (const auto& [name, m] : {std::pair{QStringLiteral("mnSpaceAdd"), int(ucSpaceAdd)},
                                  std::pair{QStringLiteral("mnSpaceSub"), int(ucSpaceSub)}}) {
        connect(actions_[name], &QAction::triggered, this, [this, mode, m = m] {
            Run([&] { Guard("mnSpaceCalcuClick", mode(m, &ViewToggles::SpaceView)); });
        });
    }
    AddAction(area, QStringLiteral("mnSpaceAdjust"), QStringLiteral("範囲を調整する"),
              mode(ucSpaceAdjust, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceHosei"), QStringLiteral("遠近補正する"),
              mode(ucSpaceHosei, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceHoseiDel"), QStringLiteral("遠近補正を解除する"),
              mode(ucSpaceHoseiDel, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceSlant"), QStringLiteral("傾斜設定"), mode(ucSpaceSlant, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceNameUpd"), QStringLiteral("名称変更する"),
              mode(ucSpaceNameUpd, &ViewToggles::SpaceNameView));
    AddAction(area, QStringLiteral("mnSpaceDel"), QStringLiteral("範囲を削除する(&D)"),
              mode(ucSpaceDel, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceAllDel"), QStringLiteral("範囲を全て削除する(&R)"),
              [this] { mnSpaceAllDelClick(); });
    area->addSeparator();
    AddAction(area, QStringLiteral("mnPolygonMode"), QStringLiteral("多角形モードのON/OFF"),
              [this] {
                  CheckBox_PolygonMode->setChecked(actions_[QStringLiteral("mnPolygonMode")]->isChecked());
                  SyncToolOptions();
                  SetCommand(Command());
              },
              true);
    edit->addSeparator();

    mnChange = edit->addMenu(QStringLiteral("設定切換(&C)"));
    mnChange->menuAction()->setObjectName(QStringLiteral("mnChange"));
    actions_[QStringLiteral("mnChange")] = mnChange->menuAction();
    const QString settingCaptions[] = {QStringLiteral("設定1(&1)"), QStringLiteral("設定2(&2)"),
                                       QStringLiteral("設定3(&3)"), QStringLiteral("設定２面同時(&4)")};
    for (int n = 1; n <= 4; ++n) {
        AddAction(mnChange, QStringLiteral("mnChange%1").arg(n), settingCaptions[n - 1], nullptr, true);
        connect(actions_[QStringLiteral("mnChange%1").arg(n)], &QAction::triggered, this,
                [this, n] { Run([&] { mnChangeClick(n); }); });
    }
    mnGroup = edit->addMenu(QStringLiteral("グループ切換(&G)"));
    mnGroup->menuAction()->setObjectName(QStringLiteral("mnGroup"));
    actions_[QStringLiteral("mnGroup")] = mnGroup->menuAction();
    const QString digits = QStringLiteral("０１２３４５");
    for (int n = 0; n <= 5; ++n) {
        AddAction(mnGroup, QStringLiteral("mnGroup%1").arg(n), QStringLiteral("グループ%1(&%2)").arg(digits[n]).arg(n),
                  nullptr, true);
        connect(actions_[QStringLiteral("mnGroup%1").arg(n)], &QAction::triggered, this,
                [this, n] { Run([&] { mnGroupClick(n); }); });
    }
    edit->addSeparator();
    AddAction(edit, QStringLiteral("mnEffect"), QStringLiteral("画像処理(&E)"), [this] { mnEffectClick(); });
    AddAction(edit, QStringLiteral("mnImageFix"), QStringLiteral("画像範囲(&F)"), mode(ucImageFix, nullptr));

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    AddAction(view, QStringLiteral("mnZoomAll"), QStringLiteral("全体表示(&A)"), [this] { ZoomAll(); });
    AddAction(view, QStringLiteral("mnZoomDown"), QStringLiteral("1/2倍に縮小(&D)"), mode(ucZoomDown, nullptr));
    AddAction(view, QStringLiteral("mnZoom1"), QStringLiteral("等倍(&E)"), [this] { mnZoom1Click(); });
    AddAction(view, QStringLiteral("mnZoomUp"), QStringLiteral("2倍に拡大(&U)"), mode(ucZoomUp, nullptr));
    view->addSeparator();
    const std::pair<const char*, bool ViewToggles::*> toggles[] = {
        {"mnDistanceView", &ViewToggles::DistanceView}, {"mnSpaceView", &ViewToggles::SpaceView},
        {"mnBaseView", &ViewToggles::BaseView},         {"mnTextView", &ViewToggles::TextView},
        {"mnSpaceNameView", &ViewToggles::SpaceNameView}};
    const QString toggleCaptions[] = {QStringLiteral("２点間距離の表示ON/OFF"), QStringLiteral("面積範囲の表示ON/OFF"),
                                      QStringLiteral("基準の表示ON/OFF"), QStringLiteral("計測値の表示ON/OFF"),
                                      QStringLiteral("面積エリア名称の表示ON/OFF")};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto member = toggles[i].second;
        AddAction(view, QString::fromLatin1(toggles[i].first), toggleCaptions[i],
                  [this, member] {
                      doc_.View.*member = !(doc_.View.*member);
                      SyncViewToggles();
                      RedrawOverlay();
                  },
                  true);
    }

    mnHelp = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    mnHelp->setObjectName(QStringLiteral("mnHelp"));
    AddAction(mnHelp, QStringLiteral("mnManual"), QStringLiteral("操作マニュアル(M)"), [this] { mnManualClick(); });
    AddAction(mnHelp, QStringLiteral("mnHistory"), QStringLiteral("更新履歴(&H)"), [this] { mnHistoryClick(); });
    AddAction(mnHelp, QStringLiteral("mnAbout"), QStringLiteral("バージョン情報(&A)"), [this] { mnAboutClick(); });
    AddAction(mnHelp, QStringLiteral("mnError"), QStringLiteral("エラー情報(&E)"), [this] { mnErrorClick(); });
    connect(mnHelp, &QMenu::aboutToShow, this, [this] { Run([&] { Guard("mnHelpClick", [&] { mnHelpClick(); }); }); });
}

void TF001::BuildTopPanel()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(35);
    auto* grid = new QVBoxLayout(Panel1);
    grid->setContentsMargins(4, 2, 5, 0);
    grid->setSpacing(1);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    auto field = [&](const QString& name, const QString& text, int width) {
        auto* e = new TchCalcEdit(Panel1);
        e->setText(text);
        e->setObjectName(name);
        e->setFixedWidth(width + 22);
        e->setAlignment(Qt::AlignRight);
        controls_[name] = e;
        connect(e, &QLineEdit::textEdited, this, [this, e] { Run([&] { Guard("Edit_KijunChange", [&] { Edit_KijunChange(e); }); }); });
        return e;
    };
    row->addWidget(new QLabel(QStringLiteral("W"), Panel1));
    chCalcEdit_KijunW = field(QStringLiteral("chCalcEdit_KijunW"), QStringLiteral("1000"), 70);
    row->addWidget(chCalcEdit_KijunW);
    row->addWidget(new QLabel(QStringLiteral("(㎜)"), Panel1));
    row->addWidget(new QLabel(QStringLiteral("H"), Panel1));
    chCalcEdit_KijunH = field(QStringLiteral("chCalcEdit_KijunH"), QStringLiteral("1000"), 70);
    row->addWidget(chCalcEdit_KijunH);
    row->addWidget(new QLabel(QStringLiteral("(㎜)"), Panel1));
    row->addWidget(new QLabel(QStringLiteral("@"), Panel1));
    chCalcEdit_Tanka = field(QStringLiteral("chCalcEdit_Tanka"), QStringLiteral("0"), 80);
    row->addWidget(chCalcEdit_Tanka);
    Label_Tanka = new QLabel(Panel1);
    Label_Tanka->setObjectName(QStringLiteral("Label_Tanka"));
    Label_Tanka->setFixedWidth(28);
    controls_[QStringLiteral("Label_Tanka")] = Label_Tanka;
    row->addWidget(Label_Tanka);
    Edit_Info = new QLineEdit(Panel1);
    Edit_Info->setObjectName(QStringLiteral("Edit_Info"));
    Edit_Info->setReadOnly(true);
    controls_[QStringLiteral("Edit_Info")] = Edit_Info;
    row->addWidget(Edit_Info, 1);
    grid->addLayout(row);
    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedHeight(10);
    controls_[QStringLiteral("ProgressBar1")] = ProgressBar1;
    grid->addWidget(ProgressBar1);

    FocusManager1 = new TFocusManager(this);
    FocusManager1->ReturnMoveEnabled = true;
    FocusManager1->SetReturnMoveList({QStringLiteral("chCalcEdit_KijunW"), QStringLiteral("chCalcEdit_KijunH"),
                                      QStringLiteral("chCalcEdit_Tanka")});
}

QToolButton* TF001::AddToolButton(const QString& name, const QString& label, const QString& hint, bool checkable,
                                  const QString& actionName)
{
    auto* b = new QToolButton(Panel2);
    b->setObjectName(name);
    b->setText(label);
    b->setToolTip(hint);
    b->setCheckable(checkable);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    if (label.size() <= 1)
        b->setFixedSize(28, 28);
    else
        b->setMinimumSize(44, 28);
    toolButtons_[name] = b;
    controls_[name] = b;
    connect(b, &QToolButton::clicked, this, [this, b, actionName] {
        // The press shown is the mode's, not the click's: SetCommand decides.
        if (b->isCheckable())
            b->setChecked(!b->isChecked());
        // The two reference buttons share one command; which was pressed decides
        // between the one-point and the six-point input.
        if (b == toolButtons_[QStringLiteral("SpeedButton_Base1")])
            base1Down_ = true;
        else if (b == toolButtons_[QStringLiteral("SpeedButton_Base")])
            base1Down_ = false;
        Run([&] {
            Guard("SpeedButton_MenuClick", [&] {
                if (QAction* a = Action(actionName); a && a->isEnabled())
                    a->trigger();
            });
        });
        base1Down_.reset();
    });
    return b;
}

void TF001::BuildToolPanel()
{
    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedWidth(149);
    auto* col = new QVBoxLayout(Panel2);
    col->setContentsMargins(3, 3, 3, 3);
    col->setSpacing(3);
    auto line = [&](std::initializer_list<QWidget*> widgets) {
        auto* row = new QHBoxLayout;
        row->setSpacing(2);
        for (QWidget* w : widgets)
            row->addWidget(w);
        row->addStretch(1);
        col->addLayout(row);
    };
    line({AddToolButton(QStringLiteral("SpeedButton_Open"), QStringLiteral("開く"), QStringLiteral("開く"), false,
                        QStringLiteral("mnOpen"))});
    line({AddToolButton(QStringLiteral("SpeedButton_ZoomUp"), QStringLiteral("拡大"), QStringLiteral("２倍に拡大表示"), true,
                        QStringLiteral("mnZoomUp")),
          AddToolButton(QStringLiteral("SpeedButton_ZoomDown"), QStringLiteral("縮小"), QStringLiteral("1/2に縮小表示"),
                        true, QStringLiteral("mnZoomDown")),
          AddToolButton(QStringLiteral("SpeedButton_ZoomAll"), QStringLiteral("全体表示"), QStringLiteral("全体表示"),
                        false, QStringLiteral("mnZoomAll"))});
    ComboBox_Change = new QComboBox(Panel2);
    ComboBox_Change->setObjectName(QStringLiteral("ComboBox_Change"));
    ComboBox_Change->addItems({QStringLiteral("設定1"), QStringLiteral("設定2"), QStringLiteral("設定3"),
                               QStringLiteral("設定２面同時")});
    ComboBox_Change->setToolTip(QStringLiteral("設定を切り換える"));
    controls_[QStringLiteral("ComboBox_Change")] = ComboBox_Change;
    connect(ComboBox_Change, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        Run([&] { Guard("ComboBox_ChangeChange", [&] { mnChangeClick(index + 1); }); });
    });
    line({ComboBox_Change});
    line({AddToolButton(QStringLiteral("SpeedButton_Base"), QStringLiteral("基準矩形"), QStringLiteral("基準矩形を設定する"),
                        true, QStringLiteral("mnBase")),
          AddToolButton(QStringLiteral("SpeedButton_Base1"), QStringLiteral("１点"), QStringLiteral("基準矩形を設定する"),
                        true, QStringLiteral("mnBase")),
          AddToolButton(QStringLiteral("SpeedButton_BaseAdjust"), QStringLiteral("調整"), QStringLiteral("基準矩形を調整する"),
                        true, QStringLiteral("mnBaseAdjust"))});
    CheckBox_Lock = new QCheckBox(QStringLiteral("ロック"), Panel2);
    CheckBox_Lock->setObjectName(QStringLiteral("CheckBox_Lock"));
    CheckBox_Lock->setChecked(true);
    controls_[QStringLiteral("CheckBox_Lock")] = CheckBox_Lock;
    connect(CheckBox_Lock, &QCheckBox::toggled, this, [this] { SyncToolOptions(); });
    line({AddToolButton(QStringLiteral("SpeedButton_BaseLineW"), QStringLiteral("W"), QStringLiteral("計測基準W"), true,
                        QStringLiteral("mnBaseLineW")),
          AddToolButton(QStringLiteral("SpeedButton_BaseLineH"), QStringLiteral("H"), QStringLiteral("計測基準H"), true,
                        QStringLiteral("mnBaseLineH")),
          AddToolButton(QStringLiteral("SpeedButton_BaseLineAdjust"), QStringLiteral("A"), QStringLiteral("計測基準WH調整"),
                        true, QStringLiteral("mnBaseLineAdjust")),
          CheckBox_Lock});
    line({AddToolButton(QStringLiteral("SpeedButton_BaseUnit"), QStringLiteral("計測基準"), QStringLiteral("計測基準を設定する"),
                        true, QStringLiteral("mnBaseUnit")),
          AddToolButton(QStringLiteral("SpeedButton_BaseUnitAdjust"), QStringLiteral("調整"),
                        QStringLiteral("計測基準を調整する"), true, QStringLiteral("mnBaseUnitAdjust"))});

    auto* groupBox = new QGroupBox(QStringLiteral("ｸﾞﾙｰﾌﾟ"), Panel2);
    groupBox->setObjectName(QStringLiteral("RadioGroup_Group"));
    groupBox->setToolTip(QStringLiteral("グループを指定"));
    controls_[QStringLiteral("RadioGroup_Group")] = groupBox;
    auto* groupGrid = new QGridLayout(groupBox);
    groupGrid->setContentsMargins(4, 2, 4, 2);
    RadioGroup_Group = new QButtonGroup(this);
    for (int n = 0; n <= 5; ++n) {
        auto* r = new QRadioButton(QString::number(n), groupBox);
        r->setObjectName(QStringLiteral("RadioGroup_Group_%1").arg(n));
        RadioGroup_Group->addButton(r, n);
        groupGrid->addWidget(r, n / 3, n % 3);
    }
    connect(RadioGroup_Group, &QButtonGroup::idClicked, this, [this](int id) {
        Run([&] { Guard("RadioGroup_GroupClick", [&] { mnGroupClick(id); }); });
    });
    col->addWidget(groupBox);

    CheckBox_BaseChangeAuto = new QCheckBox(QStringLiteral("自動"), Panel2);
    CheckBox_BaseChangeAuto->setObjectName(QStringLiteral("CheckBox_BaseChangeAuto"));
    controls_[QStringLiteral("CheckBox_BaseChangeAuto")] = CheckBox_BaseChangeAuto;
    connect(CheckBox_BaseChangeAuto, &QCheckBox::toggled, this, [this] { SyncToolOptions(); });
    line({AddToolButton(QStringLiteral("SpeedButton_BaseChange"), QStringLiteral("基準切替"), QStringLiteral("基準切替"),
                        false, QStringLiteral("mnBaseChange")),
          CheckBox_BaseChangeAuto});
    Shape1_BaseChange = new QLabel(Panel2);
    Shape1_BaseChange->setObjectName(QStringLiteral("Shape1_BaseChange"));
    Shape1_BaseChange->setFixedSize(13, 13);
    Shape2_BaseChange = new QLabel(Panel2);
    Shape2_BaseChange->setObjectName(QStringLiteral("Shape2_BaseChange"));
    Shape2_BaseChange->setFixedSize(13, 13);
    controls_[QStringLiteral("Shape1_BaseChange")] = Shape1_BaseChange;
    controls_[QStringLiteral("Shape2_BaseChange")] = Shape2_BaseChange;
    line({Shape1_BaseChange, Shape2_BaseChange});

    // The mode boxes mirror their menu checks and restart the tool.
    auto modeBox = [&](const QString& caption, const QString& name, const QString& menuItem) {
        auto* box = new QCheckBox(caption, Panel2);
        box->setObjectName(name);
        controls_[name] = box;
        const std::string trailName = Utf8(name) + "Click";
        connect(box, &QCheckBox::clicked, this, [this, menuItem, trailName](bool on) {
            Run([&] {
                Guard(trailName, [&] {
                    actions_[menuItem]->setChecked(on);
                    SyncToolOptions();
                    SetCommand(Command());
                });
            });
        });
        line({box});
        return box;
    };
    CheckBox_DistanceMode = modeBox(QStringLiteral("連続ﾓｰﾄﾞ"), QStringLiteral("CheckBox_DistanceMode"),
                                    QStringLiteral("mnDistanceMode"));
    line({AddToolButton(QStringLiteral("SpeedButton_Distance"), QStringLiteral("距離"), QStringLiteral("２点間の距離を求める"),
                        true, QStringLiteral("mnDistance")),
          AddToolButton(QStringLiteral("SpeedButton_DistanceAdjust"), QStringLiteral("調整"), QStringLiteral("２点間を調整する"),
                        true, QStringLiteral("mnDistanceAdjust")),
          AddToolButton(QStringLiteral("SpeedButton_DistanceDel"), QStringLiteral("削除"), QStringLiteral("２点間を削除する"),
                        true, QStringLiteral("mnDistanceDel"))});
    CheckBox_PolygonMode = modeBox(QStringLiteral("多角形ﾓｰﾄﾞ"), QStringLiteral("CheckBox_PolygonMode"),
                                   QStringLiteral("mnPolygonMode"));
    line({AddToolButton(QStringLiteral("SpeedButton_SpaceAdd"), QStringLiteral("加算面積"), QStringLiteral("面積を加算する"),
                        true, QStringLiteral("mnSpaceAdd")),
          AddToolButton(QStringLiteral("SpeedButton_SpaceAdjust"), QStringLiteral("調整"), QStringLiteral("面積を調整する"),
                        true, QStringLiteral("mnSpaceAdjust")),
          AddToolButton(QStringLiteral("SpeedButton_SpaceDel"), QStringLiteral("削除"), QStringLiteral("面積を削除する"),
                        true, QStringLiteral("mnSpaceDel"))});
    line({AddToolButton(QStringLiteral("SpeedButton_SpaceSub"), QStringLiteral("減算面積"), QStringLiteral("面積を減算する"),
                        true, QStringLiteral("mnSpaceSub"))});
    col->addStretch(1);
}

void TF001::BuildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    const int widths[] = {200, 100, 200};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setMinimumWidth(widths[i]);
        bar->addWidget(panel, i == 2 ? 1 : 0);
        statusPanels_[static_cast<std::size_t>(i)] = panel;
    }
    bar->installEventFilter(this);
    for (QLabel* panel : statusPanels_)
        panel->installEventFilter(this);
}

// --- access ---------------------------------------------------------------------------

QAction* TF001::Action(const QString& name) const
{
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

QWidget* TF001::Control(const QString& name) const
{
    const auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

bool TF001::ItemEnabled(const QString& name) const
{
    if (QAction* a = Action(name))
        return a->isEnabled();
    if (QWidget* w = Control(name))
        return w->isEnabled();
    return false;
}

QString TF001::StatusText(int panel) const
{
    return statusPanels_.at(static_cast<std::size_t>(panel))->text();
}

void TF001::SetItemEnabled(const QString& name, bool on)
{
    if (QAction* a = Action(name))
        a->setEnabled(on);
    if (QWidget* w = Control(name))
        w->setEnabled(on);
}

void TF001::Progress(int percent)
{
    ProgressBar1->setValue(std::clamp(percent, 0, 100));
}

// --- the model and the tool modes ---------------------------------------------------------

void TF001::Init()
{
    Guard("Init", [&] {
        kvx::Init(doc_);
        diagnostic_ = false;
        SyncFieldsFromDocument();
        SyncToolOptions();
        SetCommand(ucNone);
    });
}

void TF001::SyncFieldsFromDocument()
{
    // Programmatic changes are no edits: textEdited fires only for the user's.
    chCalcEdit_KijunW->setText(QString::fromStdString(doc_.KijunWText));
    chCalcEdit_KijunH->setText(QString::fromStdString(doc_.KijunHText));
    chCalcEdit_Tanka->setText(QString::fromStdString(doc_.TankaText));
    SyncViewToggles();
}

void TF001::SyncViewToggles()
{
    actions_[QStringLiteral("mnDistanceView")]->setChecked(doc_.View.DistanceView);
    actions_[QStringLiteral("mnSpaceView")]->setChecked(doc_.View.SpaceView);
    actions_[QStringLiteral("mnBaseView")]->setChecked(doc_.View.BaseView);
    actions_[QStringLiteral("mnTextView")]->setChecked(doc_.View.TextView);
    actions_[QStringLiteral("mnSpaceNameView")]->setChecked(doc_.View.SpaceNameView);
}

void TF001::Edit_KijunChange(QLineEdit* field)
{
    const std::string text = Utf8(field->text());
    if (field == chCalcEdit_KijunW)
        doc_.KijunWText = text;
    else if (field == chCalcEdit_KijunH)
        doc_.KijunHText = text;
    else
        doc_.TankaText = text;
    SetCalcuText();
    if (doc_.Plane.base.BaseSet == 1)
        doc_.Modified = 1;
}

void TF001::SetCalcuText()
{
    interaction_->SetCalcu();
}

void TF001::SetCommand(int mode)
{
    interaction_->SetCommand(mode);
}

void TF001::CommandChanged()
{
    const int mode = Command();
    Label_Tanka->setText(QString::fromStdString(PriceLabel(mode)));

    for (int n = 1; n <= 4; ++n)
        actions_[QStringLiteral("mnChange%1").arg(n)]->setChecked(n == doc_.CurrentSetting);
    ComboBox_Change->setCurrentIndex(doc_.CurrentSetting - 1);
    for (int n = 0; n <= 5; ++n)
        actions_[QStringLiteral("mnGroup%1").arg(n)]->setChecked(n == doc_.CurrentGroup);
    if (QAbstractButton* b = RadioGroup_Group->button(doc_.CurrentGroup))
        b->setChecked(true);

    for (const std::string& name : ManagedItems())
        SetItemEnabled(QString::fromStdString(name), false);
    BaseIndicator();
    for (const std::string& name : EnabledItems(doc_, HasPhoto(), mode))
        SetItemEnabled(QString::fromStdString(name), true);

    const QString pressed = QString::fromStdString(PressedButton(mode));
    for (auto& [name, button] : toolButtons_) {
        if (button->isCheckable())
            button->setChecked(name == pressed);
    }
    if (mode == ucZoomUp)
        Ik5Disp1->viewport()->setCursor(ZoomCursor(true));
    else if (mode == ucZoomDown)
        Ik5Disp1->viewport()->setCursor(ZoomCursor(false));
    else
        Ik5Disp1->viewport()->unsetCursor();
    RedrawOverlay();
}

void TF001::SyncToolOptions()
{
    interaction_->options.continuous = CheckBox_DistanceMode->isChecked();
    interaction_->options.polygon = CheckBox_PolygonMode->isChecked();
    interaction_->options.autoSwitch = CheckBox_BaseChangeAuto->isChecked();
    interaction_->options.lock = CheckBox_Lock->isChecked();
}

// --- what the tools ask of the window --------------------------------------------------------

ViewState TF001::View() const
{
    return Ik5Disp1->State();
}

int TF001::DisplayWidth() const
{
    return Ik5Disp1->ControlWidth();
}

int TF001::DisplayHeight() const
{
    return Ik5Disp1->ControlHeight();
}

void TF001::SetStatusText(int panel, const std::string& text)
{
    statusPanels_.at(static_cast<std::size_t>(panel))->setText(QString::fromStdString(text));
}

void TF001::SetInfoText(const std::string& text)
{
    Edit_Info->setText(QString::fromStdString(text));
}

void TF001::PlaneChanged()
{
    SyncFieldsFromDocument();
    BaseIndicator();
}

void TF001::FocusField(InputField field)
{
    TchCalcEdit* edit = field == InputField::W ? chCalcEdit_KijunW : chCalcEdit_KijunH;
    edit->setFocus();
    edit->selectAll();
}

bool TF001::ShiftHeld() const
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

void TF001::ShowFigure(FigureSlot slot, const std::optional<TraceFigure>& figure)
{
    Ik5Disp1->SetFigure(slot, figure);
}

std::string TF001::AskAreaName()
{
    return prompter_->AskAreaName();
}

std::string TF001::InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText)
{
    return prompter_->InputBox(caption, prompt, defaultText);
}

std::optional<std::pair<std::string, std::string>> TF001::SlopeDialog(double slantV, double slantH, TPoint at)
{
    return prompter_->SlopeDialog(slantV, slantH, Ik5Disp1->viewport()->mapToGlobal(QPoint(at.x, at.y)));
}

void TF001::ImageRangeOutput(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    Guard("mnImageFixClick", [&] {
        // The pixels between the two clicked pixel corners.
        const QRect region = QRect(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1))
                                 .intersected(work_.Image().rect());
        if (!HasPhoto() || region.isEmpty())
            return;
        Photo cut;
        {
            Hourglass hourglass;
            Progress(0);
            cut = Photo(work_.Image().copy(region));
            Progress(0);
        }
        const QString folder = QString::fromStdString(settings_.ImageFolder);
        const std::string stem = std::filesystem::path(doc_.ImageFileName).stem().string();
        const QString proposed =
            QString::fromStdString(stem + "_" + std::to_string(FreeSuffix(settings_.ImageFolder, stem)));
        const auto choice = prompter_->SaveImage(QStringLiteral("画像範囲出力"), folder, proposed, lastSaveFilter_);
        if (!choice)
            return;
        lastSaveFilter_ = choice->filter;
        QFileInfo info(choice->path);
        settings_.ImageFolder = Utf8(info.absolutePath());
        const QString path =
            info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
            (choice->filter == 2 ? QStringLiteral(".bmp") : QStringLiteral(".jpg"));
        bool written = false;
        {
            Hourglass hourglass;
            auto progress = [this](int p) { Progress(p); };
            written = choice->filter == 2 ? cut.SaveBmp(path, progress) : cut.SaveJpeg(path, progress);
            Progress(0);
        }
        if (!written) {
            prompter_->Warn(Utf8(QStringLiteral("'%1' を書き込めませんでした.").arg(path)));
            return;
        }
        LoadFile(path);
    });
}

void TF001::DrawOverlay(QPainter& painter, const ViewState& view)
{
    PainterCanvas canvas(painter);
    OverlayContext context =
        DisplayContext(view, Ik5Disp1->ControlWidth(), Ik5Disp1->ControlHeight(), work_.Width(), work_.Height(), settings_);
    context.uCommand = Command();
    context.polygonMode = CheckBox_PolygonMode->isChecked();
    context.diagnostic = diagnostic_;
    painter.setRenderHint(QPainter::Antialiasing, false);
    context.which = 1;
    DrawBase(canvas, doc_, context);
    if (doc_.CurrentBase == 1 || doc_.CurrentBase == 2) {
        // The other plane over the current one, in its own colours.
        const ParkedPlaneScope scope(doc_);
        context.which = 2;
        DrawBase(canvas, doc_, context);
    }
}

void TF001::BaseIndicator()
{
    Guard("BaseIndicator", [&] {
        ShowIndicator(Shape1_BaseChange, doc_.CurrentBase == 1);
        ShowIndicator(Shape2_BaseChange, doc_.CurrentBase == 2);
    });
}

void TF001::SetFormTitle()
{
    Guard("SetFormTitle", [&] { setWindowTitle(FormTitle(QString::fromStdString(doc_.ImageFileName))); });
}

// --- photos -------------------------------------------------------------------------------

void TF001::SaveImageState()
{
    // Without a photo there is nothing of the user's to keep.
    if (!HasPhoto())
        return;
    const SaveSettingResult r = SaveCurrentSetting(doc_, paths_.folders.TempFolder, *prompter_);
    BaseIndicator();
    SyncFieldsFromDocument();
    if (r.all)
        SaveSet(doc_, paths_.folders.TempFolder, *prompter_);
}

void TF001::LoadFile(const QString& path)
{
    Guard("LoadFile", [&] {
        if (settings_.PD25Flag) {
            pd25Lines_.clear();
            if (const auto file = prompter_->OpenPd25(QString::fromStdString(settings_.PD25Folder))) {
                settings_.PD25Folder = Utf8(QFileInfo(*file).absolutePath());
                // A meter's file that cannot be read must not keep the photo closed.
                if (const auto lines = ReadPd25File(file->toStdString())) {
                    for (const std::string& line : *lines)
                        pd25Lines_ << QString::fromStdString(line);
                } else {
                    prompter_->Warn(Utf8(QStringLiteral("'%1' を読み込めませんでした.").arg(*file)));
                }
            }
        }
        SaveImageState();
        Hourglass hourglass;
        PushRecent(settings_.LastFileName, Utf8(path));

        work_ = Photo();
        source_ = Photo();
        Ik5Disp1->SetPhoto(nullptr);
        Init();

        PhotoLoad loaded = LoadPhoto(path, [this](int p) { Progress(p); });
        Progress(0);
        if (loaded.photo.isNull()) {
            // The photo left is already saved and released: stay without one.
            doc_.ImageFileName.clear();
            doc_.ImageCheckSum = 0;
            SetPanWindow();
            SetCommand(ucNone);
            SetFormTitle();
            RedrawImage();
            RedrawOverlay();
            prompter_->Warn(Utf8(loaded.error));
            return;
        }
        work_ = loaded.photo;
        source_ = work_;
        Ik5Disp1->SetPhoto(&work_);

        doc_.ImageFileName = Utf8(path);
        doc_.ImageCheckSum = work_.CheckSum();
        LoadSet(doc_, paths_.folders.TempFolder);
        doc_.CurrentBase = 0;
        try {
            if (LoadTemp(doc_, 1, paths_.folders.TempFolder))
                ApplyEffects();
        } catch (const WorkFileReadError& e) {
            // The photo is open; what could be read of its measurements is kept.
            prompter_->Error(e.what());
        }
        SyncFieldsFromDocument();

        ZoomAll();
        SetPanWindow();
        SetCommand(ucNone);
        SetFormTitle();
    });
}

void TF001::mnOpenClick()
{
    const std::optional<QString> path = prompter_->OpenPhoto(QString::fromStdString(settings_.ImageFolder));
    if (!path)
        return;
    settings_.ImageFolder = Utf8(QFileInfo(*path).absolutePath());
    LoadFile(*path);
}

void TF001::mnFileClick()
{
    mnFileName0->setVisible(false);
    const QFontMetrics fm(font());
    for (int n = 1; n <= 5; ++n) {
        QAction* item = actions_[QStringLiteral("mnLastFileName%1").arg(n)];
        const QString path = QString::fromStdString(settings_.LastFileName[static_cast<std::size_t>(n)]);
        if (path.isEmpty()) {
            item->setVisible(false);
            continue;
        }
        item->setText(ShortenedPath(path, fm, 220));
        item->setEnabled(QFileInfo(path).isFile());
        item->setVisible(true);
        mnFileName0->setVisible(true);
    }
    actions_[QStringLiteral("mnPrint")]->setVisible(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
}

// --- settings, groups, confirmations ---------------------------------------------------------

void TF001::mnBaseLineClick(bool w)
{
    doc_.View.BaseView = true;
    SyncViewToggles();
    SetCommand(w ? ucBaseLineW : ucBaseLineH);
    RedrawOverlay();
    // The length measured on site can be taken from the meter's list.
    if (pd25Lines_.isEmpty())
        return;
    QWidget* button = Control(w ? QStringLiteral("SpeedButton_BaseLineW") : QStringLiteral("SpeedButton_BaseLineH"));
    const QPoint at = button ? button->mapToGlobal(QPoint(0, 0)) : mapToGlobal(QPoint(0, 0));
    const std::optional<int> chosen = prompter_->PickPd25(pd25Lines_, at);
    if (!chosen || *chosen < 0 || *chosen >= pd25Lines_.size())
        return;
    TchCalcEdit* field = w ? chCalcEdit_KijunW : chCalcEdit_KijunH;
    field->setText(QString::fromStdString(Pd25FieldText(pd25Lines_[*chosen].toStdString())));
    Edit_KijunChange(field);
}

namespace {

// Where an export is proposed: the photo's name with the export's extension.
QString ProposedName(const std::string& imageFileName, const char* extension)
{
    return QString::fromStdString(std::filesystem::path(imageFileName).stem().string()) + QLatin1String(extension);
}

} // namespace

void TF001::mnPdfOutClick()
{
    const auto path = prompter_->SaveText(QStringLiteral("PDF出力"), QString::fromStdString(settings_.PdfFolder),
                                          ProposedName(doc_.ImageFileName, ".pdf"),
                                          QStringLiteral("pdf files (*.pdf)"));
    if (!path)
        return;
    settings_.PdfFolder = Utf8(QFileInfo(*path).absolutePath());
    int process = 1;
    GuardWith([&] { return "mnPdfOut [process = " + std::to_string(process) + "]"; }, [&] {
        {
            Hourglass hourglass;
            WritePdfReport(*path, doc_, settings_, work_, paths_.folders.TempFolder, process,
                           [this](int p) { Progress(p); });
            Progress(0);
            process = 8;
        }
        // In the two-plane setting the report leaves the second plane current.
        PlaneChanged();
        SetCommand(Command());
        if (!QFileInfo(*path).isFile())
            prompter_->Warn(Utf8(QStringLiteral("[ %1 ]が見つかりません.").arg(*path)));
        else if (!prompter_->OpenDocument(*path))
            prompter_->Info(Utf8(QStringLiteral("ＰＤＦファイル出力完了.\r%1").arg(*path)));
    });
}

void TF001::ApplyEffects()
{
    if (!HasPhoto())
        return;
    {
        Hourglass hourglass;
        work_ = doc_.Effects == ImageEffects{} ? source_ : Effect(source_, doc_.Effects, [this](int p) { Progress(p); });
        Progress(0);
    }
    Ik5Disp1->SetPhoto(&work_);
    RedrawImage();
    RedrawOverlay();
}

void TF001::mnEffectClick()
{
    if (!HasPhoto())
        return;
    const Photo backup = work_;
    const ImageEffects remembered = doc_.Effects;
    Progress(0);
    int result = 0;
    do {
        ImageEffects settings = doc_.Effects;
        result = prompter_->EffectDialog(settings);
        if (result == 1 || result == 4) {
            doc_.Effects = settings;
            Hourglass hourglass;
            work_ = Effect(source_, doc_.Effects, [this](int p) { Progress(p); });
            Progress(0);
        } else {
            work_ = backup;
            doc_.Effects = remembered;
        }
        Ik5Disp1->SetPhoto(&work_);
        Ik5Disp1->SetView(Ik5Disp1->CurrentView());
        RedrawImage();
        RedrawOverlay();
    } while (result == 4);
    if (result == 1)
        doc_.Modified = 1;
}

void TF001::mnScanClick()
{
    ScanDevices devices;
    {
        Hourglass hourglass;
        devices = ListScanDevices();
    }
    QStringList names;
    for (const std::string& n : devices.names)
        names << QString::fromStdString(n);
    const std::optional<std::string> device = prompter_->ChooseScanDevice(names, lastScanner_);
    if (!device)
        return;
    lastScanner_ = QString::fromStdString(*device);
    ScanResult scanned;
    {
        Hourglass hourglass;
        scanCancel_ = false;
        // The window stays drawn while the page comes in; Escape cancels.
        scanned = ScanImage(*device, [this](int percent) {
            Progress(percent);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return !scanCancel_;
        });
        Progress(0);
    }
    if (!scanned.ok) {
        prompter_->Error("画像の取込ができませんでした.");
        return;
    }
    QImage image(scanned.width, scanned.height, QImage::Format_RGB888);
    for (int y = 0; y < scanned.height; ++y)
        std::copy_n(scanned.rgb.data() + static_cast<std::size_t>(y) * scanned.width * 3,
                    static_cast<std::size_t>(scanned.width) * 3, image.scanLine(y));
    const QString saved = ScanSave(Photo(std::move(image)));
    if (saved.isEmpty()) {
        prompter_->Info("スキャンデータを破棄しました.");
        return;
    }
    LoadFile(saved);
}

QString TF001::ScanSave(const Photo& scanned)
{
    const std::string folder = settings_.ImageFolder;
    const QString proposed = QStringLiteral("Scan_%1").arg(FreeSuffix(folder, "Scan"));
    const auto choice = prompter_->SaveImage(QStringLiteral("スキャナ読込データ保存"), QString::fromStdString(folder),
                                             proposed, lastSaveFilter_);
    if (!choice)
        return {};
    lastSaveFilter_ = choice->filter;
    const QFileInfo info(choice->path);
    settings_.ImageFolder = Utf8(info.absolutePath());
    const QString path = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
                         (choice->filter == 2 ? QStringLiteral(".bmp") : QStringLiteral(".jpg"));
    Hourglass hourglass;
    auto progress = [this](int p) { Progress(p); };
    const bool written = choice->filter == 2 ? scanned.SaveBmp(path, progress) : scanned.SaveJpeg(path, progress);
    Progress(0);
    if (!written) {
        prompter_->Warn(Utf8(QStringLiteral("'%1' を書き込めませんでした.").arg(path)));
        return {};
    }
    return path;
}

void TF001::mnPrintClick()
{
    if (!HasPhoto())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Kalvex"));
    if (!prompter_->ChoosePrinter(printer))
        return;
    Hourglass hourglass;
    PrintPhoto(printer, doc_, settings_, work_, Command(), CheckBox_PolygonMode->isChecked());
}

void TF001::mnCsvOutClick()
{
    const auto path = prompter_->SaveText(QStringLiteral("CSV出力"), QString::fromStdString(settings_.CsvFolder),
                                          ProposedName(doc_.ImageFileName, ".csv"),
                                          QStringLiteral("csv files (*.csv)"));
    if (!path)
        return;
    settings_.CsvFolder = Utf8(QFileInfo(*path).absolutePath());
    Guard("mnCsvOut", [&] {
        if (const std::string refused = RefusedWrite(path->toStdString()); !refused.empty())
            throw std::runtime_error(refused);
        bool ok = false;
        {
            Hourglass hourglass;
            ok = WriteFileReplacing(path->toStdString(), CsvBytes(doc_, doc_.View.SpaceNameView));
        }
        if (!ok)
            throw std::runtime_error(Utf8(QStringLiteral("'%1' に書き込めませんでした.").arg(*path)));
    });
}

void TF001::mnCsvOut2Click()
{
    const auto path = prompter_->SaveText(QStringLiteral("SD用出力"), QString::fromStdString(settings_.Csv2Folder),
                                          ProposedName(doc_.ImageFileName, ".jts"),
                                          QStringLiteral("csv files (*.jts)"));
    if (!path)
        return;
    settings_.Csv2Folder = Utf8(QFileInfo(*path).absolutePath());
    Guard("mnCsvOut2", [&] {
        if (const std::string refused = RefusedWrite(path->toStdString()); !refused.empty())
            throw std::runtime_error(refused);
        bool ok = false;
        {
            Hourglass hourglass;
            ok = WriteFileReplacing(path->toStdString(), SdBytes(doc_, doc_.CurrentGroup));
        }
        if (!ok)
            throw std::runtime_error(Utf8(QStringLiteral("'%1' に書き込めませんでした.").arg(*path)));
    });
}

void TF001::mnChangeClick(int setting)
{
    Guard("mnChangeClick", [&] {
        {
            Hourglass hourglass;
            const SwitchResult r = SwitchSetting(doc_, setting, paths_.folders.TempFolder, *prompter_);
            SyncFieldsFromDocument();
            if (!r.switched) {
                SetCommand(Command());
                return;
            }
            // The photo shows the new setting's processing, also when it has none.
            ApplyEffects();
        }
        BaseIndicator();
        SetCommand(ucNone);
        RedrawOverlay();
    });
}

void TF001::mnGroupClick(int group)
{
    Guard("mnGroupClick", [&] {
        Hourglass hourglass;
        doc_.CurrentGroup = std::clamp(group, 0, 5);
        SetCommand(Command());
        RedrawOverlay();
    });
}

bool TF001::MarkCancelled(const std::string& question)
{
    return !prompter_->AskYesNo(question);
}

void TF001::mnResetClick()
{
    if (MarkCancelled("現在設定されている基準矩形、基準矩形の交線、計測基準、距離、面積を消去します。よろしいですか？"))
        return;
    kvx::Reset(doc_);
    BaseIndicator();
    SetCommand(ucNone);
    RedrawOverlay();
}

void TF001::mnBaseClick()
{
    const TPlaneState& p = doc_.Plane;
    const bool ask = p.base.BaseSet == 1 && (p.base.BaseUnitSet == 1 || p.DistanceCount() >= 1 || p.SpaceCount() >= 1);
    if (ask && MarkCancelled("基準矩形を再設定すると基準矩形の交線、計測基準、距離、面積の設定は消去されます.\r"
                             "よろしいですか？")) {
        SetCommand(ucNone);
        RedrawOverlay();
        return;
    }
    doc_.View.BaseView = true;
    SyncViewToggles();
    if (doc_.CurrentBase != 1 && doc_.CurrentBase != 2)
        SetCommand(ucBase);
    else if (base1Down_.value_or(Command() == ucBaseOnePoint))
        SetCommand(ucBaseOnePoint);
    else
        SetCommand(ucBaseSixPoint);
    RedrawOverlay();
}

void TF001::mnBaseChangeClick()
{
    if (CheckBox_BaseChangeAuto->isChecked())
        return;
    SwapBDS(doc_);
    SyncFieldsFromDocument();
    BaseIndicator();
    SetCommand(Command());
    RedrawOverlay();
}

void TF001::mnDistanceAllDelClick()
{
    if (MarkCancelled("現在設定されている２点間の距離をすべて消去します。よろしいですか？"))
        return;
    doc_.Plane.Distances.Clear();
    doc_.CurrentDistance = 0;
    // Without this the deletion would not be kept when the photo is left.
    doc_.Modified = 1;
    SetCommand(ucNone);
    RedrawOverlay();
}

void TF001::mnSpaceAllDelClick()
{
    if (MarkCancelled("現在設定されている面積範囲をすべて消去します。よろしいですか？"))
        return;
    doc_.Plane.Spaces.Clear();
    doc_.CurrentSpace = 0;
    doc_.Modified = 1;
    SetCommand(ucNone);
    RedrawOverlay();
}

void TF001::StatusBar1DblClick(bool shiftHeld)
{
    Guard("StatusBar1DblClick", [&] {
        if (!shiftHeld)
            return;
        diagnostic_ = !diagnostic_;
        RedrawOverlay();
    });
}

// --- help ---------------------------------------------------------------------------------

void TF001::mnHelpClick()
{
    actions_[QStringLiteral("mnError")]->setVisible(!ErrorTrail::global().empty());
}

void TF001::mnErrorClick()
{
    TFDError dialog(ErrorTrail::global(), errno, this);
    dialog.move(geometry().topLeft());
    dialog.exec();
}

void TF001::mnPropertyClick()
{
    if (const std::optional<TAppSettings> stored = prompter_->PropertyDialog(settings_))
        settings_ = *stored;
    // The pan window and the tool panel follow at once, even after an abort
    // (they then simply stay as they were); colours and label size wait for
    // the overlay's next repaint.
    SetPanWindow();
    Panel2->setVisible(settings_.ShortCutButtonFlag);
    RedrawOverlay();
}

void TF001::mnAboutClick()
{
    TFDVersion dialog(this);
    dialog.move(geometry().topLeft());
    dialog.exec();
}

void TF001::mnHistoryClick()
{
    TFDHistory dialog(QDir(paths_.resourceFolder).filePath(QStringLiteral("history.txt")),
                      [this](const QString& m) { prompter_->Warn(Utf8(m)); }, this);
    dialog.move(geometry().topLeft());
    dialog.exec();
}

void TF001::mnManualClick()
{
    const QString name = QStringLiteral("操作マニュアル.pdf");
    const QString path = QDir(paths_.resourceFolder).filePath(QStringLiteral("Manual/") + name);
    if (!QFileInfo(path).isFile()) {
        prompter_->Warn(Utf8(QStringLiteral("'%1' が見つかりません.").arg(name)));
        return;
    }
    if (!prompter_->OpenDocument(path))
        prompter_->Warn(Utf8(QStringLiteral("'%1' を開くアプリケーションが見つかりません.").arg(name)));
}

// --- view -----------------------------------------------------------------------------------

void TF001::RedrawImage()
{
    Ik5Disp1->RedrawImage();
}

void TF001::RedrawOverlay()
{
    Ik5Disp1->RedrawOverlay();
}

void TF001::SetPanWindow()
{
    Guard("SetPanWindow", [&] { Ik5Disp1->ShowPanWindow(settings_.PanWindowFlag && isVisible(), settings_.PanWindowSize); });
}

void TF001::ZoomAll()
{
    Guard("ZoomAll", [&] {
        if (!HasPhoto())
            return;
        prevView_ = Ik5Disp1->CurrentView();
        Ik5Disp1->SetView(ZoomAllView(Ik5Disp1->ControlWidth(), Ik5Disp1->ControlHeight(), work_.Width(), work_.Height()));
        RedrawImage();
        RedrawOverlay();
    });
}

void TF001::mnZoom1Click()
{
    Guard("mnZoom1Click", [&] {
        prevView_ = Ik5Disp1->CurrentView();
        kvx::View v = prevView_;
        v.DispScale = 1.0;
        Ik5Disp1->SetView(v);
        RedrawImage();
        RedrawOverlay();
    });
}

void TF001::ZoomWindow(TDPoint p1, TDPoint p2)
{
    Guard("ZoomWindow", [&] {
        if (!HasPhoto())
            return;
        prevView_ = Ik5Disp1->CurrentView();
        Ik5Disp1->SetView(ZoomWindowView(Ik5Disp1->ControlWidth(), Ik5Disp1->ControlHeight(), p1, p2));
        RedrawImage();
        RedrawOverlay();
    });
}

void TF001::ZoomPre()
{
    Guard("ZoomPre", [&] {
        if (!HasPhoto())
            return;
        Ik5Disp1->SetView(prevView_);
        RedrawImage();
        RedrawOverlay();
    });
}

void TF001::fncZoomUp(TDPoint p, int flags, double factor)
{
    Guard("fncZoomUp", [&] {
        const ViewState state = Ik5Disp1->State();
        Ik5Disp1->SetView(AnchoredZoom(state, p, ZoomUpScale(state.DispScale, factor)));
        if (flags & 1)
            RedrawImage();
        if (flags & 2)
            RedrawOverlay();
    });
}

void TF001::fncZoomDown(TDPoint p, int flags, double factor)
{
    Guard("fncZoomDown", [&] {
        const ViewState state = Ik5Disp1->State();
        Ik5Disp1->SetView(AnchoredZoom(state, p, ZoomDownScale(state.DispScale, factor)));
        if (flags & 1)
            RedrawImage();
        if (flags & 2)
            RedrawOverlay();
    });
}

void TF001::WheelZoom(QPoint viewportPos, bool zoomIn)
{
    Run([&] {
        Guard(zoomIn ? "WheelZoomUp" : "WheelZoomDown", [&] {
            if (!HasPhoto())
                return;
            ZoomTimer.stop();
            Ik5Disp1->viewport()->setCursor(ZoomCursor(zoomIn));
            const TDPoint p = StoW(Ik5Disp1->State(), TPoint{viewportPos.x(), viewportPos.y()});
            if (zoomIn)
                fncZoomUp(p, 0, kWheelIn);
            else
                fncZoomDown(p, 0, kWheelOut);
            ZoomTimer.start();
        });
    });
}

// --- window events ----------------------------------------------------------------------------

bool TF001::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && !activatedOnce_) {
        activatedOnce_ = true;
        Run([&] {
            Guard("FormActivate", [&] {
                Timer1.start();
                splash_ = new TFTitle(this);
                splash_->move(geometry().left() + (geometry().width() - splash_->width()) / 2,
                              geometry().top() + (geometry().height() - splash_->height()) / 2);
                splash_->show();
            });
        });
    }
    if (e->type() == QEvent::ApplicationActivate)
        SetPanWindow();
    if (e->type() == QEvent::ApplicationDeactivate)
        Ik5Disp1->ShowPanWindow(false, settings_.PanWindowSize);
    return QMainWindow::event(e);
}

void TF001::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::WindowStateChange) {
        if (isMinimized())
            Ik5Disp1->ShowPanWindow(false, settings_.PanWindowSize);
        else
            SetPanWindow();
    }
    QMainWindow::changeEvent(e);
}

bool TF001::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
        scanCancel_ = true;
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) && isActiveWindow() && interaction_ &&
        HasPhoto()) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (!key->isAutoRepeat() && watched == QApplication::focusWidget()) {
            const bool shift = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
            Run([&] {
                if (e->type() == QEvent::KeyPress && (shift || key->key() == Qt::Key_Shift))
                    interaction_->KeyDown(true);
                else if (e->type() == QEvent::KeyRelease && (!shift || key->key() == Qt::Key_Shift))
                    interaction_->KeyUp(false);
            });
        }
    }
    if (e->type() == QEvent::MouseButtonDblClick &&
        (watched == statusBar() || std::find(statusPanels_.begin(), statusPanels_.end(), watched) != statusPanels_.end())) {
        Run([&] { StatusBar1DblClick(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier); });
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

void TF001::FormClose()
{
    work_ = Photo();
    source_ = Photo();
    Ik5Disp1->SetPhoto(nullptr);
    // Each step runs even when one before it failed: a settings file that cannot
    // be written must not cost the user the photo's measurements.
    bool ok = WriteSettings(paths_.folders.IniFile(), settings_);
    try {
        if (!doc_.ImageFileName.empty()) {
            const SaveSettingResult r = SaveCurrentSetting(doc_, paths_.folders.TempFolder, *prompter_);
            if (r.all)
                SaveSet(doc_, paths_.folders.TempFolder, *prompter_);
        }
        PruneWorkingFiles(paths_.folders.TempFolder, settings_.DeleteTempLimit);
    } catch (const std::exception&) {
        ok = false;
    }
    if (!WriteErrorLog(ErrorTrail::global(), paths_.folders.TempFolder))
        ok = false;
    if (!ok)
        prompter_->Warn("環境設定情報を保存できませんでした.");
}

void TF001::closeEvent(QCloseEvent* event)
{
    FormClose();
    Ik5Disp1->ShowPanWindow(false, settings_.PanWindowSize);
    event->accept();
}

} // namespace kvx
