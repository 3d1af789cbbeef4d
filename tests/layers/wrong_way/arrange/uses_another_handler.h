// A handler that uses another handler: the layer test must refuse it.
#pragma once

#include "data/open_data_workbook.h"
#include "sheets/room_sheet.h"
