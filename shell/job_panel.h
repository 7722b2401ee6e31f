#pragma once

// The job's photos beside the photo: a thumbnail each (made in the
// background, kept while the program runs), its title, whether its reference
// is set and its totals; under the list the job's totals by group.  The panel
// only shows and asks: the window does what its buttons, clicks and drops ask.

#include <QDockWidget>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <map>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace kvx {

struct JobPanelRow {
    QString title;
    QString file;         // the photo's file where it is now; empty when it was not found
    std::string fingerprint;
    bool reference = false;
    bool current = false;  // the photo open in the window
    QString totals;        // one line
    QString problem;       // why it cannot be opened, when it cannot
};

class JobPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit JobPanel(QWidget* parent = nullptr);

    void SetRows(const std::vector<JobPanelRow>& rows);
    void SetTotals(const QString& text);
    int Count() const;
    int CurrentRow() const;
    // The text a row shows (for tests and the accessible name).
    QString RowText(int row) const;
    QListWidget* List() const { return list_; }
    // Whether the thumbnail of a row has come in.
    bool HasThumbnail(int row) const;

signals:
    void photoChosen(int row);
    void addRequested();
    void filesDropped(const QStringList& files);
    void moveRequested(int row, int to);
    void renameRequested(int row);
    void removeRequested(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Thumbnail(int row, const QString& file, const std::string& fingerprint);
    void UpdateButtons();

    QListWidget* list_ = nullptr;
    QLabel* totals_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* rename_ = nullptr;
    bool filling_ = false;
    // Thumbnails by the photo's fingerprint: a photo's bytes never change under it.
    std::map<std::string, QIcon> thumbnails_;
    std::map<std::string, bool> asked_;
    std::vector<std::string> rowPrints_;
};

} // namespace kvx
