// Drives Debian's Firefox ESR headless over WebDriver BiDi (its --remote-debugging-port),
// through a WebSocket client of our own, with the same Page face as browser.js.
"use strict";
const { spawn } = require("child_process");
const crypto = require("crypto");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const { boxOf, waitFor, endBrowser } = require("./browser.js");

// A minimal RFC 6455 client: text messages out (masked, as a client must), text messages
// in (16- and 64-bit lengths, fragmented ones joined), pings answered, close echoed.
function connectWebSocket(url) {
  return new Promise((resolve, reject) => {
    const key = crypto.randomBytes(16).toString("base64");
    const request = http.request(url.replace(/^ws:/, "http:"), {
      headers: { Connection: "Upgrade", Upgrade: "websocket", "Sec-WebSocket-Version": "13",
                 "Sec-WebSocket-Key": key },
    });
    request.on("error", reject);
    request.on("response", (r) => reject(new Error("websocket: HTTP " + r.statusCode + " from " + url)));
    request.on("upgrade", (response, socket, head) => {
      const accept = crypto.createHash("sha1").update(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11").digest("base64");
      if (response.headers["sec-websocket-accept"] !== accept) {
        socket.destroy();
        reject(new Error("websocket: bad Sec-WebSocket-Accept from " + url));
        return;
      }
      resolve(new WebSocket(socket, head));
    });
    request.end();
  });
}

class WebSocket {
  constructor(socket, head) {
    this.socket = socket;
    this.onmessage = () => {};
    this.onclose = () => {};
    this.closed = false;
    this.input = Buffer.alloc(0);
    this.fragments = []; // payloads of a message not yet finished
    socket.setNoDelay(true);
    socket.on("data", (chunk) => this.receive(chunk));
    socket.on("close", () => this.finish());
    socket.on("error", () => this.finish());
    if (head && head.length) this.receive(head);
  }

  finish() {
    if (this.closed) return;
    this.closed = true;
    this.onclose();
  }

  static frame(opcode, payload) {
    const mask = crypto.randomBytes(4);
    const n = payload.length;
    const header = n < 126 ? Buffer.alloc(2) : n < 65536 ? Buffer.alloc(4) : Buffer.alloc(10);
    header[0] = 0x80 | opcode; // FIN: every frame we send is a whole message
    if (n < 126) header[1] = 0x80 | n;
    else if (n < 65536) {
      header[1] = 0x80 | 126;
      header.writeUInt16BE(n, 2);
    } else {
      header[1] = 0x80 | 127;
      header.writeBigUInt64BE(BigInt(n), 2);
    }
    const masked = Buffer.alloc(n);
    for (let i = 0; i < n; i++) masked[i] = payload[i] ^ mask[i & 3];
    return Buffer.concat([header, mask, masked]);
  }

  send(text) {
    if (!this.closed) this.socket.write(WebSocket.frame(0x1, Buffer.from(text, "utf8")));
  }

  close() {
    if (this.closed) return;
    this.socket.write(WebSocket.frame(0x8, Buffer.from([0x03, 0xe8]))); // 1000, normal
    this.socket.end();
  }

  receive(chunk) {
    this.input = this.input.length ? Buffer.concat([this.input, chunk]) : chunk;
    for (;;) {
      const b = this.input;
      if (b.length < 2) return;
      const fin = (b[0] & 0x80) !== 0, opcode = b[0] & 0x0f, masked = (b[1] & 0x80) !== 0;
      let n = b[1] & 0x7f, at = 2;
      if (n === 126) {
        if (b.length < 4) return;
        n = b.readUInt16BE(2);
        at = 4;
      } else if (n === 127) {
        if (b.length < 10) return;
        n = Number(b.readBigUInt64BE(2));
        at = 10;
      }
      const maskAt = at;
      if (masked) at += 4; // a server should not mask, but unmasking costs nothing
      if (b.length < at + n) return;
      const payload = Buffer.from(b.subarray(at, at + n));
      if (masked) for (let i = 0; i < n; i++) payload[i] ^= b[maskAt + (i & 3)];
      this.input = b.subarray(at + n);
      if (opcode === 0x8) {
        if (!this.closed) this.socket.end(WebSocket.frame(0x8, payload.subarray(0, 2)));
        this.finish();
        return;
      }
      if (opcode === 0x9) this.socket.write(WebSocket.frame(0xa, payload));
      else if (opcode === 0x1 || opcode === 0x2 || opcode === 0x0) {
        this.fragments.push(payload);
        if (fin) {
          const whole = Buffer.concat(this.fragments);
          this.fragments = [];
          this.onmessage(whole.toString("utf8"));
        }
      }
    }
  }
}

// Firefox's profile prefs for an unattended run: no first-run pages, no updates, no
// telemetry or reports, and no network but 127.0.0.1 (every other address goes to a proxy
// on a closed port). Also what the measuring tools launch with.
const kFirefoxPrefs = {
  "browser.shell.checkDefaultBrowser": false,
  "browser.startup.page": 0,
  "browser.startup.homepage": "about:blank",
  "browser.startup.homepage_override.mstone": "ignore",
  "startup.homepage_welcome_url": "about:blank",
  "startup.homepage_welcome_url.additional": "",
  "browser.aboutwelcome.enabled": false,
  "browser.newtabpage.enabled": false,
  "browser.tabs.warnOnClose": false,
  "browser.warnOnQuit": false,
  "browser.sessionstore.resume_from_crash": false,
  "toolkit.startup.max_resumed_crashes": -1,
  "app.update.disabledForTesting": true,
  "app.update.auto": false,
  "app.normandy.enabled": false,
  "extensions.update.enabled": false,
  "extensions.getAddons.cache.enabled": false,
  "extensions.blocklist.enabled": false,
  "datareporting.policy.dataSubmissionEnabled": false,
  "datareporting.healthreport.uploadEnabled": false,
  "toolkit.telemetry.enabled": false,
  "toolkit.telemetry.unified": false,
  "toolkit.telemetry.archive.enabled": false,
  "toolkit.telemetry.server": "",
  "browser.ping-centre.telemetry": false,
  "browser.crashReports.unsubmittedCheck.enabled": false,
  "browser.safebrowsing.malware.enabled": false,
  "browser.safebrowsing.phishing.enabled": false,
  "browser.safebrowsing.downloads.enabled": false,
  "browser.safebrowsing.blockedURIs.enabled": false,
  "browser.search.update": false,
  "services.settings.server": "http://127.0.0.1:9/",
  "media.gmp-manager.updateEnabled": false,
  "media.gmp-gmpopenh264.enabled": false,
  "geo.provider.network.url": "",
  "captivedetect.canonicalURL": "",
  "network.captive-portal-service.enabled": false,
  "network.connectivity-service.enabled": false,
  "network.dns.disablePrefetch": true,
  "network.prefetch-next": false,
  "network.http.speculative-parallel-limit": 0,
  "network.trr.mode": 5,
  "network.proxy.type": 1,
  "network.proxy.http": "127.0.0.1",
  "network.proxy.http_port": 9,
  "network.proxy.ssl": "127.0.0.1",
  "network.proxy.ssl_port": 9,
  "network.proxy.socks_remote_dns": true,
  "network.proxy.allow_hijacking_localhost": false,
  "network.proxy.no_proxies_on": "127.0.0.1,localhost",
  "remote.prefs.recommended": true,
  // WebGL on Mesa's software renderer, which Firefox would otherwise turn away
  "webgl.force-enabled": true,
};

// The command line and environment that start Firefox with a fresh profile in profileDir
// (made here, with user.js holding kFirefoxPrefs and then extraPrefs). headless: false
// opens a real window on $DISPLAY. port 0 lets Firefox pick one; it prints it on stderr.
function firefoxLaunch(profileDir, { extraPrefs = {}, headless = true, port = 0, width = 1280, height = 900 } = {}) {
  fs.mkdirSync(profileDir, { recursive: true });
  const lines = Object.entries({ ...kFirefoxPrefs, ...extraPrefs })
    .map(([k, v]) => `user_pref(${JSON.stringify(k)}, ${JSON.stringify(v)});`);
  fs.writeFileSync(path.join(profileDir, "user.js"), lines.join("\n") + "\n");
  const args = ["--no-remote", "--new-instance", "-profile", profileDir,
                "--remote-debugging-port=" + port, "--width=" + width, "--height=" + height];
  if (headless) args.push("--headless");
  args.push("about:blank");
  const env = { ...process.env, MOZ_CRASHREPORTER_DISABLE: "1", MOZ_CRASHREPORTER: "",
                MOZ_DISABLE_AUTO_SAFE_MODE: "1" };
  return { command: process.env.GLIMWICK_FIREFOX || "/usr/bin/firefox-esr", args, env };
}

// A RemoteValue as BiDi serialises it, back to plain JSON-like data.
function fromRemote(v) {
  if (!v) return undefined;
  switch (v.type) {
    case "undefined": return undefined;
    case "null": return null;
    case "string": case "boolean": return v.value;
    case "number":
      return typeof v.value === "number" ? v.value : { NaN: NaN, "-0": -0, Infinity: Infinity, "-Infinity": -Infinity }[v.value];
    case "bigint": return BigInt(v.value);
    case "array": return (v.value || []).map(fromRemote);
    case "object": return Object.fromEntries((v.value || []).map(([k, x]) => [typeof k === "string" ? k : fromRemote(k), fromRemote(x)]));
    default: return v.value !== undefined ? v.value : "[" + v.type + "]";
  }
}

const kAnswerSeconds = 60;

class Browser {
  constructor(child, profile, socket) {
    this.child = child;
    this.profile = profile;
    this.socket = socket;
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    this.exited = false;
    socket.onmessage = (text) => {
      const message = JSON.parse(text);
      if (message.id !== undefined && this.pending.has(message.id)) {
        const { resolve, reject } = this.pending.get(message.id);
        this.pending.delete(message.id);
        if (message.type === "error") reject(new Error(message.error + ": " + message.message));
        else resolve(message.result);
      } else if (message.type === "event") {
        for (const listener of this.listeners) listener(message);
      }
    };
    const lost = () => {
      for (const { reject } of this.pending.values()) reject(new Error("firefox went away"));
      this.pending.clear();
    };
    socket.onclose = lost;
    child.on("exit", () => {
      this.exited = true;
      lost();
    });
  }

  // A command unanswered after kAnswerSeconds fails, so that a browser which stops
  // answering reads as a failure rather than a test that waits for CTest's time-out.
  send(method, params = {}) {
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      if (this.socket.closed) return reject(new Error("firefox went away"));
      const late = setTimeout(() => {
        this.pending.delete(id);
        reject(new Error(`firefox: no answer to ${method} in ${kAnswerSeconds} s`));
      }, kAnswerSeconds * 1000);
      const done = (settle) => (value) => {
        clearTimeout(late);
        settle(value);
      };
      this.pending.set(id, { resolve: done(resolve), reject: done(reject) });
      this.socket.send(JSON.stringify({ id, method, params }));
    });
  }

  on(listener) {
    this.listeners.push(listener);
  }

  // Ends Firefox (its own process; its content processes follow it) and removes its profile.
  async close() {
    const ending = endBrowser(this);
    this.socket.close();
    await ending;
  }
}

