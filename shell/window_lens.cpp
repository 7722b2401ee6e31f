// The lens in the window: which correction the photo's numbers go through,
// chosen from a menu, and the photo shown straightened through it.

#include "shell/main_window.h"

#include "base/error_trail.h"
#include "base/translate.h"
#include "image/straighten.h"
#include "measure/camera_profiles.h"
#include "measure/ideal_view.h"
#include "shell/window_helpers.h"
#include "widgets/words.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kvx {

using namespace window_helpers;

namespace {

// The profiles offered by name: each one's menu item keeps the name it
// stands for, so a choice finds its profile even when the folder changed.
const char* const kProfileNameProperty = "kvxProfileName";

} // namespace

void TF001::BuildLensMenu(QMenu* edit, QMenu* view)
{
    mnLens = edit->addMenu(Qx("WindowLens", "レンズ補正(&O)"));
    mnLens->setObjectName(QStringLiteral("mnLens"));
    mnLens->menuAction()->setObjectName(QStringLiteral("mnLensMenu"));
    actions_[QStringLiteral("mnLensMenu")] = mnLens->menuAction();
    connect(mnLens, &QMenu::aboutToShow, this, [this] { Run([&] { Guard("mnLensClick", [&] { FillLensMenu(); }); }); });

    QAction* straight = AddAction(view, QStringLiteral("mnStraightened"), Qx("WindowLens", "レンズの歪みを補正して表示(&S)"),
                                  [this] { ShowDisplayedPhoto(); }, true);
    straight->setEnabled(false);
    FillLensMenu();
}

void TF001::FillLensMenu()
{
    if (!mnLens)
        return;
    for (QAction* a : mnLens->actions())
        actions_.erase(a->objectName());
    // The menu owns its items and deletes them; the group of the last filling goes with them.
    mnLens->clear();
    for (QActionGroup* old : mnLens->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly))
        delete old;
    auto* group = new QActionGroup(mnLens);
    group->setExclusive(true);
    auto add = [&](const QString& name, const QString& caption, std::function<void()> handler) {
        QAction* a = AddAction(mnLens, name, caption, std::move(handler), true);
        group->addAction(a);
        return a;
    };
    add(QStringLiteral("mnLensAuto"), Qx("WindowLens", "自動（カメラに合うプロファイル）(&A)"), [this] {
        interaction_->EndTool();
        editor_.SetLensChoice(std::nullopt);
        SetCommand(Command());
    });
    mnLens->addSeparator();
    const std::vector<std::pair<std::string, CameraProfile>> profiles = ListProfiles(paths_.folders.ProfilesFolder());
    int n = 0;
    for (const auto& [name, profile] : profiles) {
        ++n;
        // The first nine by their digit, as every item of a menu has its letter.
        const QString caption = n <= 9 ? QStringLiteral("&%1 %2").arg(n).arg(QString::fromStdString(name))
                                       : QString::fromStdString(name);
        QAction* a = add(QStringLiteral("mnLensProfile%1").arg(n), caption, [this, name = name, profile = profile] {
            // The profile as it was read when the menu opened: the same numbers the user was offered.
            LensChoice choice;
            choice.kind = LensChoiceKind::Profile;
            choice.profileName = name;
            choice.model = profile.lens;
            choice.kUncertainty = profile.kUncertainty;
            interaction_->EndTool();
            editor_.SetLensChoice(choice);
            SetCommand(Command());
        });
        a->setProperty(kProfileNameProperty, QString::fromStdString(name));
        // A profile is made for photos of one size: on another its numbers mean another lens.
        const PixelSize stored = doc_.Sensor.stored;
        a->setData(profile.camera.width == stored.width && profile.camera.height == stored.height);
    }
    mnLens->addSeparator();
    add(QStringLiteral("mnLensEdges"), Qx("WindowLens", "写真の直線(&E)"), [this] {
        interaction_->EndTool();
        if (doc_.Lens && doc_.Lens->kind == LensChoiceKind::Edges) {
            SetCommand(Command());
            return;
        }
        // Without edges kept for this photo, the choice is to click them.
        if (lensEdges_.empty()) {
            SetCommand(uCommand::StraightEdge);
            return;
        }
        editor_.UseStraightEdges(lensEdges_);
        SetCommand(Command());
    });
    add(QStringLiteral("mnLensNone"), Qx("WindowLens", "なし(&N)"), [this] {
        interaction_->EndTool();
        editor_.SetLensChoice(LensChoice{});
        SetCommand(Command());
    });
    UpdateLensMenu();
}

