#include "screens/frmPreview.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include "common/platform/AtomicFile.h"
#include "generator/Generator.h"
#include "screens/ListBox.h"
#include "screens/Session.h"
#include "screens/Widgets.h"

namespace orvex::screens {

frmPreview::frmPreview(Session& session, const std::vector<std::string>& lines, int line, QWidget* parent)
    : QDialog(parent), session_(session), lines_(lines) {
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Preview"));
    QString text;
    for (const auto& each : lines) {
        text += toQ(each);
        text += QLatin1Char('\n');
    }
    txtSource = new QPlainTextEdit(this);
    txtSource->setObjectName(QStringLiteral("txtSource"));
    txtSource->setReadOnly(true);
    txtSource->setLineWrapMode(QPlainTextEdit::NoWrap);
    // ABAP source reads in columns: ask for a fixed-pitch font, whichever
    // family the system's font configuration answers with.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    txtSource->setFont(fixed);
    txtSource->setPlainText(text);
    // The keyboard moves through the source (PageDown, Ctrl+End, the
    // arrows) and selects in it, as the mouse does; the text has the focus.
    txtSource->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtSource->setFocus(Qt::OtherFocusReason);
    if (line > 0) showLine(line);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    StatusLine = makeStatusLine(this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    cmdSaveAs = close->addButton(QStringLiteral("Save As..."), QDialogButtonBox::ActionRole);
    cmdSaveAs->setObjectName(QStringLiteral("cmdSaveAs"));
    connect(cmdSaveAs, &QPushButton::clicked, this, &frmPreview::cmdSaveAs_Click);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtSource);
    layout->addWidget(close);
    layout->addWidget(StatusLine);
    resize(820, 640);
}

void frmPreview::showLine(int line) {
    // The line a message names, selected, in view once the dialog shows.
    QTextCursor at(txtSource->document()->findBlockByNumber(line - 1));
    at.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    txtSource->setTextCursor(at);
    txtSource->centerCursor();
}

void frmPreview::cmdSaveAs_Click() {
    // The plain source file, every line followed by LF, as it is sent to SAP.
    const QString path = session_.fileToSave(session_.chooseSourceFile(), QStringLiteral("abap"));
    if (path.isEmpty()) return;
    if (const Status written = writeFileAtomically(toStd(path), programText(lines_), 0644); !written) {
        StatusLine->clearMessage();
        session_.message("The source could not be saved.\r\n" + written.failure().text(), sap::kCritical);
        return;
    }
    StatusLine->showMessage(QStringLiteral("Source saved to ") +
                            QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

}  // namespace orvex::screens
