#include "screens/QtPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "screens/Session.h"

namespace orvex::screens {

namespace {

// A message's text as a box shows it: its CR LF line ends as LF.
QString boxText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

// Shows the box until it is answered. Application-modal: window-modal would
// block only the box's parent chain, and nothing when it has no parent, so
// the user could edit on and stack a second box. The arrow comes back while
// the user reads.
int runBox(QMessageBox& box) {
    box.setWindowModality(Qt::ApplicationModal);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int chosen = box.exec();
    QApplication::restoreOverrideCursor();
    return chosen;
}

}  // namespace

std::pair<QString, QString> splitDetail(const std::string& detail) {
    const QString all = QString::fromStdString(detail).trimmed();
    const auto end = all.indexOf(QLatin1Char('\n'));
    if (end < 0) return {all, QString()};
    return {all.left(end).trimmed(), all.mid(end + 1).trimmed()};
}

void MessageBoxPrompter::show(const sap::Message& message) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(message.title), boxText(message.text), QMessageBox::Ok,
                    session_.dialogOwner());
    box.setObjectName(QStringLiteral("Message"));
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    if (message.style & sap::kCritical) box.setIcon(QMessageBox::Critical);
    else if (message.style & sap::kInformation) box.setIcon(QMessageBox::Information);
    // The reason stands under the text at once; what follows it is for the
    // technically minded, behind "Show Details...".
    const auto [reason, technical] = splitDetail(message.detail);
    box.setInformativeText(reason);
    if (!technical.isEmpty()) box.setDetailedText(technical);
    if (message.style & sap::kRightAligned) {
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    runBox(box);
}

bool MessageBoxPrompter::ask(const sap::Message& question, const std::string& accept) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(question.title), boxText(question.text),
                    QMessageBox::NoButton, session_.dialogOwner());
    box.setObjectName(QStringLiteral("Question"));
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QPushButton* yes = box.addButton(QString::fromStdString(accept), QMessageBox::AcceptRole);
    QPushButton* no = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    runBox(box);
    return box.clickedButton() == yes;
}

Prompter::SaveChoice MessageBoxPrompter::askSave(const sap::Message& question) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(question.title), boxText(question.text),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, session_.dialogOwner());
    box.setObjectName(QStringLiteral("SaveQuestion"));
    // Access keys, so that the keyboard answers as quickly as the mouse.
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    const int chosen = runBox(box);
    if (chosen == QMessageBox::Save) return SaveChoice::Save;
    if (chosen == QMessageBox::Discard) return SaveChoice::Discard;
    return SaveChoice::Cancel;
}

std::string FileDialogs::designFile(bool save) {
    const QString filter = QStringLiteral("ORVEX design (*.json);;All files (*)");
    const QString start = session_.proposedDesignPath();
    return (save ? saveFileDialog(session_.dialogOwner(), QStringLiteral("Save Design"), filter,
                                  QStringLiteral("json"), start)
                 : QFileDialog::getOpenFileName(session_.dialogOwner(), QStringLiteral("Open Design"),
                                                QFileInfo(start).path(), filter))
        .toStdString();
}

std::string FileDialogs::exportFolder() {
    return QFileDialog::getExistingDirectory(session_.dialogOwner(), QStringLiteral("Export for abapGit"))
        .toStdString();
}

std::string FileDialogs::sourceFile() {
    return saveFileDialog(session_.dialogOwner(), QStringLiteral("Save As"),
                          QStringLiteral("ABAP source (*.abap);;All files (*)"), QStringLiteral("abap"))
        .toStdString();
}

QString saveFileDialog(QWidget* owner, const QString& title, const QString& filter, const QString& suffix,
                       const QString& start) {
    QFileDialog dialog(owner, title, QString(), filter);
    if (!start.isEmpty()) {
        const QFileInfo at(start);
        dialog.setDirectory(at.isDir() ? start : at.path());
        if (!at.isDir()) dialog.selectFile(at.fileName());
    }
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without a suffix gets it; the dialog asks before it
    // replaces a file, the suffixed one included.
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace orvex::screens
