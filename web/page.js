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

  // ---- The input file as the programs read it --------------------------------
  // Enough of the record reader to say what a file holds before it is run:
  // values separated by blanks or by one comma, texts bare or in quotes, a
  // record continued on the next line while it lacks values, the rest of its
  // last line ignored.
  function records(bytes) {
    const text = new TextDecoder("latin1").decode(bytes).replace(/^\u00ef\u00bb\u00bf/, "");
    const lines = text.split("\n");
    let line = 0;
    const valuesOf = (l) => {
      const values = [];
      const pattern = /\s*(?:"([^"]*)"|'([^']*)'|([^\s,]+))\s*,?/gy;
      let match;
      while ((match = pattern.exec(l)) !== null && match[0] !== "") {
        values.push(match[1] ?? match[2] ?? match[3]);
      }
      return values;
    };
    return (count) => {
      const values = [];
      while (values.length < count) {
        if (line >= lines.length) {
          return null;
        }
        values.push(...valuesOf(lines[line++]));
      }
      return values.slice(0, count);
    };
  }

  // A free station (its text form, first word "estacao-livre"; or JSON,
  // first character that is not blank "{") is for the analysis alone; any
  // other file is the program's input file.
  function formOf(bytes) {
    const text = new TextDecoder("latin1").decode(bytes.subarray(0, 4096))
      .replace(/^\u00ef\u00bb\u00bf/, "").replace(/^\s+/, "");
    if (text.startsWith("{")) {
      return "json";
    }
    return /^estacao-livre(\s|,|$)/i.test(text) ? "text" : "program";
  }

  // The points and observations a free station holds, or null where they
  // cannot be counted (the analysis then says what is wrong).
  function stationContents(bytes, form) {
    if (form === "json") {
      try {
        const record = JSON.parse(new TextDecoder().decode(bytes));
        return { free: true, points: record.points.length,
                 observations: record.observations.length };
      } catch {
        return { free: true, points: null, observations: null };
      }
    }
    let part = "header";
    let points = 0;
    let observations = 0;
    for (const line of new TextDecoder("latin1").decode(bytes).split("\n")) {
      const word = line.trim().split(/[\s,]+/)[1] || "";
      const first = line.trim().split(/[\s,]+/)[0].toLowerCase();
      if (first === "") {
        continue;
      }
      if (part === "header" && first === "pontos") {
        part = "points";
      } else if (part === "points" && first === "observacoes") {
        part = "observations";
      } else if (part === "points") {
        points++;
      } else if (part === "observations" && word.toLowerCase() !== "alvo") {
        observations++;
      }
    }
    return { free: true, points, observations };
  }

  // The unit, the number of points and of zenith readings a file holds (0
  // where it has no zenith section after the point records), or null where
  // it is no input a run could read; for a free station what it holds.
  function contentsOf(bytes) {
    const form = formOf(bytes);
    if (form !== "program") {
      return stationContents(bytes, form);
    }
    const next = records(bytes);
    const header = next(3);
    const station = next(1);
    const count = next(1);
    if (!header || !station || !count || !/^\d+$/.test(count[0])) {
      return null;
    }
    const unit = header[0].toLowerCase();
    const points = parseInt(count[0], 10);
    if (points > 1001) {
      return { unit, points, zenithCount: 0 }; // refused by the program
    }
    const perPoint = unit === "gs" ? 6 : 4;
    for (let i = 0; i < points; i++) {
      if (!next(perPoint)) {
        return null;
      }
    }
    const zenith = next(2);
    const zenithCount = zenith && /^\d+$/.test(zenith[0]) ? parseInt(zenith[0], 10) : 0;
    return { unit, points, zenithCount };
  }

  // ---- The form ------------------------------------------------------------
  const $ = (id) => document.getElementById(id);
  const utf8 = new TextDecoder();
  const lines = (text) => text.replace(/\r\n/g, "\n");
  let input = null; // { name, bytes, contents }
  let outputs = {}; // what the last run wrote, for saving: { name, bytes, type }
  let sketchUrl = null;
  let sketchStation = null; // [x, y] in the picture
  let busy = false;

  function save(output) {
    const url = URL.createObjectURL(new Blob([output.bytes], { type: output.type }));
    const link = document.createElement("a");
    link.href = url;
    link.download = output.name;
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

  // 'wanted', or with -2, -3, ... before its extension, so that it is none
  // of the names 'taken': the page's own files never take a name of the
  // user's.
  function distinctName(wanted, taken) {
    const dot = wanted.lastIndexOf(".");
    const [stem, extension] = dot > 0 ? [wanted.slice(0, dot), wanted.slice(dot)] : [wanted, ""];
    let name = wanted;
    for (let n = 2; taken.includes(name); n++) {
      name = stem + "-" + n + extension;
    }
    return name;
  }

  // A file's text for showing: UTF-8 where it is, else the Windows code
  // page most editors there save in.
  function shownText(bytes) {
    try {
      return new TextDecoder("utf-8", { fatal: true }).decode(bytes);
    } catch {
      return new TextDecoder("windows-1252").decode(bytes);
    }
  }

  function describe(contents) {
    if (!contents) {
      return "";
    }
    if (contents.free) {
      return ": estacao livre" + (contents.points === null ? "" :
        ", " + contents.points + (contents.points === 1 ? " ponto" : " pontos") + ", " +
        contents.observations + (contents.observations === 1 ? " observacao" : " observacoes"));
    }
    return ": " + contents.points + (contents.points === 1 ? " ponto" : " pontos") +
           (contents.zenithCount > 0 ? ", " + contents.zenithCount + " leituras zenitais" : "");
  }

  function choose(name, bytes) {
    input = { name: nameForProgram(name), bytes, contents: contentsOf(bytes) };
    $("input-name").textContent = input.name + " (" + bytes.length + " bytes)" +
                                  describe(input.contents);
    $("output-name").value = distinctName(baseName(input.name) + ".rel", [input.name]);
    // The height where the file has a zenith section: the answer is still
    // the user's. A free station has no report and no question: the
    // analysis alone reads it.
    const free = isFree();
    const height = !free && input.contents !== null && input.contents.zenithCount > 0;
    $("height-yes").checked = height;
    $("height-no").checked = !height;
    $("height").disabled = free;
    $("output-name").disabled = free;
    $("free-note").hidden = !free;
    $("input-text").textContent = lines(shownText(bytes));
    $("compute").disabled = busy;
  }

  async function chooseFile(file) {
    if (file) {
      choose(file.name, new Uint8Array(await file.arrayBuffer()));
    }
  }

  // ---- The bundled examples ---------------------------------------------------
  // One a line in the page: the name and the bytes in hexadecimal.
  function bundledExamples() {
    return $("examples").textContent.split("\n").filter((l) => l.trim() !== "").map((l) => {
      const [name, hex] = l.trim().split(" ");
      const bytes = new Uint8Array((hex || "").length / 2);
      for (let i = 0; i < bytes.length; i++) {
        bytes[i] = parseInt(hex.substr(2 * i, 2), 16);
      }
      return { name, bytes };
    });
  }

  function setUpExamples() {
    const examples = bundledExamples();
    if (examples.length === 0) {
      $("examples-line").hidden = true;
      return;
    }
    for (const example of examples) {
      const button = document.createElement("button");
      button.className = "example";
      button.textContent = example.name + describe(contentsOf(example.bytes)).replace(/^:/, ",");
      button.addEventListener("click", () => {
        if (!busy) {
          choose(example.name, example.bytes);
          compute();
        }
      });
      $("example-buttons").appendChild(button);
    }
    // The first lines of the first example show the form of a file.
    const first = examples[0];
    $("example-caption").textContent = "O inicio do exemplo " + first.name + ":";
    $("example-start").textContent = lines(shownText(first.bytes)).split("\n").slice(0, 9)
                                                                  .join("\n") + "\n...";
  }

  // ---- A run through the form ---------------------------------------------------
  function clearResults() {
    outputs = {};
    for (const id of ["console", "report", "analysis", "failure", "summary-station",
                      "summary-verdict", "summary-lines", "next-step", "program-message-list",
                      "legend"]) {
      $(id).textContent = "";
    }
    $("failure").classList.remove("shown");
    for (const id of ["summary", "program-messages", "saves", "sketch-box"]) {
      $(id).hidden = true;
    }
    $("save-report-line").hidden = false;
    for (const id of ["save-report", "save-sketch", "save-json"]) {
      $(id).disabled = true;
    }
    $("sketch").removeAttribute("src");
    if (sketchUrl) {
      URL.revokeObjectURL(sketchUrl);
      sketchUrl = null;
    }
  }

  // The console as a terminal shows it: each answer typed behind its
  // prompt (the program's bytes hold the prompts alone, as from a pipe).
  const prompts = /(Nome do ficheiro de (?:input|output): |\(S\/N\)\? |UNIT [12]00\? )/g;
  function transcript(text, answers) {
    let next = 0;
    return text.replace(prompts, (prompt) =>
      prompt + (next < answers.length ? answers[next++] : "") + "\n");
  }

  // What the program said beyond its banner and its questions: its
  // messages, warnings and stops.
  function programMessages(text) {
    return text.replace(/Quer calcular a cota do ponto visado \(S\/N\)\? /g, "")
      .replace(prompts, "").split("\n").map((l) => l.trim())
      .filter((l) => l !== "" && !/^\*+$/.test(l) && l !== "Interseccao inversa");
  }

  function listInto(id, items) {
    const list = $(id);
    list.textContent = "";
    for (const item of items) {
      const li = document.createElement("li");
      li.textContent = item;
      list.appendChild(li);
    }
  }

  function elapsed(milliseconds) {
    return milliseconds < 1000 ? Math.round(milliseconds) + " ms"
                               : (milliseconds / 1000).toFixed(1) + " s";
  }

  function isFree() {
    return input !== null && input.contents !== null && input.contents.free === true;
  }

  // A free station: the analysis alone, as resection takes directions of
  // one precision only.
  async function computeFreeStation(started) {
    const files = { [input.name]: input.bytes };
    $("console").textContent = "Estacao livre: o resection nao a calcula (so leituras " +
                               "azimutais de uma precisao); so a analise a le.";
    $("report").textContent = "(sem relatorio: uma estacao livre so tem a analise)";
    $("results").hidden = false;
    $("state").textContent = "A analisar...";
    const result = await analyse(files, "");
    if (result.status !== 0) {
      const messages = programMessages(lines(utf8.decode(result.console)))
        .filter((l) => l !== "Interseccao inversa: analise" && !/^Ficheiro de input: /.test(l));
      showFailure(result.status, messages, false);
      $("summary").hidden = true;
      $("state").textContent = "A analise falhou (estado de saida " + result.status + "), em " +
                               elapsed(performance.now() - started) + ".";
      return;
    }
    $("state").textContent = "Terminado em " + elapsed(performance.now() - started) +
                             " (analise da estacao livre). " + result.verdict;
  }

  async function compute() {
    if (!input || busy) {
      return;
    }
    busy = true;
    const started = performance.now();
    const free = isFree();
    clearResults();
    $("compute").disabled = true;
    document.querySelectorAll("button.example").forEach((b) => { b.disabled = true; });
    try {
      await (free ? computeFreeStation(started) : computeReport(started));
    } catch (error) {
      $("state").textContent = (free ? "A analise falhou: " : "O calculo falhou: ") + error.message;
    } finally {
      busy = false;
      $("compute").disabled = input === null;
      document.querySelectorAll("button.example").forEach((b) => { b.disabled = false; });
    }
  }

  // The program's run, then the analysis of its input file.
  async function computeReport(started) {
    const reportName = $("output-name").value.trim() === "" ?
      distinctName(baseName(input.name) + ".rel", [input.name]) : $("output-name").value;
    const height = $("height-yes").checked ? "S" : "N";
    const files = { [input.name]: input.bytes };
    $("state").textContent = "A calcular...";
    const answers = [input.name, reportName, height];
    const run = await window.resection.run({ files, args: [], stdin: answers.join("\n") + "\n" });
    const consoleText = lines(utf8.decode(run.console));
    $("console").textContent = transcript(consoleText, answers) +
                               "\n(estado de saida " + run.status + ")";
    const messages = programMessages(consoleText);
    const written = Object.keys(run.files);
    const report = written.length > 0 ? run.files[written[0]] : new Uint8Array(0);
    $("report").textContent = lines(reportText(report, unitOf(input.bytes)));
    $("results").hidden = false;
    if (report.length > 0) {
      // Saved under the name the program wrote, less any folder.
      const name = written[0].replace(/^.*[\\/]/, "").trim() || "relatorio.rel";
      outputs.report = { name, bytes: report, type: "application/octet-stream" };
      $("save-name").value = name;
      $("save-report").disabled = false;
      $("saves").hidden = false;
    }
    if (run.status !== 0) {
      showFailure(run.status, messages, report.length > 0);
      $("state").textContent = "O calculo falhou (estado de saida " + run.status + "), em " +
                               elapsed(performance.now() - started) + ".";
      return;
    }
    if (messages.length > 0) {
      listInto("program-message-list", messages);
      $("program-messages").hidden = false;
    }
    $("state").textContent = "A analisar...";
    const analysed = await analyse(files, reportName);
    $("state").textContent = "Terminado em " + elapsed(performance.now() - started) +
                             " (calculo e analise). " + analysed.verdict;
  }

  function showFailure(status, messages, partialReport) {
    const failure = $("failure");
    failure.textContent = "";
    const title = document.createElement("h2");
    title.textContent = (isFree() ? "A analise falhou" : "O calculo falhou") +
                        " (estado de saida " + status + ")";
    failure.appendChild(title);
    const list = document.createElement("ul");
    for (const message of messages.length > 0 ? messages : ["O programa nao disse porque."]) {
      const li = document.createElement("li");
      li.textContent = message;
      list.appendChild(li);
    }
    failure.appendChild(list);
    const hint = document.createElement("p");
    hint.textContent = (status === 1 ? "O ficheiro de dados foi recusado: corrija-o onde a " +
                                       "mensagem diz e calcule de novo."
                                     : "Um ficheiro nao pode ser lido ou escrito: escolha " +
                                       "outro nome.") +
                       (partialReport ? " O relatorio acaba onde o problema foi encontrado." : "");
    failure.appendChild(hint);
    failure.classList.add("shown");
    $("save-label").textContent = "Guardar o relatorio incompleto como:";
  }

  async function analyse(files, reportName) {
    // The analysis's own files under names that are not the input's.
    const jsonName = distinctName("analise.json", [input.name]);
    const sketchName = distinctName("esboco.svg", [input.name]);
    // "--" before the names: an input file whose name begins with "-" is
    // still a name.
    const args = ["--json", jsonName, "--", input.name, sketchName];
    const result = await window.resection.analyse({ files, args });
    $("analysis").textContent = lines(utf8.decode(result.console));
    // Saved under names that are neither the input's nor the report's.
    const base = baseName(input.name);
    const taken = [input.name, reportName, $("save-name").value].filter((n) => n !== "");
    const svg = result.files[sketchName];
    if (svg && svg.length > 0) {
      outputs.sketch = { name: distinctName(base + "-esboco.svg", taken), bytes: svg,
                         type: "image/svg+xml" };
      showSketch(svg);
      $("save-sketch").disabled = false;
    }
    const json = result.files[jsonName];
    if (json && json.length > 0) {
      outputs.json = { name: distinctName(base + "-analise.json", taken), bytes: json,
                       type: "application/json" };
      $("save-json").disabled = false;
    }
    $("saves").hidden = false;
    $("save-report-line").hidden = isFree();
    $("save-label").textContent = "Guardar o relatorio como:";
    let parsed = null;
    try {
      parsed = json ? JSON.parse(utf8.decode(json)) : null;
    } catch {
      parsed = null;
    }
    return { status: result.status, console: result.console,
             verdict: showSummary(parsed, result.status) };
  }

  // ---- The summary -------------------------------------------------------------
  const fixed = (value, decimals) =>
    typeof value === "number" && Number.isFinite(value) ? value.toFixed(decimals) : "?";

  // The companion's summary (the "summary" of its JSON): the station it
  // stands on as a headline, the verdict, its lines as the analysis prints
  // them, and the next step. Its heading, its station line and its next-step
  // line are shown by the headline and the box instead. Returns a sentence
  // for the status line.
  function showSummary(json, status) {
    $("summary").hidden = false;
    const s = json && json.summary;
    if (!s) {
      $("summary-station").textContent = json && json.station ? "Estacao " + json.station : "";
      $("summary-verdict").textContent = "Sem analise";
      $("summary-verdict").className = "verdict none";
      listInto("summary-lines", [json && json.stop ? json.stop.trim()
                                                   : "A analise parou (estado " + status + ")."]);
      $("next-step").textContent = "Veja as mensagens da consola e do relatorio.";
      return "Sem analise.";
    }
    // Each coordinate kept on one line where the line breaks.
    const station = s.station;
    const placed = typeof station.m === "number" && typeof station.p === "number";
    const without = station.withoutObservation ? " (sem a " + station.withoutObservation + ")"
                                               : " (sem a leitura " + station.without + ")";
    const parts = ["Estacao " + station.name + (station.basis === "without" ? without : "") +
                   ":",
                   ...(placed ? ["M = " + fixed(station.m, 3) + " m", "P = " + fixed(station.p, 3) + " m"]
                              : ["sem posicao"])];
    if (typeof station.h === "number") {
      parts.push("C = " + fixed(station.h, 3) + " m");
    }
    const headline = $("summary-station");
    parts.forEach((part, i) => {
      const span = document.createElement("span");
      span.textContent = part + (i > 0 && i < parts.length - 1 ? "," : "");
      headline.append(i > 0 ? " " : "", span);
    });
    const verdict = { accepted: "Teste global: aceite", rejected: "Teste global: rejeitado",
                      notApplicable: "Sem teste global" }[s.test] || "";
    $("summary-verdict").textContent = verdict;
    $("summary-verdict").className = "verdict " + (s.test || "none");
    // The station line is the headline's, where the station is placed;
    // else its words say why it is not.
    let stationLine = !placed;
    listInto("summary-lines", (s.lines || []).filter((line) => {
      const text = line.trim();
      if (!stationLine && /^Estacao /.test(text)) {
        stationLine = true;
        return false;
      }
      return text !== "Resumo:" && text !== "Proximo passo: " + s.nextStep;
    }).map((line) => line.replace(/^ {2}/, "")));
    $("next-step").textContent = s.nextStep || "";
    return verdict + ". " + (s.nextStep || "");
  }

  // ---- The sketch ---------------------------------------------------------------
  // Drawn as an image (a picture of the SVG, with no script and nothing
  // fetched, whatever the names in the file hold), less the legend under its
  // frame, which is written beside it as text that a phone shows at a
  // readable size. The file is read, never run, to find the legend.
  function showSketch(svg) {
    sketchUrl = URL.createObjectURL(new Blob([svg], { type: "image/svg+xml" }));
    const img = $("sketch");
    img.src = sketchUrl;
    const frame = $("sketch-frame");
    frame.style.aspectRatio = "";
    sketchStation = null;
    const doc = new DOMParser().parseFromString(utf8.decode(svg), "image/svg+xml");
    const root = doc.documentElement;
    const box = doc.querySelector("clipPath rect");
    if (root.nodeName === "svg" && box) {
      const width = parseFloat(root.getAttribute("width"));
      const below = parseFloat(box.getAttribute("y")) + parseFloat(box.getAttribute("height"));
      // The legend's lines start at the frame's left edge well under it;
      // the scale bar and the north arrow stay in the picture.
      const legend = [...doc.querySelectorAll("text")].filter((t) =>
        t.getAttribute("text-anchor") === "start" &&
        parseFloat(t.getAttribute("x")) === parseFloat(box.getAttribute("x")) &&
        parseFloat(t.getAttribute("y")) > below + 40);
      if (legend.length > 0 && width > 0) {
        const top = Math.min(...legend.map((t) => parseFloat(t.getAttribute("y")))) - 16;
        frame.style.aspectRatio = width + " / " + top;
        for (const t of legend) {
          const li = document.createElement("li");
          // A line in the colour of what it explains gets a swatch of it;
          // the text stays dark enough to read.
          const colour = t.getAttribute("fill");
          if (colour && colour !== "black") {
            const swatch = document.createElement("span");
            swatch.className = "swatch";
            swatch.style.backgroundColor = colour;
            li.appendChild(swatch);
          }
          li.append(t.textContent);
          if (t.getAttribute("font-weight") === "bold") {
            li.className = "strong";
          }
          $("legend").appendChild(li);
        }
      }
      // The station's name, bold inside the frame: the zoomed view opens on it.
      const label = [...doc.querySelectorAll("text")].find((t) =>
        t.getAttribute("font-weight") === "bold" && parseFloat(t.getAttribute("y")) < below);
      sketchStation = label ? [parseFloat(label.getAttribute("x")),
                               parseFloat(label.getAttribute("y"))] : null;
      const title = doc.querySelector("title");
      img.alt = "Esboco" + (title ? " (" + title.textContent + ")" : "") +
                ": a estacao, os pontos visados e os raios; a legenda segue em texto.";
    }
    $("sketch-box").hidden = false;
    setZoom(false);
  }

  function setZoom(on) {
    $("sketch-box").classList.toggle("zoomed", on);
    $("sketch-zoom").setAttribute("aria-pressed", String(on));
    $("sketch-zoom").textContent = on ? "Esboco a largura da pagina" : "Ampliar o esboco";
    // At its own size the picture's pixels are the file's: the station in
    // the middle of the view.
    const frame = $("sketch-frame");
    if (on && sketchStation) {
      frame.scrollLeft = sketchStation[0] - frame.clientWidth / 2;
      frame.scrollTop = sketchStation[1] - frame.clientHeight / 2;
    }
  }

  function setUp() {
    // The module is made ready while the file is chosen.
    startWorker();
    worker.postMessage({ id: 0, program: "load" });
    setUpExamples();
    $("input-file").addEventListener("change", (e) => chooseFile(e.target.files[0]));
    $("compute").addEventListener("click", compute);
    $("save-report").addEventListener("click", () =>
      save({ ...outputs.report, name: $("save-name").value.trim() || outputs.report.name }));
    $("save-sketch").addEventListener("click", () => save(outputs.sketch));
    $("save-json").addEventListener("click", () => save(outputs.json));
    $("sketch-zoom").addEventListener("click", () =>
      setZoom(!$("sketch-box").classList.contains("zoomed")));
    // The description is folded at the end of the page: its link unfolds it.
    const openDescription = () => {
      if (location.hash === "#descricao") {
        $("descricao").open = true;
      }
    };
    window.addEventListener("hashchange", openDescription);
    $("to-description").addEventListener("click", () => { $("descricao").open = true; });
    openDescription();
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
        chooseFile(e.dataTransfer.files[0]);
      }
    });
  }

  if (document.readyState === "loading") {
    document.addEventListener("DOMContentLoaded", setUp);
  } else {
    setUp();
  }
})();
