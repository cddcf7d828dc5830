#pragma once

#include "app/zun_app.h"

// What the main program is built with above the application shell.
ZunAppParts MakeProgramParts();
