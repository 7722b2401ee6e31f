#pragma once

// What the empty photo area shows before any photo is open: how to begin
// (open a photo, drag one in) and the photos opened last, each a click away.

#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kvx {

class StartHint : public QWidget {
    Q_OBJECT
public:
    explicit StartHint(QWidget* parent);

    // The recent photos offered, newest first; those that no longer exist are left out.
    void SetRecent(const QStringList& paths);
    const QStringList& Recent() const { return recent_; }

signals:
    void openRequested();
    void recentChosen(const QString& path);

private:
    QPushButton* open_ = nullptr;
    QLabel* recentHeading_ = nullptr;
    QVBoxLayout* recentList_ = nullptr;
    QStringList recent_;
};

} // namespace kvx
