// The main window's generated form, for code outside the GUI library (the program's start-up
// and the tests) that reaches its widgets by name.
#pragma once

#include "ui_manwindow.h"
