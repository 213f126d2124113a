// The web build in a headless browser: node tests/web/test_web.js [--firefox] CASE DIST [SOURCE_DIR]
// (Chromium over the DevTools protocol, browser.js; with --firefox, Firefox ESR over
// WebDriver BiDi, bidi.js; the same cases on either)
//   page     no console error; "No" starts the show; the canvas changes a second apart;
//            sound suspended mid-show is said once, the picture goes on, the music comes
//            back on resume; Escape ends it and the page says so; under with_pulse.sh
//            the music is heard on the private server's "glimwick" sink
//   fullscreen  Yes on a 16:9 screen: the picture fills the height, 4:3 kept, black bars
//            left and right; Escape leaves fullscreen and ends the show
//   missing  the music file not served: the page shows the one line
//   no-webgl a browser without WebGL: the one line
//   no-audio a browser that will not start sound (the answer clicked by a script, which
//            is no user gesture, under a policy that wants one): the one line
//   frames   the frame test bounded: the page a viewer gets ignores ?frames= and asks the
//            question; the tests' copy (DIST-frames) refuses a frame past the end
//   slow-audio  a browser whose sound takes 4.5 s to start after the click: the show starts
//            at once, silent, and the music arrives once the context runs
//   small-screens  windowed on a 1366 x 650 page and on a 390 x 844 phone screen: the whole
//            picture in view, 4:3, as large as the page allows, its buffer 1024 x 768
//            (screenshots into GLIMWICK_WEB_SHOTS, if set)
//   golden   moments across the show rendered in the browser on the fixed-rate clock,
//            compared with tests/golden/ (SOURCE_DIR) as the native golden test does,
//            in the tests' copy of the folder (DIST, here the -frames one)
"use strict";
const { execFileSync, spawn } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { serve } = require("./browser.js");

// Per browser: its driver and the launch options the cases need (Chromium: extra command
// line flags; Firefox: extra prefs).
const kBrowsers = {
  chromium: { driver: "./browser.js", options: {
    "no-webgl": ["--disable-webgl"],
    "no-audio": ["--autoplay-policy=document-user-activation-required"] } },
  firefox: { driver: "./bidi.js", options: {
    "no-webgl": { extraPrefs: { "webgl.disabled": true } },
    "no-audio": { extraPrefs: { "media.autoplay.default": 1, "media.autoplay.block-webaudio": true } } } },
};
let Page = null; // the browser's, set in main

