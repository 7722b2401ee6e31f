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
#include "widgets/calibration_dialog.h"
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
    // A tool's entry is named and worded by its row of the table of tools.
    auto toolName = [](uCommand m) { return QString::fromLatin1(Tool(m).action); };
    auto toolCaption = [](uCommand m) { return Qx("WindowBuild", Tool(m).caption); };
    // A mode's entry shows the marks the mode works on, then enters it.
    auto mode = [this](uCommand m) {
        return [this, m] {
            if (bool ViewToggles::*toggle = Tool(m).shows) {
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
    AddAction(mnFile, QStringLiteral("mnOpenJob"), Qx("WindowBuild", "ジョブを開く(&J)…"), [this] { mnOpenJobClick(); });
    AddAction(mnFile, QStringLiteral("mnNewJob"), Qx("WindowBuild", "新規ジョブ(&B)…"), [this] { mnNewJobClick(); });
    mnFile->addSeparator();
    AddAction(mnFile, QStringLiteral("mnPdfOut"), Qx("WindowBuild", "ＰＤＦファイル出力(&F)"), nullptr);
    connect(actions_[QStringLiteral("mnPdfOut")], &QAction::triggered, this, [this] { Run([&] { mnPdfOutClick(); }); });
    AddAction(mnFile, QStringLiteral("mnCsvOut"), Qx("WindowBuild", "ＣＳＶファイル出力(&C)"), [this] { mnCsvOutClick(); });
    AddAction(mnFile, QStringLiteral("mnCsvOut2"), Qx("WindowBuild", "ＳＤファイル出力(&D)"), [this] { mnCsvOut2Click(); });
    AddAction(mnFile, QStringLiteral("mnDxfOut"), Qx("WindowBuild", "ＤＸＦファイル出力(&G)"), [this] { mnDxfOutClick(); });
    AddAction(mnFile, QStringLiteral("mnTableOut"), Qx("WindowBuild", "結果表の出力(&T)"), [this] { mnTableOutClick(); });
    AddAction(mnFile, QStringLiteral("mnRectifiedOut"), Qx("WindowBuild", "正対画像の出力(&I)"), [this] { mnRectifiedOutClick(); });
    AddAction(mnFile, QStringLiteral("mnMarkerSheet"), Qx("WindowBuild", "マーカーシートの出力(&M)"), [this] { mnMarkerSheetClick(); });
    AddAction(mnFile, QStringLiteral("mnCalibrateLens"), Qx("WindowBuild", "カメラのレンズを測定(&L)"), [this] {
        CameraCalibrationDialog dialog(paths_.folders.ProfilesFolder(), PhotoPixelLimit(settings_), this);
        dialog.exec();
    });
    AddAction(mnFile, QStringLiteral("mnPrint"), Qx("WindowBuild", "印刷(&P)"), [this] { mnPrintClick(); })->setVisible(false);
    mnFile->addSeparator();
    AddAction(mnFile, QStringLiteral("mnPhotoInfo"), Qx("WindowBuild", "写真の情報(&A)"), [this] { mnPhotoInfoClick(); });
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
    AddAction(edit, toolName(uCommand::Base), toolCaption(uCommand::Base), [this] { mnBaseClick(); });
    AddAction(edit, QStringLiteral("mnDetectReference"), Qx("WindowBuild", "基準を自動検出(&D)"), [this] { mnDetectReferenceClick(); });
    AddAction(edit, toolName(uCommand::BaseAdjust), toolCaption(uCommand::BaseAdjust), [this, mode] {
        if (doc_.Plane.base.BaseSet == 1)
            mode(uCommand::BaseAdjust)();
    });
    AddAction(edit, toolName(uCommand::CrossLine), toolCaption(uCommand::CrossLine), [this, mode] {
        mode(uCommand::CrossLine)();
        interaction_->StartTrace(TraceKind::Line, interaction_->PointerPoint(), doc_.Plane.base.VanishH, {},
                                 settings_.ColorCrossLine);
    });
    AddAction(edit, QStringLiteral("mnBaseChange"), Qx("WindowBuild", "基準矩形切り替え(&T)"), nullptr);
    connect(actions_[QStringLiteral("mnBaseChange")], &QAction::triggered, this,
            [this] { Run([&] { mnBaseChangeClick(); }); });
    edit->addSeparator();
    AddAction(edit, toolName(uCommand::BaseLineW), toolCaption(uCommand::BaseLineW),
              [this] { mnBaseLineClick(true); });
    AddAction(edit, toolName(uCommand::BaseLineH), toolCaption(uCommand::BaseLineH),
              [this] { mnBaseLineClick(false); });
    AddAction(edit, toolName(uCommand::BaseLineAdjust), toolCaption(uCommand::BaseLineAdjust), [this, mode] {
        if (doc_.Plane.base.BaseLineWSet == 1 || doc_.Plane.base.BaseLineHSet == 1)
            mode(uCommand::BaseLineAdjust)();
    });
    AddAction(edit, toolName(uCommand::BaseUnit), toolCaption(uCommand::BaseUnit),
              mode(uCommand::BaseUnit));
    AddAction(edit, toolName(uCommand::BaseUnitAdjust), toolCaption(uCommand::BaseUnitAdjust), [this, mode] {
        if (doc_.Plane.base.BaseSet == 1)
            mode(uCommand::BaseUnitAdjust)();
    });
    edit->addSeparator();

    QMenu* distance = edit->addMenu(Qx("WindowBuild", "距離を求める(&L)"));
    AddAction(distance, toolName(uCommand::Distance), toolCaption(uCommand::Distance),
              mode(uCommand::Distance));
    AddAction(distance, toolName(uCommand::DistanceAdjust), toolCaption(uCommand::DistanceAdjust),
              mode(uCommand::DistanceAdjust));
    AddAction(distance, toolName(uCommand::DistanceHosei), toolCaption(uCommand::DistanceHosei),
              mode(uCommand::DistanceHosei));
    AddAction(distance, toolName(uCommand::DistanceHoseiDel), toolCaption(uCommand::DistanceHoseiDel),
              mode(uCommand::DistanceHoseiDel));
    AddAction(distance, toolName(uCommand::DistanceDel), toolCaption(uCommand::DistanceDel),
              mode(uCommand::DistanceDel));
    AddAction(distance, QStringLiteral("mnDistanceAllDel"), Qx("WindowBuild", "全て削除する(&R)"),
              [this] { mnDistanceAllDelClick(); });
    distance->addSeparator();
    AddAction(distance, QStringLiteral("mnDistanceMode"), Qx("WindowBuild", "連続モードのON/OFF(&M)"),
              [this] {
                  CheckBox_DistanceMode->setChecked(actions_[QStringLiteral("mnDistanceMode")]->isChecked());
                  SyncToolOptions();
                  SetCommand(Command());
              },
              true);

    QMenu* area = edit->addMenu(Qx("WindowBuild", "面積を求める(&S)"));
    AddAction(area, toolName(uCommand::SpaceAdd), toolCaption(uCommand::SpaceAdd), nullptr);
    AddAction(area, toolName(uCommand::SpaceSub), toolCaption(uCommand::SpaceSub), nullptr);
    for (const uCommand m : {uCommand::SpaceAdd, uCommand::SpaceSub}) {
        connect(actions_[toolName(m)], &QAction::triggered, this, [this, mode, m = m] {
            Run([&] { Guard("mnSpaceCalcuClick", mode(m)); });
        });
    }
    AddAction(area, toolName(uCommand::SpaceAdjust), toolCaption(uCommand::SpaceAdjust),
              mode(uCommand::SpaceAdjust));
    AddAction(area, toolName(uCommand::SpaceHosei), toolCaption(uCommand::SpaceHosei),
              mode(uCommand::SpaceHosei));
    AddAction(area, toolName(uCommand::SpaceHoseiDel), toolCaption(uCommand::SpaceHoseiDel),
              mode(uCommand::SpaceHoseiDel));
    AddAction(area, toolName(uCommand::SpaceSlant), toolCaption(uCommand::SpaceSlant), mode(uCommand::SpaceSlant));
    AddAction(area, toolName(uCommand::SpaceNameUpd), toolCaption(uCommand::SpaceNameUpd),
              mode(uCommand::SpaceNameUpd));
    AddAction(area, toolName(uCommand::SpaceDel), toolCaption(uCommand::SpaceDel),
              mode(uCommand::SpaceDel));
    AddAction(area, QStringLiteral("mnSpaceAllDel"), Qx("WindowBuild", "範囲を全て削除する(&R)"),
              [this] { mnSpaceAllDelClick(); });
    area->addSeparator();
    AddAction(area, QStringLiteral("mnPolygonMode"), Qx("WindowBuild", "多角形モードのON/OFF(&M)"),
              [this] {
                  CheckBox_PolygonMode->setChecked(actions_[QStringLiteral("mnPolygonMode")]->isChecked());
                  SyncToolOptions();
                  SetCommand(Command());
              },
              true);

    QMenu* check = edit->addMenu(Qx("WindowBuild", "検証距離(&K)"));
    AddAction(check, toolName(uCommand::Check), toolCaption(uCommand::Check),
              mode(uCommand::Check));
    AddAction(check, toolName(uCommand::CheckDel), toolCaption(uCommand::CheckDel), mode(uCommand::CheckDel));
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
    // %1 the digit as the words write it, %2 the letter underlined: an
    // English caption needs only the second, which arg() would complain of.
    auto GroupCaption = [](QChar digit, int n) {
        return Qx("WindowBuild", "グループ%1(&%2)").replace(QStringLiteral("%1"), QString(digit)).replace(QStringLiteral("%2"), QString::number(n));
    };
    for (int n = 0; n <= 5; ++n) {
        AddAction(mnGroup, QStringLiteral("mnGroup%1").arg(n), GroupCaption(digits[n], n),
                  nullptr, true);
        connect(actions_[QStringLiteral("mnGroup%1").arg(n)], &QAction::triggered, this,
                [this, n] { Run([&] { mnGroupClick(n); }); });
    }
    edit->addSeparator();
    AddAction(edit, QStringLiteral("mnEffect"), Qx("WindowBuild", "画像処理(&E)"), [this] { mnEffectClick(); });
    AddAction(edit, toolName(uCommand::ImageFix), toolCaption(uCommand::ImageFix), mode(uCommand::ImageFix));
    AddAction(edit, toolName(uCommand::StraightEdge), toolCaption(uCommand::StraightEdge),
              mode(uCommand::StraightEdge));

    QMenu* view = bar->addMenu(Qx("WindowBuild", "表示(&V)"));
    AddAction(view, QStringLiteral("mnZoomAll"), Qx("WindowBuild", "全体表示(&A)"), [this] { ZoomAll(); });
    AddAction(view, toolName(uCommand::ZoomDown), toolCaption(uCommand::ZoomDown), mode(uCommand::ZoomDown));
    AddAction(view, QStringLiteral("mnZoom1"), Qx("WindowBuild", "等倍(&E)"), [this] { mnZoom1Click(); });
    AddAction(view, toolName(uCommand::ZoomUp), toolCaption(uCommand::ZoomUp), mode(uCommand::ZoomUp));
    view->addSeparator();
    const std::pair<const char*, bool ViewToggles::*> toggles[] = {
        {"mnDistanceView", &ViewToggles::DistanceView}, {"mnSpaceView", &ViewToggles::SpaceView},
        {"mnBaseView", &ViewToggles::BaseView},         {"mnTextView", &ViewToggles::TextView},
        {"mnSpaceNameView", &ViewToggles::SpaceNameView}};
    const QString toggleCaptions[] = {Qx("WindowBuild", "２点間距離の表示ON/OFF(&1)"), Qx("WindowBuild", "面積範囲の表示ON/OFF(&2)"),
                                      Qx("WindowBuild", "基準の表示ON/OFF(&3)"), Qx("WindowBuild", "計測値の表示ON/OFF(&4)"),
                                      Qx("WindowBuild", "面積エリア名称の表示ON/OFF(&5)")};
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
    view->addSeparator();
    BuildLensMenu(edit, view);

    mnHelp = bar->addMenu(Qx("WindowBuild", "ﾍﾙﾌﾟ(&H)"));
    mnHelp->setObjectName(QStringLiteral("mnHelp"));
    AddAction(mnHelp, QStringLiteral("mnManual"), Qx("WindowBuild", "操作マニュアル(&M)"), [this] { mnManualClick(); });
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
        // What is typed in one visit of a field is taken back at once.
        const auto typed = [this](const QWidget* w) -> std::optional<FieldText> {
            if (!w)
                return std::nullopt;
            if (w == chCalcEdit_KijunW)
                return FieldText::W;
            if (w == chCalcEdit_KijunH)
                return FieldText::H;
            if (w == chCalcEdit_Tanka)
                return FieldText::Price;
            return std::nullopt;
        };
        if (typed(old) != typed(now) || (now && old != now && typed(now)))
            editor_.VisitField(typed(now));
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

QToolButton* TF001::AddToolButton(const QString& name, const QString& label, bool checkable, const QString& actionName)
{
    auto* b = new QToolButton(Panel2);
    b->setObjectName(name);
    b->setText(label);
    b->setCheckable(checkable);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // A letter is a square; words take the room their text asks for.
    if (label.size() <= 1)
        b->setFixedSize(28, 28);
    else
        b->setMinimumSize(44, 28);
    toolButtons_[name] = b;
    toolActions_[name] = actionName;
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
    // As wide as its widest row in the interface's language: a fixed width
    // clipped the English words and, at a scale of 200 %, the Japanese ones.
    Panel2->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
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
    // The panel's tools fall into what they do; a heading over each group
    // tells the three "adjust" and the two "delete" buttons apart.
    auto heading = [&](const QString& name, const QString& text) {
        auto* label = new QLabel(text, Panel2);
        label->setObjectName(name);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        controls_[name] = label;
        col->addSpacing(4);
        col->addWidget(label);
    };
    auto button = [&](const char* name, const QString& label, bool checkable, const char* action) {
        return AddToolButton(QString::fromLatin1(name), label, checkable, QString::fromLatin1(action));
    };

    line({button("SpeedButton_Open", Qx("ToolPanel", "開く"), false, "mnOpen"),
          button("SpeedButton_Undo", Qx("ToolPanel", "戻す"), false, "mnUndo"),
          button("SpeedButton_Redo", Qx("ToolPanel", "やり直し"), false, "mnRedo")});

    heading(QStringLiteral("Label_ReferenceTools"), Qx("ToolPanel", "基準"));
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
    line({button("SpeedButton_Base", Qx("ToolPanel", "基準矩形"), true, "mnBase"),
          button("SpeedButton_Base1", Qx("ToolPanel", "１点"), true, "mnBase")});
    line({button("SpeedButton_BaseLineW", QStringLiteral("W"), true, "mnBaseLineW"),
          button("SpeedButton_BaseLineH", QStringLiteral("H"), true, "mnBaseLineH"),
          button("SpeedButton_BaseUnit", Qx("ToolPanel", "計測基準"), true, "mnBaseUnit")});
    CheckBox_Lock = new QCheckBox(Qx("WindowBuild", "ロック"), Panel2);
    CheckBox_Lock->setObjectName(QStringLiteral("CheckBox_Lock"));
    CheckBox_Lock->setToolTip(Qx("ToolPanel", "調整で動かした頂点に、もう一方の面の同じ頂点も付いて動く"));
    CheckBox_Lock->setChecked(true);
    controls_[QStringLiteral("CheckBox_Lock")] = CheckBox_Lock;
    connect(CheckBox_Lock, &QCheckBox::toggled, this, [this] { SyncToolOptions(); });
    CheckBox_Snap = new QCheckBox(Qx("WindowBuild", "角に合わせる"), Panel2);
    CheckBox_Snap->setObjectName(QStringLiteral("CheckBox_Snap"));
    CheckBox_Snap->setToolTip(Qx("WindowBuild", "基準矩形の頂点を写真の角に合わせる"));
    controls_[QStringLiteral("CheckBox_Snap")] = CheckBox_Snap;
    connect(CheckBox_Snap, &QCheckBox::toggled, this, [this](bool on) {
        settings_.SnapFlag = on;
        StoreSettings();
    });
    line({CheckBox_Lock, CheckBox_Snap});

    CheckBox_BaseChangeAuto = new QCheckBox(Qx("WindowBuild", "自動"), Panel2);
    CheckBox_BaseChangeAuto->setObjectName(QStringLiteral("CheckBox_BaseChangeAuto"));
    CheckBox_BaseChangeAuto->setToolTip(Qx("ToolPanel", "最初のクリックがある面を今の面にする"));
    controls_[QStringLiteral("CheckBox_BaseChangeAuto")] = CheckBox_BaseChangeAuto;
    connect(CheckBox_BaseChangeAuto, &QCheckBox::toggled, this, [this] { SyncToolOptions(); });
    line({button("SpeedButton_BaseChange", Qx("ToolPanel", "基準切替"), false, "mnBaseChange"), CheckBox_BaseChangeAuto});
    // Which plane of setting 4 the next click measures on.
    auto* planeLabel = new QLabel(Qx("ToolPanel", "今の面"), Panel2);
    planeLabel->setObjectName(QStringLiteral("Label_CurrentPlane"));
    controls_[QStringLiteral("Label_CurrentPlane")] = planeLabel;
    Shape1_BaseChange = new QLabel(Panel2);
    Shape1_BaseChange->setObjectName(QStringLiteral("Shape1_BaseChange"));
    Shape1_BaseChange->setFixedSize(13, 13);
    Shape1_BaseChange->setToolTip(Qx("ToolPanel", "面１"));
    Shape2_BaseChange = new QLabel(Panel2);
    Shape2_BaseChange->setObjectName(QStringLiteral("Shape2_BaseChange"));
    Shape2_BaseChange->setFixedSize(13, 13);
    Shape2_BaseChange->setToolTip(Qx("ToolPanel", "面２"));
    controls_[QStringLiteral("Shape1_BaseChange")] = Shape1_BaseChange;
    controls_[QStringLiteral("Shape2_BaseChange")] = Shape2_BaseChange;
    line({planeLabel, Shape1_BaseChange, Shape2_BaseChange});

    heading(QStringLiteral("Label_MeasureTools"), Qx("ToolPanel", "計測"));
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
        return box;
    };
    CheckBox_DistanceMode = modeBox(Qx("WindowBuild", "連続ﾓｰﾄﾞ"), QStringLiteral("CheckBox_DistanceMode"),
                                    QStringLiteral("mnDistanceMode"));
    line({button("SpeedButton_Distance", Qx("ToolPanel", "距離"), true, "mnDistance"), CheckBox_DistanceMode});
    line({button("SpeedButton_SpaceAdd", Qx("ToolPanel", "加算面積"), true, "mnSpaceAdd"),
          button("SpeedButton_SpaceSub", Qx("ToolPanel", "減算面積"), true, "mnSpaceSub")});
    CheckBox_PolygonMode = modeBox(Qx("WindowBuild", "多角形ﾓｰﾄﾞ"), QStringLiteral("CheckBox_PolygonMode"),
                                   QStringLiteral("mnPolygonMode"));
    line({CheckBox_PolygonMode});

    heading(QStringLiteral("Label_AdjustTools"), Qx("ToolPanel", "調整"));
    line({button("SpeedButton_BaseAdjust", Qx("ToolPanel", "基準矩形"), true, "mnBaseAdjust"),
          button("SpeedButton_BaseLineAdjust", Qx("ToolPanel", "WH"), true, "mnBaseLineAdjust"),
          button("SpeedButton_BaseUnitAdjust", Qx("ToolPanel", "計測基準"), true, "mnBaseUnitAdjust")});
    line({button("SpeedButton_DistanceAdjust", Qx("ToolPanel", "距離"), true, "mnDistanceAdjust"),
          button("SpeedButton_SpaceAdjust", Qx("ToolPanel", "面積"), true, "mnSpaceAdjust")});

    heading(QStringLiteral("Label_DeleteTools"), Qx("ToolPanel", "削除"));
    line({button("SpeedButton_DistanceDel", Qx("ToolPanel", "距離"), true, "mnDistanceDel"),
          button("SpeedButton_SpaceDel", Qx("ToolPanel", "面積"), true, "mnSpaceDel")});

    heading(QStringLiteral("Label_ViewTools"), Qx("ToolPanel", "表示"));
    line({button("SpeedButton_ZoomUp", Qx("ToolPanel", "拡大"), true, "mnZoomUp"),
          button("SpeedButton_ZoomDown", Qx("ToolPanel", "縮小"), true, "mnZoomDown"),
          button("SpeedButton_ZoomAll", Qx("ToolPanel", "全体表示"), false, "mnZoomAll")});
    col->addStretch(1);
    ExplainToolButtons();
}

void TF001::ExplainToolButtons()
{
    for (const auto& [name, action] : toolActions_) {
        if (QAction* a = Action(action))
            toolButtons_[name]->setToolTip(ToolTipOf(a));
    }
    // Both reference buttons trigger one item: the second, in setting 4,
    // lays the two planes' rectangles out around a single click.
    if (QAction* a = Action(QStringLiteral("mnBase"))) {
        const QString keys = KeysFor(a);
        toolButtons_[QStringLiteral("SpeedButton_Base1")]->setToolTip(
            Qx("ToolPanel", "２面の基準矩形を１点のクリックで置く（設定２面同時）") +
            (keys.isEmpty() ? QString() : QStringLiteral(" (") + keys + QLatin1Char(')')));
    }
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
    lensState_ = new QLabel(bar);
    lensState_->setObjectName(QStringLiteral("StatusPanelLens"));
    bar->addPermanentWidget(lensState_);
    bar->installEventFilter(this);
    for (QLabel* panel : statusPanels_)
        panel->installEventFilter(this);
}

} // namespace kvx
