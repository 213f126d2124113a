// Frame rate and frame cost of the web build in headless Chromium, optionally with a
// screenshot of the page:
//   node measure/web_fps.js [--lavapipe] [--page=QUERY] DIST [SECONDS] [SCREENSHOT.png]
// Answers No, lets the show run 3 s, then over SECONDS (default 10) counts the browser's
// animation frames (the show renders one per animation frame) and times every pass of the
// page's own animation-frame callbacks (the show's frame: its C++ and the GL calls it makes
// on the main thread, GPU-process waits included), reporting their median and 90th
// percentile in ms, and the CPU time per frame of each kind of Chromium's processes (less
// at the mercy of a loaded machine than the rate). The rasteriser is SwiftShader (Chromium's
// headless default) unless --lavapipe asks for Mesa's Vulkan one through ANGLE. --page=QUERY
// is appended to the page's address: on the tests' copy (DIST build-web/glimwick-web-frames)
// e.g. --page=context=desynchronized:true for other WebGL context attributes.
"use strict";
const fs = require("fs");
const path = require("path");
const { serve, launch, Page } = require("../tests/web/browser.js");

const kLavapipe = ["--use-angle=vulkan", "--enable-features=Vulkan", "--use-vulkan=native",
                   "--ignore-gpu-blocklist"];

// Wraps requestAnimationFrame before the show starts (emscripten's main loop looks it up at
// every frame), so each callback the page registers is timed; the counter below uses the
// original, outside the timing.
const kInstrument = `(() => {
  const raf = window.requestAnimationFrame.bind(window);
  window.glimwickRaf = raf;
  window.glimwickPasses = [];
  window.requestAnimationFrame = (callback) => raf((t) => {
    const start = performance.now();
    try { callback(t); } finally { window.glimwickPasses.push(performance.now() - start); }
  });
})()`;

// CPU seconds (user and system) of the process rootPid and every process under it, by the
// --type= of their command lines (gpu-process, renderer, ...; "browser" for the root's own).
function cpuByType(rootPid) {
  const processes = new Map();
  for (const name of fs.readdirSync("/proc").filter((n) => /^\d+$/.test(n))) {
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, "utf8");
      const fields = stat.slice(stat.lastIndexOf(")") + 2).split(" "); // from field 3, state
      const type = /--type=([\w-]+)/.exec(fs.readFileSync(`/proc/${name}/cmdline`, "utf8"));
      processes.set(Number(name), { parent: Number(fields[1]), type: type ? type[1] : "browser",
                                    seconds: (Number(fields[11]) + Number(fields[12])) / kTicksPerSecond });
    } catch (e) {} // gone meanwhile
  }
  const under = (pid) => pid == rootPid || (processes.has(pid) && pid > 1 && under(processes.get(pid).parent));
  const byType = {};
  for (const [pid, p] of processes)
    if (under(pid)) byType[p.type] = (byType[p.type] || 0) + p.seconds;
  return byType;
}
const kTicksPerSecond = 100; // Linux's USER_HZ (getconf CLK_TCK)

function percentile(sorted, p) {
  return sorted.length ? sorted[Math.min(sorted.length - 1, Math.floor(sorted.length * p))] : NaN;
}

async function main() {
  const args = process.argv.slice(2);
  const lavapipe = args.includes("--lavapipe");
  const query = (args.find((a) => a.startsWith("--page=")) || "--page=").slice(7);
  const [dist, seconds = "10", shot] = args.filter((a) => !a.startsWith("--"));
  if (!dist) throw new Error("usage: node measure/web_fps.js [--lavapipe] [--page=QUERY] DIST [SECONDS] [SCREENSHOT.png]");
  const server = await serve(path.resolve(dist));
  // ANGLE's Vulkan back end takes the place of its SwiftShader one when named last.
  const browser = launch(lavapipe ? kLavapipe : []);
  try {
    const url = `http://127.0.0.1:${server.address().port}/` + (query ? "?" + query : "");
    const page = await Page.open(browser, url);
    await page.waitFor(`!document.getElementById("question").hidden`, 60);
    await page.evaluate(kInstrument);
    await page.click("#no");
    await page.waitFor(`window.glimwickState === "running"`, 60);
    await new Promise((r) => setTimeout(r, 3000));
    const cpuBefore = cpuByType(browser.child.pid);
    const result = await page.evaluate(`new Promise((resolve) => { let n = 0;
      window.glimwickPasses = [];
      const until = performance.now() + ${Number(seconds) * 1000};
      const tick = (t) => {
        if (t >= until) resolve({ frames: n, passes: window.glimwickPasses });
        else { n++; window.glimwickRaf(tick); }
      };
      window.glimwickRaf(tick); })`);
    const cpuAfter = cpuByType(browser.child.pid);
    const cpu = Object.keys(cpuAfter).sort().map((type) =>
      `${type} ${((cpuAfter[type] - (cpuBefore[type] || 0)) * 1000 / result.frames).toFixed(1)}`);
    const passes = result.passes.slice().sort((a, b) => a - b);
    // The show's own context (getContext hands back the one the canvas has).
    const attributes = await page.evaluate(`(() => {
      const a = document.getElementById("canvas").getContext("webgl").getContextAttributes();
      return ["alpha", "antialias", "desynchronized", "preserveDrawingBuffer", "powerPreference"]
        .map((name) => name + ":" + a[name]).join(","); })()`);
    const renderer = await page.evaluate(`(() => { const gl = document.createElement("canvas").getContext("webgl");
      const info = gl && gl.getExtension("WEBGL_debug_renderer_info");
      return info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : "unknown"; })()`);
    console.log(`web: ${(result.frames / Number(seconds)).toFixed(1)} frames per second over ${seconds} s; ` +
                `frame pass median ${percentile(passes, 0.5).toFixed(2)} ms, 90th percentile ` +
                `${percentile(passes, 0.9).toFixed(2)} ms (${passes.length} passes; ${renderer}; ${attributes})`);
    console.log(`CPU ms per frame by process type: ${cpu.join(", ")}`);
    if (page.errors.length) console.log("page errors: " + page.errors.join("; "));
    if (shot) {
      const { data } = await page.send("Page.captureScreenshot", { format: "png" });
      fs.writeFileSync(shot, Buffer.from(data, "base64"));
      console.log("wrote " + shot);
    }
  } finally {
    await browser.close();
    server.close();
  }
}

main().catch((e) => {
  console.error("web_fps: " + e.message);
  process.exit(1);
});
