#include "window_fixture.h"

#include "image/photo.h"
#include "measure/cp932.h"
#include "view/view_mapping.h"

#include <QFile>
#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

namespace kvx::test {

AppPaths Fixture::Paths() const
{
    AppPaths p;
    p.folders = ResolveFolders(home.path().toStdString(), nullptr, "/nonexistent");
    p.resourceFolder = resources.path();
    return p;
}

TF001& Fixture::Open()
{
    auto scripted = std::make_unique<ScriptedPrompter>();
    prompter = scripted.get();
    window = std::make_unique<TF001>(Paths(), std::move(scripted));
    window->resize(900, 700);
    window->show();
    QCoreApplication::processEvents();
    return *window;
}

TF001& Fixture::OpenWith(const QString& name, QColor colour, QSize size)
{
    TF001& w = Open();
    w.LoadFile(Photo(name, colour, size));
    return w;
}

void Fixture::Close()
{
    window->close();
    window.reset();
}

QString Fixture::Photo(const QString& name, QColor colour, QSize size) const
{
    QImage image(size, QImage::Format_RGB888);
    image.fill(colour);
    const QString path = home.filePath(name);
    kvx::Photo(image).SaveJpeg(path);
    return path;
}

QPoint Screen(TF001& w, TDPoint p)
{
    const TPoint s = WtoS(w.Display()->State(), p);
    return {s.x, s.y};
}

void ClickAt(TF001& w, TDPoint p)
{
    QTest::mouseClick(w.Display()->viewport(), Qt::LeftButton, {}, Screen(w, p));
}

void Set(TF001& w, const std::function<void(Document&)>& change)
{
    EditorTestAccess::Stage(w.Edit(), kChangeAll, change);
}

ModalScript::ModalScript(std::vector<Step> steps) : steps_(steps.begin(), steps.end())
{
    connect(&timer_, &QTimer::timeout, this, [this] { Next(); });
    timer_.start(20);
}

void ModalScript::Next()
{
    QWidget* top = QApplication::activeModalWidget();
    if (top && top->isVisible() && !steps_.empty() && steps_.front()(top)) {
        steps_.pop_front();
        idle_ = 0;
        return;
    }
    if (top && ++idle_ > 250) {
        stuck_ = true;
        if (auto* dialog = qobject_cast<QDialog*>(top))
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    }
}

ModalScript::Step SaveAs(const QString& name, const QString& filter)
{
    auto stood = std::make_shared<int>(0);
    return [=](QWidget* top) {
        auto* dialog = qobject_cast<QFileDialog*>(top);
        auto* edit = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!edit)
            return false;
        if (!filter.isEmpty() && dialog->selectedNameFilter() != filter)
            dialog->selectNameFilter(filter);
        if (edit->text() != name) {
            // Typed as a user types, into the focused field: a field without
            // focus is overwritten by the dialog's own completion.
            QApplication::setActiveWindow(dialog);
            edit->setFocus();
            edit->clear();
            QTest::keyClicks(edit, name);
            *stood = 0;
            return false;
        }
        if (++*stood < 5)
            return false;
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        return true;
    };
}

ModalScript::Step Answer(QMessageBox::StandardButton button, QStringList& seen)
{
    return [button, &seen](QWidget* top) {
        auto* box = qobject_cast<QMessageBox*>(top);
        if (!box || !box->button(button))
            return false;
        seen << box->text();
        QMetaObject::invokeMethod(box->button(button), "click", Qt::QueuedConnection);
        return true;
    };
}

void MarkReference(Document& doc)
{
    SetReferenceRect(doc, {TDPoint{100, 100}, {300, 110}, {290, 250}, {110, 240}}, true);
}

void Repaint(TF001& w)
{
    w.Display()->RedrawOverlay();
    w.Display()->viewport()->repaint();
}

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::map<QString, QByteArray> Snapshot(const QString& folder)
{
    std::map<QString, QByteArray> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.toStdString()))
        files[QString::fromStdString(entry.path().filename().string())] = Bytes(QString::fromStdString(entry.path().string()));
    return files;
}

void Measure(TF001& w)
{
    Set(w, [&](Document& d) { MarkReference(d); });
    Set(w, [&](Document& d) { d.Plane.Distances.Append(TDistance{0, {120, 120}, {200, 130}}); });
    TSpace s;
    s.kind = kSpaceAdd;
    s.points = {{150, 150}, {250, 150}, {250, 220}, {150, 220}, {150, 150}};
    s.correctedPoints.resize(5);
    s.name = AreaNameFromUtf8("外壁");
    Set(w, [&](Document& d) { d.Plane.Spaces.Append(s); });
    Set(w, [&](Document& d) { d.Modified = 1; });
    w.SetCommand(uCommand::None);
}

std::pair<int, QByteArray> Tool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return {-1, {}};
    return {p.exitCode(), p.readAllStandardOutput()};
}

Homography ReferenceModel()
{
    return Homography::FromCorners({TDPoint{0, 1000}, {1000, 1000}, {1000, 0}, {0, 0}},
                                   {TDPoint{100, 100}, {300, 110}, {290, 250}, {110, 240}});
}

double PlaneLength(const Homography& H, TDPoint a, TDPoint b)
{
    const TDPoint pa = H.Unmap(a), pb = H.Unmap(b);
    return std::hypot(pa.x - pb.x, pa.y - pb.y);
}

double PlaneArea(const Homography& H, const std::vector<TDPoint>& outline)
{
    double twice = 0;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const TDPoint p = H.Unmap(outline[i]), q = H.Unmap(outline[(i + 1) % outline.size()]);
        twice += p.x * q.y - q.x * p.y;
    }
    return std::fabs(twice) / 2 / 1e6;
}

} // namespace kvx::test
