#pragma once
// How the session layer talks to the user: one message, a question with one
// button to accept, the save question. The screens pass in message boxes;
// tests pass in answers of their own.
#include <string>

#include "sap/Messages.h"

namespace orvex::session {

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void show(const sap::Message& message) = 0;
    // Asks a question with the buttons `accept` and "Cancel", Cancel the
    // default (Enter and Escape choose it); true when `accept` was chosen.
    virtual bool ask(const sap::Message& question, const std::string& accept) = 0;
    // Asks whether to save changes before they would be left behind: Save,
    // Discard or Cancel (the default; Escape chooses it).
    enum class SaveChoice { Save, Discard, Cancel };
    virtual SaveChoice askSave(const sap::Message& question) = 0;
};

}  // namespace orvex::session
