// The tool modes, the W/H/price fields and the commands that change the
// reference or delete measurements.

#include "shell/main_window.h"
#include "widgets/words.h"
#include "base/translate.h"
#include "widgets/results_panel.h"
#include "interact/lens_words.h"
#include "measure/ideal_view.h"
#include "measure/results.h"
#include "measure/cp932.h"
#include "measure/checks.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"

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

#include "measure/uncertainty.h"

#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <stdexcept>

namespace kvx {

using namespace window_helpers;

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
    if (field != chCalcEdit_Tanka)
        sizesTyped_ = true;
    const std::string text = Utf8(field->text());
    editor_.SetFieldText(field == chCalcEdit_KijunW  ? FieldText::W
                         : field == chCalcEdit_KijunH ? FieldText::H
                                                      : FieldText::Price,
                         text);
}

void TF001::SetCalcuText()
{
    interaction_->SetCalcu();
}

void TF001::SetCommand(uCommand mode)
{
    // A found reference on offer is turned down by any other choice of tool.
    DropFound();
    interaction_->SetCommand(mode);
}

void TF001::UpdateEnabling()
{
    const uCommand mode = Command();
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
    UpdateLensMenu();
    // Why the automatic reference is off, for the status bar and the command itself.
    if (const auto it = actions_.find(QStringLiteral("mnDetectReference")); it != actions_.end()) {
        QAction* detect = it->second;
        QString why;
        if (!detect->isEnabled())
            why = !HasPhoto() ? Qx("WindowDetect", "写真を開くと基準を自動検出できます")
                              : Qx("WindowDetect", "設定4では基準を自動検出できません: 2つの面の基準は角の線をはさむ６点で決まります");
        detect->setStatusTip(why);
        detect->setToolTip(why.isEmpty() ? QString(detect->text()).remove(QLatin1Char('&')) : why);
    }
}

void TF001::StepThroughHistory(bool back)
{
    if (back ? !editor_.CanUndo() : !editor_.CanRedo())
        return;
    // The step's setting first, through the same switch the menu makes: the
    // current setting is saved, and when that fails the user may stay.
    const int setting = back ? editor_.UndoSetting() : editor_.RedoSetting();
    if (setting != doc_.CurrentSetting) {
        mnChangeClick(setting);
        if (doc_.CurrentSetting != setting)
            return;
    }
    const uCommand mode = Command();
    if (back)
        editor_.Undo(WorkingFolder(), *prompter_);
    else
        editor_.Redo(WorkingFolder(), *prompter_);
    // The tool stays, without the points entered for the document that was.
    SetCommand(mode);
}

void TF001::UpdateHistoryActions()
{
    auto caption = [](const QString& verb, const std::string& step) {
        return step.empty() ? verb : verb + QStringLiteral("  ") + QString::fromStdString(Tx("Steps", step.c_str()));
    };
    QAction* undo = actions_[QStringLiteral("mnUndo")];
    QAction* redo = actions_[QStringLiteral("mnRedo")];
    undo->setText(caption(Qx("WindowBuild", "元に戻す(&Z)"), editor_.UndoName()));
    redo->setText(caption(Qx("WindowBuild", "やり直し(&Y)"), editor_.RedoName()));
    undo->setEnabled(editor_.CanUndo());
    redo->setEnabled(editor_.CanRedo());
    toolButtons_[QStringLiteral("SpeedButton_Undo")]->setEnabled(editor_.CanUndo());
    toolButtons_[QStringLiteral("SpeedButton_Redo")]->setEnabled(editor_.CanRedo());
}

