#pragma once

// Everything the window asks of the user or tells the user goes through this
// narrow interface, so flows run in tests with scripted answers.

#include "measure/workfiles.h"

#include <QString>

#include <optional>
#include <string>

class QWidget;

namespace kvx {

class Prompter : public WorkFileUi {
public:
    // Warn and AskYesNo come from WorkFileUi (messages in UTF-8; "\r" breaks a line).
    virtual void Info(const std::string& message) = 0;
    virtual void Error(const std::string& message) = 0;
    // The photo chosen in the open dialog, starting in folder; nothing on cancel.
    virtual std::optional<QString> OpenPhoto(const QString& folder) = 0;
};

// Qt's standard message boxes and file dialog, owned by the main window.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent) : parent_(parent) {}
    void Warn(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    void Info(const std::string& message) override;
    void Error(const std::string& message) override;
    std::optional<QString> OpenPhoto(const QString& folder) override;

private:
    QWidget* parent_;
};

// A message as a message box shows it: our texts break lines with "\r".
QString BoxText(const std::string& message);

} // namespace kvx
