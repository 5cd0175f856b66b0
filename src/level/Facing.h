// The two rules every triangle the engine loads follows: which side of its
// plane a point lies on, and how its normal is made. The level's queries and
// traversals and the model loader use them.
#pragma once

#include "math/Vector.h"
#include "render/Renderer.h"

// The facing rule every level query uses: a point lies behind a polygon's
// plane when Dot(V0 - point, normal) > 0. Any other result, the not-a-number
// of a degenerate triangle's normal included, puts the point in front (or on it).
bool IsBehind(const Polygon& polygon, Vector point);
// The same rule on a plane given by the polygon's first vertex and its normal.
bool IsBehind(Vector v0, Vector normal, Vector point);

// The normal rule of every triangle the engine loads, the model's included:
// normal = Normalise(Cross(V1 - V0, V2 - V0)), so the vertex order decides
// which side is the front.
void SetNormal(Polygon& polygon);
