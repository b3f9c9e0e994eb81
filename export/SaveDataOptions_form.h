// The options window's generated form, for code outside the GUI library (the tests) that
// reaches its fields by name.
#pragma once

#include "ui_SaveDataOptions.h"
