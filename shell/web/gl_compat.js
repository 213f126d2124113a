// What the show's fixed-function drawing needs beyond emscripten's legacy GL emulation,
// linked into the web build with --js-library (and nothing else of the tree sees it).
mergeInto(LibraryManager.library, {
  // Current vertex attributes inside glBegin/glEnd. The emulation packs each vertex's
  // attributes in the order the first vertex gave them and expects every vertex to give
  // them all; desktop GL keeps a current colour, normal and texture coordinate that each
  // vertex takes. The show relies on that (a colour once per quad, a normal once per
  // triangle), so here an attribute given inside a primitive is written out again with
  // every vertex that follows, in the order of first use.
  $GlimwickCurrent__deps: ['$GLImmediate'],
  $GlimwickCurrent: {
    // Each attribute as the vertex stream takes it, updated in place (nothing is allocated
    // per call: the warp alone sends 12,288 vertices a frame). The colour's bytes (0..255)
    // are converted once when it is set, truncated as the stream's byte view would.
    colour: [1, 1, 1, 1],
    colourBytes: [255, 255, 255, 255],
    normal: [0, 0, 1],
    texCoord: [0, 0],
    // Attributes given in the current primitive: their codes in first-use order, the first
    // count of order, and the same as bits for the membership test.
    order: [0, 0, 0],
    count: 0,
    given: 0,
    vertexWritten: false, // a vertex has been written since the last reset
    COLOUR: 1,
    NORMAL: 2,
    TEX_COORD: 4,

    // A primitive has begun when the emulation's vertex buffer is empty again after
    // vertices were written: what the last one used no longer counts.
    startIfNew: function() {
      if (GLImmediate.vertexCounter == 0 && GlimwickCurrent.vertexWritten) {
        GlimwickCurrent.count = 0;
        GlimwickCurrent.given = 0;
        GlimwickCurrent.vertexWritten = false;
      }
    },
    use: function(code) {
      GlimwickCurrent.startIfNew();
      if (GlimwickCurrent.given & code) return;
      GlimwickCurrent.given |= code;
      GlimwickCurrent.order[GlimwickCurrent.count++] = code;
    },
    // Writes the attributes in use and the position (x, y, z, 1) of one vertex.
    vertex: function(x, y, z) {
      GlimwickCurrent.startIfNew();
      var current = GlimwickCurrent, data = GLImmediate.vertexData;
      for (var i = 0; i < current.count; i++) {
        var code = current.order[i];
        if (code == current.COLOUR) {
          var bytes = GLImmediate.vertexDataU8, start = GLImmediate.vertexCounter << 2;
          bytes[start] = current.colourBytes[0];
          bytes[start + 1] = current.colourBytes[1];
          bytes[start + 2] = current.colourBytes[2];
          bytes[start + 3] = current.colourBytes[3];
          GLImmediate.vertexCounter++;
          GLImmediate.addRendererComponent(GLImmediate.COLOR, 4, GLctx.UNSIGNED_BYTE);
        } else if (code == current.NORMAL) {
          data[GLImmediate.vertexCounter++] = current.normal[0];
          data[GLImmediate.vertexCounter++] = current.normal[1];
          data[GLImmediate.vertexCounter++] = current.normal[2];
          GLImmediate.addRendererComponent(GLImmediate.NORMAL, 3, GLctx.FLOAT);
        } else {
          data[GLImmediate.vertexCounter++] = current.texCoord[0];
          data[GLImmediate.vertexCounter++] = current.texCoord[1];
          GLImmediate.addRendererComponent(GLImmediate.TEXTURE0, 2, GLctx.FLOAT);
        }
      }
      data[GLImmediate.vertexCounter++] = x;
      data[GLImmediate.vertexCounter++] = y;
      data[GLImmediate.vertexCounter++] = z;
      data[GLImmediate.vertexCounter++] = 1;
      GLImmediate.addRendererComponent(GLImmediate.VERTEX, 4, GLctx.FLOAT);
      current.vertexWritten = true;
    },
  },

  // A colour component as GL keeps it, 0..1 (NaN stays NaN).
  $GlimwickClamp: function(v) { return Math.max(Math.min(v, 1), 0); },
  glColor4f__deps: ['$GlimwickCurrent', '$GlimwickClamp'],
  glColor4f: function(r, g, b, a) {
    var c = GlimwickCurrent.colour, bytes = GlimwickCurrent.colourBytes;
    c[0] = GlimwickClamp(r);
    c[1] = GlimwickClamp(g);
    c[2] = GlimwickClamp(b);
    c[3] = GlimwickClamp(a);
    for (var i = 0; i < 4; i++) bytes[i] = (c[i] * 255) | 0; // NaN gives 0, as there
    if (GLImmediate.mode >= 0) {
      GlimwickCurrent.use(GlimwickCurrent.COLOUR);
    } else {
      // Outside a primitive the emulation draws with its client colour (updated in place:
      // the colour material refers to it).
      for (var i = 0; i < 4; i++) GLImmediate.clientColor[i] = c[i];
    }
  },
  // The emulation's own glColor3f calls its original glColor4f, which writes the colour
  // straight into the vertex stream behind the current attributes' back (one slot too
  // many per vertex once a colour is current): the warp grid's shading goes through here.
  glColor3f__deps: ['glColor4f'],
  glColor3f: function(r, g, b) { _glColor4f(r, g, b, 1); },
  glNormal3f__deps: ['$GlimwickCurrent'],
  glNormal3f: function(x, y, z) {
    var n = GlimwickCurrent.normal;
    n[0] = x; n[1] = y; n[2] = z;
    if (GLImmediate.mode >= 0) GlimwickCurrent.use(GlimwickCurrent.NORMAL);
  },
  glTexCoord2f__deps: ['$GlimwickCurrent'],
  glTexCoord2f: function(u, v) {
    GlimwickCurrent.texCoord[0] = u;
    GlimwickCurrent.texCoord[1] = v;
    if (GLImmediate.mode >= 0) GlimwickCurrent.use(GlimwickCurrent.TEX_COORD);
  },
  glVertex2f__deps: ['$GlimwickCurrent'],
  glVertex2f: function(x, y) { GlimwickCurrent.vertex(x, y, 0); },
  glVertex3f__deps: ['$GlimwickCurrent'],
  glVertex3f: function(x, y, z) { GlimwickCurrent.vertex(x, y, z); },
  // The vector forms straight onto the same (the emulation's own ones lose the current
  // attributes on the way).
  glVertex3fv__deps: ['$GlimwickCurrent'],
  glVertex3fv: function(p) {
    GlimwickCurrent.vertex(HEAPF32[p >> 2], HEAPF32[(p >> 2) + 1], HEAPF32[(p >> 2) + 2]);
  },
  glNormal3fv__deps: ['glNormal3f'],
  glNormal3fv: function(p) { _glNormal3f(HEAPF32[p >> 2], HEAPF32[(p >> 2) + 1], HEAPF32[(p >> 2) + 2]); },
  glColor4fv__deps: ['glColor4f'],
  glColor4fv: function(p) {
    _glColor4f(HEAPF32[p >> 2], HEAPF32[(p >> 2) + 1], HEAPF32[(p >> 2) + 2], HEAPF32[(p >> 2) + 3]);
  },

  // Colour material: the emulation's lighting takes its ambient and diffuse colours from
  // the material records, so those records become the current colour itself, and every
  // glColor that follows is the material too. The show only lights with colour material
  // on, and turns it on together with this call.
  glColorMaterial__deps: ['$GLEmulation', '$GLImmediate'],
  glColorMaterial: function(face, mode) {
    var colour = GLImmediate.clientColor;
    if (mode == 0x1602 /* GL_AMBIENT_AND_DIFFUSE */ || mode == 0x1200 /* GL_AMBIENT */)
      GLEmulation.materialAmbient = colour;
    if (mode == 0x1602 || mode == 0x1201 /* GL_DIFFUSE */)
      GLEmulation.materialDiffuse = colour;
  },

  // GLU's camera calls multiply the current matrix, as on the desktop (the emulation's
  // gluLookAt hands its arguments to the matrix library in the wrong order, and its
  // gluPerspective replaces the matrix instead).
  $GlimwickMultiply__deps: ['$GLImmediate'],
  $GlimwickMultiply: function(by) {
    var m = GLImmediate.currentMatrix;
    GLImmediate.matricesModified = true;
    GLImmediate.matrixVersion[m] = (GLImmediate.matrixVersion[m] + 1) | 0;
    GLImmediate.matrixLib.mat4.multiply(GLImmediate.matrix[m], by, GLImmediate.matrix[m]);
  },
  gluLookAt__deps: ['$GlimwickMultiply'],
  gluLookAt: function(ex, ey, ez, cx, cy, cz, ux, uy, uz) {
    var mat4 = GLImmediate.matrixLib.mat4;
    GlimwickMultiply(mat4.lookAt([ex, ey, ez], [cx, cy, cz], [ux, uy, uz], mat4.create()));
  },
  gluPerspective__deps: ['$GlimwickMultiply'],
  gluPerspective: function(fovy, aspect, near, far) {
    var mat4 = GLImmediate.matrixLib.mat4;
    GlimwickMultiply(mat4.perspective(fovy, aspect, near, far, mat4.create()));
  },

  // Mipmapped upload: WebGL builds the chain itself, from a level 0 whose internal format
  // is the unsized format of the data (the only kind WebGL 1 takes). The sides must be
  // powers of two there; the text panels are 512 x 256.
  gluBuild2DMipmaps__deps: ['glTexImage2D'],
  gluBuild2DMipmaps: function(target, internalFormat, width, height, format, type, data) {
    _glTexImage2D(target, 0, format, width, height, 0, format, type, data);
    GLctx.generateMipmap(target);
    return 0;
  },

  // WebGL knows one hint, the mipmap one; the smoothing hints of the desktop's window
  // context mean nothing there and would only be refused.
  glHint: function(target, mode) {
    if (target == 0x8192 /* GL_GENERATE_MIPMAP_HINT */) GLctx.hint(target, mode);
  },

  // The fixed-function state the render targets put aside and bring back around each
  // rendering (render/render_target_web.cpp), kept here as it is set: WebGL answers these
  // queries only after a round trip to the GPU process that waits for every command queued
  // before it, several times per target per frame otherwise. The page has one context, so
  // one record, starting at GL's defaults. (The viewport, the enables and the framebuffer
  // binding WebGL answers without a round trip.)
  $GlimwickState: {
    values: {
      0x80C9: [1], 0x80CB: [1],     // GL_BLEND_SRC_RGB, GL_BLEND_SRC_ALPHA: GL_ONE
      0x80C8: [0], 0x80CA: [0],     // GL_BLEND_DST_RGB, GL_BLEND_DST_ALPHA: GL_ZERO
      0x8009: [0x8006], 0x883D: [0x8006], // GL_BLEND_EQUATION(_RGB), _ALPHA: GL_FUNC_ADD
      0x0B72: [1],                  // GL_DEPTH_WRITEMASK
      0x0B45: [0x0405],             // GL_CULL_FACE_MODE: GL_BACK
      0x0C22: [0, 0, 0, 0],         // GL_COLOR_CLEAR_VALUE
    },
    set: function(name, a, b, c, d) {
      var v = GlimwickState.values[name];
      v[0] = a;
      if (v.length > 1) { v[1] = b; v[2] = c; v[3] = d; }
    },
    // Writes the value of name at p as heap (HEAP32, HEAPF32 or HEAP8 with its shift);
    // false for a name not kept here (the clear colour only as floats, as the show reads it).
    get: function(name, p, heap, shift) {
      var v = GlimwickState.values[name];
      if (!v || (name == 0x0C22 && heap !== HEAPF32)) return false;
      for (var i = 0; i < v.length; i++) heap[(p >> shift) + i] = v[i];
      return true;
    },
  },
  glBlendFunc__deps: ['$GlimwickState'],
  glBlendFunc: function(source, destination) {
    GlimwickState.set(0x80C9, source); GlimwickState.set(0x80CB, source);
    GlimwickState.set(0x80C8, destination); GlimwickState.set(0x80CA, destination);
    GLctx.blendFunc(source, destination);
  },
  glBlendFuncSeparate__deps: ['$GlimwickState'],
  glBlendFuncSeparate: function(sourceRgb, destinationRgb, sourceAlpha, destinationAlpha) {
    GlimwickState.set(0x80C9, sourceRgb); GlimwickState.set(0x80CB, sourceAlpha);
    GlimwickState.set(0x80C8, destinationRgb); GlimwickState.set(0x80CA, destinationAlpha);
    GLctx.blendFuncSeparate(sourceRgb, destinationRgb, sourceAlpha, destinationAlpha);
  },
  glBlendEquation__deps: ['$GlimwickState'],
  glBlendEquation: function(mode) {
    GlimwickState.set(0x8009, mode); GlimwickState.set(0x883D, mode);
    GLctx.blendEquation(mode);
  },
  glBlendEquationSeparate__deps: ['$GlimwickState'],
  glBlendEquationSeparate: function(modeRgb, modeAlpha) {
    GlimwickState.set(0x8009, modeRgb); GlimwickState.set(0x883D, modeAlpha);
    GLctx.blendEquationSeparate(modeRgb, modeAlpha);
  },
  glDepthMask__deps: ['$GlimwickState'],
  glDepthMask: function(flag) {
    GlimwickState.set(0x0B72, flag ? 1 : 0);
    GLctx.depthMask(!!flag);
  },
  glCullFace__deps: ['$GlimwickState'],
  glCullFace: function(mode) {
    GlimwickState.set(0x0B45, mode);
    GLctx.cullFace(mode);
  },
  // WebGL clamps the clear colour to 0..1 and answers it clamped.
  glClearColor__deps: ['$GlimwickState', '$GlimwickClamp'],
  glClearColor: function(r, g, b, a) {
    GlimwickState.set(0x0C22, GlimwickClamp(r), GlimwickClamp(g), GlimwickClamp(b),
                      GlimwickClamp(a));
    GLctx.clearColor(r, g, b, a);
  },
  // The emulation wraps these at start-up and hands on what it does not keep itself.
  glGetIntegerv__deps: ['$GlimwickState', '$emscriptenWebGLGet'],
  glGetIntegerv: function(name, p) {
    if (!GlimwickState.get(name, p, HEAP32, 2))
      emscriptenWebGLGet(name, p, {{{ cDefine('EM_FUNC_SIG_PARAM_I') }}});
  },
  glGetFloatv__deps: ['$GlimwickState', '$emscriptenWebGLGet'],
  glGetFloatv: function(name, p) {
    if (!GlimwickState.get(name, p, HEAPF32, 2))
      emscriptenWebGLGet(name, p, {{{ cDefine('EM_FUNC_SIG_PARAM_F') }}});
  },
  glGetBooleanv__deps: ['$GlimwickState', '$emscriptenWebGLGet'],
  glGetBooleanv: function(name, p) {
    if (!GlimwickState.get(name, p, HEAP8, 0))
      emscriptenWebGLGet(name, p, {{{ cDefine('EM_FUNC_SIG_PARAM_B') }}});
  },

  // WebGL has no debug output: the checked build's reporter finds GL_KHR_debug missing and
  // falls back to glGetError, so this is only there to be linked.
  glDebugMessageCallback: function(callback, userParam) {},
});
