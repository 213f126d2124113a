// bidi.js's WebSocket client against a server written here, frame by frame: the handshake's
// key checked, client frames masked, 7-, 16- and 64-bit lengths, a message split over
// continuation frames and over TCP reads, a ping answered, the close echoed.
// node tests/web/test_websocket.js
"use strict";
const crypto = require("crypto");
const http = require("http");
const { connectWebSocket } = require("./bidi.js");

let failures = 0;
function check(what, ok, detail = "") {
  console.log((ok ? "PASS: " : "FAIL: ") + what + (ok || !detail ? "" : " (" + detail + ")"));
  if (!ok) failures++;
}

// A server frame: unmasked, as servers send them.
function frame(opcode, payload, fin = true) {
  const n = payload.length;
  const header = n < 126 ? Buffer.from([0, n]) : n < 65536 ? Buffer.alloc(4) : Buffer.alloc(10);
  if (n >= 126 && n < 65536) {
    header[1] = 126;
    header.writeUInt16BE(n, 2);
  } else if (n >= 65536) {
    header[1] = 127;
    header.writeBigUInt64BE(BigInt(n), 2);
  }
  header[0] = (fin ? 0x80 : 0) | opcode;
  return Buffer.concat([header, payload]);
}

// Reads one client frame from the front of buffer: { opcode, payload, masked, rest } or null.
function readClientFrame(buffer) {
  if (buffer.length < 2) return null;
  let n = buffer[1] & 0x7f, at = 2;
  if (n === 126) n = buffer.readUInt16BE(2), at = 4;
  else if (n === 127) n = Number(buffer.readBigUInt64BE(2)), at = 10;
  const masked = (buffer[1] & 0x80) !== 0;
  const mask = masked ? buffer.subarray(at, at + 4) : Buffer.alloc(4);
  if (masked) at += 4;
  if (buffer.length < at + n) return null;
  const payload = Buffer.from(buffer.subarray(at, at + n));
  for (let i = 0; i < n; i++) payload[i] ^= mask[i & 3];
  return { opcode: buffer[0] & 0x0f, payload, masked, rest: buffer.subarray(at + n) };
}

async function main() {
  const big = "x".repeat(70000); // past 65535: a 64-bit length
  const medium = "m".repeat(300); // a 16-bit length
  const fromClient = [];
  let closeSeen = null;
  let serverDone;
  const serverEnded = new Promise((resolve) => { serverDone = resolve; });
  const server = http.createServer();
  server.on("upgrade", (request, socket) => {
    socket.on("close", () => serverDone());
    const accept = crypto.createHash("sha1")
      .update(request.headers["sec-websocket-key"] + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11").digest("base64");
    socket.write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n" +
                 "Sec-WebSocket-Accept: " + accept + "\r\n\r\n");
    let input = Buffer.alloc(0);
    socket.on("data", (chunk) => {
      input = Buffer.concat([input, chunk]);
      for (let f; (f = readClientFrame(input)); input = f.rest) {
        fromClient.push(f);
        if (f.opcode === 0x1) {
          // The replies, the whole lot cut into 7-byte writes so frames straddle reads.
          const all = Buffer.concat([
            frame(0x9, Buffer.from("are you there")),
            frame(0x1, Buffer.from("short")),
            frame(0x1, Buffer.from(medium)),
            frame(0x1, Buffer.from(big)),
            frame(0x1, Buffer.from("hel"), false), frame(0x0, Buffer.from("lo, "), false),
            frame(0x0, Buffer.from("world"), true),
            frame(0x8, Buffer.from([0x03, 0xe8])),
          ]);
          for (let i = 0; i < all.length; i += 7) socket.write(all.subarray(i, i + 7));
        } else if (f.opcode === 0x8) {
          closeSeen = f;
          socket.end();
        }
      }
    });
  });
  await new Promise((r) => server.listen(0, "127.0.0.1", r));
  const socket = await connectWebSocket(`ws://127.0.0.1:${server.address().port}/session`);
  const received = [];
  const closed = new Promise((resolve) => { socket.onclose = resolve; });
  socket.onmessage = (text) => received.push(text);
  socket.send(JSON.stringify({ id: 1, method: "session.status", params: { pad: "p".repeat(200) } }));
  // Both ends done: the client has seen the close, the server has read the client's last frame.
  await Promise.race([Promise.all([closed, serverEnded]), new Promise((r) => setTimeout(r, 10000))]);
  check("the connection ends on the server's close", socket.closed);
  check("messages of 7-, 16- and 64-bit lengths, and one in three frames, in order",
        received.length === 4 && received[0] === "short" && received[1] === medium &&
        received[2] === big && received[3] === "hello, world",
        received.map((m) => m.length).join(", "));
  const sent = fromClient.find((f) => f.opcode === 0x1);
  check("the client's text frame is masked and whole", !!sent && sent.masked &&
        JSON.parse(sent.payload.toString()).params.pad.length === 200);
  const pong = fromClient.find((f) => f.opcode === 0xa);
  check("the ping is answered with its payload", !!pong && pong.masked && pong.payload.toString() === "are you there");
  check("the close is echoed, masked, with its code", !!closeSeen && closeSeen.masked &&
        closeSeen.payload.length === 2 && closeSeen.payload.readUInt16BE(0) === 1000);
  server.close();
  console.log(failures === 0 ? "all passed" : failures + " failed");
  process.exit(failures === 0 ? 0 : 1);
}

main().catch((e) => {
  console.log("FAIL: " + e.message);
  process.exit(1);
});
