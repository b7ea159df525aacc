// The web page in headless Chromium, opened from disk with the network cut:
// every shared acceptance run and every golden run through
// window.resection.run against the expected bytes, one run through the form
// with the report saved, a binary file of several megabytes while the page
// stays responsive, the page's flow as a new user meets it (the example
// button, a failing file, a file without a zenith section, names of the
// user's that the page's own files must not take, the summary against the
// companion's JSON), a phone's width, an accessibility check, screenshots at
// 1280 and 390 pixels, and the time of a 1001-point run beside the native
// program's.
//
// Usage: node browser_test.mjs --page resection.html --chromium /usr/bin/chromium
//   --native resection --native-analysis resection-analise --golden tests/golden
//   --shared DIR --suites acceptance,acceptance-next (the suites found in DIR,
//   maybe none) --example est1.txt --out FOLDER (holding node_modules; the
//   screenshots are written there)
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
  check(inputs >= 30, "only " + inputs + " inputs analysed");
}

// Numbers at the edges of what a double holds, and forms that are no
// numbers, read in the page as the native program reads them: the same
// status, console and report.
async function numberEdges(page) {
  const example = read(options.example).toString("latin1");
  const tokens = ["1e400", "-1e400", "1e-400", "4.9e-324", "2.2250738585072014e-308", "1D3",
                  "0x10", "inf", "nan", "+-5", "-0", ".5", "5.", "1e", "43626.6730000000000000001",
                  "9007199254740993", "1.7976931348623157e308",
                  // Either side of the page's quick way to read a decimal:
                  // 15 significant digits, the point 22 places from the end.
                  "12345678901234.5", "123456789012345.6", "43626.67300000000",
                  "000000000000043626.673", "-.5", "5.", "0.0000000000000000000001",
                  "0.00000000000000000000001", "43626.6730000000000000000000"];
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
  await chooseFile(page, inputName, c.files[inputName]);
  await page.fill("#output-name", reportName);
  await page.check(/^[sS]/.test(height) ? "#height-yes" : "#height-no");
  const state = await computeInForm(page);
  check(/^Terminado em/.test(state), "form: " + state);
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

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The page against the native whole process, run by turns so that the load
// of a busy machine falls on both alike: the median of the ratios of each
// pair. Printed, not held to a bound: a time is no test of a shared machine.
async function timing(page) {
  const input = station1001();
  const stdin = Buffer.from("in.txt\nout.txt\nS\n");
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "resection-web-"));
  fs.writeFileSync(path.join(work, "in.txt"), input);
  const native = [];
  const web = [];
  const inWorker = [];
  const ratios = [];
  let report = null;
  // Runs of each first, so that neither pays for its start, and the
  // browser has compiled the module's hot functions fully (it starts them
  // with a quick compilation and optimises them as they run).
  for (let i = 0; i < 3; i++) {
    spawnSync(options.native, [], { cwd: work, input: stdin });
    await runInPage(page, "run", { "in.txt": input }, [], stdin);
  }
  for (let i = 0; i < 15; i++) {
    const start = process.hrtime.bigint();
    const run = spawnSync(options.native, [], { cwd: work, input: stdin });
    native.push(Number(process.hrtime.bigint() - start) / 1e6);
    check(run.status === 0, "native 1001-point run: status " + run.status);
    const r = await runInPage(page, "run", { "in.txt": input }, [], stdin);
    web.push(r.milliseconds);
    inWorker.push(r.inWorker);
    ratios.push(r.milliseconds / native[native.length - 1]);
    report = r.files["out.txt"];
    check(r.status === 0, "page 1001-point run: status " + r.status);
  }
  const nativeReport = read(path.join(work, "out.txt"));
  fs.rmSync(work, { recursive: true, force: true });
  // Not a yardstick of its own: the page and the native program must agree.
  check(report && report.equals(nativeReport), "1001-point report: page and native differ");
  console.log(`1001 points with the height (15 runs by turns): page ${median(web).toFixed(1)} ms` +
              ` (${median(inWorker).toFixed(1)} ms of it in the module), native whole process` +
              ` ${median(native).toFixed(1)} ms: ${median(ratios).toFixed(2)} times the native` +
              " time (median of the pairs)");
}

