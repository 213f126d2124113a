// Vector normalisation; the other Vec3 helpers are inline in the header.
#include "geometry/vec3.h"

#include <cmath>

Vec3 normalize(Vec3 v) {
    const float lengthSquared = v.x * v.x + v.y * v.y + v.z * v.z;
    if (lengthSquared == 0.0f)
        return {0.0f, 0.0f, 0.0f};
    // The reciprocal is formed once and the three components multiplied by it.
    const float k = 1.0f / std::sqrt(lengthSquared);
    return {v.x * k, v.y * k, v.z * k};
}
