#pragma once
// Two small dialogs of "Generate Program": the transport request a
// transportable package records the program on, and SAP's check-run and
// activation messages, each of which opens the source at its line.
#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include "sap/InstallProgram.h"

class QPushButton;
class QTreeWidget;

namespace orvex::screens {

class ListBox;

class frmTransport : public QDialog {
    Q_OBJECT
public:
    // `requests` as the transport check lists them ("DEVK900123 Text");
    // `remembered` (a request number) is selected when it is among them,
    // else the first.
    frmTransport(const std::string& package, const std::vector<std::string>& requests, const std::string& remembered,
                 QWidget* parent = nullptr);

    ListBox* lstRequests;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // The chosen request's number ("" when none is selected).
    std::string request() const;
};

class frmSapMessages : public QDialog {
    Q_OBJECT
public:
    // `openAt` shows the source at a line (1-based); a double-click on a
    // message calls it with the message's line.
    frmSapMessages(const std::vector<sap::SapMessage>& messages, std::function<void(int line)> openAt,
                   QWidget* parent = nullptr);

    QTreeWidget* lstMessages;  // Type, Line, Column, Text
    QPushButton* cmdClose;

private:
    std::function<void(int)> openAt_;
};

}  // namespace orvex::screens
