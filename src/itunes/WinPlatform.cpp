#include "WinPlatform.h"

WinPlatform::~WinPlatform() = default;
