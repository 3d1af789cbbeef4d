// The shared sheets are below the handlers: the layer test must refuse this.
#pragma once

#include "templates/select_template.h"
