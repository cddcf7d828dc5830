#pragma once

#include "platform/gdi/gdi_defs.h"
