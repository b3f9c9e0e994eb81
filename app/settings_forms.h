// The generated forms of the settings and About windows, for code outside the GUI library
// (the tests) that reaches their widgets by name.
#pragma once

#include "ui_About.h"
#include "ui_InetactionSetupWidget.h"
