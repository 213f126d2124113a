// The web build's GL additions (shell/web/gl_compat.js) in plain node, against a stand-in of
// the emulation's vertex stream and of WebGL:
//   node tests/web/test_gl_compat.js CASE[,CASE...] SOURCE_DIR
//   current  the current colour, normal and texture coordinate packed with every vertex of
//            a primitive in the order of first use, the colour clamped and as bytes, a new
//            primitive starting afresh, a colour outside a primitive the client colour
//   state    the blend, depth-mask, cull-face and clear-colour state answered as last set
//            (GL's defaults first), without asking WebGL; other names asked of WebGL
"use strict";
const fs = require("fs");
const path = require("path");
const vm = require("vm");

let failures = 0;
function check(what, ok, detail = "") {
  if (ok) console.log("PASS: " + what);
  else { failures++; console.log("FAIL: " + what + (detail ? ": " + detail : "")); }
}
const same = (a, b) => JSON.stringify(Array.from(a)) === JSON.stringify(Array.from(b));

// The library's functions in one context with the globals emscripten gives them: the
// emulation's immediate-mode record, a WebGL context that logs its calls, and the heaps.
function load(sourceDir) {
  const text = fs.readFileSync(path.join(sourceDir, "shell/web/gl_compat.js"), "utf8")
    .replace(/\{\{\{ cDefine\('EM_FUNC_SIG_PARAM_(\w+)'\) \}\}\}/g,
             (m, type) => String({ I: 0, F: 2, B: 4 }[type]));
  const heap = new ArrayBuffer(1024);
  const data = new ArrayBuffer(4096);
  const c = {
    LibraryManager: { library: {} },
    HEAP8: new Int8Array(heap), HEAP32: new Int32Array(heap), HEAPF32: new Float32Array(heap),
    calls: [], asked: [],
    GLImmediate: {
      mode: -1, vertexCounter: 0, COLOR: 2, NORMAL: 1, TEXTURE0: 3, VERTEX: 0,
      vertexData: new Float32Array(data), vertexDataU8: new Uint8Array(data),
      clientColor: new Float32Array([1, 1, 1, 1]), components: [],
      addRendererComponent(name, size) { this.components.push(name + ":" + size); },
    },
  };
  c.mergeInto = (library, functions) => Object.assign(library, functions);
  c.emscriptenWebGLGet = (name, p, type) => c.asked.push(name);
  c.GLctx = new Proxy({ FLOAT: 0x1406, UNSIGNED_BYTE: 0x1401 }, {
    get: (target, key) => key in target ? target[key] : (...args) => c.calls.push(key + " " + args.join(",")),
  });
  vm.createContext(c);
  vm.runInContext(text, c);
  for (const [name, value] of Object.entries(c.LibraryManager.library))
    c[name.startsWith("$") ? name.slice(1) : "_" + name] = value;
  return c;
}

function begin(c) {
  c.GLImmediate.mode = 7; // a quad; the emulation empties its stream at glBegin
  c.GLImmediate.vertexCounter = 0;
  c.GLImmediate.components = [];
}

function testCurrent(sourceDir) {
  const c = load(sourceDir);
  const f32 = c.GLImmediate.vertexData, u8 = c.GLImmediate.vertexDataU8;
  begin(c);
  c._glTexCoord2f(0.25, 0.5);
  c._glColor4f(2, 0.5, -1, 1); // clamped: 255, 127, 0, 255
  c._glVertex2f(1, 2);
  c._glNormal3f(0, 1, 0);      // first given after a vertex: appended to the order
  c._glVertex3f(3, 4, 5);
  c._glColor3f(0, 0, 1);
  c._glVertex2f(6, 7);
  // Vertex = texCoord (2 floats), colour (4 bytes), normal (3 floats), position (4 floats);
  // the first vertex has no normal yet: that is the emulation's own contract (the show
  // gives every attribute before a primitive's first vertex) and stays as it was.
  check("the first vertex: texture coordinate, colour bytes, position",
        same(f32.slice(0, 2), [0.25, 0.5]) && same(u8.slice(8, 12), [255, 127, 0, 255]) &&
        same(f32.slice(3, 7), [1, 2, 0, 1]), Array.from(f32.slice(0, 7)).join(","));
  const second = 7, third = 7 + 10;
  check("a later vertex repeats the current attributes in the order of first use",
        same(f32.slice(second, second + 2), [0.25, 0.5]) &&
        same(u8.slice((second + 2) * 4, (second + 2) * 4 + 4), [255, 127, 0, 255]) &&
        same(f32.slice(second + 3, second + 6), [0, 1, 0]) &&
        same(f32.slice(second + 6, second + 10), [3, 4, 5, 1]),
        Array.from(f32.slice(second, second + 10)).join(","));
  check("a colour given mid-primitive takes effect from the next vertex, alpha 1 from glColor3f",
        same(u8.slice((third + 2) * 4, (third + 2) * 4 + 4), [0, 0, 255, 255]) &&
        same(f32.slice(third + 6, third + 10), [6, 7, 0, 1]));
  check("the stream's length and its components as the emulation counts them",
        c.GLImmediate.vertexCounter == 27 &&
        c.GLImmediate.components.join(" ") == "3:2 2:4 0:4 3:2 2:4 1:3 0:4 3:2 2:4 1:3 0:4",
        c.GLImmediate.vertexCounter + " " + c.GLImmediate.components.join(" "));

  // The next primitive: only what it gives itself, though the values stay current.
  begin(c);
  c._glVertex2f(8, 9);
  check("a new primitive starts without the last one's attributes",
        c.GLImmediate.vertexCounter == 4 && same(f32.slice(0, 4), [8, 9, 0, 1]));
  c._glColor4f(0.5, 0.5, 0.5, 0.5);
  c._glVertex2f(1, 1);
  check("an attribute given after the first vertex joins from there",
        c.GLImmediate.vertexCounter == 9 && same(u8.slice(16, 20), [127, 127, 127, 127]));

  c.GLImmediate.mode = -1;
  c._glColor4f(0.2, 1.5, 0.4, 1);
  check("outside a primitive a colour is the client colour, clamped, in place",
        same(c.GLImmediate.clientColor, Float32Array.from([0.2, 1, 0.4, 1])) &&
        c.GLImmediate.vertexCounter == 9);
}

