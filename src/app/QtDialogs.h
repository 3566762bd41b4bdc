// Dialogs shown with Qt: message boxes, questions, input boxes and file dialogs that start
// in the current folder.
#pragma once

#include "support/Dialogs.h"

#include <QString>

class QWidget;

namespace app {

class TQtDialogs : public support::Dialogs {
  public:
    explicit TQtDialogs(QWidget *parent) : parent_(parent) {}

    void Message(support::BoxKind kind, const std::string &text, support::BoxButton button) override;
    bool AskYesNo(const std::string &text) override;
    std::string InputBox(const std::string &caption, const std::string &prompt,
                         const std::string &defaultText) override;
    std::vector<std::string> OpenFiles(const std::string &title, const std::string &filter) override;
    std::optional<std::string> SaveFile(const std::string &title, const std::string &filter,
                                        const std::string &defaultExt) override;

    // A save dialog that proposes a file name (the HT export's 000.ht, 001.ht, ...); a name
    // with a folder starts the dialog in that folder.
    std::optional<std::string> SaveFileProposing(const std::string &title, const std::string &filter,
                                                 const std::string &defaultExt, const std::string &proposed);

    // "Name|*.a;*.b|Other|*.c" as Qt writes it: "Name (*.a *.b);;Other (*.c)".
    static QString QtFilter(const std::string &filter);

  private:
    QWidget *parent_;
};

} // namespace app
