// The two layer kinds: a flat colour blended over a target, and a target-to-target copy.
#pragma once
#include "layers/layer.h"

enum FillOp : int32_t {
    kFillNone = 0,
    kFillAdd = 1,
    kFillSubtract = 2,
    kFillScale = 3,
    kFillInvert = 4
};

class FillLayer : public Layer {
  public:
    int32_t target;                 // render target number 1-3
    int32_t buffer;                 // kFrontLeftBuffer (4) front-left, else back-left
    int32_t op;                     // FillOp
    float colour[4] = {1, 1, 1, 1}; // Scale reads only red, as the factor

    FillLayer(int32_t target, int32_t buffer, int32_t op)
        : target(target), buffer(buffer), op(op) {}
    void draw(DemoState& state) override;
};

class CopyLayer : public Layer {
  public:
    int32_t target; // drawn into
    int32_t buffer;
    int32_t source; // sampled
    int32_t sourceBuffer;
    float colour[4] = {1, 1, 1, 1}; // tint

    CopyLayer(int32_t target, int32_t buffer, int32_t source, int32_t sourceBuffer)
        : target(target), buffer(buffer), source(source), sourceBuffer(sourceBuffer) {}
    void draw(DemoState& state) override;
};
