// The generated forms of the service windows (access code, channel selection, vertical angle
// calibration), for code outside the GUI library (the tests) that reaches their widgets by name.
#pragma once

#include "ui_CodeDialog.h"
#include "ui_Form_QLaserSelection.h"
#include "ui_VerticalAngleSetting.h"
