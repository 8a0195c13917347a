#!/usr/bin/env bash
# orvex-cli generate and export as a user runs them: output to standard output and to a
# file, and refusals that write nothing and exit with status 2.
# Usage: cli_test.sh ORVEX_CLI TEST_DATA_DIR
set -uo pipefail
cli=$1
data=$2
source "$(dirname "$0")/../support/checks.sh"

"$cli" generate "$data/designs/grid_heading.json" >"$work/stdout.abap"
check "generate to standard output" cmp -s "$work/stdout.abap" "$data/golden/grid_heading.abap"

# A link planted at a fixed temporary name is not written through.
echo "victim" >"$work/victim"
ln -s "$work/victim" "$work/out.abap.tmp"
"$cli" generate "$data/designs/list_plain.json" -o "$work/out.abap"
check "generate to a file" cmp -s "$work/out.abap" "$data/golden/list_plain.abap"
check "generate writes through no planted link" test "$(cat "$work/victim")" = "victim"

# A refused design: exit 2, one line on standard error, no file, nothing on standard output.
printf '{"name": "ZEMPTY", "fields": []}' >"$work/empty.json"
"$cli" generate "$work/empty.json" -o "$work/refused.abap" >"$work/refused.out" 2>"$work/refused.err"
check "refusal exits with 2" test $? -eq 2
check "refusal writes no file" test ! -e "$work/refused.abap"
check "refusal prints nothing" test ! -s "$work/refused.out"
check "refusal says why in one line" test "$(wc -l <"$work/refused.err")" -eq 1
check "refusal names the reason" grep -q "no output field" "$work/refused.err"

# A refused design leaves an existing output file as it was.
echo "keep" >"$work/kept.abap"
"$cli" generate "$work/empty.json" -o "$work/kept.abap" 2>/dev/null
check "refusal keeps an existing file" test "$(cat "$work/kept.abap")" = "keep"

printf '{"fields": [{"table": 1}]}' >"$work/bad.json"
"$cli" generate "$work/bad.json" 2>"$work/bad.err" >/dev/null
check "malformed design exits with 2" test $? -eq 2
check "malformed design names the place" grep -q "fields\[0\].table: expected a string" "$work/bad.err"

# The code style: the design file's "style", which --style overrides.
"$cli" generate "$data/designs/grid_heading.json" --style modern -o "$work/modern.abap"
check "--style modern writes the modern program" cmp -s "$work/modern.abap" "$data/golden/modern/grid_heading.abap"
sed 's/"unicode_check": false,/"unicode_check": false, "style": "modern",/' "$data/designs/grid_heading.json" >"$work/modern.json"
"$cli" generate "$work/modern.json" -o "$work/from_file.abap"
check "a modern design writes the modern program" cmp -s "$work/from_file.abap" "$data/golden/modern/grid_heading.abap"
"$cli" generate "$work/modern.json" --style classic -o "$work/classic.abap"
check "--style classic overrides the design" cmp -s "$work/classic.abap" "$data/golden/grid_heading.abap"
"$cli" export "$work/modern.json" "$work/modern_repo" --style classic
check "export takes --style too" cmp -s "$work/modern_repo/src/zgolden_grid_heading.prog.abap" "$data/golden/grid_heading.abap"
"$cli" generate "$data/designs/grid_heading.json" --style fancy -o "$work/fancy.abap" 2>"$work/fancy.err"
check "an unknown --style exits with 2" test $? -eq 2
check "an unknown --style writes nothing" test ! -e "$work/fancy.abap"
check "an unknown --style names the choices" grep -q "classic" "$work/fancy.err"
sed 's/"unicode_check": false,/"unicode_check": false, "style": "fancy",/' "$data/designs/grid_heading.json" >"$work/fancy.json"
"$cli" generate "$work/fancy.json" -o "$work/fancy.abap" 2>"$work/fancy.err"
check "a design with an unknown style exits with 2" test $? -eq 2
check "a design with an unknown style says why" grep -q 'style: expected "classic" or "modern", found "fancy"' "$work/fancy.err"

"$cli" generate "$work/missing.json" 2>/dev/null
check "missing design exits with 2" test $? -eq 2