function testState(sourceDir) {
  const c = load(sourceDir);
  const get = (fn, name, count, heap, shift) => {
    fn(name, 64);
    return Array.from(heap.slice(64 >> shift, (64 >> shift) + count));
  };
  check("GL's defaults before anything is set",
        same(get(c._glGetIntegerv, 0x80C9, 1, c.HEAP32, 2), [1]) &&
        same(get(c._glGetIntegerv, 0x80C8, 1, c.HEAP32, 2), [0]) &&
        same(get(c._glGetIntegerv, 0x8009, 1, c.HEAP32, 2), [0x8006]) &&
        same(get(c._glGetBooleanv, 0x0B72, 1, c.HEAP8, 0), [1]) &&
        same(get(c._glGetIntegerv, 0x0B45, 1, c.HEAP32, 2), [0x0405]) &&
        same(get(c._glGetFloatv, 0x0C22, 4, c.HEAPF32, 2), [0, 0, 0, 0]));
  c._glBlendFunc(0x0302, 0x0303);
  c._glBlendEquation(0x800A);
  c._glDepthMask(0);
  c._glCullFace(0x0404);
  c._glClearColor(0.5, 2, -1, 0.25);
  check("each as last set, the clear colour clamped as WebGL keeps it",
        same(get(c._glGetIntegerv, 0x80C9, 1, c.HEAP32, 2), [0x0302]) &&
        same(get(c._glGetIntegerv, 0x80CB, 1, c.HEAP32, 2), [0x0302]) &&
        same(get(c._glGetIntegerv, 0x80C8, 1, c.HEAP32, 2), [0x0303]) &&
        same(get(c._glGetIntegerv, 0x8009, 1, c.HEAP32, 2), [0x800A]) &&
        same(get(c._glGetBooleanv, 0x0B72, 1, c.HEAP8, 0), [0]) &&
        same(get(c._glGetIntegerv, 0x0B45, 1, c.HEAP32, 2), [0x0404]) &&
        same(get(c._glGetFloatv, 0x0C22, 4, c.HEAPF32, 2), [0.5, 1, 0, 0.25]));
  check("the calls reach WebGL",
        c.calls.join(";") == "blendFunc 770,771;blendEquation 32778;depthMask false;cullFace 1028;clearColor 0.5,2,-1,0.25",
        c.calls.join(";"));
  c._glBlendFuncSeparate(1, 0, 0x0302, 1);
  c._glBlendEquationSeparate(0x8006, 0x800B);
  check("the separate forms keep colour and alpha apart",
        same(get(c._glGetIntegerv, 0x80C9, 1, c.HEAP32, 2), [1]) &&
        same(get(c._glGetIntegerv, 0x80CB, 1, c.HEAP32, 2), [0x0302]) &&
        same(get(c._glGetIntegerv, 0x80CA, 1, c.HEAP32, 2), [1]) &&
        same(get(c._glGetIntegerv, 0x883D, 1, c.HEAP32, 2), [0x800B]));
  check("none of these asked of WebGL", c.asked.length == 0, c.asked.join(","));
  c._glGetIntegerv(0x0BA2, 64); // GL_VIEWPORT
  c._glGetIntegerv(0x0C22, 64); // the clear colour as integers: not kept here
  check("other names asked of WebGL", same(c.asked, [0x0BA2, 0x0C22]), c.asked.join(","));
}

const [cases, sourceDir] = [process.argv[2], process.argv[3]];
for (const name of cases.split(","))
  ({ current: testCurrent, state: testState })[name](sourceDir);
process.exit(failures ? 1 : 0);
