// Exits 0 when node_modules holds every package of package-lock.json at its
// locked version, otherwise names the first one that differs and exits 1.
// Used by scripts/setup.sh (to run npm ci only when needed) and by the tests
// (which install nothing).
import {readFileSync} from "node:fs";
import {dirname, join} from "node:path";
import {fileURLToPath} from "node:url";

const root = join(dirname(fileURLToPath(import.meta.url)), "..");
const lock = JSON.parse(readFileSync(join(root, "package-lock.json"), "utf8"));
for (const [path, locked] of Object.entries(lock.packages ?? {})) {
  if (path === "" || locked.optional) continue;
  let installed;
  try {
    installed = JSON.parse(readFileSync(join(root, path, "package.json"), "utf8")).version;
  } catch {
    installed = "nothing";
  }
  if (installed !== locked.version) {
    console.error(`${path}: ${installed} installed, ${locked.version} locked`);
    process.exit(1);
  }
}
