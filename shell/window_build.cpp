// The window's menus, top panel, tool panel and status bar.

#include "shell/main_window.h"
#include "widgets/words.h"
#include "widgets/results_panel.h"

#include "measure/calibration.h"
#include "measure/computation.h"
#include "measure/workfiles.h"
#include "output/export/exports.h"
#include "output/pd25/pd25.h"
#include "base/safe_file.h"
#include "shell/report_file.h"
#include "interact/commands.h"
#include "shell/dialogs.h"
#include "base/error_trail.h"
#include "image/effects.h"
#include "shell/painter_canvas.h"
#include "image/scanner.h"
#include "output/overlay/overlay.h"
#include "widgets/calc_edit.h"
#include "widgets/focus_manager.h"
#include "shell/window_helpers.h"

#include <QAction>
#include <QKeySequence>
#include <QApplication>
#include <QTimer>
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

using namespace window_helpers;

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
    auto mode = [this](uCommand m, bool ViewToggles::*toggle) {
        return [this, m, toggle] {
            if (toggle) {
                ViewToggles view = doc_.View;
                view.*toggle = true;
                editor_.SetViewToggles(view);
            }
            SetCommand(m);
        };
    };

    mnFile = bar->addMenu(Qx("WindowBuild", "ﾌｧｲﾙ(&F)"));
    mnFile->setObjectName(QStringLiteral("mnFile"));
    AddAction(mnFile, QStringLiteral("mnOpen"), Qx("WindowBuild", "開く(&O)"), [this] { mnOpenClick(); });
    AddAction(mnFile, QStringLiteral("mnScan"), Qx("WindowBuild", "スキャナ読込(&S)"), [this] { mnScanClick(); });
    mnFile->addSeparator();
    AddAction(mnFile, QStringLiteral("mnPdfOut"), Qx("WindowBuild", "ＰＤＦファイル出力(&F)"), nullptr);
    connect(actions_[QStringLiteral("mnPdfOut")], &QAction::triggered, this, [this] { Run([&] { mnPdfOutClick(); }); });
    AddAction(mnFile, QStringLiteral("mnCsvOut"), Qx("WindowBuild", "ＣＳＶファイル出力(&C)"), [this] { mnCsvOutClick(); });
    AddAction(mnFile, QStringLiteral("mnCsvOut2"), Qx("WindowBuild", "ＳＤファイル出力"), [this] { mnCsvOut2Click(); });
    AddAction(mnFile, QStringLiteral("mnDxfOut"), Qx("WindowBuild", "ＤＸＦファイル出力"), [this] { mnDxfOutClick(); });
    AddAction(mnFile, QStringLiteral("mnTableOut"), Qx("WindowBuild", "結果表の出力"), [this] { mnTableOutClick(); });
    AddAction(mnFile, QStringLiteral("mnRectifiedOut"), Qx("WindowBuild", "正対画像の出力"), [this] { mnRectifiedOutClick(); });
    AddAction(mnFile, QStringLiteral("mnPrint"), Qx("WindowBuild", "印刷(&P)"), [this] { mnPrintClick(); })->setVisible(false);
    mnFile->addSeparator();
    AddAction(mnFile, QStringLiteral("mnProperty"), Qx("WindowBuild", "環境設定(&E)"), [this] { mnPropertyClick(); });
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
    AddAction(mnFile, QStringLiteral("mnExit"), Qx("WindowBuild", "終了(&X)"), [this] { close(); });
    connect(mnFile, &QMenu::aboutToShow, this, [this] { Run([&] { Guard("mnFileClick", [&] { mnFileClick(); }); }); });

    QMenu* edit = bar->addMenu(Qx("WindowBuild", "編集(&E)"));
    AddAction(edit, QStringLiteral("mnUndo"), Qx("WindowBuild", "元に戻す(&Z)"), [this] { StepThroughHistory(true); })
        ->setShortcut(QKeySequence::Undo);
    AddAction(edit, QStringLiteral("mnRedo"), Qx("WindowBuild", "やり直し(&Y)"), [this] { StepThroughHistory(false); })
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addSeparator();
    AddAction(edit, QStringLiteral("mnReset"), Qx("WindowBuild", "最初から(&R)"), [this] { mnResetClick(); });
    edit->addSeparator();
    AddAction(edit, QStringLiteral("mnBase"), Qx("WindowBuild", "基準矩形を設定する(&B)"), [this] { mnBaseClick(); });
    AddAction(edit, QStringLiteral("mnBaseAdjust"), Qx("WindowBuild", "基準矩形を調整する"), [this, mode] {
        if (doc_.Plane.base.BaseSet == 1)
            mode(ucBaseAdjust, &ViewToggles::BaseView)();
    });
    AddAction(edit, QStringLiteral("mnCrossLine"), Qx("WindowBuild", "設定1･2の基準矩形の交線"), [this, mode] {
        mode(ucCrossLine, &ViewToggles::BaseView)();
        interaction_->StartTrace(3, interaction_->PointerPoint(), doc_.Plane.base.VanishH, {},
                                 settings_.ColorCrossLine);
    });
    AddAction(edit, QStringLiteral("mnBaseChange"), Qx("WindowBuild", "基準矩形切り替え"), nullptr);
    connect(actions_[QStringLiteral("mnBaseChange")], &QAction::triggered, this,
            [this] { Run([&] { mnBaseChangeClick(); }); });
    edit->addSeparator();
    AddAction(edit, QStringLiteral("mnBaseLineW"), Qx("WindowBuild", "計測基準Ｗを設定する(&W)"),
              [this] { mnBaseLineClick(true); });
    AddAction(edit, QStringLiteral("mnBaseLineH"), Qx("WindowBuild", "計測基準Ｈを設定する(&H)"),
              [this] { mnBaseLineClick(false); });
    AddAction(edit, QStringLiteral("mnBaseLineAdjust"), Qx("WindowBuild", "計測基準ＷＨを調整する"), [this, mode] {
        if (doc_.Plane.base.BaseLineWSet == 1 || doc_.Plane.base.BaseLineHSet == 1)
            mode(ucBaseLineAdjust, &ViewToggles::BaseView)();
    });
    AddAction(edit, QStringLiteral("mnBaseUnit"), Qx("WindowBuild", "計測基準を設定する(&U)"),
              mode(ucBaseUnit, &ViewToggles::BaseView));
    AddAction(edit, QStringLiteral("mnBaseUnitAdjust"), Qx("WindowBuild", "計測基準を調整する"), [this, mode] {
        if (doc_.Plane.base.BaseSet == 1)
            mode(ucBaseUnitAdjust, &ViewToggles::BaseView)();
    });
    edit->addSeparator();

    QMenu* distance = edit->addMenu(Qx("WindowBuild", "距離を求める(&L)"));
    AddAction(distance, QStringLiteral("mnDistance"), Qx("WindowBuild", "２点間の距離を求める(&L)"),
              mode(ucDistance, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceAdjust"), Qx("WindowBuild", "２点間を調整する"),
              mode(ucDistanceAdjust, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceHosei"), Qx("WindowBuild", "遠近補正する"),
              mode(ucDistanceHosei, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceHoseiDel"), Qx("WindowBuild", "遠近補正を解除する"),
              mode(ucDistanceHoseiDel, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceDel"), Qx("WindowBuild", "削除する(&D)"),
              mode(ucDistanceDel, &ViewToggles::DistanceView));
    AddAction(distance, QStringLiteral("mnDistanceAllDel"), Qx("WindowBuild", "全て削除する(&R)"),
              [this] { mnDistanceAllDelClick(); });
    distance->addSeparator();
    AddAction(distance, QStringLiteral("mnDistanceMode"), Qx("WindowBuild", "連続モードのON/OFF"),
              [this] {
                  CheckBox_DistanceMode->setChecked(actions_[QStringLiteral("mnDistanceMode")]->isChecked());
                  SyncToolOptions();
                  SetCommand(Command());
              },
              true);

    QMenu* area = edit->addMenu(Qx("WindowBuild", "面積を求める(&S)"));
    AddAction(area, QStringLiteral("mnSpaceAdd"), Qx("WindowBuild", "加算する(&A)"), nullptr);
    AddAction(area, QStringLiteral("mnSpaceSub"), Qx("WindowBuild", "減算する(&S)"), nullptr);
    for (const auto& [name, m] : {std::pair{QStringLiteral("mnSpaceAdd"), ucSpaceAdd},
                                  std::pair{QStringLiteral("mnSpaceSub"), ucSpaceSub}}) {
        connect(actions_[name], &QAction::triggered, this, [this, mode, m = m] {
            Run([&] { Guard("mnSpaceCalcuClick", mode(m, &ViewToggles::SpaceView)); });
        });
    }
    AddAction(area, QStringLiteral("mnSpaceAdjust"), Qx("WindowBuild", "範囲を調整する"),
              mode(ucSpaceAdjust, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceHosei"), Qx("WindowBuild", "遠近補正する"),
              mode(ucSpaceHosei, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceHoseiDel"), Qx("WindowBuild", "遠近補正を解除する"),
              mode(ucSpaceHoseiDel, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceSlant"), Qx("WindowBuild", "傾斜設定"), mode(ucSpaceSlant, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceNameUpd"), Qx("WindowBuild", "名称変更する"),
              mode(ucSpaceNameUpd, &ViewToggles::SpaceNameView));
    AddAction(area, QStringLiteral("mnSpaceDel"), Qx("WindowBuild", "範囲を削除する(&D)"),
              mode(ucSpaceDel, &ViewToggles::SpaceView));
    AddAction(area, QStringLiteral("mnSpaceAllDel"), Qx("WindowBuild", "範囲を全て削除する(&R)"),
              [this] { mnSpaceAllDelClick(); });
    area->addSeparator();
    AddAction(area, QStringLiteral("mnPolygonMode"), Qx("WindowBuild", "多角形モードのON/OFF"),
              [this] {
                  CheckBox_PolygonMode->setChecked(actions_[QStringLiteral("mnPolygonMode")]->isChecked());
                  SyncToolOptions();
                  SetCommand(Command());
              },
              true);

    QMenu* check = edit->addMenu(Qx("WindowBuild", "検証距離(&K)"));
    AddAction(check, QStringLiteral("mnCheck"), Qx("WindowBuild", "長さの分かっている距離で検証する(&K)"),
              mode(ucCheck, nullptr));
    AddAction(check, QStringLiteral("mnCheckDel"), Qx("WindowBuild", "削除する(&D)"), mode(ucCheckDel, nullptr));
    AddAction(check, QStringLiteral("mnCheckAllDel"), Qx("WindowBuild", "全て削除する(&R)"),
              [this] { mnCheckAllDelClick(); });
    edit->addSeparator();

    mnChange = edit->addMenu(Qx("WindowBuild", "設定切換(&C)"));
    mnChange->menuAction()->setObjectName(QStringLiteral("mnChange"));
    actions_[QStringLiteral("mnChange")] = mnChange->menuAction();
    const QString settingCaptions[] = {Qx("WindowBuild", "設定1(&1)"), Qx("WindowBuild", "設定2(&2)"),
                                       Qx("WindowBuild", "設定3(&3)"), Qx("WindowBuild", "設定２面同時(&4)")};
    for (int n = 1; n <= 4; ++n) {
        AddAction(mnChange, QStringLiteral("mnChange%1").arg(n), settingCaptions[n - 1], nullptr, true);
        connect(actions_[QStringLiteral("mnChange%1").arg(n)], &QAction::triggered, this,
                [this, n] { Run([&] { mnChangeClick(n); }); });
    }
    mnGroup = edit->addMenu(Qx("WindowBuild", "グループ切換(&G)"));
    mnGroup->menuAction()->setObjectName(QStringLiteral("mnGroup"));
    actions_[QStringLiteral("mnGroup")] = mnGroup->menuAction();
    const QString digits = Qx("WindowBuild", "０１２３４５");
    for (int n = 0; n <= 5; ++n) {
        AddAction(mnGroup, QStringLiteral("mnGroup%1").arg(n), Qx("WindowBuild", "グループ%1(&%2)").arg(digits[n]).arg(n),
                  nullptr, true);
        connect(actions_[QStringLiteral("mnGroup%1").arg(n)], &QAction::triggered, this,
                [this, n] { Run([&] { mnGroupClick(n); }); });
    }
    edit->addSeparator();
    AddAction(edit, QStringLiteral("mnEffect"), Qx("WindowBuild", "画像処理(&E)"), [this] { mnEffectClick(); });
    AddAction(edit, QStringLiteral("mnImageFix"), Qx("WindowBuild", "画像範囲(&F)"), mode(ucImageFix, nullptr));

    QMenu* view = bar->addMenu(Qx("WindowBuild", "表示(&V)"));
    AddAction(view, QStringLiteral("mnZoomAll"), Qx("WindowBuild", "全体表示(&A)"), [this] { ZoomAll(); });
    AddAction(view, QStringLiteral("mnZoomDown"), Qx("WindowBuild", "1/2倍に縮小(&D)"), mode(ucZoomDown, nullptr));
    AddAction(view, QStringLiteral("mnZoom1"), Qx("WindowBuild", "等倍(&E)"), [this] { mnZoom1Click(); });
    AddAction(view, QStringLiteral("mnZoomUp"), Qx("WindowBuild", "2倍に拡大(&U)"), mode(ucZoomUp, nullptr));
    view->addSeparator();
    const std::pair<const char*, bool ViewToggles::*> toggles[] = {
        {"mnDistanceView", &ViewToggles::DistanceView}, {"mnSpaceView", &ViewToggles::SpaceView},
        {"mnBaseView", &ViewToggles::BaseView},         {"mnTextView", &ViewToggles::TextView},
        {"mnSpaceNameView", &ViewToggles::SpaceNameView}};
    const QString toggleCaptions[] = {Qx("WindowBuild", "２点間距離の表示ON/OFF"), Qx("WindowBuild", "面積範囲の表示ON/OFF"),
                                      Qx("WindowBuild", "基準の表示ON/OFF"), Qx("WindowBuild", "計測値の表示ON/OFF"),
                                      Qx("WindowBuild", "面積エリア名称の表示ON/OFF")};
    for (std::size_t i = 0; i < 5; ++i) {
        const auto member = toggles[i].second;
        AddAction(view, QString::fromLatin1(toggles[i].first), toggleCaptions[i],
                  [this, member] {
                      ViewToggles shownNow = doc_.View;
                      shownNow.*member = !(shownNow.*member);
                      editor_.SetViewToggles(shownNow);
                  },
                  true);
    }
    view->addSeparator();
    AddAction(view, QStringLiteral("mnResultsView"), Qx("WindowBuild", "計測結果の一覧(&T)"), [this] {
        settings_.ResultsPanelFlag = actions_[QStringLiteral("mnResultsView")]->isChecked();
        results_->setVisible(settings_.ResultsPanelFlag);
        RefreshResults();
    }, true)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    AddAction(view, QStringLiteral("mnLoupe"), Qx("WindowBuild", "ルーペ(&L)"), [this] {
        settings_.LoupeFlag = actions_[QStringLiteral("mnLoupe")]->isChecked();
        UpdateLoupe(keyPointer_);
    }, true)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

    mnHelp = bar->addMenu(Qx("WindowBuild", "ﾍﾙﾌﾟ(&H)"));
    mnHelp->setObjectName(QStringLiteral("mnHelp"));
    AddAction(mnHelp, QStringLiteral("mnManual"), Qx("WindowBuild", "操作マニュアル(M)"), [this] { mnManualClick(); });
    AddAction(mnHelp, QStringLiteral("mnHistory"), Qx("WindowBuild", "更新履歴(&H)"), [this] { mnHistoryClick(); });
    AddAction(mnHelp, QStringLiteral("mnAbout"), Qx("WindowBuild", "バージョン情報(&A)"), [this] { mnAboutClick(); });
    AddAction(mnHelp, QStringLiteral("mnError"), Qx("WindowBuild", "エラー情報(&E)"), [this] { mnErrorClick(); });
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
    row->addWidget(new QLabel(Qx("WindowBuild", "(㎜)"), Panel1));
    row->addWidget(new QLabel(QStringLiteral("H"), Panel1));
    chCalcEdit_KijunH = field(QStringLiteral("chCalcEdit_KijunH"), QStringLiteral("1000"), 70);
    row->addWidget(chCalcEdit_KijunH);
    // W and H are typed once the focus has left both: a new reference is judged then.
    sizeFieldsLeft_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const auto size = [this](const QWidget* w) { return w && (w == chCalcEdit_KijunW || w == chCalcEdit_KijunH); };
        if (referenceToJudge_ && size(old) && !size(now))
            QTimer::singleShot(0, this, [this] { Run([&] { Guard("JudgeReference", [&] { JudgeReference(); }); }); });
    });
    row->addWidget(new QLabel(Qx("WindowBuild", "(㎜)"), Panel1));
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
    line({AddToolButton(QStringLiteral("SpeedButton_Open"), Qx("WindowBuild", "開く"), Qx("WindowBuild", "開く"), false,
                        QStringLiteral("mnOpen")),
          AddToolButton(QStringLiteral("SpeedButton_Undo"), Qx("WindowBuild", "戻す"), Qx("WindowBuild", "元に戻す (Ctrl+Z)"),
                        false, QStringLiteral("mnUndo")),
          AddToolButton(QStringLiteral("SpeedButton_Redo"), Qx("WindowBuild", "やり直し"),
                        Qx("WindowBuild", "やり直し (Ctrl+Y)"), false, QStringLiteral("mnRedo"))});
    line({AddToolButton(QStringLiteral("SpeedButton_ZoomUp"), Qx("WindowBuild", "拡大"), Qx("WindowBuild", "２倍に拡大表示"), true,
                        QStringLiteral("mnZoomUp")),
          AddToolButton(QStringLiteral("SpeedButton_ZoomDown"), Qx("WindowBuild", "縮小"), Qx("WindowBuild", "1/2に縮小表示"),
                        true, QStringLiteral("mnZoomDown")),
          AddToolButton(QStringLiteral("SpeedButton_ZoomAll"), Qx("WindowBuild", "全体表示"), Qx("WindowBuild", "全体表示"),
                        false, QStringLiteral("mnZoomAll"))});
    ComboBox_Change = new QComboBox(Panel2);
    ComboBox_Change->setObjectName(QStringLiteral("ComboBox_Change"));
    ComboBox_Change->addItems({Qx("WindowBuild", "設定1"), Qx("WindowBuild", "設定2"), Qx("WindowBuild", "設定3"),
                               Qx("WindowBuild", "設定２面同時")});
    ComboBox_Change->setToolTip(Qx("WindowBuild", "設定を切り換える"));
    WheelOnlyWithFocus(ComboBox_Change);
    controls_[QStringLiteral("ComboBox_Change")] = ComboBox_Change;
    connect(ComboBox_Change, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        Run([&] { Guard("ComboBox_ChangeChange", [&] { mnChangeClick(index + 1); }); });
    });
    line({ComboBox_Change});
    line({AddToolButton(QStringLiteral("SpeedButton_Base"), Qx("WindowBuild", "基準矩形"), Qx("WindowBuild", "基準矩形を設定する"),
                        true, QStringLiteral("mnBase")),
          AddToolButton(QStringLiteral("SpeedButton_Base1"), Qx("WindowBuild", "１点"), Qx("WindowBuild", "基準矩形を設定する"),
                        true, QStringLiteral("mnBase")),
          AddToolButton(QStringLiteral("SpeedButton_BaseAdjust"), Qx("WindowBuild", "調整"), Qx("WindowBuild", "基準矩形を調整する"),
                        true, QStringLiteral("mnBaseAdjust"))});
    CheckBox_Lock = new QCheckBox(Qx("WindowBuild", "ロック"), Panel2);
    CheckBox_Lock->setObjectName(QStringLiteral("CheckBox_Lock"));
    CheckBox_Lock->setChecked(true);
    controls_[QStringLiteral("CheckBox_Lock")] = CheckBox_Lock;
    connect(CheckBox_Lock, &QCheckBox::toggled, this, [this] { SyncToolOptions(); });
    CheckBox_Snap = new QCheckBox(Qx("WindowBuild", "角に合わせる"), Panel2);
    CheckBox_Snap->setObjectName(QStringLiteral("CheckBox_Snap"));
    CheckBox_Snap->setToolTip(Qx("WindowBuild", "基準矩形の頂点を写真の角に合わせる"));
    connect(CheckBox_Snap, &QCheckBox::toggled, this, [this](bool on) { settings_.SnapFlag = on; });
    line({CheckBox_Snap});
    line({AddToolButton(QStringLiteral("SpeedButton_BaseLineW"), QStringLiteral("W"), Qx("WindowBuild", "計測基準W"), true,
                        QStringLiteral("mnBaseLineW")),
          AddToolButton(QStringLiteral("SpeedButton_BaseLineH"), QStringLiteral("H"), Qx("WindowBuild", "計測基準H"), true,
                        QStringLiteral("mnBaseLineH")),
          AddToolButton(QStringLiteral("SpeedButton_BaseLineAdjust"), QStringLiteral("A"), Qx("WindowBuild", "計測基準WH調整"),
                        true, QStringLiteral("mnBaseLineAdjust")),
          CheckBox_Lock});
    line({AddToolButton(QStringLiteral("SpeedButton_BaseUnit"), Qx("WindowBuild", "計測基準"), Qx("WindowBuild", "計測基準を設定する"),
                        true, QStringLiteral("mnBaseUnit")),
          AddToolButton(QStringLiteral("SpeedButton_BaseUnitAdjust"), Qx("WindowBuild", "調整"),
                        Qx("WindowBuild", "計測基準を調整する"), true, QStringLiteral("mnBaseUnitAdjust"))});

    auto* groupBox = new QGroupBox(Qx("WindowBuild", "ｸﾞﾙｰﾌﾟ"), Panel2);
    groupBox->setObjectName(QStringLiteral("RadioGroup_Group"));
    groupBox->setToolTip(Qx("WindowBuild", "グループを指定"));
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

    CheckBox_BaseChangeAuto = new QCheckBox(Qx("WindowBuild", "自動"), Panel2);
    CheckBox_BaseChangeAuto->setObjectName(QStringLiteral("CheckBox_BaseChangeAuto"));
    controls_[QStringLiteral("CheckBox_BaseChangeAuto")] = CheckBox_BaseChangeAuto;
    connect(CheckBox_BaseChangeAuto, &QCheckBox::toggled, this, [this] { SyncToolOptions(); });
    line({AddToolButton(QStringLiteral("SpeedButton_BaseChange"), Qx("WindowBuild", "基準切替"), Qx("WindowBuild", "基準切替"),
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
    CheckBox_DistanceMode = modeBox(Qx("WindowBuild", "連続ﾓｰﾄﾞ"), QStringLiteral("CheckBox_DistanceMode"),
                                    QStringLiteral("mnDistanceMode"));
    line({AddToolButton(QStringLiteral("SpeedButton_Distance"), Qx("WindowBuild", "距離"), Qx("WindowBuild", "２点間の距離を求める"),
                        true, QStringLiteral("mnDistance")),
          AddToolButton(QStringLiteral("SpeedButton_DistanceAdjust"), Qx("WindowBuild", "調整"), Qx("WindowBuild", "２点間を調整する"),
                        true, QStringLiteral("mnDistanceAdjust")),
          AddToolButton(QStringLiteral("SpeedButton_DistanceDel"), Qx("WindowBuild", "削除"), Qx("WindowBuild", "２点間を削除する"),
                        true, QStringLiteral("mnDistanceDel"))});
    CheckBox_PolygonMode = modeBox(Qx("WindowBuild", "多角形ﾓｰﾄﾞ"), QStringLiteral("CheckBox_PolygonMode"),
                                   QStringLiteral("mnPolygonMode"));
    line({AddToolButton(QStringLiteral("SpeedButton_SpaceAdd"), Qx("WindowBuild", "加算面積"), Qx("WindowBuild", "面積を加算する"),
                        true, QStringLiteral("mnSpaceAdd")),
          AddToolButton(QStringLiteral("SpeedButton_SpaceAdjust"), Qx("WindowBuild", "調整"), Qx("WindowBuild", "面積を調整する"),
                        true, QStringLiteral("mnSpaceAdjust")),
          AddToolButton(QStringLiteral("SpeedButton_SpaceDel"), Qx("WindowBuild", "削除"), Qx("WindowBuild", "面積を削除する"),
                        true, QStringLiteral("mnSpaceDel"))});
    line({AddToolButton(QStringLiteral("SpeedButton_SpaceSub"), Qx("WindowBuild", "減算面積"), Qx("WindowBuild", "面積を減算する"),
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

} // namespace kvx
