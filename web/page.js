// The page: window.resection.run and .analyse, which run the programs in a
// worker, and the form that uses them.
"use strict";
(function () {
  // ---- The programs in a worker -------------------------------------------
  let worker = null;
  let nextId = 1;
  const waiting = new Map();

  // The worker is made from the script in the page itself (a Blob), so that
  // the page needs no other file and no server.
  function startWorker() {
    const source = document.getElementById("worker-script").textContent;
    const url = URL.createObjectURL(new Blob([source], { type: "text/javascript" }));
    worker = new Worker(url);
    URL.revokeObjectURL(url);
    worker.onmessage = (event) => {
      const { id, answer, error } = event.data;
      const call = waiting.get(id);
      waiting.delete(id);
      if (error !== undefined) {
        // A module that failed may be left in any state: the next call
        // starts a new one.
        worker.terminate();
        worker = null;
        call.reject(new Error(error));
      } else {
        call.resolve(answer);
      }
    };
    worker.onerror = (event) => {
      event.preventDefault();
      const calls = [...waiting.values()];
      waiting.clear();
      worker.terminate();
      worker = null;
      calls.forEach((call) => call.reject(new Error(event.message || "falha do modulo")));
    };
  }

  function call(program, request) {
    request = request || {};
    if (worker === null) {
      startWorker();
    }
    const id = nextId++;
    const files = {};
    for (const [name, contents] of Object.entries(request.files || {})) {
      files[name] = contents;
    }
    const message = {
      id, program,
      args: (request.args || []).map(String),
      stdin: request.stdin === undefined ? "" : request.stdin,
      files,
    };
    return new Promise((resolve, reject) => {
      waiting.set(id, { resolve, reject });
      worker.postMessage(message);
    });
  }

  // ---- Reading the report ---------------------------------------------------
  // The report is single-byte text: the DOS code page 850 for gd runs (the
  // degree sign 0xF8), Latin-1 for gs runs (0xBA); gr runs are ASCII.
  const cp850High =
    "\u00c7\u00fc\u00e9\u00e2\u00e4\u00e0\u00e5\u00e7\u00ea\u00eb\u00e8\u00ef\u00ee\u00ec\u00c4\u00c5" +
    "\u00c9\u00e6\u00c6\u00f4\u00f6\u00f2\u00fb\u00f9\u00ff\u00d6\u00dc\u00f8\u00a3\u00d8\u00d7\u0192" +
    "\u00e1\u00ed\u00f3\u00fa\u00f1\u00d1\u00aa\u00ba\u00bf\u00ae\u00ac\u00bd\u00bc\u00a1\u00ab\u00bb" +
    "\u2591\u2592\u2593\u2502\u2524\u00c1\u00c2\u00c0\u00a9\u2563\u2551\u2557\u255d\u00a2\u00a5\u2510" +
    "\u2514\u2534\u252c\u251c\u2500\u253c\u00e3\u00c3\u255a\u2554\u2569\u2566\u2560\u2550\u256c\u00a4" +
    "\u00f0\u00d0\u00ca\u00cb\u00c8\u0131\u00cd\u00ce\u00cf\u2518\u250c\u2588\u2584\u00a6\u00cc\u2580" +
    "\u00d3\u00df\u00d4\u00d2\u00f5\u00d5\u00b5\u00fe\u00de\u00da\u00db\u00d9\u00fd\u00dd\u00af\u00b4" +
    "\u00ad\u00b1\u2017\u00be\u00b6\u00a7\u00f7\u00b8\u00b0\u00a8\u00b7\u00b9\u00b3\u00b2\u25a0\u00a0";

  function singleByteText(bytes, high) {
    const chunks = [];
    for (let start = 0; start < bytes.length; start += 8192) {
      let chunk = "";
      const end = Math.min(bytes.length, start + 8192);
      for (let i = start; i < end; i++) {
        const b = bytes[i];
        chunk += b < 0x80 || high === null ? String.fromCharCode(b) : high[b - 0x80];
      }
      chunks.push(chunk);
    }
    return chunks.join("");
  }

  // The unit code: the first value of the input file (after a UTF-8
  // byte-order mark), bare or in quotes.
  function unitOf(input) {
    let text = new TextDecoder("latin1").decode(input.subarray(0, 256));
    text = text.replace(/^\u00ef\u00bb\u00bf/, "");
    const match = /^[\s,]*["']?([A-Za-z]{2})/.exec(text);
    return match ? match[1].toLowerCase() : "";
  }

  function reportText(bytes, unit) {
    return singleByteText(bytes, unit === "gs" ? null : cp850High);
  }

  window.resection = {
    run: (request) => call("run", request),
    analyse: (request) => call("analyse", request),
    reportText: (bytes, unit) => reportText(bytes, String(unit || "").toLowerCase()),
  };

  // ---- The form ------------------------------------------------------------
  const $ = (id) => document.getElementById(id);
  const utf8 = new TextDecoder();
  const lines = (text) => text.replace(/\r\n/g, "\n");
  let input = null; // { name, bytes }
  let outputs = {}; // what the last run wrote, for saving
  let sketchUrl = null;

  function save(bytes, name, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = document.createElement("a");
    link.href = url;
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // The name the program is given for the input file: the file's own name
  // where the dialogue can carry it (72 characters, no control characters,
  // no trailing blank), else a plain one.
  function nameForProgram(name) {
    const bytes = new TextEncoder().encode(name);
    const plain = bytes.length > 0 && bytes.length <= 72 && !/[\x00-\x1f\x7f]/.test(name) &&
                  name === name.replace(/ +$/, "");
    return plain ? name : "dados.txt";
  }

  function baseName(name) {
    const dot = name.lastIndexOf(".");
    return dot > 0 ? name.slice(0, dot) : name;
  }

  async function choose(file) {
    if (!file) {
      return;
    }
    const bytes = new Uint8Array(await file.arrayBuffer());
    input = { name: nameForProgram(file.name), bytes };
    $("input-name").textContent = input.name + " (" + bytes.length + " bytes)";
    $("output-name").value = baseName(input.name) + ".rel";
    $("compute").disabled = false;
  }

  function clearResults() {
    outputs = {};
    for (const id of ["console", "report", "analysis"]) {
      $(id).textContent = "";
    }
    for (const id of ["save-report", "save-sketch", "save-json"]) {
      $(id).disabled = true;
    }
    $("sketch").removeAttribute("src");
    $("sketch").hidden = true;
    if (sketchUrl) {
      URL.revokeObjectURL(sketchUrl);
      sketchUrl = null;
    }
  }

  // The console as a terminal shows it: each answer typed behind its
  // prompt (the program's bytes hold the prompts alone, as from a pipe).
  function transcript(text, answers) {
    let next = 0;
    return text.replace(/(Nome do ficheiro de (?:input|output): |\(S\/N\)\? |UNIT [12]00\? )/g,
                        (prompt) => prompt + (next < answers.length ? answers[next++] : "") + "\n");
  }

  async function compute() {
    if (!input) {
      return;
    }
    clearResults();
    const reportName = $("output-name").value.trim() === "" ? baseName(input.name) + ".rel"
                                                            : $("output-name").value;
    const height = $("height-yes").checked ? "S" : "N";
    const files = { [input.name]: input.bytes };
    $("compute").disabled = true;
    $("state").textContent = "A calcular...";
    try {
      const answers = [input.name, reportName, height];
      const run = await window.resection.run({ files, args: [], stdin: answers.join("\n") + "\n" });
      $("console").textContent = transcript(lines(utf8.decode(run.console)), answers) +
                                 "\n(estado de saida " + run.status + ")";
      const written = Object.keys(run.files);
      if (written.length > 0) {
        outputs.report = { name: written[0], bytes: run.files[written[0]] };
        $("report").textContent = lines(reportText(outputs.report.bytes, unitOf(input.bytes)));
        $("save-name").value = outputs.report.name.replace(/^.*[\\/]/, "").trim() ||
                               "relatorio.rel";
        $("save-report").disabled = false;
      }
      $("state").textContent = "A analisar...";
      await analyse(files);
      $("state").textContent = "Calculo terminado em " + Math.round(run.milliseconds) + " ms.";
    } catch (error) {
      $("state").textContent = "O calculo falhou: " + error.message;
    } finally {
      $("compute").disabled = false;
    }
  }

  async function analyse(files) {
    // "--" before the names: an input file whose name begins with "-" is
    // still a name.
    const args = ["--json", "analise.json", "--", input.name, "esboco.svg"];
    const result = await window.resection.analyse({ files, args });
    $("analysis").textContent = lines(utf8.decode(result.console));
    const svg = result.files["esboco.svg"];
    if (svg && svg.length > 0) {
      outputs.sketch = svg;
      // Drawn as an image: a picture of the SVG, with no script and nothing
      // fetched, whatever the names in the file hold.
      sketchUrl = URL.createObjectURL(new Blob([svg], { type: "image/svg+xml" }));
      $("sketch").src = sketchUrl;
      $("sketch").hidden = false;
      $("save-sketch").disabled = false;
    }
    if (result.files["analise.json"]) {
      outputs.json = result.files["analise.json"];
      $("save-json").disabled = false;
    }
  }

  function setUp() {
    // The module is made ready while the file is chosen.
    startWorker();
    worker.postMessage({ id: 0, program: "load" });
    $("input-file").addEventListener("change", (e) => choose(e.target.files[0]));
    $("compute").addEventListener("click", compute);
    $("save-report").addEventListener("click", () =>
      save(outputs.report.bytes, $("save-name").value || outputs.report.name,
           "application/octet-stream"));
    $("save-sketch").addEventListener("click", () =>
      save(outputs.sketch, baseName(input.name) + ".svg", "image/svg+xml"));
    $("save-json").addEventListener("click", () =>
      save(outputs.json, baseName(input.name) + ".json", "application/json"));
    const drop = $("drop");
    document.addEventListener("dragover", (e) => {
      e.preventDefault();
      drop.classList.add("over");
    });
    document.addEventListener("dragleave", () => drop.classList.remove("over"));
    document.addEventListener("drop", (e) => {
      e.preventDefault();
      drop.classList.remove("over");
      if (e.dataTransfer && e.dataTransfer.files.length > 0) {
        choose(e.dataTransfer.files[0]);
      }
    });
  }

  if (document.readyState === "loading") {
    document.addEventListener("DOMContentLoaded", setUp);
  } else {
    setUp();
  }
})();
