// The web page in headless Chromium, opened from disk with the network cut:
// every shared acceptance run and every golden run through
// window.resection.run against the expected bytes, one run through the form
// with the report saved, a binary file of several megabytes while the page
// stays responsive, a screenshot that is not blank, and the time of a
// 1001-point run beside the native program's.
//
// Usage: node browser_test.mjs --page resection.html --chromium /usr/bin/chromium
//   --native resection --native-analysis resection-analise --golden tests/golden
//   --shared DIR[,DIR] --example est1.txt
//   --out FOLDER (holding node_modules)
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import { createRequire } from "node:module";
import os from "node:os";
import path from "node:path";
import { pathToFileURL } from "node:url";

const options = {};
for (let i = 2; i < process.argv.length; i += 2) {
  options[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
}
const { chromium } = createRequire(path.join(options.out, "/"))("playwright-core");

let failures = 0;
let passes = 0;
function check(ok, what) {
  if (ok) {
    passes++;
  } else {
    failures++;
    console.log("FAIL " + what);
  }
}

const read = (file) => fs.readFileSync(file);
const b64 = (bytes) => Buffer.from(bytes).toString("base64");
const unb64 = (text) => Buffer.from(text, "base64");

// A run folder as the golden and acceptance runs lay it out.
function loadRun(folder) {
  const files = {};
  const runFolder = path.join(folder, "run");
  if (fs.existsSync(runFolder)) {
    for (const name of fs.readdirSync(runFolder)) {
      files[name] = read(path.join(runFolder, name));
    }
  }
  const args = read(path.join(folder, "args")).toString("utf8").split("\n");
  if (args[args.length - 1] === "") {
    args.pop();
  }
  const expected = {};
  let console = null;
  let status = 0;
  for (const name of fs.readdirSync(path.join(folder, "expected"))) {
    const bytes = read(path.join(folder, "expected", name));
    if (name === "console") {
      console = bytes;
    } else if (name === "status") {
      status = parseInt(bytes.toString(), 10);
    } else {
      expected[name] = bytes;
    }
  }
  return { files, args, stdin: read(path.join(folder, "stdin")), console, status, expected };
}

// window.resection.run in the page, the bytes carried as base64.
async function runInPage(page, program, files, args, stdin) {
  const request = { files: {}, args, stdin: b64(stdin) };
  for (const [name, bytes] of Object.entries(files)) {
    request.files[name] = b64(bytes);
  }
  const answer = await page.evaluate(async ({ program, request }) => {
    const bytes = (text) => Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
    const text = (b) => {
      let s = "";
      for (let i = 0; i < b.length; i += 8192) {
        s += String.fromCharCode.apply(null, b.subarray(i, i + 8192));
      }
      return btoa(s);
    };
    const files = {};
    for (const [name, contents] of Object.entries(request.files)) {
      files[name] = bytes(contents);
    }
    const start = performance.now();
    const r = await window.resection[program]({ files, args: request.args,
                                                 stdin: bytes(request.stdin) });
    const milliseconds = performance.now() - start;
    const out = {};
    for (const [name, contents] of Object.entries(r.files)) {
      out[name] = text(contents);
    }
    return { status: r.status, console: text(r.console), files: out, milliseconds,
             inWorker: r.milliseconds };
  }, { program, request });
  const files2 = {};
  for (const [name, contents] of Object.entries(answer.files)) {
    files2[name] = unb64(contents);
  }
  return { ...answer, console: unb64(answer.console), files: files2 };
}

function firstDifference(a, b) {
  const n = Math.min(a.length, b.length);
  for (let i = 0; i < n; i++) {
    if (a[i] !== b[i]) {
      return "byte " + i;
    }
  }
  return "length " + a.length + " against " + b.length;
}

async function runSuite(page, label, folder) {
  const names = fs.readdirSync(folder).filter((n) =>
    fs.existsSync(path.join(folder, n, "expected"))).sort();
  let passed = 0;
  for (const name of names) {
    const c = loadRun(path.join(folder, name));
    const r = await runInPage(page, "run", c.files, c.args, c.stdin);
    const faults = [];
    if (r.status !== c.status) {
      faults.push("status " + r.status + ", expected " + c.status);
    }
    if (!r.console.equals(c.console)) {
      faults.push("console differs at " + firstDifference(r.console, c.console));
    }
    for (const [file, bytes] of Object.entries(c.expected)) {
      if (!r.files[file]) {
        faults.push(file + " not written");
      } else if (!r.files[file].equals(bytes)) {
        faults.push(file + " differs at " + firstDifference(r.files[file], bytes));
      }
    }
    for (const [file, bytes] of Object.entries(r.files)) {
      if (!c.expected[file] && !(c.files[file] && c.files[file].equals(bytes))) {
        faults.push("unexpected file " + file);
      }
    }
    check(faults.length === 0, label + "/" + name + ": " + faults.join("; "));
    passed += faults.length === 0 ? 1 : 0;
  }
  console.log(label + ": " + passed + " of " + names.length + " runs the same bytes");
  return names.length;
}

// The analysis of each run's input file in the page and by the native
// resection-analise: the same text and the same sketch, byte for byte
// (there are no expected files of the analysis to hold them to).
async function analyses(page, folders) {
  let same = 0;
  let inputs = 0;
  for (const folder of folders) {
    const c = loadRun(folder);
    const input = c.stdin.toString("latin1").split("\n")[0];
    if (!c.files[input]) {
      continue;
    }
    inputs++;
    const work = fs.mkdtempSync(path.join(os.tmpdir(), "resection-web-"));
    fs.writeFileSync(path.join(work, input), c.files[input]);
    const native = spawnSync(options["native-analysis"], [input, "esboco.svg"], { cwd: work });
    const svg = fs.existsSync(path.join(work, "esboco.svg")) ? read(path.join(work, "esboco.svg"))
                                                             : null;
    fs.rmSync(work, { recursive: true, force: true });
    const r = await runInPage(page, "analyse", { [input]: c.files[input] }, [input, "esboco.svg"],
                              Buffer.alloc(0));
    // The page's console holds both streams; an error comes last.
    const nativeConsole = Buffer.concat([native.stdout, native.stderr]);
    const ok = r.status === native.status && r.console.equals(nativeConsole) &&
               (svg === null ? !r.files["esboco.svg"] : svg.equals(r.files["esboco.svg"] || ""));
    check(ok, "analysis of " + path.basename(folder) + ": page and native differ");
    same += ok ? 1 : 0;
  }
  console.log(`analysis: ${same} of ${inputs} inputs the same text and sketch as native`);
  check(inputs > 40, "only " + inputs + " inputs analysed");
}

// Numbers at the edges of what a double holds, and forms that are no
// numbers, read in the page as the native program reads them: the same
// status, console and report.
async function numberEdges(page) {
  const example = read(options.example).toString("latin1");
  const tokens = ["1e400", "-1e400", "1e-400", "4.9e-324", "2.2250738585072014e-308", "1D3",
                  "0x10", "inf", "nan", "+-5", "-0", ".5", "5.", "1e", "43626.6730000000000000001",
                  "9007199254740993", "1.7976931348623157e308"];
  let same = 0;
  for (const token of tokens) {
    const input = Buffer.from(example.replace("43626.673", token), "latin1");
    const stdin = Buffer.from("in.txt\nout.txt\nS\n");
    const work = fs.mkdtempSync(path.join(os.tmpdir(), "resection-web-"));
    fs.writeFileSync(path.join(work, "in.txt"), input);
    const native = spawnSync(options.native, [], { cwd: work, input: stdin });
    const report = fs.existsSync(path.join(work, "out.txt")) ? read(path.join(work, "out.txt"))
                                                             : null;
    fs.rmSync(work, { recursive: true, force: true });
    const r = await runInPage(page, "run", { "in.txt": input }, [], stdin);
    // The page's console holds both streams; an error comes last.
    const nativeConsole = Buffer.concat([native.stdout, native.stderr]);
    const ok = r.status === native.status && r.console.equals(nativeConsole) &&
               (report === null ? !r.files["out.txt"] : report.equals(r.files["out.txt"] || ""));
    check(ok, "the coordinate " + token + ": page and native differ");
    same += ok ? 1 : 0;
  }
  console.log(`number edges: ${same} of ${tokens.length} read as the native program reads them`);
}

// A station with 1001 sighted points and 20 zenith readings, in decimal
// degrees, the readings a little off as measured ones are.
function station1001() {
  let seed = 20261209;
  const random = () => {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return seed / 2147483648;
  };
  const m0 = 42000.0, p0 = 274000.0, h0 = 250.0, orientation = 37.25;
  const lines = ["gd 0.001 0.6", "STATION", "1001"];
  const deg = 180 / Math.PI;
  const points = [];
  for (let i = 1; i <= 1001; i++) {
    const azimuth = (i - 1) * 360 / 1001 + random() * 0.3;
    const distance = 300 + random() * 2700;
    const m = m0 + distance * Math.sin(azimuth / deg);
    const p = p0 + distance * Math.cos(azimuth / deg);
    let reading = azimuth - orientation + (random() - 0.5) * 2 / 3600;
    reading = ((reading % 360) + 360) % 360;
    points.push({ m, p, distance });
    lines.push(`P${i} ${m.toFixed(3)} ${p.toFixed(3)} ${reading.toFixed(6)}`);
  }
  lines.push("20 1.600");
  for (let i = 0; i < 20; i++) {
    const { m, p, distance } = points[i * 50];
    const height = h0 + 1.6 + (random() - 0.5) * 80;
    const signal = 1.5;
    const zenith = Math.atan2(distance, height + signal - h0 - 1.6) * deg +
                   (random() - 0.5) * 2 / 3600;
    lines.push(`Z${i + 1} ${m.toFixed(3)} ${p.toFixed(3)} ${height.toFixed(3)} ` +
               `${zenith.toFixed(6)} ${signal.toFixed(3)}`);
  }
  return Buffer.from(lines.join("\n") + "\n");
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function timing(page) {
  const input = station1001();
  const stdin = Buffer.from("in.txt\nout.txt\nS\n");
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "resection-web-"));
  fs.writeFileSync(path.join(work, "in.txt"), input);
  const native = [];
  for (let i = 0; i < 7; i++) {
    const start = process.hrtime.bigint();
    const run = spawnSync(options.native, [], { cwd: work, input: stdin });
    native.push(Number(process.hrtime.bigint() - start) / 1e6);
    check(run.status === 0, "native 1001-point run: status " + run.status);
  }
  const nativeReport = read(path.join(work, "out.txt"));
  fs.rmSync(work, { recursive: true, force: true });
  const web = [];
  const inWorker = [];
  let report = null;
  for (let i = 0; i < 7; i++) {
    const r = await runInPage(page, "run", { "in.txt": input }, [], stdin);
    web.push(r.milliseconds);
    inWorker.push(r.inWorker);
    report = r.files["out.txt"];
    check(r.status === 0, "page 1001-point run: status " + r.status);
  }
  // Not a yardstick of its own: the page and the native program must agree.
  check(report && report.equals(nativeReport), "1001-point report: page and native differ");
  const w = median(web), n = median(native);
  console.log(`1001 points (median of 7): page ${w.toFixed(1)} ms (${median(inWorker).toFixed(1)}` +
              ` ms of it in the module), native whole process ${n.toFixed(1)} ms:` +
              ` ${(w / n).toFixed(2)} times the native time`);
}

