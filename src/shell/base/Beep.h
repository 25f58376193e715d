#pragma once

#include <functional>

// The short system beep. The application installs the real one; tests count beeps.
void ShortBeep();
void SetBeepHandler(std::function<void()> handler);
