// Shape checks shared by the geometry tests: closed surface and non-degenerate triangles.
#pragma once
#include "geometry/mesh.h"

#include <cmath>
#include <map>
#include <string>
#include <tuple>

namespace meshchecks {

inline std::tuple<float, float, float> key(Vec3 v) {
    return {v.x, v.y, v.z};
}

// Vertices are not shared between polygons, so edges are matched by position: a closed,
// consistently wound surface uses every directed edge once and its reverse once.
// Returns an empty string when closed, else a description of the first bad edge.
inline std::string closureFault(const Mesh& mesh) {
    using Point = std::tuple<float, float, float>;
    std::map<std::pair<Point, Point>, int> directed;
    for (uint32_t f = 0; f < mesh.faceCount; ++f)
        for (int e = 0; e < 3; ++e) {
            const Vec3 a = mesh.vertices[mesh.indices[3 * f + e]];
            const Vec3 b = mesh.vertices[mesh.indices[3 * f + (e + 1) % 3]];
            ++directed[{key(a), key(b)}];
        }
    for (const auto& [edge, count] : directed) {
        const auto reverse = directed.find({edge.second, edge.first});
        const int reverseCount = reverse == directed.end() ? 0 : reverse->second;
        if (count != 1 || reverseCount != 1)
            return "edge from (" + std::to_string(std::get<0>(edge.first)) + ", " +
                   std::to_string(std::get<1>(edge.first)) + ", " +
                   std::to_string(std::get<2>(edge.first)) + ") used " + std::to_string(count) +
                   " times, reverse " + std::to_string(reverseCount) + " times";
    }
    return {};
}

inline Vec3 faceCross(const Mesh& mesh, uint32_t f) {
    const Vec3 a = mesh.vertices[mesh.indices[3 * f]];
    const Vec3 b = mesh.vertices[mesh.indices[3 * f + 1]];
    const Vec3 c = mesh.vertices[mesh.indices[3 * f + 2]];
    return cross(b - a, c - a);
}

// Twice the smallest triangle area of the mesh.
inline float smallestDoubleArea(const Mesh& mesh) {
    float smallest = INFINITY;
    for (uint32_t f = 0; f < mesh.faceCount; ++f) {
        const Vec3 n = faceCross(mesh, f);
        smallest = std::fmin(smallest, std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z));
    }
    return smallest;
}

} // namespace meshchecks