void TF001::BuildResultsPanel()
{
    results_ = new ResultsPanel(this);
    addDockWidget(Qt::RightDockWidgetArea, results_);
    results_->setVisible(settings_.ResultsPanelFlag);
    actions_[QStringLiteral("mnResultsView")]->setChecked(settings_.ResultsPanelFlag);
    // Closed by its own button: the menu and kvx.ini follow.
    connect(results_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible && !isVisible())
            return;  // the window itself is hiding
        settings_.ResultsPanelFlag = visible;
        StoreSettings();
        actions_[QStringLiteral("mnResultsView")]->setChecked(visible);
        if (visible)
            RefreshResults();
    });
    connect(results_, &ResultsPanel::chosen, this, [this](ResultKind kind, std::int32_t k) {
        Run([&] {
            const TPlaneState& plane = doc_.Plane;
            const std::int32_t group = kind == ResultKind::Area ? plane.Spaces[k].group : plane.Distances[k].group;
            // The mark is drawn only with its group current.
            if (group != doc_.CurrentGroup)
                mnGroupClick(group);
            if (kind == ResultKind::Area)
                editor_.SelectSpace(k);
            else
                editor_.SelectDistance(k);
        });
    });
    connect(results_, &ResultsPanel::renameRequested, this, [this](std::int32_t k) {
        Run([&] {
            if (!doc_.Plane.Spaces.Valid(k))
                return;
            const std::string name = AreaNameFromUtf8(prompter_->RenameArea(
                Tx("Tools", "名称入力"), Tx("Tools", "名称"), Cp932ToUtf8(doc_.Plane.Spaces[k].name)));
            editor_.SetSpaceName(k, name);
        });
    });
    connect(results_, &ResultsPanel::checkLengthRequested, this, [this](std::int32_t k) {
        Run([&] {
            if (!doc_.Plane.Checks.Valid(k))
                return;
            const std::string ask = Tx("Tools", "検証距離") + std::to_string(k) + "\r" +
                                    Tx("Prompts", "実際の長さ (mm) を入力してください");
            if (const std::optional<double> known = AskKnownLength(*this, ask, FormatPlain(doc_.Plane.Checks[k].known)))
                editor_.SetCheckLength(k, *known);
        });
    });
    connect(results_, &ResultsPanel::checkDeleteRequested, this, [this](std::vector<std::int32_t> checks) {
        Run([&] {
            // From the last: each deletion renumbers the checks after it.
            std::sort(checks.rbegin(), checks.rend());
            interaction_->EndTool();
            editor_.Group(Tn("Steps", "検証距離の削除"), [&] {
                for (const std::int32_t k : checks)
                    editor_.DeleteCheck(k);
            });
            SetCommand(Command());
        });
    });
    connect(results_, &ResultsPanel::deleteRequested, this,
            [this](std::vector<std::pair<ResultKind, std::int32_t>> marks) {
                Run([&] {
                    // From the last: each deletion renumbers the marks after it.
                    std::sort(marks.begin(), marks.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
                    interaction_->EndTool();
                    editor_.Group(Tn("Steps", "計測結果の削除"), [&] {
                        for (const auto& [kind, k] : marks) {
                            if (kind == ResultKind::Area)
                                editor_.DeleteSpace(k);
                            else
                                editor_.DeleteDistance(k);
                        }
                    });
                    SetCommand(Command());
                });
            });
}

void TF001::RefreshResults()
{
    if (!results_ || !results_->isVisible())
        return;
    const double sigma = ClickSigma(settings_.ClickSigma);
    const Measured measured(doc_);
    resultTable_.Update(*measured, sigma);
    results_->Show(resultTable_.Rows(), resultTable_.Totals());
    results_->ShowChecks(CheckResults(*measured, sigma));
    SelectCurrentResult();
}

void TF001::SelectCurrentResult()
{
    if (!results_ || !results_->isVisible())
        return;
    // The mark chosen last: the area in an area tool, else the distance when
    // there is one.
    if (Tool(Command()).areaSummary || (Command() == uCommand::None && doc_.CurrentDistance == 0))
        results_->Select(ResultKind::Area, doc_.CurrentSpace);
    else
        results_->Select(ResultKind::Distance, doc_.CurrentDistance);
}