void TF001::UpdateLensMenu()
{
    if (!mnLens)
        return;
    const bool photo = HasPhoto();
    mnLens->menuAction()->setEnabled(photo);
    const std::optional<LensChoice>& lens = doc_.Lens;
    for (QAction* a : mnLens->actions()) {
        const QString name = a->objectName();
        if (name.isEmpty())
            continue;
        bool checked = false;
        bool enabled = photo;
        if (name == QStringLiteral("mnLensAuto")) {
            checked = !lens;
            QString caption = Qx("WindowLens", "自動（カメラに合うプロファイル）(&A)");
            if (!doc_.AutoLensName.empty())
                caption += QStringLiteral(": ") + QString::fromStdString(doc_.AutoLensName);
            a->setText(caption);
        } else if (name.startsWith(QStringLiteral("mnLensProfile"))) {
            checked = lens && lens->kind == LensChoiceKind::Profile &&
                      lens->profileName == Utf8(a->property(kProfileNameProperty).toString());
            enabled = photo && a->data().toBool();
        } else if (name == QStringLiteral("mnLensEdges")) {
            checked = lens && lens->kind == LensChoiceKind::Edges;
        } else if (name == QStringLiteral("mnLensNone")) {
            checked = lens && lens->kind == LensChoiceKind::None;
        }
        // A profile chosen before that the folder no longer offers checks
        // nothing here; the status line still names it.
        a->setEnabled(enabled);
        a->setChecked(checked);
    }
    const auto found = actions_.find(QStringLiteral("mnStraightened"));
    if (found == actions_.end())
        return;
    QAction* straight = found->second;
    const bool corrects = photo && CorrectsLens(doc_);
    straight->setEnabled(corrects);
    if (!corrects && straight->isChecked())
        straight->setChecked(false);
}

bool TF001::Straightened() const
{
    const auto it = actions_.find(QStringLiteral("mnStraightened"));
    return it != actions_.end() && it->second->isChecked() && HasPhoto() && CorrectsLens(doc_);
}

TDPoint TF001::DisplayToPhoto(TDPoint p) const
{
    if (!Straightened())
        return p;
    return IdealToShown(doc_, p).value_or(p);
}

TDPoint TF001::PhotoToDisplay(TDPoint p) const
{
    if (!Straightened())
        return p;
    return ShownToIdeal(doc_, p).value_or(p);
}

void TF001::ShowDisplayedPhoto()
{
    if (!HasPhoto())
        return;
    if (!Straightened()) {
        Ik5Disp1->SetPhoto(&photo_.Work());
        showingStraightened_ = false;
        RedrawImage();
        RedrawOverlay();
        return;
    }
    const StraightenedFor key{photo_.Work().Image().cacheKey(), LensInForce(doc_), doc_.Sensor,
                              doc_.Effects.Rotate};
    if (straightenedFor_ != key) {
        Hourglass hourglass;
        QImage image = StraightenedImage(photo_.Work().Image(), doc_, [this](int p) { Progress(p); });
        Progress(0);
        if (image.isNull()) {
            // No memory for a second image of the photo: it stays as taken.
            actions_[QStringLiteral("mnStraightened")]->setChecked(false);
            straightened_ = Photo();
            straightenedFor_.reset();
            Ik5Disp1->SetPhoto(&photo_.Work());
            showingStraightened_ = false;
            RedrawImage();
            RedrawOverlay();
            prompter_->Warn(Tx("WindowLens", "写真を補正して表示するメモリが足りません."));
            return;
        }
        straightened_ = Photo(std::move(image));
        straightenedFor_ = key;
    }
    Ik5Disp1->SetPhoto(&straightened_);
    showingStraightened_ = true;
    RedrawImage();
    RedrawOverlay();
}

void TF001::FollowLens()
{
    // The edges of this photo are remembered across other choices, and
    // forgotten with the photo.
    const std::string photo = doc_.ImageFileName + '\n' + doc_.ImageKey;
    if (photo != lensEdgesOf_) {
        lensEdges_.clear();
        lensEdgesOf_ = photo;
    }
    if (doc_.Lens && doc_.Lens->kind == LensChoiceKind::Edges && !doc_.Lens->edges.empty())
        lensEdges_ = doc_.Lens->edges;
    UpdateLensMenu();
    if (!HasPhoto())
        return;
    const bool wanted = Straightened();
    if (wanted != showingStraightened_ ||
        (wanted && straightenedFor_ != StraightenedFor{photo_.Work().Image().cacheKey(), LensInForce(doc_), doc_.Sensor,
                                                       doc_.Effects.Rotate}))
        ShowDisplayedPhoto();
}

Document TF001::DrawnDocument(const Document& doc) const
{
    if (!Straightened())
        return doc;
    // The marks where the ideal camera has them, drawn straight; the points
    // of the tool under way too, which the view leaves as they were clicked.
    Document ideal = IdealView(doc);
    for (int i = 1; i <= ideal.InputPoints.Count(); ++i)
        ideal.InputPoints[i] = ShownToIdeal(doc, ideal.InputPoints[i]).value_or(ideal.InputPoints[i]);
    return ideal;
}

} // namespace kvx
