// Runs abaplint (pinned in package-lock.json) over the modern program of
// every example and every test design, at release 7.40 SP08 with abaplint's
// default rule set: every rule on, its parser and syntax check among them.
// A finding fails the check unless docs/generated-program.md lists its rule
// among the rules that do not apply to a generated program; of those,
// unused_variables passes only for a selection-screen input (an input of the
// design that no condition uses is kept, as the user defined it).
// A control program with a finding of no listed rule proves the rules run.
// Usage: node check_modern.mjs ORVEX_CLI
import {execFileSync, spawnSync} from "node:child_process";
import {mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync, mkdirSync} from "node:fs";
import {tmpdir} from "node:os";
import {basename, dirname, join} from "node:path";
import {fileURLToPath} from "node:url";

const cli = process.argv[2];
if (!cli) {
  console.error("usage: node check_modern.mjs ORVEX_CLI");
  process.exit(2);
}
const here = dirname(fileURLToPath(import.meta.url));
const root = join(here, "..", "..");
const abaplint = join(root, "node_modules", "@abaplint", "cli", "abaplint");

const current = spawnSync(process.execPath, [join(root, "scripts", "node-modules-current.mjs")], {stdio: "inherit"});
if (current.status !== 0) {
  console.error("node_modules does not match package-lock.json: run scripts/setup.sh");
  process.exit(1);
}

// The rules docs/generated-program.md names, from the first column of the
// table under its heading "### abaplint rules that do not apply".
function documentedRules() {
  const lines = readFileSync(join(root, "docs", "generated-program.md"), "utf8").split("\n");
  const start = lines.findIndex((l) => l.startsWith("### abaplint rules that do not apply"));
  if (start < 0) throw new Error("docs/generated-program.md has no section \"abaplint rules that do not apply\"");
  const rules = new Set();
  for (const line of lines.slice(start + 1)) {
    if (line.startsWith("#")) break;
    const match = /^\| `([a-z0-9_]+)`/.exec(line);
    if (match) rules.add(match[1]);
  }
  return rules;
}

const work = mkdtempSync(join(tmpdir(), "orvex-modern-"));
try {
  const src = join(work, "src");
  mkdirSync(src);
  const designs = [];
  for (const folder of ["examples", "tests/generator/designs", "tests/exec/designs"]) {
    for (const file of readdirSync(join(root, folder)).sort()) {
      if (file.endsWith(".json")) designs.push(join(root, folder, file));
    }
  }
  for (const design of designs) {
    // abapGit's file name: the program name in lower case, "/" as "#".
    const name = JSON.parse(readFileSync(design, "utf8")).name.toLowerCase().replaceAll("/", "#");
    execFileSync(cli, ["generate", design, "--style", "modern", "-o", join(src, `${name}.prog.abap`)], {stdio: "inherit"});
  }
  const control = "zcheck_control";
  writeFileSync(join(src, `${control}.prog.abap`), "REPORT zcheck_control.\nDATA lv_count TYPE i.\nwrite lv_count.\n");

  const config = JSON.parse(execFileSync(process.execPath, [abaplint, "-d"], {encoding: "utf8"}));
  config.dependencies = [];  // SAP's own objects stay unknown: outside the error namespace, they are taken as they are
  config.global.files = "/src/**/*.abap";
  config.syntax.version = "v740sp08";
  for (const rule of Object.values(config.rules)) {
    if (rule && typeof rule === "object" && "maxIssuesPerFile" in rule) rule.maxIssuesPerFile = 100000;
  }
  writeFileSync(join(work, "abaplint.json"), JSON.stringify(config, null, 1));

  const run = spawnSync(process.execPath, [abaplint, "abaplint.json", "-f", "json"],
                        {cwd: work, encoding: "utf8", maxBuffer: 64 * 1024 * 1024});
  let findings;
  try {
    findings = JSON.parse(run.stdout);
  } catch {
    console.error(`abaplint gave no findings list:\n${run.stdout}\n${run.stderr}`);
    process.exit(1);
  }

  const documented = documentedRules();
  for (const rule of documented) {
    if (!(rule in config.rules)) {
      console.error(`docs/generated-program.md lists ${rule}, which is no rule of abaplint's default set`);
      process.exit(1);
    }
  }
  const allowed = (f) => documented.has(f.key) &&
    (f.key !== "unused_variables" || /^Variable "[ps]_[^"]*" not used/i.test(f.description));
  const program = (f) => basename(f.file);
  const controlFaults = findings.filter((f) => program(f).startsWith(control) && !allowed(f));
  const faults = findings.filter((f) => !program(f).startsWith(control) && !allowed(f));
  for (const f of faults) {
    console.error(`${program(f)}[${f.start.row}, ${f.start.col}] ${f.description} (${f.key})`);
  }
  if (controlFaults.length === 0) {
    console.error("the control program got no finding: abaplint's rules did not run");
    process.exit(1);
  }
  const passed = findings.length - faults.length - controlFaults.length;
  console.log(`checked the modern programs of ${designs.length} designs: ` +
              `${passed} findings of the rules that do not apply, ${faults.length} others`);
  process.exit(faults.length === 0 ? 0 : 1);
} finally {
  rmSync(work, {recursive: true, force: true});
}