"$cli" generate "$data/designs/grid_plain.json" -o "$work/no/such/dir.abap" 2>/dev/null
check "unwritable output exits with 2" test $? -eq 2

# export: the source as generate writes it, beside its XML files; a refused
# design exits with 2 and says why.
"$cli" export "$data/designs/list_heading.json" "$work/repo"
check "export writes the source as generate does" cmp -s "$work/repo/src/zgolden_list_heading.prog.abap" "$data/golden/list_heading.abap"
printf '{"name": "Z-BAD", "fields": [{"table": "SFLIGHT", "field": "CARRID"}]}' >"$work/badname.json"
"$cli" export "$work/badname.json" "$work/badrepo" 2>"$work/export.err"
check "refused export exits with 2" test $? -eq 2
check "refused export names the reason" grep -q "Z-BAD.*no ABAP program name" "$work/export.err"
check "refused export writes no program" test ! -e "$work/badrepo/src"

# A design whose texts would add statements to the program is refused before
# anything is written, with the place named; generate and export alike.
sed 's/"description": "Flights and seat load per airline"/"description": "Flights\\nDELETE FROM sflight."/' \
    "$data/../../examples/flights_by_carrier.json" >"$work/injected.json"
check "the injected design differs from the example" grep -q 'DELETE FROM sflight' "$work/injected.json"
"$cli" generate "$work/injected.json" -o "$work/injected.abap" 2>"$work/injected.err"
check "a line break in a text exits with 2" test $? -eq 2
check "a line break in a text is named" grep -q "injected.json: description: line break" "$work/injected.err"
check "a line break in a text writes no program" test ! -e "$work/injected.abap"
sed 's/"operator": "="/"operator": "= SFLIGHT~CARRID OR 1 ="/' "$data/../../examples/flights_by_carrier.json" \
    >"$work/operator.json"
"$cli" export "$work/operator.json" "$work/oprepo" 2>"$work/operator.err"
check "a foreign operator exits with 2" test $? -eq 2
check "a foreign operator is named" grep -q 'conditions\[0\].operator: "= SFLIGHT~CARRID OR 1 =" is not one of' "$work/operator.err"
check "a foreign operator exports nothing" test ! -e "$work/oprepo"

# export writes through no symbolic link inside the repository: the link
# stays, its target is untouched, and the reason names it.
mkdir -p "$work/linked/elsewhere" "$work/linkrepo"
ln -s "$work/linked/elsewhere" "$work/linkrepo/src"
"$cli" export "$data/designs/list_heading.json" "$work/linkrepo" 2>"$work/link.err"
check "a linked src folder exits with 2" test $? -eq 2
check "a linked src folder is named" grep -q "linkrepo/src: the folder is a symbolic link" "$work/link.err"
check "a linked src folder gets no file" test -z "$(ls -A "$work/linked/elsewhere")"

# Warnings are told on standard error and generation goes on; --max-rows gives the row limit.
"$cli" generate "$data/designs/list_plain.json" --max-rows 250 -o "$work/limited.abap" 2>"$work/warn.err"
check "warnings do not stop generation" test $? -eq 0
check "a warning names the input" grep -q "warning: input S_CARRI2 (SPFLI-CARRID): no condition uses it" "$work/warn.err"
check "--max-rows gives the limit's default" grep -q "^ PARAMETER: P_MAX TYPE I DEFAULT 250.$" "$work/limited.abap"
check "--max-rows limits the SELECT" grep -q "^ UP TO P_MAX ROWS$" "$work/limited.abap"
"$cli" generate "$data/designs/list_plain.json" --max-rows -5 -o "$work/negative.abap" 2>/dev/null
check "a negative --max-rows exits with 2" test $? -eq 2
check "a negative --max-rows writes nothing" test ! -e "$work/negative.abap"

"$cli" --help >"$work/help.out"
check "--help works" grep -q "generate" "$work/help.out"
check "--version works" bash -c "'$cli' --version | grep -q '^orvex-cli [0-9]'"

"$cli" generate 2>/dev/null
check "missing argument exits with 2" test $? -eq 2

finish
