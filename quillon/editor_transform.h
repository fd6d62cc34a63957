// The editor's pending transform: move by a position, then turn about the
// X, then the Y, then the Z axis through the origin.
#pragma once

#include <veksock.h>

#include <array>
#include <vector>

using Matrix16 = std::array<float, 16>;

// Column-major matrix of the transform; angles in degrees.
Matrix16 EditorTransform(const std::array<float, 3>& position, const std::array<float, 3>& degrees);

// The markers as displayed: id = LED (kept in the record's frame field),
// position transformed by `m`, cond 1.
void TransformMarkers(const std::vector<MarkerRecord>& markers, const Matrix16& m,
                      std::vector<MarkerRecord>& displayed);