void TF001::DocumentChanged(const ChangeNote& note)
{
    // The rows, with an uncertainty each, are worked out again only when the
    // results may have changed: a point of a command under way, or another
    // mark made current, only moves the selection.
    if (note.flags & (kChangePlanes | kChangeMeasurements | kChangePhoto | kChangeFields)) {
        RefreshResults();
        // The job's totals follow every edit of the photo shown.
        if (HasJob())
            RefreshJobPanel();
    }
    else if (note.flags & (kChangeOverlay | kChangeSummary)) {
        SelectCurrentResult();
        // A price typed is no change of the measurements, but of the job's costs.
        if (HasJob() && KeepJobPrice())
            RefreshJobPanel();
    }
    if (note.flags & kChangeEffects)
        ApplyEffects();
    if (note.flags & kChangeHistory)
        UpdateHistoryActions();
    if (note.flags & (kChangeFields | kChangePlanes))
        SyncFieldsFromDocument();
    if (note.flags & kChangePlanes)
        BaseIndicator();
    if (note.flags & kChangeEnabling)
        UpdateEnabling();
    if (note.flags & (kChangeEnabling | kChangePhoto | kChangeEffects))
        FollowLens();
    if (note.flags & kChangeSummary)
        interaction_->SetCalcu();
    if (note.flags & kChangeOverlay)
        RedrawOverlay();
    if (note.flags & (kChangeOverlay | kChangePhoto | kChangeMeasurements))
        lensState_->setText(QString::fromStdString(LensStateText(doc_)));
    // Every completed change is in the working files a moment later.
    if (note.flags & kChangeMeasurements)
        ScheduleRecovery();
}

void TF001::CommandChanged()
{
    const uCommand mode = Command();
    Label_Tanka->setText(QString::fromStdString(PriceLabel(mode)));
    UpdateEnabling();

    const QString pressed = QString::fromStdString(PressedButton(mode));
    for (auto& [name, button] : toolButtons_) {
        if (button->isCheckable())
            button->setChecked(name == pressed);
    }
    RestoreCursor();
    RedrawOverlay();
    UpdateLoupe(keyPointer_);
    ShowSnap(keyPointer_);
    // Measuring starts: W and H are as the user means them.
    if (referenceToJudge_ && Tool(mode).measuring)
        QTimer::singleShot(0, this, [this] { Run([&] { Guard("JudgeReference", [&] { JudgeReference(); }); }); });
}

void TF001::ReferenceSet()
{
    referenceToJudge_ = true;
    referenceWeak_ = false;
    if (sizesTyped_)
        JudgeReferenceSoon();
}

void TF001::ReferenceAdjusted()
{
    // While W and H are still to be typed the judgement waits for them.
    if (!sizesTyped_ && referenceToJudge_)
        return;
    referenceToJudge_ = true;
    JudgeReferenceSoon();
}

void TF001::JudgeReferenceSoon()
{
    // Judged with the sizes typed before; a reference found sound is judged
    // again should the user type other sizes for it or start measuring.
    QTimer::singleShot(0, this, [this] {
        Run([&] {
            Guard("JudgeReference", [&] {
                JudgeReference();
                referenceToJudge_ = !referenceWeak_;
            });
        });
    });
}

void TF001::JudgeReference()
{
    if (!referenceToJudge_)
        return;
    referenceToJudge_ = false;
    if (!HasPhoto() || photo_.Work().isNull())
        return;
    const TDPoint middle{photo_.Work().Width() / 2.0, photo_.Work().Height() / 2.0};
    const double sigma = ClickSigma(settings_.ClickSigma);
    std::vector<std::string> told;
    auto judge = [&](const Document& d, int plane) {
        const std::optional<ReferenceStrength> s = ReferenceStrengthAt(d, middle, sigma);
        if (s && s->reason != WeakReason::None)
            told.push_back(WeakReferenceWarning(*s, plane));
    };
    const bool two = doc_.CurrentBase == 1 || doc_.CurrentBase == 2;
    judge(doc_, two ? doc_.CurrentBase : 0);
    if (two)
        editor_.WithParkedPlane([&](const Document& parked) { judge(parked, 3 - doc_.CurrentBase); });
    std::sort(told.begin(), told.end());
    std::string text;
    for (const std::string& t : told)
        text += (text.empty() ? "" : "\r\r") + t;
    const bool toldBefore = referenceWeak_;
    referenceWeak_ = !text.empty();
    if (!text.empty() && !toldBefore)
        prompter_->Warn(text);
}

void TF001::RestoreCursor()
{
    switch (Tool(Command()).cursor) {
    case ToolCursor::ZoomIn:
        Ik5Disp1->viewport()->setCursor(ZoomCursor(true));
        break;
    case ToolCursor::ZoomOut:
        Ik5Disp1->viewport()->setCursor(ZoomCursor(false));
        break;
    case ToolCursor::Arrow:
        Ik5Disp1->viewport()->unsetCursor();
        break;
    }
}