// Starts Firefox, waits for the address it listens on, and opens a BiDi session with the
// log subscribed. options: as firefoxLaunch's.
async function launch(options = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "glimwick-firefox-"));
  const { command, args, env } = firefoxLaunch(profile, options);
  const child = spawn(command, args, { env, stdio: ["ignore", "pipe", "pipe"] });
  child.stdout.on("data", () => {});
  let said = "";
  const address = await new Promise((resolve, reject) => {
    const late = setTimeout(() => reject(new Error("firefox: no BiDi address after 60 s: " + said.slice(-500))), 60000);
    child.stderr.on("data", (chunk) => {
      said += chunk.toString("utf8");
      const found = /WebDriver BiDi listening on (ws:\/\/\S+)/.exec(said);
      if (found) {
        clearTimeout(late);
        resolve(found[1]);
      }
    });
    child.on("exit", (code) => {
      clearTimeout(late);
      reject(new Error("firefox exited (" + code + ") before listening: " + said.slice(-500)));
    });
  }).catch((e) => {
    child.kill("SIGKILL");
    fs.rmSync(profile, { recursive: true, force: true });
    throw e;
  });
  if (process.env.GLIMWICK_FIREFOX_LOG) child.stderr.pipe(fs.createWriteStream(process.env.GLIMWICK_FIREFOX_LOG));
  let socket = null;
  try {
    socket = await connectWebSocket(address.replace(/\/?$/, "/session"));
  } catch (e) {
    child.kill("SIGKILL");
    fs.rmSync(profile, { recursive: true, force: true });
    throw e;
  }
  const browser = new Browser(child, profile, socket);
  try {
    await browser.send("session.new", { capabilities: {} });
    await browser.send("session.subscribe", { events: ["log.entryAdded"] });
  } catch (e) {
    await browser.close();
    throw e;
  }
  return browser;
}

