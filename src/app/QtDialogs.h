// Dialogs shown with Qt: message boxes, questions, input boxes and file dialogs. Each file
// dialog starts in the folder last used for its kind of file in this session (the current
// folder before the first); nothing of it is kept between sessions.
#pragma once

#include "support/Dialogs.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>

class QFileDialog;
class QWidget;

namespace app {

class TQtDialogs : public support::Dialogs {
  public:
    explicit TQtDialogs(QWidget *parent) : parent_(parent) {}

    void Message(support::BoxKind kind, const std::string &text,
                 support::BoxButton button) override;
    bool AskYesNo(const std::string &text) override;
    std::string InputBox(const std::string &caption, const std::string &prompt,
                         const std::string &defaultText) override;
    std::vector<std::string> OpenFiles(const std::string &title,
                                       const std::string &filter) override;
    std::optional<std::string> SaveFile(const std::string &title, const std::string &filter,
                                        const std::string &defaultExt) override;

    // A save dialog that proposes a file name (the HT export's 000.ht, 001.ht, ...); a name
    // with a folder starts the dialog in that folder.
    std::optional<std::string> SaveFileProposing(const std::string &title,
                                                 const std::string &filter,
                                                 const std::string &defaultExt,
                                                 const std::string &proposed);

    // "Name|*.a;*.b|Other|*.c" as Qt writes it: "Name (*.a *.b);;Other (*.c)".
    static QString QtFilter(const std::string &filter);

    // The kind of file a dialog is for, from its title, filter and default extension:
    // "projects", "contours", "images", "color models", "HT files", else the filter itself.
    static std::string KindOf(const std::string &title, const std::string &filter,
                              const std::string &defaultExt);
    // The folder the next dialog for `kind` starts in, and the file chosen in one.
    QString StartFolder(const std::string &kind) const;
    void Remember(const std::string &kind, const QString &chosenFile);

    // Shows a prepared file dialog and returns the chosen files (none when cancelled);
    // tests answer in its place without showing it.
    std::function<QStringList(QFileDialog &)> RunFileDialog;

  private:
    QStringList Run(QFileDialog &dialog, const std::string &kind);

    QWidget *parent_;
    std::map<std::string, QString> folders_; // kind -> last folder
};

} // namespace app