// ---- The page as a user meets it ---------------------------------------------

async function openPage(context) {
  const page = await context.newPage();
  page.on("pageerror", (e) => errors.push(String(e)));
  page.on("console", (m) => {
    if (m.type() === "error") {
      errors.push(m.text());
    }
  });
  await page.goto(pathToFileURL(path.resolve(options.page)).href);
  return page;
}

async function chooseFile(page, name, bytes) {
  await page.setInputFiles("#input-file", { name, mimeType: "text/plain", buffer: bytes });
  await page.waitForFunction((name) =>
    document.getElementById("input-name").textContent.startsWith(name + " ("), name);
}

// Presses Calcular (or the given button) and waits for the end of the
// whole wait; the status line then.
async function computeInForm(page, button = "#compute") {
  await page.click(button);
  await page.waitForFunction(() =>
    /^(Terminado|O calculo falhou|A analise falhou)/.test(
      document.getElementById("state").textContent), null, { timeout: 60000 });
  return page.textContent("#state");
}

// The analysis of the native program with its JSON, for the figures the
// page's summary must show.
function nativeAnalysis(name, bytes) {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "resection-web-"));
  fs.writeFileSync(path.join(work, name), bytes);
  const run = spawnSync(options["native-analysis"], ["--json", "analise.json", name, "esboco.svg"],
                        { cwd: work });
  const json = JSON.parse(read(path.join(work, "analise.json")).toString("utf8"));
  const svg = read(path.join(work, "esboco.svg")).toString("utf8");
  fs.rmSync(work, { recursive: true, force: true });
  return { status: run.status, json, svg };
}

// The last line of a native console, without the prompt before it.
function lastMessage(console) {
  return console.toString("latin1").trim().split("\r\n").pop()
    .replace(/^(Nome do ficheiro de (input|output): )+/, "").trim();
}

function nativeRun(name, bytes, answers) {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "resection-web-"));
  fs.writeFileSync(path.join(work, name), bytes);
  const run = spawnSync(options.native, [], { cwd: work, input: answers.join("\n") + "\n" });
  const report = fs.existsSync(path.join(work, answers[1])) ? read(path.join(work, answers[1]))
                                                              : null;
  fs.rmSync(work, { recursive: true, force: true });
  return { status: run.status, console: Buffer.concat([run.stdout, run.stderr]), report };
}