// The keys the cases press, as WebDriver names them.
const kKeys = { Escape: "\uE00C", Enter: "\uE007" };

// A page in its own tab, as browser.js's Page: evaluate, waitFor, click, key, screenshots,
// console lines and errors.
class Page {
  static async open(browser, url) {
    const { context } = await browser.send("browsingContext.create", { type: "tab" });
    const page = new Page(browser, context);
    browser.on((m) => {
      if (m.method !== "log.entryAdded" || m.params.source?.context !== context) return;
      const e = m.params;
      if (e.type === "console") {
        const text = (e.args || []).map((a) => { const v = fromRemote(a); return typeof v === "string" ? v : JSON.stringify(v); }).join(" ") || e.text;
        page.console.push((e.method === "warn" ? "warning" : e.method) + ": " + text);
        if (e.level === "error") page.errors.push("console.error: " + text);
      } else if (e.level === "error") {
        page.errors.push((e.type === "javascript" ? "exception: " : "log: ") + e.text);
      }
    });
    if (url !== "about:blank") await page.navigate(url);
    return page;
  }

  constructor(browser, context) {
    this.browser = browser;
    this.context = context;
    this.errors = [];
    this.console = [];
  }

  send(method, params = {}) {
    return this.browser.send(method, { context: this.context, ...params });
  }

