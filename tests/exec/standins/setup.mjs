// Run-time setup of a transpiled report in the execution tests; the
// transpiler's initialisation calls setUp() before the programs load and
// checkCalls() after. Everything it reads lies in the run's folder (the
// working directory), written there by the test:
//   data.sql         the rows of the data set, one INSERT a line
//   interfaces.json  the parameters of every stand-in function module
//   logon_language.txt  sy-langu, when the test names a language
//   dictionary_labels.txt  the fields' labels: language|TABLE|FIELD|label
// A report's ALV calls land in alv_calls.jsonl there (OPEN DATASET).
import {SQLiteDatabaseClient} from "@abaplint/database-sqlite";
import {readFileSync} from "node:fs";
import {open, unlink} from "node:fs/promises";
import {join} from "node:path";

const folder = process.cwd();

// OPEN DATASET on plain file names in the run's folder, nothing else.
class FolderDatasets {
  async open(name, mode) {
    if (!/^[A-Za-z0-9_.-]+$/.test(name)) {
      return {message: `the execution tests allow plain file names only, not ${name}`};
    }
    const flags = {INPUT: "r", OUTPUT: "w+", APPENDING: "a+", UPDATE: "r+"}[mode];
    let file;
    try {
      file = await open(join(folder, name), flags);
    } catch (error) {
      return {message: error.message};
    }
    return {
      read: async (position, length) => {
        const buffer = new Uint8Array(length);
        const {bytesRead} = await file.read(buffer, 0, length, position);
        return buffer.slice(0, bytesRead);
      },
      write: async (position, bytes) => { await file.write(bytes, 0, bytes.length, position); },
      size: async () => (await file.stat()).size,
      close: async () => file.close(),
    };
  }
  async delete(name) {
    try {
      await unlink(join(folder, name));
      return true;
    } catch {
      return false;
    }
  }
}

// Open SQL "UP TO n ROWS" reads at most n rows; on SAP n = 0 reads every
// row and leading zeros of n (a NUMC value) mean nothing. The SQLite driver
// turns the clause into LIMIT and then deletes any " LIMIT 0", which also
// eats the first digit of "LIMIT 0500"; the clause is put right before it
// gets there.
function upToAsOnSap(select) {
  return select.replace(/ UP TO 0*(\d*) ROWS/i, (_all, digits) => (digits === "" ? "" : ` UP TO ${digits} ROWS`));
}

export async function setUp(abap, schemas, insert) {
  // The same date, time, client and user on every machine and day.
  const sy = abap.builtin.sy.get();
  sy.datum.set("20240301");
  sy.uzeit.set("120000");
  sy.mandt.set("001");
  sy.uname.set("TESTER");
  // The logon language: English unless the test names another.
  let language = "E";
  try {
    language = readFileSync(join(folder, "logon_language.txt"), "utf8").trim() || "E";
  } catch {
    // no file: English
  }
  sy.langu.set(language);

  const database = new SQLiteDatabaseClient();
  const select = database.select.bind(database);
  database.select = async (options) => select({...options, select: upToAsOnSap(options.select)});
  abap.context.databaseConnections["DEFAULT"] = database;
  await database.connect();
  await database.execute(schemas.sqlite);
  await database.execute(insert);
  const rows = readFileSync(join(folder, "data.sql"), "utf8").split("\n").filter((line) => line !== "");
  await database.execute(rows);
  await database.commit();

  abap.context.dataset = new FolderDatasets();
  // LEAVE LIST-PROCESSING as the tests adapt it: the event ends, and with it
  // the run (the selection screen, shown again on SAP, is taken as left).
  abap.FunctionModules["ZEXEC_LEAVE_LIST_PROCESSING"] = async () => process.exit(0);
  // The SALV stand-in's dictionary texts: for each component of a table's
  // line, "NAME|label" with the label of the flight field of that name in
  // the logon language (the transpiled types keep no dictionary reference;
  // the flight tables give a field name one label).
  abap.FunctionModules["ZEXEC_DICTIONARY_TEXTS"] = async (call) => {
    const labels = readFileSync(join(folder, "dictionary_labels.txt"), "utf8").split("\n");
    for (const name of Object.keys(call.exporting.is_line.get())) {
      const field = name.toUpperCase();
      const found = labels.find((l) => l.startsWith(`${language}|`) && l.split("|")[2] === field);
      if (found !== undefined) {
        call.tables.et_texts.append(new abap.types.String().set(`${field}|${found.split("|").slice(3).join("|")}`));
      }
    }
  };
}

// A call naming a parameter the function module does not have, in the
// wrong direction, or leaving out one that is not optional, ends the run as
// it ends the program on SAP (CALL_FUNCTION_PARM_UNKNOWN,
// CALL_FUNCTION_PARM_MISSING); the transpiled call would pass it silently.
// (EXCEPTIONS never reach the function: the transpiled call maps them.)
export async function checkCalls() {
  const interfaces = JSON.parse(readFileSync(join(folder, "interfaces.json"), "utf8"));
  // The caller's EXPORTING feeds the function's IMPORTING and so on.
  const sides = {exporting: "importing", importing: "exporting", changing: "changing", tables: "tables"};
  for (const [name, known] of Object.entries(interfaces)) {
    const standIn = abap.FunctionModules[name];
    if (standIn === undefined) {
      throw new Error(`the stand-in function module ${name} was not transpiled`);
    }
    abap.FunctionModules[name] = async (call) => {
      for (const [side, theirs] of Object.entries(sides)) {
        for (const parameter of Object.keys(call?.[side] ?? {})) {
          if (!known[theirs].some((p) => p.name === parameter.toUpperCase())) {
            throw new Error(`CALL_FUNCTION_PARM_UNKNOWN: ${name} has no ${theirs} parameter ${parameter.toUpperCase()}`);
          }
        }
      }
      for (const side of ["importing", "changing", "tables"]) {
        const caller = Object.keys(sides).find((s) => sides[s] === side);
        for (const p of known[side]) {
          const passed = Object.keys(call?.[caller] ?? {}).some((k) => k.toUpperCase() === p.name);
          if (!p.optional && !passed) {
            throw new Error(`CALL_FUNCTION_PARM_MISSING: ${name} needs its ${side} parameter ${p.name}`);
          }
        }
      }
      return standIn(call);
    };
  }
}
