#pragma once
// The preview of the program's source, read-only in a fixed-pitch font,
// with "Save As..." to keep it as a plain source file.
#include <QDialog>

#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class QStatusBar;

namespace orvex::screens {

class Session;

class frmPreview : public QDialog {
    Q_OBJECT
public:
    // Shows `lines`; at `line` (1-based) when not 0, that line selected.
    frmPreview(Session& session, const std::vector<std::string>& lines, int line, QWidget* parent = nullptr);

    QPlainTextEdit* txtSource;
    QPushButton* cmdSaveAs;
    QStatusBar* StatusLine;  // where the source was saved

    void cmdSaveAs_Click();

private:
    void showLine(int line);

    Session& session_;
    const std::vector<std::string>& lines_;
};

}  // namespace orvex::screens
