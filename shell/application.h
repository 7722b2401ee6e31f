#pragma once

#include <QApplication>

namespace kvx {

// The application object: an error that reaches the event loop is shown in the
// standard error box and the program goes on.
class KalvexApplication : public QApplication {
public:
    KalvexApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace kvx