// The legend of a sketch: its texts from the frame's left edge, under the
// frame and the scale bar, in order.
function sketchLegend(svg) {
  const frame = /<clipPath id="frame"><rect x="([\d.]+)" y="([\d.]+)" width="[\d.]+" height="([\d.]+)"/
    .exec(svg);
  const left = frame[1];
  const below = parseFloat(frame[2]) + parseFloat(frame[3]);
  const unescape = (t) => t.replace(/&lt;/g, "<").replace(/&gt;/g, ">").replace(/&quot;/g, "\"")
    .replace(/&#x([0-9a-f]+);/gi, (_, h) => String.fromCodePoint(parseInt(h, 16)))
    .replace(/&amp;/g, "&");
  return [...svg.matchAll(/<text x="([\d.]+)" y="([\d.]+)" text-anchor="start"[^>]*>([^<]*)<\/text>/g)]
    .filter((m) => m[1] === left && parseFloat(m[2]) > below + 40).map((m) => unescape(m[3]));
}

// The summary shows what the companion's JSON holds: the station it stands
// on with its height, the verdict, its lines (less the heading, the station
// line and the next-step line, which the headline and the box show), the
// ellipse's and the suspects' figures among them, and the next step.
async function summaryAgainstJson(page, json, label) {
  const shown = await page.evaluate(() => ({
    station: document.getElementById("summary-station").textContent,
    verdict: document.getElementById("summary-verdict").textContent,
    lines: [...document.querySelectorAll("#summary-lines li")].map((li) => li.textContent),
    next: document.getElementById("next-step").textContent,
  }));
  const s = json.summary;
  const station = s.station;
  const without = station.withoutObservation ? ` (sem a ${station.withoutObservation})`
                                             : ` (sem a leitura ${station.without})`;
  const expected = `Estacao ${station.name}` + (station.basis === "without" ? without : "") +
                   `: M = ${station.m.toFixed(3)} m, P = ${station.p.toFixed(3)} m` +
                   (typeof station.h === "number" ? `, C = ${station.h.toFixed(3)} m` : "");
  check(shown.station === expected, `${label}: station shown "${shown.station}", the JSON's ` +
        `"${expected}"`);
  check(shown.verdict === { accepted: "Teste global: aceite", rejected: "Teste global: rejeitado",
                            notApplicable: "Sem teste global" }[s.test],
        `${label}: verdict shown "${shown.verdict}", the JSON's ${s.test}`);
  const lines = s.lines.filter((l) => !/^(Resumo:|Estacao |Proximo passo: )/.test(l.trim()))
    .map((l) => l.replace(/^ {2}/, ""));
  check(typeof station.m === "number", `${label}: no station to compare`);
  check(JSON.stringify(shown.lines) === JSON.stringify(lines),
        `${label}: summary lines ${JSON.stringify(shown.lines)}, the JSON's ${JSON.stringify(lines)}`);
  check(shown.next === s.nextStep, `${label}: next step "${shown.next}", the JSON's ` +
        `"${s.nextStep}"`);
  const text = shown.lines.join("\n");
  const figures = [...s.suspects, ...s.heightSuspects];
  if (s.ellipse95) {
    figures.push(s.ellipse95.major.toFixed(4) + " m", s.ellipse95.minor.toFixed(4) + " m");
  }
  const missing = figures.filter((f) => !text.includes(f));
  check(missing.length === 0, `${label}: the summary lacks ${missing.join(", ")}: ${text}`);
  // The companion's summary figures are those of its analysis (of the
  // direction readings, or of the free station).
  const plan = json.planimetry || json.freeStation;
  check(station.m === plan.station.m && station.p === plan.station.p,
        `${label}: the summary's station is not the analysis's`);
  if (plan.suspect && plan.suspect.kind === "single") {
    check(shown.next.includes(plan.suspect.readings[0].name), `${label}: the next step ` +
          `"${shown.next}" does not name the suspect reading`);
  }
}

// Whether the elements lie whole in the first screen, unscrolled.
function inFirstScreen(page, ids) {
  return page.evaluate((ids) => window.scrollY === 0 && ids.every((id) => {
    const r = document.getElementById(id).getBoundingClientRect();
    return r.height > 0 && r.top >= 0 && r.bottom <= window.innerHeight &&
           r.left >= 0 && r.right <= window.innerWidth;
  }), ids);
}

// axe-core in the page: no finding of serious or critical impact.
async function accessibility(page, label) {
  await page.evaluate(read(path.join(options.out, "node_modules", "axe-core", "axe.min.js"))
    .toString("utf8"));
  const findings = await page.evaluate(async () => {
    const result = await window.axe.run(document, { resultTypes: ["violations"] });
    return result.violations.map((v) => ({ id: v.id, impact: v.impact,
                                           nodes: v.nodes.map((n) => n.target.join(" ")) }));
  });
  const grave = findings.filter((f) => f.impact === "serious" || f.impact === "critical");
  for (const f of findings) {
    console.log(`accessibility (${label}): ${f.impact} ${f.id} at ${f.nodes.join(", ")}`);
  }
  check(grave.length === 0, `accessibility (${label}): ${grave.map((f) => f.id).join(", ")}`);
  console.log(`accessibility (${label}): ${findings.length} findings, ${grave.length} serious ` +
              "or critical");
}

async function openAllFolds(page) {
  await page.evaluate(() => document.querySelectorAll("details").forEach((d) => { d.open = true; }));
}

// A new user on a desktop: the example button, and the station, the verdict
// and the next step on the first screen, equal to the companion's JSON.
async function exampleOnADesktop(browser) {
  const context = await browser.newContext({ acceptDownloads: true,
                                             viewport: { width: 1280, height: 720 } });
  await cutNetwork(context);
  const page = await openPage(context);
  await accessibility(page, "page opened");
  const buttons = await page.$$eval("button.example", (b) => b.map((x) => x.textContent));
  const examples = fs.readdirSync(path.dirname(options.example)).filter((n) => n.endsWith(".txt"));
  check(buttons.length === examples.length, `example buttons ${buttons.join(" | ")} for ` +
        examples.join(", "));
  const name = path.basename(options.example);
  const bytes = read(options.example);
  const state = await computeInForm(page, `button.example:has-text("${name}")`);
  check(/^Terminado em \d+(\.\d)? m?s \(calculo e analise\)/.test(state), "example: " + state);
  check(await page.inputValue("#output-name") === "est1.rel" &&
        await page.isChecked("#height-yes"), "example: not run with its report name and height");
  const native = nativeAnalysis(name, bytes);
  await summaryAgainstJson(page, native.json, "example");
  check(await inFirstScreen(page, ["summary-station", "summary-verdict", "summary-next"]),
        "example: the station, the verdict and the next step are not on the first screen at " +
        "1280 x 720");
  const file = path.join(options.out, "page-1280.png");
  await page.screenshot({ path: file });
  console.log(`screenshot ${file}: the first screen after the example at 1280 x 720`);
  // The report the example's answers give natively, and its legend as text.
  const nativeReport = nativeRun(name, bytes, [name, "est1.rel", "S"]).report;
  const [download] = await Promise.all([page.waitForEvent("download"), page.click("#save-report")]);
  check(read(await download.path()).equals(nativeReport), "example: saved report differs");
  const legend = await page.$$eval("#legend li", (l) => l.map((x) => x.textContent));
  check(JSON.stringify(legend) === JSON.stringify(sketchLegend(native.svg)),
        "example: legend " + JSON.stringify(legend) + ", the sketch's " +
        JSON.stringify(sketchLegend(native.svg)));
  await openAllFolds(page);
  await accessibility(page, "example computed, all folds open");
  await context.close();
}

// A phone 390 pixels wide: the page never wider than the screen, the
// summary and the sketch within it, the legend at a readable size.
async function exampleOnAPhone(browser) {
  const context = await browser.newContext({ viewport: { width: 390, height: 844 },
                                             isMobile: true, hasTouch: true });
  await cutNetwork(context);
  const page = await openPage(context);
  await computeInForm(page, `button.example:has-text("${path.basename(options.example)}")`);
  await page.waitForFunction(() => document.getElementById("sketch").complete);
  const widths = async () => page.evaluate(() => {
    const right = (id) => document.getElementById(id).getBoundingClientRect().right;
    return { document: document.documentElement.scrollWidth, viewport: window.innerWidth,
             summary: right("summary"), sketch: right("sketch-frame"), legend: right("legend"),
             legendFont: parseFloat(getComputedStyle(document.querySelector("#legend li")).fontSize),
             summaryFont: parseFloat(getComputedStyle(document.getElementById("summary-lines"))
               .fontSize) };
  });
  for (const folds of ["folded", "all folds open"]) {
    if (folds !== "folded") {
      await openAllFolds(page);
    }
    const w = await widths();
    check(w.document === w.viewport && w.viewport === 390,
          `phone (${folds}): the document is ${w.document} pixels wide in a ${w.viewport} screen`);
    check(w.summary <= 390 && w.sketch <= 390 && w.legend <= 390,
          `phone (${folds}): summary, sketch or legend beyond the screen: ${JSON.stringify(w)}`);
    check(w.legendFont >= 12 && w.summaryFont >= 12, `phone: text at ${w.legendFont} and ` +
          `${w.summaryFont} pixels`);
  }
  const file = path.join(options.out, "page-390.png");
  await page.evaluate(() => document.querySelectorAll("details:not(#descricao)")
    .forEach((d) => { d.open = false; }));
  await page.evaluate(() => { document.getElementById("descricao").open = false; });
  await page.screenshot({ path: file, fullPage: true });
  console.log(`screenshot ${file}: the whole page after the example at 390 pixels`);
  await accessibility(page, "phone");
  await context.close();
}

// Eight points around a station at (1000, 2000), exact readings in decimal
// degrees (orientation 37.123 degrees) but for reading Q5, 0.05 degrees off.
function oneWrongReading() {
  const lines = ["gd 0.0001 1", "EST8", "8"];
  for (let i = 0; i < 8; i++) {
    const bearing = (i * 45 + 17 * (i % 3)) * Math.PI / 180;
    const d = 800 * (0.6 + 0.1 * ((i * 7) % 5));
    const m = 1000 + d * Math.sin(bearing);
    const p = 2000 + d * Math.cos(bearing);
    let reading = bearing * 180 / Math.PI - 37.123 + (i === 4 ? 0.05 : 0);
    reading = ((reading % 360) + 360) % 360;
    lines.push(`Q${i + 1} ${m.toFixed(3)} ${p.toFixed(3)} ${reading.toFixed(6)}`);
  }
  return Buffer.from(lines.join("\n") + "\n");
}

// A free station: the example button runs the analysis alone, its summary
// is the companion's, no report is offered; a free station the analysis
// refuses shows the message that names the line.
async function freeStation(browser) {
  const context = await browser.newContext({ acceptDownloads: true,
                                             viewport: { width: 1280, height: 720 } });
  await cutNetwork(context);
  const page = await openPage(context);
  const name = "estacao-livre.txt";
  const bytes = read(path.join(path.dirname(options.example), name));
  let state = await computeInForm(page, `button.example:has-text("${name}")`);
  check(/^Terminado em .* \(analise da estacao livre\)/.test(state), "free station: " + state);
  const native = nativeAnalysis(name, bytes);
  check(native.json.form === "freeStation", "free station: the native JSON's form");
  await summaryAgainstJson(page, native.json, "free station");
  const shown = await page.evaluate(() => ({
    height: document.getElementById("height").disabled,
    note: !document.getElementById("free-note").hidden,
    report: document.getElementById("save-report-line").hidden,
    sketch: !document.getElementById("save-sketch").disabled,
    json: !document.getElementById("save-json").disabled,
  }));
  check(shown.height && shown.note && shown.report && shown.sketch && shown.json,
        "free station: the form as shown " + JSON.stringify(shown));
  const [download] = await Promise.all([page.waitForEvent("download"), page.click("#save-json")]);
  // The same words; the figures to a micrometre (the page's mathematical
  // library is not the native one, and the JSON writes every bit).
  const saved = JSON.parse(read(await download.path()).toString("utf8")).summary;
  const mine = native.json.summary;
  check(JSON.stringify(saved.lines) === JSON.stringify(mine.lines) &&
        saved.nextStep === mine.nextStep && saved.test === mine.test &&
        JSON.stringify(saved.suspects) === JSON.stringify(mine.suspects) &&
        Math.abs(saved.station.m - mine.station.m) < 1e-6 &&
        Math.abs(saved.station.p - mine.station.p) < 1e-6,
        "free station: the saved JSON's summary is not the native one: " +
        JSON.stringify(saved) + " against " + JSON.stringify(mine));
  const legend = await page.$$eval("#legend li", (l) => l.map((x) => x.textContent));
  check(JSON.stringify(legend) === JSON.stringify(sketchLegend(native.svg)),
        "free station: legend " + JSON.stringify(legend));
  // A distance of 0: refused, the line named.
  const bad = Buffer.from(bytes.toString("latin1").replace(/V2   inclinada +[\d.]+/,
                                                           "V2   inclinada 0"), "latin1");
  await chooseFile(page, "livre-errada.txt", bad);
  state = await computeInForm(page);
  const messages = await page.$$eval("#failure li", (l) => l.map((x) => x.textContent));
  check(/^A analise falhou \(estado de saida 1\)/.test(state) &&
        messages.some((m) => /linha \d+: distancia inclinada a V2/.test(m)) &&
        await page.isHidden("#summary"),
        "free station refused: " + state + " " + messages.join(" | "));
  // Back to a file of the program: the question and the report again.
  await chooseFile(page, "est1.txt", read(options.example));
  check(!(await page.isDisabled("#height")) && !(await page.isDisabled("#output-name")),
        "after a free station: the form not given back");
  await accessibility(page, "free station");
  await context.close();
}

// A file that is no input: the failure shown with the program's own message,
// nothing offered for saving; a file without a zenith section: no height
// asked by default; names of the user's that the page's files must not take.
async function failuresAndNames(browser) {
  const context = await browser.newContext({ acceptDownloads: true,
                                             viewport: { width: 1280, height: 720 } });
  await cutNetwork(context);
  const page = await openPage(context);
  const example = read(options.example);

  const junk = Buffer.from("isto nao e um ficheiro de dados\n");
  await chooseFile(page, "lixo.txt", junk);
  check(await page.isChecked("#height-no"), "junk: height asked by default");
  const native = nativeRun("lixo.txt", junk, ["lixo.txt", "lixo.rel", "N"]);
  let state = await computeInForm(page);
  const failure = await page.evaluate(() => ({
    shown: document.getElementById("failure").classList.contains("shown") &&
           document.getElementById("failure").getBoundingClientRect().height > 0,
    messages: [...document.querySelectorAll("#failure li")].map((li) => li.textContent),
    summary: !document.getElementById("summary").hidden,
    saves: !document.getElementById("saves").hidden,
    save: !document.getElementById("save-report").disabled,
  }));
  const lastLine = lastMessage(native.console);
  check(native.status === 1 && /^O calculo falhou \(estado de saida 1\)/.test(state) &&
        failure.shown && failure.messages.includes(lastLine) && !failure.summary,
        "junk: failure not shown: " + state + " " + JSON.stringify(failure) + " native: " + lastLine);
  check(!failure.saves && !failure.save, "junk: an empty report offered for saving");
  check(await inFirstScreen(page, ["failure"]), "junk: the failure is not on the first screen");

  // Without its zenith section, the example is run without the height.
  const planimetric = Buffer.from(example.toString("latin1").split("\n").slice(0, 7).join("\n") +
                                  "\n", "latin1");
  await chooseFile(page, "sem-cota.txt", planimetric);
  check(await page.isChecked("#height-no") && !(await page.isChecked("#height-yes")),
        "no zenith section: height asked by default");
  state = await computeInForm(page);
  const [download] = await Promise.all([page.waitForEvent("download"), page.click("#save-report")]);
  check(/^Terminado/.test(state) &&
        read(await download.path()).equals(nativeRun("sem-cota.txt", planimetric,
                                                     ["sem-cota.txt", "sem-cota.rel", "N"]).report),
        "no zenith section: " + state);
  // The answer is still the user's: S asks for the section the file lacks.
  await page.check("#height-yes");
  state = await computeInForm(page);
  check(/^O calculo falhou \(estado de saida 1\)/.test(state) &&
        !(await page.isDisabled("#save-report")) &&
        /incompleto/.test(await page.textContent("#save-label")),
        "no zenith section, height asked: " + state);

  // One reading wrong: the summary names it, and so does the next step.
  const wrong = oneWrongReading();
  const wrongAnalysis = nativeAnalysis("q5.txt", wrong).json;
  check(wrongAnalysis.planimetry.suspect.kind === "single" &&
        wrongAnalysis.planimetry.suspect.readings[0].name === "Q5",
        "one wrong reading: the native analysis does not name Q5");
  await chooseFile(page, "q5.txt", wrong);
  state = await computeInForm(page);
  check(/^Terminado/.test(state), "one wrong reading: " + state);
  await summaryAgainstJson(page, wrongAnalysis, "one wrong reading");

  // Input files named as the page's own outputs still get their analysis,
  // saved under names of their own.
  for (const name of ["analise.json", "esboco.svg", "est1-analise.json"]) {
    await chooseFile(page, name, example);
    check(await page.inputValue("#output-name") !== name, name + ": report named as the input");
    state = await computeInForm(page);
    await page.waitForFunction(() => !document.getElementById("save-json").disabled, null,
                               { timeout: 10000 }).catch(() => {});
    const saved = [];
    for (const button of ["#save-report", "#save-sketch", "#save-json"]) {
      const [d] = await Promise.all([page.waitForEvent("download"), page.click(button)]);
      saved.push(d.suggestedFilename());
    }
    const analysis = await page.textContent("#analysis");
    check(/^Terminado/.test(state) && /Teste global/.test(analysis) &&
          !/proprio ficheiro de input/.test(analysis) && !saved.includes(name) &&
          new Set(saved).size === 3,
          `${name}: ${state}; saved as ${saved.join(", ")}; ${analysis.slice(-200)}`);
  }

  // A report named as the input, however written, is refused as natively.
  for (const reportName of ["./est1.txt", "est1.txt", ".//est1.txt"]) {
    await chooseFile(page, "est1.txt", example);
    await page.fill("#output-name", reportName);
    state = await computeInForm(page);
    const nativeRefusal = nativeRun("est1.txt", example, ["est1.txt", reportName, "S"]);
    const messages = await page.$$eval("#failure li", (l) => l.map((x) => x.textContent));
    const expected = lastMessage(nativeRefusal.console);
    check(nativeRefusal.status === 2 && /estado de saida 2/.test(state) &&
          messages.includes(expected) && await page.isHidden("#saves"),
          `report ${reportName}: ${state} ${messages.join(" | ")}`);
  }
  await context.close();
}

async function largeBinaryFile(page) {
  const size = 6 * 1024 * 1024;
  const bytes = Buffer.alloc(size);
  for (let i = 0; i < size; i++) {
    bytes[i] = (i * 2654435761) >>> 24;
  }
  await chooseFile(page, "lixo.bin", bytes);
  const frames = await page.evaluate(() => new Promise((resolve) => {
    const state = document.getElementById("state");
    let last = performance.now();
    let slowest = 0;
    const start = last;
    const frame = (now) => {
      slowest = Math.max(slowest, now - last);
      last = now;
      if (/^(Terminado|O calculo falhou)/.test(state.textContent)) {
        resolve({ slowest, total: now - start });
      } else {
        requestAnimationFrame(frame);
      }
    };
    document.getElementById("compute").click();
    requestAnimationFrame(frame);
  }));
  const shown = await page.textContent("#console");
  const failure = await page.textContent("#failure");
  check(/Erro no ficheiro lixo\.bin/.test(shown) && /estado de saida 1/.test(shown) &&
        /Erro no ficheiro lixo\.bin/.test(failure), "binary file: the console shows " + shown);
  console.log(`binary file of ${size} bytes through the form: ${frames.total.toFixed(0)} ms,` +
              ` the slowest frame ${frames.slowest.toFixed(0)} ms`);
  check(frames.slowest < 1000, "binary file: the page stood still for " + frames.slowest + " ms");
}

// The page may fetch nothing but itself and what it makes.
const network = [];
const errors = [];
async function cutNetwork(context) {
  await context.setOffline(true);
  await context.route("**/*", (route) => {
    const url = route.request().url();
    if (/^(file|blob|data):/.test(url)) {
      return route.continue();
    }
    network.push(url);
    return route.abort();
  });
}

async function main() {
  const browser = await chromium.launch({ executablePath: options.chromium, headless: true });
  const context = await browser.newContext({ acceptDownloads: true,
                                             viewport: { width: 1100, height: 900 } });
  await cutNetwork(context);
  const page = await openPage(context);
  const size = fs.statSync(options.page).size;
  console.log(`page ${options.page}: ${(size / 1024).toFixed(0)} KiB`);

  await codePages(page);
  const suites = (options.suites || "").split(",").filter((s) => s !== "");
  if (suites.length === 0) {
    console.log(`shared acceptance runs not found in ${options.shared}: left out`);
  }
  let runs = 0;
  for (const suite of suites) {
    runs += await runSuite(page, suite, path.join(options.shared, suite));
  }
  runs += await runSuite(page, "golden", options.golden);
  const folders = [options.golden,
                   ...suites.map((suite) => path.join(options.shared, suite))]
    .flatMap((d) => fs.readdirSync(d).map((n) => path.join(d, n)))
    .filter((d) => fs.existsSync(path.join(d, "expected")));
  await analyses(page, folders);
  await numberEdges(page);
  check(runs >= 40, "only " + runs + " runs found");
  await largeBinaryFile(page);
  await timing(page);
  const formRun = suites.includes("acceptance") ? path.join(options.shared, "acceptance", "001-gd-n04")
                                                : path.join(options.golden, "gd-n04-walk-down");
  await throughTheForm(page, formRun);
  await context.close();

  await exampleOnADesktop(browser);
  await exampleOnAPhone(browser);
  await failuresAndNames(browser);
  await freeStation(browser);
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