// The form: choose the file, answer, compute, save the report under a name
// chosen here, and compare the saved bytes.
async function throughTheForm(page, runFolder) {
  const c = loadRun(runFolder);
  const answers = c.stdin.toString("latin1").split("\n");
  const [inputName, reportName, height] = answers;
  // A file dropped on the page is taken as the input, as a chosen one is.
  await page.evaluate(({ name, bytes }) => {
    const data = new DataTransfer();
    data.items.add(new File([Uint8Array.from(atob(bytes), (c) => c.charCodeAt(0))], name));
    document.body.dispatchEvent(new DragEvent("drop", { dataTransfer: data, bubbles: true }));
  }, { name: "largado.txt", bytes: b64(c.files[inputName]) });
  await page.waitForFunction(() => /^largado\.txt/.test(document.getElementById("input-name").textContent));
  check(await page.inputValue("#output-name") === "largado.rel", "form: dropped file not taken");
  await page.setInputFiles("#input-file", {
    name: inputName, mimeType: "text/plain", buffer: c.files[inputName],
  });
  await page.waitForFunction(() => !document.getElementById("compute").disabled);
  await page.fill("#output-name", reportName);
  await page.check(/^[sS]/.test(height) ? "#height-yes" : "#height-no");
  await page.click("#compute");
  await page.waitForFunction(() =>
    /terminado|falhou/.test(document.getElementById("state").textContent), null,
    { timeout: 60000 });
  const state = await page.textContent("#state");
  check(/terminado/.test(state), "form: " + state);
  const chosen = "relatorio escolhido.rel";
  await page.fill("#save-name", chosen);
  const [download] = await Promise.all([page.waitForEvent("download"), page.click("#save-report")]);
  check(download.suggestedFilename() === chosen,
        "form: saved as " + download.suggestedFilename());
  const saved = read(await download.path());
  check(saved.equals(c.expected[reportName]), "form: saved report differs at " +
        firstDifference(saved, c.expected[reportName]));
  // The report as the page shows it: the code page decoded, lines ended by LF.
  const shown = await page.textContent("#report");
  const iconv = spawnSync("iconv", ["-f", "CP850", "-t", "UTF-8"], { input: c.expected[reportName] });
  check(iconv.status === 0 && shown === iconv.stdout.toString("utf8").replace(/\r\n/g, "\n"),
        "form: the report shown is not the CP850 text of the report");
  // The console as a terminal shows it, each answer behind its prompt.
  let next = 0;
  const transcript = c.console.toString("latin1").replace(/\r\n/g, "\n").replace(
    /(Nome do ficheiro de (?:input|output): |\(S\/N\)\? )/g, (p) => p + answers[next++] + "\n");
  const consoleShown = await page.textContent("#console");
  check(next === 3 && consoleShown === transcript + "\n(estado de saida 0)",
        "form: console shown differs: " + consoleShown);
  await page.waitForFunction(() => {
    const img = document.getElementById("sketch");
    return !img.hidden && img.complete && img.naturalWidth > 0;
  }, null, { timeout: 30000 });
  const analysis = await page.textContent("#analysis");
  check(/Teste global/.test(analysis), "form: no analysis shown");
  const [sketch] = await Promise.all([page.waitForEvent("download"), page.click("#save-sketch")]);
  check(read(await sketch.path()).toString("utf8").includes("<svg"), "form: sketch not saved");
}

