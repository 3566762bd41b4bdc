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
QString Q(const std::string &s) {
    return QString::fromStdString(s);
}
} // namespace

void TQtDialogs::Message(support::BoxKind kind, const std::string &text,
                         support::BoxButton button) {
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
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
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

std::string TQtDialogs::KindOf(const std::string &title, const std::string &filter,
                               const std::string &defaultExt) {
    const QString t = Q(title).toLower(), f = Q(filter).toLower(), ext = Q(defaultExt).toLower();
    auto offers = [&](const char *e) { return ext == e || f.contains(QString("*.") + e); };
    if (offers("cmt"))
        return "color models";
    // Opening and saving a project share their folder; the open filter offers every format.
    if (t.contains("project"))
        return "projects";
    if (ext == "ht" || (f.startsWith("ht") && offers("ht")))
        return "HT files";
    if (offers("bmp") || offers("jpg") || offers("png") || offers("tif"))
        return "images";
    if (t.contains("iso") || t.contains("contour") || offers("kml") || offers("geojson") ||
        offers("shp"))
        return "contours";
    return filter;
}

QString TQtDialogs::StartFolder(const std::string &kind) const {
    auto it = folders_.find(kind);
    return it != folders_.end() ? it->second : QDir::currentPath();
}

void TQtDialogs::Remember(const std::string &kind, const QString &chosenFile) {
    if (!chosenFile.isEmpty())
        folders_[kind] = QFileInfo(chosenFile).absolutePath();
}

QStringList TQtDialogs::Run(QFileDialog &dialog, const std::string &kind) {
    QStringList chosen;
    if (RunFileDialog)
        chosen = RunFileDialog(dialog);
    else if (dialog.exec() == QDialog::Accepted)
        chosen = dialog.selectedFiles();
    if (!chosen.isEmpty())
        Remember(kind, chosen.front());
    return chosen;
}

std::vector<std::string> TQtDialogs::OpenFiles(const std::string &title,
                                               const std::string &filter) {
    const std::string kind = KindOf(title, filter, "");
    QFileDialog dialog(parent_, Q(title), StartFolder(kind), QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    std::vector<std::string> files;
    for (const QString &f : Run(dialog, kind))
        files.push_back(f.toStdString());
    return files;
}

std::optional<std::string> TQtDialogs::SaveFile(const std::string &title, const std::string &filter,
                                                const std::string &defaultExt) {
    return SaveFileProposing(title, filter, defaultExt, "");
}

std::optional<std::string> TQtDialogs::SaveFileProposing(const std::string &title,
                                                         const std::string &filter,
                                                         const std::string &defaultExt,
                                                         const std::string &proposed) {
    const std::string kind = KindOf(title, filter, defaultExt);
    // A proposed name with a folder opens the dialog there; a bare name in the kind's folder.
    const QFileInfo proposal(QDir(StartFolder(kind)), Q(proposed));
    QFileDialog dialog(parent_, Q(title),
                       proposed.empty() ? StartFolder(kind) : proposal.absolutePath(),
                       QtFilter(filter));
    if (!proposed.empty())
        dialog.selectFile(proposal.fileName());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(Q(defaultExt));
    // The program asks about overwriting itself, with its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList chosen = Run(dialog, kind);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.front().toStdString();
}

} // namespace app