void TF001::SyncToolOptions()
{
    interaction_->options.continuous = CheckBox_DistanceMode->isChecked();
    interaction_->options.polygon = CheckBox_PolygonMode->isChecked();
    interaction_->options.autoSwitch = CheckBox_BaseChangeAuto->isChecked();
    interaction_->options.lock = CheckBox_Lock->isChecked();
}

// --- settings, groups, confirmations ---------------------------------------------------------

void TF001::mnBaseLineClick(bool w)
{
    ViewToggles view = doc_.View;
    view.BaseView = true;
    editor_.SetViewToggles(view);
    SetCommand(w ? uCommand::BaseLineW : uCommand::BaseLineH);
    // The length measured on site can be taken from the meter's list.
    if (pd25Lines_.isEmpty())
        return;
    QWidget* button = Control(w ? QStringLiteral("SpeedButton_BaseLineW") : QStringLiteral("SpeedButton_BaseLineH"));
    const QPoint at = button ? button->mapToGlobal(QPoint(0, 0)) : mapToGlobal(QPoint(0, 0));
    const std::optional<int> chosen = prompter_->PickPd25(pd25Lines_, at);
    if (!chosen || *chosen < 0 || *chosen >= pd25Lines_.size())
        return;
    const std::string line = pd25Lines_[*chosen].toStdString();
    const std::optional<std::string> text = Pd25FieldText(line);
    if (!text) {
        prompter_->Warn(Pd25Millimetres(line).refusal);
        return;
    }
    TchCalcEdit* field = w ? chCalcEdit_KijunW : chCalcEdit_KijunH;
    field->setText(QString::fromStdString(*text));
    Edit_KijunChange(field);
}

bool TF001::MarkCancelled(const std::string& question)
{
    return !prompter_->AskYesNo(question);
}

void TF001::mnResetClick()
{
    if (MarkCancelled(Tx("WindowCommands", "現在設定されている基準矩形、基準矩形の交線、計測基準、距離、面積を消去します。よろしいですか？")))
        return;
    interaction_->EndTool();
    editor_.Reset();
    SetCommand(uCommand::None);
}

void TF001::mnBaseClick()
{
    const TPlaneState& p = doc_.Plane;
    const bool ask = p.base.BaseSet == 1 && (p.base.BaseUnitSet == 1 || p.DistanceCount() >= 1 || p.SpaceCount() >= 1);
    if (ask && MarkCancelled(Tx("WindowCommands", "基準矩形を再設定すると基準矩形の交線、計測基準、距離、面積の設定は消去されます.\r"
                             "よろしいですか？"))) {
        SetCommand(uCommand::None);
        return;
    }
    ViewToggles view = doc_.View;
    view.BaseView = true;
    editor_.SetViewToggles(view);
    if (doc_.CurrentBase != 1 && doc_.CurrentBase != 2)
        SetCommand(uCommand::Base);
    else if (base1Down_.value_or(Command() == uCommand::BaseOnePoint))
        SetCommand(uCommand::BaseOnePoint);
    else
        SetCommand(uCommand::BaseSixPoint);
}

void TF001::mnBaseChangeClick()
{
    if (CheckBox_BaseChangeAuto->isChecked())
        return;
    interaction_->EndTool();
    editor_.SwapPlanes();
    SetCommand(Command());
}

void TF001::mnDistanceAllDelClick()
{
    if (MarkCancelled(Tx("WindowCommands", "現在設定されている２点間の距離をすべて消去します。よろしいですか？")))
        return;
    interaction_->EndTool();
    editor_.DeleteAllDistances();
    SetCommand(uCommand::None);
}

void TF001::mnCheckAllDelClick()
{
    if (MarkCancelled(Tx("WindowCommands", "現在設定されている検証距離をすべて消去します。よろしいですか？")))
        return;
    interaction_->EndTool();
    editor_.DeleteAllChecks();
    SetCommand(uCommand::None);
}

void TF001::mnSpaceAllDelClick()
{
    if (MarkCancelled(Tx("WindowCommands", "現在設定されている面積範囲をすべて消去します。よろしいですか？")))
        return;
    interaction_->EndTool();
    editor_.DeleteAllSpaces();
    SetCommand(uCommand::None);
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

} // namespace kvx
