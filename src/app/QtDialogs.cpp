#include "app/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

namespace app {

namespace {
QString Q(const std::string &s) { return QString::fromStdString(s); }
} // namespace

void TQtDialogs::Message(support::BoxKind kind, const std::string &text, support::BoxButton button) {
    QMessageBox::Icon icon = kind == support::BoxKind::Error     ? QMessageBox::Critical
                             : kind == support::BoxKind::Warning ? QMessageBox::Warning
                                                                 : QMessageBox::Information;
    QMessageBox box(icon, QApplication::applicationName(), Q(text),
                    button == support::BoxButton::Cancel ? QMessageBox::Cancel : QMessageBox::Ok,
                    parent_);
    box.exec();
}

bool TQtDialogs::AskYesNo(const std::string &text) {
    return QMessageBox::warning(parent_, QApplication::applicationName(), Q(text),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

std::string TQtDialogs::InputBox(const std::string &caption, const std::string &prompt,
                                 const std::string &defaultText) {
    bool ok = false;
    QString answer = QInputDialog::getText(parent_, Q(caption), Q(prompt), QLineEdit::Normal,
                                           Q(defaultText), &ok);
    return ok ? answer.toStdString() : defaultText;
}

QString TQtDialogs::QtFilter(const std::string &filter) {
    QStringList parts = Q(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + parts[i + 1].split(';').join(' ') + ")";
    return out.join(";;");
}

std::vector<std::string> TQtDialogs::OpenFiles(const std::string &title, const std::string &filter) {
    std::vector<std::string> files;
    for (const QString &f : QFileDialog::getOpenFileNames(parent_, Q(title), QDir::currentPath(),
                                                          QtFilter(filter)))
        files.push_back(f.toStdString());
    return files;
}

std::optional<std::string> TQtDialogs::SaveFile(const std::string &title, const std::string &filter,
                                                const std::string &defaultExt) {
    return SaveFileProposing(title, filter, defaultExt, "");
}

std::optional<std::string> TQtDialogs::SaveFileProposing(const std::string &title, const std::string &filter,
                                                         const std::string &defaultExt,
                                                         const std::string &proposed) {
    // A proposed name with a folder opens the dialog there; a bare name in the current folder.
    const QFileInfo proposal(QDir::current(), Q(proposed));
    QFileDialog dialog(parent_, Q(title),
                       proposed.empty() ? QDir::currentPath() : proposal.absolutePath(),
                       QtFilter(filter));
    if (!proposed.empty())
        dialog.selectFile(proposal.fileName());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(Q(defaultExt));
    // The program asks about overwriting itself, with its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

} // namespace app
