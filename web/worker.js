// The worker's side: the module above runs the programs here, away from the
// page, so that a long run or a large file never holds the page up.
"use strict";
let ready = null;

function module() {
  if (ready === null) {
    ready = createResectionModule();
  }
  return ready;
}

const encoder = new TextEncoder();

function bytesOf(value) {
  if (value instanceof Uint8Array) {
    return value;
  }
  if (value instanceof ArrayBuffer || ArrayBuffer.isView(value)) {
    return new Uint8Array(value instanceof ArrayBuffer ? value : value.buffer,
                          value.byteOffset || 0, value.byteLength);
  }
  return encoder.encode(String(value === undefined || value === null ? "" : value));
}

// The request as entry.cpp reads it: counts and lengths as 32-bit little
// endian, each string its length and its bytes.
function encodeRequest(args, stdin, files) {
  const parts = [];
  const count = (n) => {
    const b = new Uint8Array(4);
    new DataView(b.buffer).setUint32(0, n, true);
    parts.push(b);
  };
  const bytes = (v) => {
    const b = bytesOf(v);
    count(b.length);
    parts.push(b);
  };
  count(args.length);
  args.forEach(bytes);
  bytes(stdin);
  const names = Object.keys(files);
  count(names.length);
  for (const name of names) {
    bytes(name);
    bytes(files[name]);
  }
  const total = parts.reduce((n, p) => n + p.length, 0);
  const request = new Uint8Array(total);
  let at = 0;
  for (const p of parts) {
    request.set(p, at);
    at += p.length;
  }
  return request;
}

function decodeResult(view) {
  const data = new DataView(view.buffer, view.byteOffset, view.byteLength);
  let at = 0;
  const count = () => {
    const n = data.getUint32(at, true);
    at += 4;
    return n;
  };
  const bytes = () => {
    const n = count();
    const b = view.slice(at, at + n);
    at += n;
    return b;
  };
  const status = count() | 0;
  const console = bytes();
  const files = {};
  const names = new TextDecoder();
  for (let n = count(); n > 0; n--) {
    const name = names.decode(bytes());
    files[name] = bytes();
  }
  return { status, console, files };
}

onmessage = async (event) => {
  const { id, program, args, stdin, files } = event.data;
  if (program === "load") {
    // Made ready ahead of the first run, which hears of any failure.
    module().catch(() => {});
    return;
  }
  try {
    const m = await module();
    const request = encodeRequest(args, stdin, files);
    const pointer = m._malloc(Math.max(1, request.length));
    m.HEAPU8.set(request, pointer);
    const start = performance.now();
    const result = program === "analyse" ? m._page_analyse(pointer, request.length)
                                         : m._page_run(pointer, request.length);
    const milliseconds = performance.now() - start;
    m._free(pointer);
    const answer = decodeResult(m.HEAPU8.subarray(result, result + m._page_result_size()));
    answer.milliseconds = milliseconds;
    const transfer = [answer.console.buffer, ...Object.values(answer.files).map((f) => f.buffer)];
    postMessage({ id, answer }, transfer);
  } catch (error) {
    postMessage({ id, error: String(error && error.message ? error.message : error) });
  }
};