let failures = 0;
function check(what, ok, detail = "") {
  if (ok) console.log("PASS: " + what);
  else {
    console.log("FAIL: " + what + (detail ? " (" + detail + ")" : ""));
    failures++;
  }
  return ok;
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Whether two reads of the canvas a second apart differ, over up to 20 pairs: the opening
// flash lasts a number of frames, so on a loaded machine rendering few frames a second the
// picture stays white for seconds, but a show that stands still never changes.
async function canvasMoves(page) {
  let before = await page.screenshot("#canvas");
  for (let pair = 0; pair < 20; pair++) {
    await sleep(1000);
    const after = await page.screenshot("#canvas");
    if (!after.equals(before)) return true;
    before = after;
  }
  return false;
}

// The loudest sample on the PulseAudio sink "glimwick" over the next seconds, read from its
// monitor (16-bit, so up to 32768), or null outside with_pulse.sh (GLIMWICK_PULSE_PID unset).
// with_pulse.sh keeps a stream of zeros on the sink, so only the page can make it loud.
function sinkPeak(seconds) {
  if (!process.env.GLIMWICK_PULSE_PID) return Promise.resolve(null);
  const rate = 8000, want = Math.round(rate * seconds) * 2;
  return new Promise((resolve) => {
    const rec = spawn("parec", ["-d", "glimwick.monitor", "--raw", "--format=s16le", "--channels=1",
                                "--rate=" + rate, "--latency-msec=50"], { stdio: ["ignore", "pipe", "ignore"] });
    const chunks = [];
    let got = 0;
    rec.stdout.on("data", (chunk) => {
      chunks.push(chunk);
      got += chunk.length;
      if (got >= want) rec.kill("SIGTERM");
    });
    rec.on("close", () => {
      const samples = Buffer.concat(chunks);
      let peak = got >= want ? 0 : -1; // -1: parec ended early
      for (let i = 0; i + 1 < samples.length; i += 2) peak = Math.max(peak, Math.abs(samples.readInt16LE(i)));
      resolve(peak);
    });
  });
}

// The brightest channel of any pixel on the canvas as the page shows it now.
async function canvasBrightest(page) {
  const rgb = rgbOf(await page.screenshot("#canvas"));
  let most = 0;
  for (const v of rgb) most = Math.max(most, v);
  return most;
}

async function pageCase(page) {
  await page.waitFor(`!document.getElementById("question").hidden`, 30);
  check("the question is asked", await page.evaluate(`document.body.innerText.includes("Fullscreen?")`));
  await page.click("#no");
  await page.waitFor(`window.glimwickState !== "loading"`, 60);
  check("No starts the show", (await page.evaluate("window.glimwickState")) === "running",
        await page.evaluate(`document.getElementById("line").textContent`));
  const lit = await canvasBrightest(page);
  check("the picture is lit", lit > 24, "brightest channel " + lit);
  check("the canvas changes between two reads a second apart", await canvasMoves(page));
  const audio = await page.evaluate(`(() => { const c = Module.glimwickAudio; return { state: c.state,
    rate: c.sampleRate, baseLatency: c.baseLatency, outputLatency: c.outputLatency,
    outputTimestamp: typeof c.getOutputTimestamp === "function" }; })()`);
  console.log("audio: " + JSON.stringify(audio));
  check("the music plays", audio.state === "running");
  check("the music is queued ahead on the page's context", await page.evaluate(
    `!!Module.glimwickStream && Module.glimwickStream.nodes.length > 0 && Module.glimwickStream.queued > 0`));
  const peak = await sinkPeak(3);
  if (peak !== null) check("the music is heard on the sound server's sink", peak > 300, "peak sample " + peak) &&
    console.log("sink peak sample: " + peak);

  // The browser suspends sound mid-show: the picture goes on, the loss is said once, and
  // the music is back on a new stream within the keeper's second once sound resumes.
  await page.evaluate("Module.glimwickAudio.suspend()");
  await page.waitFor("!Module.glimwickStream", 5).catch(() => {});
  const lossLine = "glimwick: sound lost (the browser suspended audio); going on silent";
  check("the loss is said once", page.console.filter((l) => l.endsWith(lossLine)).length === 1,
        page.console.join("; "));
  check("the picture goes on while sound is suspended",
        (await canvasMoves(page)) && (await page.evaluate("window.glimwickState")) === "running");
  await page.evaluate("Module.glimwickAudio.resume()");
  const back = await page.waitFor("!!Module.glimwickStream && Module.glimwickStream.nodes.length > 0", 5).catch(() => false);
  check("the music is back once the browser resumes sound", back);
  await page.key("Escape", "Escape", 27);
  await page.waitFor(`window.glimwickState === "ended"`, 20).catch(() => {});
  check("Escape ends the show", (await page.evaluate("window.glimwickState")) === "ended");
  check("the page says it has ended and offers to play again", await page.evaluate(
    `document.body.innerText.includes("The show has ended.") && !document.getElementById("again").hidden`));
  check("no console error", page.errors.length === 0, page.errors.join("; "));
}

// Before the page's scripts: each AudioContext starts suspended, and resume() takes 4.5 s,
// more than the page's 3 s wait for sound, as a device that wakes up slowly does.
const kSlowAudio = `(() => {
  const Original = window.AudioContext, resume = Original.prototype.resume;
  window.AudioContext = class extends Original {
    constructor(...args) { super(...args); Original.prototype.suspend.call(this); }
    resume() { return new Promise((r) => setTimeout(r, 4500)).then(() => resume.call(this)); }
  };
})();`;

async function slowAudioCase(page) {
  await page.waitFor(`!document.getElementById("question").hidden`, 30);
  await page.click("#no");
  await page.waitFor(`window.glimwickState !== "loading"`, 60);
  check("the show starts while sound is still starting",
        (await page.evaluate("window.glimwickState")) === "running",
        await page.evaluate(`document.getElementById("line").textContent`));
  check("its context was still suspended", await page.evaluate(
    `!!Module.glimwickAudio && !Module.glimwickStream`));
  const arrived = await page.waitFor(`Module.glimwickAudio.state === "running" &&
    !!Module.glimwickStream && Module.glimwickStream.nodes.length > 0`, 15).catch(() => false);
  check("the music arrives once the context runs", arrived, page.console.join("; "));
  check("the picture goes on", await canvasMoves(page));
  check("no console error", page.errors.length === 0, page.errors.join("; "));
}

// Windowed on a laptop's page below 768 CSS pixels and on a phone (a dense screen, as a
// phone lays out a page): the picture fits whole and is as large as the page allows.
async function smallScreensCase(browser, url) {
  const shots = process.env.GLIMWICK_WEB_SHOTS;
  for (const [w, h, scale, mobile] of [[1366, 650, 1, false], [390, 844, 3, true]]) {
    const page = await Page.open(browser, "about:blank");
    await page.setViewport({ width: w, height: h, scale, mobile });
    await page.navigate(url);
    await page.waitFor(`!document.getElementById("question").hidden`, 30);
    await page.click("#no");
    await page.waitFor(`window.glimwickState !== "loading"`, 60);
    const label = `${w} x ${h}`;
    check(label + ": the show runs", (await page.evaluate("window.glimwickState")) === "running",
          await page.evaluate(`document.getElementById("line").textContent`));
    const box = await page.evaluate(`(() => { const c = document.getElementById("canvas");
      const r = c.getBoundingClientRect(); return { x: r.x, y: r.y, w: r.width, h: r.height,
      right: r.right, bottom: r.bottom, pageW: innerWidth, pageH: innerHeight,
      bufferW: c.width, bufferH: c.height }; })()`);
    const seen = JSON.stringify(box);
    check(label + ": the page is the screen's size", box.pageW === w && box.pageH === h, seen);
    check(label + ": the whole picture in view", box.x >= 0 && box.y >= 0 &&
          box.right <= box.pageW + 0.5 && box.bottom <= box.pageH + 0.5, seen);
    check(label + ": 4:3", Math.abs(box.w / box.h - 4 / 3) < 0.01, seen);
    const fits = Math.min(1024, box.pageW, box.pageH * 4 / 3);
    check(label + ": as wide as the page allows", Math.abs(box.w - fits) < 1, seen);
    check(label + ": the buffer stays 1024 x 768", box.bufferW === 1024 && box.bufferH === 768, seen);
    if (shots) {
      await sleep(3000); // past the opening flash
      fs.writeFileSync(path.join(shots, `page-${w}x${h}.png`), await page.screenshot());
    }
    check(label + ": no console error", page.errors.length === 0, page.errors.join("; "));
    await page.close();
  }
}

// A PNG's pixels as 8-bit RGB rows, top first.
function rgbOf(png) {
  return execFileSync("convert", ["png:-", "-depth", "8", "rgb:-"], { input: png, maxBuffer: 1 << 24 });
}

// Brightest channel in the screen's columns [x0, x1) over rows [y0, y1).
function brightest(rgb, width, x0, x1, y0, y1) {
  let most = 0;
  for (let y = y0; y < y1; y++)
    for (let x = x0; x < x1; x++)
      for (let c = 0; c < 3; c++) most = Math.max(most, rgb[(y * width + x) * 3 + c]);
  return most;
}

async function fullscreenCase(page) {
  const [w, h] = [1280, 720]; // the picture: 960 x 720 from x = 160, its band rows 120 to 600
  await page.setViewport({ width: w, height: h });
  await page.waitFor(`!document.getElementById("question").hidden`, 30);
  await page.click("#yes");
  await page.waitFor(`window.glimwickState !== "loading"`, 60);
  check("Yes makes the stage fullscreen", await page.evaluate(`document.fullscreenElement === document.getElementById("stage")`));
  await sleep(3000); // by 3 s the swirl fills the picture's band to its edges
  const rgb = rgbOf(await page.screenshot("#stage")); // the stage is the whole screen
  check("a screen's worth of pixels", rgb.length === w * h * 3);
  const bars = Math.max(brightest(rgb, w, 0, 155, 0, h), brightest(rgb, w, 1125, w, 0, h));
  const edges = Math.min(brightest(rgb, w, 165, 200, 200, 520), brightest(rgb, w, 1080, 1115, 200, 520));
  check("black bars left and right of a 4:3 picture", bars < 8 && edges > 24, `bars ${bars}, picture edges ${edges}`);
  await page.key("Escape", "Escape", 27);
  await page.waitFor(`window.glimwickState === "ended"`, 20).catch(() => {});
  check("Escape leaves fullscreen and ends the show", await page.evaluate(
    `!document.fullscreenElement && window.glimwickState === "ended"`));
  check("no console error", page.errors.length === 0, page.errors.join("; "));
}

// Both folders served side by side: the viewer's page and the tests' copy.
async function framesCase(browser, base, name) {
  const viewer = await Page.open(browser, `${base}/${name}/index.html?frames=0`);
  await viewer.waitFor(`!document.getElementById("question").hidden || window.glimwickState !== "loading"`, 30);
  check("the viewer's page ignores ?frames= and asks the question", await viewer.evaluate(
    `!document.getElementById("question").hidden && window.glimwickState === "loading"`),
        await viewer.evaluate("window.glimwickState"));
  const tests = await Page.open(browser, `${base}/${name}-frames/index.html?frames=120,99999999999`);
  await oneLineCase(tests, /^glimwick: --frames: frame 99999999999 is not drawn \(the show ends before it\)$/);
}

async function oneLineCase(page, pattern) {
  await page.waitFor(`!document.getElementById("line").hidden`, 60).catch(() => {});
  const line = await page.evaluate(`document.getElementById("line").textContent`);
  check("the page shows the line " + pattern, pattern.test(line), JSON.stringify(line));
  check("one line", !line.includes("\n") && line.length > 0 && line.length < 200);
  check("no question left to answer", await page.evaluate(`document.getElementById("question").hidden`));
  check("no exception", !page.errors.some((e) => e.startsWith("exception")), page.errors.join("; "));
}

// The golden test's 4 x 4 reduction (tests/capture/test_golden_frames.cpp); its moments and
// tolerance are in tests/golden/moments.txt, which both tests read.
const kWidth = 1024, kHeight = 768, kScale = 4;

// tests/golden/moments.txt: "moment NAME SECONDS" lines and the tolerance, # comments.
function readGoldenTable(source) {
  const file = path.join(source, "tests/golden/moments.txt");
  const table = { moments: [] };
  fs.readFileSync(file, "utf8").split("\n").forEach((line, i) => {
    const fields = line.replace(/#.*/, "").trim().split(/\s+/).filter((f) => f);
    if (fields.length === 0) return;
    const [key, ...values] = fields;
    const numbers = values.map(Number);
    const bad = () => { throw new Error(`${file}:${i + 1}: cannot read '${line}'`); };
    if (key === "moment") {
      if (values.length !== 2 || !Number.isFinite(numbers[1])) bad();
      table.moments.push([values[0], numbers[1]]);
    } else if (["max-mean-difference", "max-share-off", "levels"].includes(key)) {
      if (values.length !== 1 || !Number.isFinite(numbers[0])) bad();
      table[key] = numbers[0];
    } else bad();
  });
  if (!table.moments.length || !["max-mean-difference", "max-share-off", "levels"].every((k) => k in table))
    throw new Error(`${file}: no moments, or a tolerance missing`);
  return table;
}

// RGB rows top first, 1024 x 768, to RGB 256 x 192, each a 4 x 4 box average.
function reduce(rgb) {
  const w = kWidth / kScale, h = kHeight / kScale, out = Buffer.alloc(w * h * 3);
  for (let y = 0; y < h; y++)
    for (let x = 0; x < w; x++)
      for (let c = 0; c < 3; c++) {
        let sum = 0;
        for (let dy = 0; dy < kScale; dy++)
          for (let dx = 0; dx < kScale; dx++)
            sum += rgb[((y * kScale + dy) * kWidth + x * kScale + dx) * 3 + c];
        out[(y * w + x) * 3 + c] = Math.floor((sum + 8) / 16);
      }
  return out;
}

function compare(actual, golden, levels) {
  const pixels = actual.length / 3, mean = [0, 0, 0];
  let off = 0;
  for (let i = 0; i < pixels; i++) {
    let worst = 0;
    for (let c = 0; c < 3; c++) {
      const delta = Math.abs(actual[i * 3 + c] - golden[i * 3 + c]);
      mean[c] += delta;
      worst = Math.max(worst, delta);
    }
    if (worst > levels) off++;
  }
  return { mean: mean.map((m) => m / pixels), shareOff: off / pixels };
}

async function goldenCase(page, source, table) {
  await page.waitFor(`["ended", "failed"].includes(window.glimwickState)`, 540); // under the CTest timeout, so a stall reads as a failure
  check("the frames were rendered", (await page.evaluate("window.glimwickEndReason")) === "frames done",
        await page.evaluate(`document.getElementById("line").textContent`));
  const keep = process.env.GLIMWICK_WEB_GOLDEN_OUT; // where to leave the pictures, if set
  for (const [name, seconds] of table.moments) {
    const frame = Math.round(seconds * 60);
    const encoded = await page.evaluate(`(() => { const f = window.glimwickFrames[${frame}];
      if (!f) return ""; let s = ""; for (let i = 0; i < f.length; i += 32768)
      s += String.fromCharCode.apply(null, f.subarray(i, i + 32768)); return btoa(s); })()`);
    const rgb = Buffer.from(encoded, "base64");
    if (!check(name + ": frame " + frame + " handed back", rgb.length === kWidth * kHeight * 3)) continue;
    const actual = reduce(rgb);
    const golden = rgbOf(fs.readFileSync(path.join(source, "tests/golden", name + ".png")));
    if (keep) execFileSync("convert", ["-size", "256x192", "-depth", "8", "rgb:-", path.join(keep, name + ".png")], { input: actual });
    const d = compare(actual, golden, table.levels);
    const figures = `mean ${d.mean.map((m) => m.toFixed(3)).join("/")}, ${(d.shareOff * 100).toFixed(3)} % off by more than ${table.levels}`;
    console.log(name + ": " + figures);
    check(name + " matches the reference", Math.max(...d.mean) <= table["max-mean-difference"] && d.shareOff <= table["max-share-off"], figures);
  }
  check("no exception", !page.errors.some((e) => e.startsWith("exception")), page.errors.join("; "));
}

// One run of a case in a new browser and server; throws when the browser stops answering.
async function runCase(kind, which, dist, source) {
  const { driver, options } = kBrowsers[kind];
  const { launch } = require(driver);
  Page = require(driver).Page;
  let root = path.resolve(dist);
  let scratch = null;
  if (which === "missing") { // the folder as served, less its music
    scratch = fs.mkdtempSync(path.join(os.tmpdir(), "glimwick-web-"));
    fs.cpSync(root, scratch, { recursive: true });
    fs.rmSync(path.join(scratch, "data/tarnwhistle.ogg"));
    root = scratch;
  }
  const table = which === "golden" ? readGoldenTable(path.resolve(source)) : null;
  if (which === "frames") root = path.dirname(root); // DIST and DIST-frames
  const server = await serve(root);
  const browser = await launch(options[which]);
  try {
    let url = `http://127.0.0.1:${server.address().port}/`;
    if (which === "golden")
      url += "?frames=" + table.moments.map(([, s]) => Math.round(s * 60)).join(",");
    // These two set the page up before it loads; frames opens its own pages.
    const first = ["small-screens", "slow-audio"].includes(which) ? "about:blank" : url;
    const page = which === "frames" ? null : await Page.open(browser, first);
    if (which === "frames") await framesCase(browser, url.replace(/\/$/, ""), path.basename(dist));
    else if (which === "small-screens") await smallScreensCase(browser, url);
    else if (which === "slow-audio") {
      await page.addPreloadScript(kSlowAudio);
      await page.navigate(url);
      await slowAudioCase(page);
    }
    else if (which === "page") await pageCase(page);
    else if (which === "fullscreen") await fullscreenCase(page);
    else if (which === "missing") await oneLineCase(page, /^glimwick: cannot fetch data\/tarnwhistle\.ogg \(HTTP 404\)$/);
    else if (which === "no-webgl") await oneLineCase(page, /^glimwick: window: this browser offers no WebGL$/);
    else if (which === "no-audio") {
      await page.waitFor(`!document.getElementById("question").hidden`, 30);
      await page.evaluate(`document.getElementById("no").click()`);
      await oneLineCase(page, /^glimwick: sound: the browser would not start audio$/);
    }
    else if (which === "golden") await goldenCase(page, path.resolve(source), table);
    else throw new Error("unknown case " + which);
  } finally {
    await browser.close();
    server.close();
    if (scratch) fs.rmSync(scratch, { recursive: true, force: true });
  }
}

async function main() {
  const args = process.argv.slice(2);
  const kind = args[0] === "--firefox" ? (args.shift(), "firefox") : "chromium";
  const [which, dist, source] = args;
  try {
    await runCase(kind, which, dist, source);
  } catch (e) {
    // Firefox ESR can freeze a page for minutes inside its own audio start (docs/web.md):
    // the page then answers nothing. That one fault of the browser's gets a second run in
    // a new browser, said in the log; any other failure, or a second freeze, stands.
    if (kind !== "firefox" || !/^firefox: no answer/.test(e.message)) throw e;
    console.log("NOTE: " + e.message + "; Firefox froze (its audio start, docs/web.md): the case once more");
    failures = 0;
    await runCase(kind, which, dist, source);
  }
  console.log(failures === 0 ? "all passed" : failures + " failed");
  process.exit(failures === 0 ? 0 : 1);
}

main().catch((e) => {
  console.log("FAIL: " + e.message);
  process.exit(1);
});
