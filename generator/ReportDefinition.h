#pragma once
// The report being designed: its attributes and the parallel lists the
// wizard screens fill. Table, field and operator texts are held trimmed
// (withTrimmedNames); padding belongs to where a name is shown or sent.
// Settings texts and "SELSCR" stay exactly as the screens write them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"

namespace orvex {

// The field that gives an amount its currency or a quantity its unit, as the
// dictionary links them (REFTABLE / REFFIELD of the amount or quantity).
struct ValueReference {
    enum Kind { Currency, Unit };
    Kind kind = Currency;
    std::string table;  // trimmed
    std::string field;  // trimmed
    bool operator==(const ValueReference&) const = default;
};

// One picked output field (lstFinalTABS / lstSelFields / lstSelFldsDesc).
struct PickedField {
    std::string table;
    std::string field;
    std::string description;  // long field label, may be empty
    // How the ALV shows the column: its place among the sort columns (0: not
    // sorted; 1 sorts first), descending instead of ascending, a subtotal at
    // each change of its value, and a total of the column (numeric fields).
    int sortPosition = 0;
    bool sortDescending = false;
    bool subtotal = false;
    bool total = false;
    // The dictionary's long label of the field when it was picked ("" when
    // unknown): a description equal to it is the dictionary's own text, one
    // that differs was typed.
    std::string dictionaryLabel{};
    // An amount's currency field or a quantity's unit field; none for other
    // fields, and where the dictionary names none.
    std::optional<ValueReference> reference{};
    bool operator==(const PickedField&) const = default;
};

// One input of the generated selection screen
// (lstSelSCRTAB / lstSELSCRFLD / lstSELSCRDESC / lstSELSCRPARAM).
struct SelectionEntry {
    std::string table;
    std::string field;
    std::string description;
    std::string settings;     // "P;N;", "S;R;1000", ...: kind;required;default
    std::string dictionaryLabel{};  // as PickedField::dictionaryLabel
    bool operator==(const SelectionEntry&) const = default;
};

// How a join condition joins its table: rows of both tables that match, or
// every row of the table already read with the matching rows of the joined
// table (its fields initial where none matches).
enum class JoinType { Inner, LeftOuter };

// One condition row (lstLftTAB / lstLFTFLD / List1 / lstRTTAB / lstRTFLD).
struct Condition {
    std::string leftTable;
    std::string leftField;
    std::string op;           // "=", "<>", "<", ">"
    std::string rightTable;   // a table, or exactly "SELSCR"
    std::string rightField;
    JoinType join = JoinType::Inner;  // for a join condition; a filter ignores it
    bool operator==(const Condition&) const = default;
};

// The kind of ABAP the generator writes: the classic program (FORM routines,
// the REUSE_ALV function modules), or the same report in ABAP 7.40 syntax
// with a local class and the SALV object model.
enum class CodeStyle { Classic, Modern };

// Where the program takes the texts of its columns and inputs from: the
// descriptions as literals, or the dictionary's labels in the user's logon
// language wherever a description is the dictionary's own label (the others
// becoming text symbols that can be translated).
enum class TextSource { Literal, Dictionary };

inline constexpr const char* kSelectionScreenMarker = "SELSCR";
inline constexpr const char* kInitialHeading = "<Report Heading>";
// The largest row limit: UP TO takes a four-byte integer.
inline constexpr long long kMaxRowLimit = 2147483647;
// The row limit a new report starts with.
inline constexpr int kDefaultRowLimit = 500;

struct ReportDefinition {
    std::string name;          // txtName
    std::string description;   // txtDescription
    std::string company;       // txtCompName
    // Author for the source header. Absent means "take the SAP user ID of
    // the settings", which the caller resolves before generating.
    std::optional<std::string> author;
    bool grid = true;          // Option2
    bool printHeading = false; // Check1
    std::string heading = kInitialHeading;  // Text1
    bool unicodeCheck = false; // Check2

    std::vector<PickedField> fields;
    std::vector<SelectionEntry> selection;
    std::vector<Condition> conditions;

    // Where the program is created in SAP: the package ("$TMP" keeps it a
    // local object), and the transport request last chosen for it ("" when
    // none was asked for).
    std::string package = "$TMP";
    std::string transport;

    // The tables chosen on the table screen, in order, trimmed, where they
    // are not just those of the picked fields in the order these name them
    // (a design left before its fields were picked); empty otherwise. The
    // generator reads the fields' tables only.
    std::vector<std::string> tables;

    // The code style of the program (optClassic / optModern).
    CodeStyle style = CodeStyle::Classic;

    // A layout parameter on the selection screen: the user picks a saved ALV
    // layout (value help), the default layout is proposed, and every user
    // may save layouts.
    bool layoutVariant = false;
    // A parameter limiting the rows read, with this default (0 reads every
    // row); none when absent.
    std::optional<long long> maxRows;
    // Whether the program checks, before it reads a row, that the user may
    // display each table it reads, as the standard table display does. None
    // leaves it to the code style (the classic program does not check, the
    // modern one does): what a design file without the key holds. A new
    // design checks.
    std::optional<bool> authorityCheck = true;
    // Whether the list shows each amount with its currency and each quantity
    // with its unit (the reference fields of the picked fields). None leaves
    // it to the code style (the modern list shows them, the classic one only
    // when asked to).
    std::optional<bool> references{};
    // Where the texts come from; none leaves it to the code style (literals
    // in the classic program, the dictionary in the modern one).
    std::optional<TextSource> texts{};

    bool operator==(const ReportDefinition&) const = default;
};

// Whether the program of the design checks the user's table authorisations.
inline bool checksAuthority(const ReportDefinition& design) {
    return design.authorityCheck.value_or(design.style == CodeStyle::Modern);
}

// Whether the list of the design shows amounts and quantities with their
// currency and unit fields.
inline bool showsReferences(const ReportDefinition& design) {
    return design.references.value_or(design.style == CodeStyle::Modern);
}

// Where the program of the design takes its texts from.
inline TextSource textSource(const ReportDefinition& design) {
    return design.texts.value_or(design.style == CodeStyle::Modern ? TextSource::Dictionary : TextSource::Literal);
}

// The design with the blanks around its table, field and operator texts
// taken away (descriptions and settings texts stay as they are). Design
// files and the screens' lists may carry table names padded to 40
// characters; the model holds them trimmed.
ReportDefinition withTrimmedNames(ReportDefinition design);

// Settings-text helpers; the readers test single characters, case-sensitively,
// and count characters, not bytes: a default value that starts with a
// character of several bytes is never cut inside it.
// Character n (from 1) of the settings text, empty past its end.
inline std::string_view settingsCharacter(const std::string& settings, std::size_t n) {
    const std::string_view before = text::prefix(settings, n - 1);
    return text::prefix(std::string_view(settings).substr(before.size()), 1);
}
inline bool isSelectOption(const std::string& settings) { return settingsCharacter(settings, 1) == "S"; }
inline bool isRequired(const std::string& settings) { return settingsCharacter(settings, 3) == "R"; }
// The default value: the settings text from its fifth character on (a view into `settings`).
inline std::string_view defaultValue(const std::string& settings) {
    return std::string_view(settings).substr(text::prefix(settings, 4).size());
}

}  // namespace orvex
