// The screen sync tool's server for the page: serves FOLDER on 127.0.0.1, notes each path
// fetched (one a line, in OUT/requests) and writes the frame log the page posts to OUT/page-log.
// Prints the port it took once it listens. Usage: node measure/page_server.js FOLDER OUT
"use strict";
const fs = require("fs");
const http = require("http");
const path = require("path");

const [folder, out] = process.argv.slice(2);
const root = path.resolve(folder);
const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm" };

const server = http.createServer((request, response) => {
  const url = decodeURIComponent(request.url.split("?")[0]);
  if (request.method === "POST" && url === "/frame-log") {
    const chunks = [];
    request.on("data", (chunk) => chunks.push(chunk));
    request.on("end", () => {
      fs.writeFileSync(path.join(out, "page-log"), Buffer.concat(chunks));
      response.end();
    });
    return;
  }
  fs.appendFileSync(path.join(out, "requests"), url + "\n");
  const file = path.join(root, path.normalize(url === "/" ? "/index.html" : url));
  fs.readFile(file, (error, data) => {
    if (error || !file.startsWith(root)) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
    response.end(data);
  });
});
server.listen(0, "127.0.0.1", () => console.log(server.address().port));
