#!/usr/bin/env bash
# Runs the ABAP parser and syntax check (abaplint) over the programs generated
# from every example design and every test design, and over one abapGit
# repository holding every example exported into it. SAP's dictionary tables are
# outside the checked namespace (unknown types are accepted); the ALV type pool
# is the stand-in beside this script.
# Usage: check_generated.sh ORVEX_CLI
set -euo pipefail
cli=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

# The pinned abaplint of package-lock.json, installed by scripts/setup.sh.
if ! node "$root/scripts/node-modules-current.mjs"; then
    echo "node_modules does not match package-lock.json: run scripts/setup.sh" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
cp "$here/slis.type.abap" "$work/src/"
count=0
for design in "$root"/examples/*.json "$root"/tests/generator/designs/*.json "$root"/tests/exec/designs/*.json; do
    name=$(basename "$design" .json | tr 'A-Z-' 'a-z_')
    "$cli" generate "$design" -o "$work/src/z_$name.prog.abap"
    count=$((count + 1))
done

# Every example exported into one repository folder, as a team would collect
# its reports; abaplint reads the folder the way abapGit lays it out.
repo="$work/repo"
for design in "$root"/examples/*.json; do
    "$cli" export "$design" "$repo"
done
cp "$here/slis.type.abap" "$repo/src/"

config() {
cat <<'JSON'
{
  "global": {"files": "/src/**/*.*", "skipGeneratedGatewayClasses": true, "skipGeneratedPersistentClasses": true,
             "skipGeneratedFunctionGroups": true, "useApackDependencies": false, "skipIncludesWithoutMain": false},
  "dependencies": [],
  "syntax": {"version": "v702", "errorNamespace": "^(Z|Y|LCL_|TY_|LIF_)"},
  "rules": {"parser_error": true, "check_syntax": true}
}
JSON
}
config >"$work/abaplint.json"
config >"$repo/abaplint.json"
echo "checking $count generated programs"
(cd "$work" && node "$root/node_modules/@abaplint/cli/abaplint" abaplint.json)
echo "checking the exported abapGit repository"
ls "$repo/src"
(cd "$repo" && node "$root/node_modules/@abaplint/cli/abaplint" abaplint.json)