  navigate(url) {
    return this.send("browsingContext.navigate", { url, wait: "none" });
  }

  // Runs source before each document's own scripts in this tab.
  addPreloadScript(source) {
    return this.browser.send("script.addPreloadScript", { functionDeclaration: "() => {" + source + "\n}",
                                                           contexts: [this.context] });
  }

  // The page's size in CSS pixels at scale device pixels each.
  setViewport({ width, height, scale = 1 }) {
    return this.send("browsingContext.setViewport", { viewport: { width, height }, devicePixelRatio: scale });
  }

  close() {
    return this.send("browsingContext.close");
  }

  async evaluate(expression) {
    const r = await this.browser.send("script.evaluate", {
      expression, target: { context: this.context }, awaitPromise: true, resultOwnership: "none" });
    if (r.type === "exception") throw new Error("evaluate " + expression + ": " + r.exceptionDetails.text);
    return fromRemote(r.result);
  }

  waitFor(expression, seconds) {
    return waitFor(this, expression, seconds);
  }

  // A real pointer click in the middle of the element (a user gesture).
  async click(selector) {
    const r = await this.evaluate(boxOf(selector));
    const box = { x: r.x + r.width / 2, y: r.y + r.height / 2 };
    await this.send("input.performActions", { actions: [{ type: "pointer", id: "mouse", parameters: { pointerType: "mouse" },
      actions: [{ type: "pointerMove", x: Math.round(box.x), y: Math.round(box.y) },
                { type: "pointerDown", button: 0 }, { type: "pointerUp", button: 0 }] }] });
    await this.send("input.releaseActions");
  }

  async key(name) {
    const value = kKeys[name] || name;
    await this.send("input.performActions", { actions: [{ type: "key", id: "keyboard",
      actions: [{ type: "keyDown", value }, { type: "keyUp", value }] }] });
  }

  // The element's area (the whole page without a selector) as the page shows it, PNG bytes.
  async screenshot(selector) {
    const params = {};
    if (selector) {
      params.clip = { type: "box", ...(await this.evaluate(boxOf(selector))) };
    }
    const { data } = await this.send("browsingContext.captureScreenshot", params);
    return Buffer.from(data, "base64");
  }
}

module.exports = { launch, Page, firefoxLaunch, kFirefoxPrefs, connectWebSocket };