// Every byte above 0x7F decoded as iconv decodes it.
async function codePages(page) {
  const high = Buffer.from(Array.from({ length: 128 }, (_, i) => 0x80 + i));
  for (const [unit, codePage] of [["gd", "CP850"], ["gs", "LATIN1"]]) {
    const shown = await page.evaluate(({ bytes, unit }) =>
      window.resection.reportText(Uint8Array.from(atob(bytes), (c) => c.charCodeAt(0)), unit),
      { bytes: b64(high), unit });
    const iconv = spawnSync("iconv", ["-f", codePage, "-t", "UTF-8"], { input: high });
    check(shown === iconv.stdout.toString("utf8"), unit + ": the report's code page differs from " +
          codePage);
  }
}

// A binary file of several megabytes through the form: the program's own
// message, and the page draws its frames while the module reads the file.
async function largeBinaryFile(page) {
  const size = 6 * 1024 * 1024;
  const bytes = Buffer.alloc(size);
  for (let i = 0; i < size; i++) {
    bytes[i] = (i * 2654435761) >>> 24;
  }
  await page.setInputFiles("#input-file", { name: "lixo.bin", mimeType: "application/octet-stream",
                                            buffer: bytes });
  await page.waitForFunction(() => /lixo\.bin/.test(document.getElementById("input-name").textContent));
  const frames = await page.evaluate(() => new Promise((resolve) => {
    const state = document.getElementById("state");
    let last = performance.now();
    let slowest = 0;
    const start = last;
    const frame = (now) => {
      slowest = Math.max(slowest, now - last);
      last = now;
      if (/terminado|falhou/.test(state.textContent)) {
        resolve({ slowest, total: now - start });
      } else {
        requestAnimationFrame(frame);
      }
    };
    document.getElementById("compute").click();
    requestAnimationFrame(frame);
  }));
  const shown = await page.textContent("#console");
  check(/Erro no ficheiro lixo\.bin/.test(shown) && /estado de saida 1/.test(shown),
        "binary file: the console shows " + shown);
  console.log(`binary file of ${size} bytes through the form: ${frames.total.toFixed(0)} ms,` +
              ` the slowest frame ${frames.slowest.toFixed(0)} ms`);
  check(frames.slowest < 1000, "binary file: the page stood still for " + frames.slowest + " ms");
}

