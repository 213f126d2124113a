// Drives Debian's Chromium headless over the DevTools protocol (through a pipe, so no
// client library is needed) against a static server on 127.0.0.1; both are started here
// and stopped by close().
"use strict";
const { spawn } = require("child_process");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");

const kTypes = {
  ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm",
  ".ogg": "audio/ogg", ".png": "image/png",
};

// Serves the files under root; anything else is a 404.
function serve(root) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://x").pathname);
    const file = path.join(root, name === "/" ? "index.html" : name);
    if (!file.startsWith(root) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { "Content-Type": kTypes[path.extname(file)] || "application/octet-stream" });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// What either browser's page runs to find an element's box in CSS pixels.
function boxOf(selector) {
  return `(() => { const r = document.querySelector(${JSON.stringify(selector)}).getBoundingClientRect();
    return { x: r.x, y: r.y, width: r.width, height: r.height }; })()`;
}

// Polls page.evaluate(expression) until it is truthy (a throw counts as not yet: the page
// may still be loading); throws after seconds.
async function waitFor(page, expression, seconds) {
  const until = Date.now() + seconds * 1000;
  for (;;) {
    const value = await page.evaluate(expression).catch(() => false);
    if (value) return value;
    if (Date.now() > until) throw new Error("timed out after " + seconds + " s waiting for " + expression);
    await new Promise((r) => setTimeout(r, 100));
  }
}

class Browser {
  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    this.exited = false;
    let buffered = "";
    child.stdio[4].on("data", (chunk) => {
      buffered += chunk.toString("utf8");
      let end;
      while ((end = buffered.indexOf("\0")) >= 0) {
        const message = JSON.parse(buffered.slice(0, end));
        buffered = buffered.slice(end + 1);
        if (message.id && this.pending.has(message.id)) {
          const { resolve, reject } = this.pending.get(message.id);
          this.pending.delete(message.id);
          if (message.error) reject(new Error(JSON.stringify(message.error)));
          else resolve(message.result);
        } else if (message.method) {
          for (const listener of this.listeners) listener(message);
        }
      }
    });
    child.on("exit", () => {
      this.exited = true;
      for (const { reject } of this.pending.values()) reject(new Error("chromium exited"));
      this.pending.clear();
    });
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject });
      this.child.stdio[3].write(JSON.stringify(message) + "\0");
    });
  }

  on(listener) {
    this.listeners.push(listener);
  }

  // Ends Chromium (its own process only) and removes its profile once it has exited.
  close() {
    return endBrowser(this);
  }
}

// Ends a browser's own process (SIGTERM, SIGKILL after 5 s) unless it has exited, then
// removes its profile, which its helper processes may still be writing to for a moment.
async function endBrowser({ child, exited, profile }) {
  if (!exited) {
    const gone = new Promise((resolve) => child.once("exit", resolve));
    child.kill("SIGTERM");
    const late = setTimeout(() => child.kill("SIGKILL"), 5000);
    await gone;
    clearTimeout(late);
  }
  for (let tries = 0; ; tries++) {
    try {
      fs.rmSync(profile, { recursive: true, force: true });
      return;
    } catch (e) {
      if (tries >= 50) {
        console.log("note: could not remove " + profile + ": " + e.message);
        return;
      }
      await new Promise((r) => setTimeout(r, 200));
    }
  }
}

function launch(extra = []) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "glimwick-chromium-"));
  const args = [
    "--headless", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
    "--remote-debugging-pipe", "--user-data-dir=" + profile, "--no-first-run",
    "--no-default-browser-check", "--disable-background-networking", "--disable-extensions",
    "--window-size=1280,900", ...extra, "about:blank",
  ];
  if (process.getuid && process.getuid() === 0) args.unshift("--no-sandbox");
  const child = spawn(process.env.GLIMWICK_CHROMIUM || "/usr/bin/chromium", args,
                      { stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"] });
  child.stderr.on("data", () => {}); // Chromium's own chatter
  return new Browser(child, profile);
}

// A page in its own tab: evaluate, click, keys, screenshots, what it writes to its console,
// and every console error and uncaught exception it reports.
class Page {
  static async open(browser, url) {
    const { targetId } = await browser.send("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await browser.send("Target.attachToTarget", { targetId, flatten: true });
    const page = new Page(browser, sessionId);
    browser.on((m) => {
      if (m.sessionId !== sessionId) return;
      if (m.method === "Runtime.consoleAPICalled") {
        const text = m.params.args.map((a) => a.value ?? a.description).join(" ");
        page.console.push(m.params.type + ": " + text);
        if (m.params.type === "error") page.errors.push("console.error: " + text);
      }
      else if (m.method === "Runtime.exceptionThrown")
        page.errors.push("exception: " + (m.params.exceptionDetails.exception?.description ||
                                          m.params.exceptionDetails.text));
      else if (m.method === "Log.entryAdded" && m.params.entry.level === "error")
        page.errors.push("log: " + m.params.entry.text + " " + (m.params.entry.url || ""));
    });
    for (const domain of ["Runtime", "Log", "Page"]) await page.send(domain + ".enable");
    await page.send("Page.navigate", { url });
    return page;
  }

  constructor(browser, sessionId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.errors = [];
    this.console = []; // every console call, "type: text"
  }

  send(method, params = {}) {
    return this.browser.send(method, params, this.sessionId);
  }

  navigate(url) {
    return this.send("Page.navigate", { url });
  }

  // Runs source before each document's own scripts in this tab.
  addPreloadScript(source) {
    return this.send("Page.addScriptToEvaluateOnNewDocument", { source });
  }

  // The page's size in CSS pixels at scale device pixels each, on a screen of that size
  // (mobile: laid out as a phone lays out a page).
  setViewport({ width, height, scale = 1, mobile = false }) {
    return this.send("Emulation.setDeviceMetricsOverride", { width, height, deviceScaleFactor: scale,
                                                             mobile, screenWidth: width, screenHeight: height });
  }

  close() {
    return this.send("Page.close");
  }

  async evaluate(expression) {
    const result = await this.send("Runtime.evaluate", { expression, returnByValue: true, awaitPromise: true });
    if (result.exceptionDetails) throw new Error("evaluate " + expression + ": " + result.exceptionDetails.text);
    return result.result.value;
  }

  waitFor(expression, seconds) {
    return waitFor(this, expression, seconds);
  }

  // A real mouse click in the middle of the element: a user gesture, as browsers want
  // before sound may start.
  async click(selector) {
    const r = await this.evaluate(boxOf(selector));
    const box = { x: r.x + r.width / 2, y: r.y + r.height / 2 };
    for (const type of ["mousePressed", "mouseReleased"])
      await this.send("Input.dispatchMouseEvent", { type, x: box.x, y: box.y, button: "left", clickCount: 1 });
  }

  async key(name, code, keyCode) {
    for (const type of ["keyDown", "keyUp"])
      await this.send("Input.dispatchKeyEvent", { type, key: name, code, windowsVirtualKeyCode: keyCode });
  }

  // The element's area (the whole page without a selector) as the compositor shows it,
  // PNG bytes.
  async screenshot(selector) {
    const params = { format: "png" };
    if (selector)
      params.clip = { ...(await this.evaluate(boxOf(selector))), scale: 1 };
    const { data } = await this.send("Page.captureScreenshot", params);
    return Buffer.from(data, "base64");
  }
}

module.exports = { serve, launch, Page, boxOf, waitFor, endBrowser };
