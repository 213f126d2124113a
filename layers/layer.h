// Full-target drawing passes that a scene stacks in a list and draws once per frame.
#pragma once
#include <cstdint>

struct DemoState;

class Layer {
  public:
    virtual ~Layer() = default;
    // Entered and left with the window's context current and its state untouched.
    virtual void draw(DemoState& state) { (void)state; }
};

// Up to 256 layers, not owned, drawn in push order; a list inside a list draws in place.
class LayerList : public Layer {
  public:
    static constexpr int kCapacity = 256;
    int32_t count = 0;
    Layer* items[kCapacity] = {};

    // False, and nothing changed, when the list is full.
    bool push(Layer* layer);
    void draw(DemoState& state) override;
};
