#pragma once

// The apps page's form class (Ui::appWidgetClass), for code outside the
// page that reaches its widgets by their object names: the owner's tests,
// screenshots and benchmarks. Included through this header so that only the
// page's own target compiles the form.
#include "ui_appWidget.h"
