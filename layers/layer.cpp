// The layer list: up to 256 non-owned layers drawn in push order.
#include "layers/layer.h"

bool LayerList::push(Layer* layer) {
    if (count >= kCapacity)
        return false;
    items[count] = layer;
    ++count;
    return true;
}

void LayerList::draw(DemoState& state) {
    // count is read again before every call, so a layer that pushes onto this list
    // while it draws is drawn in the same pass.
    for (int32_t i = 0; i < count; ++i)
        items[i]->draw(state);
}
