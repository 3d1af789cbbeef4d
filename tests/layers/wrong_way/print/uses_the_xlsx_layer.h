// The page model reads the engine's model, never the file layer: the layer
// test must accept the first include and refuse the second.
#pragma once

#include "spreadsheet/geometry.h"
#include "xlsx/cell_ref.h"
