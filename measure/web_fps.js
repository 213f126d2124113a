// Frames per second of the web build in headless Chromium (SwiftShader's WebGL), and
// optionally a screenshot of the page: node measure/web_fps.js DIST [SECONDS] [SCREENSHOT.png]
// Answers No, lets the show run 3 s, then counts the browser's animation frames (the show
// renders one per animation frame) over SECONDS (default 10).
"use strict";
const fs = require("fs");
const path = require("path");
const { serve, launch, Page } = require("../tests/web/browser.js");

async function main() {
  const [dist, seconds = "10", shot] = process.argv.slice(2);
  const server = await serve(path.resolve(dist));
  const browser = launch();
  try {
    const page = await Page.open(browser, `http://127.0.0.1:${server.address().port}/`);
    await page.waitFor(`!document.getElementById("question").hidden`, 60);
    await page.click("#no");
    await page.waitFor(`window.glimwickState === "running"`, 60);
    await new Promise((r) => setTimeout(r, 3000));
    const frames = await page.evaluate(`new Promise((resolve) => { let n = 0;
      const until = performance.now() + ${Number(seconds) * 1000};
      const tick = (t) => { if (t >= until) resolve(n); else { n++; requestAnimationFrame(tick); } };
      requestAnimationFrame(tick); })`);
    console.log(`web: ${(frames / Number(seconds)).toFixed(1)} frames per second over ${seconds} s`);
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
