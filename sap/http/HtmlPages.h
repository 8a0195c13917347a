#pragma once
// What an HTML page an HTTP server answers with says, for the messages of
// the HTTP roads.
#include <string>

namespace orvex::sap {

// The first line of text of an HTML page's body, other than `status` (the
// page's heading mostly repeats the status line); for a body that is no
// markup, its first line. "" when there is none. HTML pages are seldom
// well-formed XML: what parses up to the first fault is enough for the first
// lines.
std::string firstTextLine(const std::string& page, const std::string& status);

// SAP's logon page: some systems answer a refused logon with 403 and this page.
bool isLogonPage(const std::string& body);

}  // namespace orvex::sap