async function screenshot(context, page) {
  const file = path.join(options.out, "page.png");
  const png = await page.screenshot({ path: file, fullPage: true });
  const blank = await context.newPage();
  const colours = await blank.evaluate(async (data) => {
    const img = new Image();
    img.src = "data:image/png;base64," + data;
    await img.decode();
    const canvas = document.createElement("canvas");
    canvas.width = img.width;
    canvas.height = img.height;
    const g = canvas.getContext("2d");
    g.drawImage(img, 0, 0);
    const pixels = g.getImageData(0, 0, img.width, img.height).data;
    const seen = new Set();
    for (let i = 0; i < pixels.length; i += 4) {
      seen.add((pixels[i] << 16) | (pixels[i + 1] << 8) | pixels[i + 2]);
    }
    return seen.size;
  }, b64(png));
  await blank.close();
  console.log(`screenshot ${file}: ${colours} colours`);
  check(colours > 20, "screenshot looks blank: " + colours + " colours");
}

async function main() {
  const browser = await chromium.launch({ executablePath: options.chromium, headless: true });
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1100, height: 900 } });
  await context.setOffline(true);
  const network = [];
  await context.route("**/*", (route) => {
    const url = route.request().url();
    if (/^(file|blob|data):/.test(url)) {
      return route.continue();
    }
    network.push(url);
    return route.abort();
  });
  const page = await context.newPage();
  const errors = [];
  page.on("pageerror", (e) => errors.push(String(e)));
  page.on("console", (m) => {
    if (m.type() === "error") {
      errors.push(m.text());
    }
  });
  await page.goto(pathToFileURL(path.resolve(options.page)).href);
  const size = fs.statSync(options.page).size;
  console.log(`page ${options.page}: ${(size / 1024).toFixed(0)} KiB`);

  await codePages(page);
  const shared = options.shared.split(",").find((d) => d !== "" &&
                                                       fs.existsSync(path.join(d, "acceptance")));
  check(shared !== undefined, "no shared acceptance runs at " + options.shared);
  let runs = 0;
  if (shared) {
    for (const suite of ["acceptance", "acceptance-next"]) {
      if (fs.existsSync(path.join(shared, suite))) {
        runs += await runSuite(page, suite, path.join(shared, suite));
      }
    }
  }
  runs += await runSuite(page, "golden", options.golden);
  const folders = [options.golden, ...(shared ? [path.join(shared, "acceptance")] : [])]
    .flatMap((d) => fs.readdirSync(d).map((n) => path.join(d, n)))
    .filter((d) => fs.existsSync(path.join(d, "expected")));
  await analyses(page, folders);
  await numberEdges(page);
  check(runs > 40, "only " + runs + " runs found");
  await largeBinaryFile(page);
  await timing(page);
  if (shared) {
    await throughTheForm(page, path.join(shared, "acceptance", "001-gd-n04"));
  }
  await screenshot(context, page);
  check(network.length === 0, "the page asked the network for " + network.join(", "));
  check(errors.length === 0, "errors in the page: " + errors.join(" | "));
  await browser.close();
  console.log(`${passes} passed, ${failures} failed`);
  process.exit(failures === 0 ? 0 : 1);
}

main().catch((error) => {
  console.log("FAIL " + (error && error.stack ? error.stack : error));
  process.exit(1);
});
