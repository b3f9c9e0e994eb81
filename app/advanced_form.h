// The generated form of the advanced settings window, for code outside the GUI library (the
// tests) that reaches its widgets by name.
#pragma once

#include "ui_ACWPSettingWidget.h"
