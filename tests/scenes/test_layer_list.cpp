// The layer list: push order, capacity, nesting and ownership, without GL.
#include "layers/layer.h"
#include "shell/demo_state.h"
#include <gtest/gtest.h>
#include <string>

namespace {

// Appends its name to a shared log each time it is drawn, and notes its destruction.
struct RecordingLayer : Layer {
    std::string name;
    std::string* log;
    DemoState** seen;
    bool* destroyed;
    RecordingLayer(std::string name, std::string* log, DemoState** seen = nullptr,
                   bool* destroyed = nullptr)
        : name(std::move(name)), log(log), seen(seen), destroyed(destroyed) {}
    ~RecordingLayer() override {
        if (destroyed)
            *destroyed = true;
    }
    void draw(DemoState& state) override {
        *log += name;
        if (seen)
            *seen = &state;
    }
};

// Pushes another layer onto its list while it is drawn.
struct PushingLayer : Layer {
    LayerList* list;
    Layer* extra;
    void draw(DemoState&) override {
        if (extra) {
            list->push(extra);
            extra = nullptr;
        }
    }
};

} // namespace

TEST(LayerList, DrawsInPushOrderAndRepeatsALayerPushedTwice) {
    DemoState state;
    std::string log;
    DemoState* seen = nullptr;
    RecordingLayer a("a", &log, &seen), b("b", &log), c("c", &log);
    LayerList list;
    EXPECT_EQ(list.count, 0);
    list.draw(state); // empty: nothing drawn
    EXPECT_EQ(log, "");
    EXPECT_TRUE(list.push(&b));
    EXPECT_TRUE(list.push(&a));
    EXPECT_TRUE(list.push(&c));
    EXPECT_TRUE(list.push(&a));
    list.draw(state);
    EXPECT_EQ(log, "baca");
    EXPECT_EQ(seen, &state);
    list.draw(state);
    EXPECT_EQ(log, "bacabaca");
}

TEST(LayerList, HoldsExactly256AndRefusesMoreWithoutChange) {
    DemoState state;
    std::string log;
    RecordingLayer a("a", &log), z("z", &log);
    LayerList list;
    for (int n = 0; n < 255; ++n)
        ASSERT_TRUE(list.push(&a));
    EXPECT_TRUE(list.push(&z)); // the 256th
    EXPECT_FALSE(list.push(&a));
    EXPECT_EQ(list.count, 256);
    EXPECT_EQ(list.items[255], &z);
    list.draw(state);
    EXPECT_EQ(log, std::string(255, 'a') + "z");
}

TEST(LayerList, AListInsideAListDrawsInPlace) {
    DemoState state;
    std::string log;
    RecordingLayer a("a", &log), b("b", &log), c("c", &log), d("d", &log);
    LayerList inner, outer, empty;
    inner.push(&b);
    inner.push(&c);
    outer.push(&a);
    outer.push(&inner);
    outer.push(&empty);
    outer.push(&d);
    outer.push(&inner);
    outer.draw(state);
    EXPECT_EQ(log, "abcdbc");
}

TEST(LayerList, ALayerPushedDuringTheDrawIsDrawnInTheSamePass) {
    DemoState state;
    std::string log;
    LayerList list;
    RecordingLayer late("late", &log);
    PushingLayer pusher;
    pusher.list = &list;
    pusher.extra = &late;
    list.push(&pusher);
    list.draw(state);
    EXPECT_EQ(log, "late");
}

// A list that deleted what it points to would run the heap layer's destructor here (and
// free it under the test's feet); the layer must outlive the list and still draw.
TEST(LayerList, DestroyingTheListLeavesItsLayersAlone) {
    std::string log;
    bool destroyed = false;
    auto* layer = new RecordingLayer("a", &log, nullptr, &destroyed);
    auto* list = new LayerList;
    list->push(layer);
    Layer* asBase = list;
    delete asBase; // through the virtual destructor
    ASSERT_FALSE(destroyed) << "the list deleted a layer it does not own";
    DemoState state;
    layer->draw(state);
    EXPECT_EQ(log, "a");
    delete layer;
    EXPECT_TRUE(destroyed); // the flag does report a destruction
}
