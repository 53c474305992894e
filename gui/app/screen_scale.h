#pragma once

// Before the application exists: the window scales with the screen, and follows a fractional
// scale as it is (1.25 at 120 dpi, 1.5 at 144) rather than Qt 5's rounding of it, unless
// QT_SCALE_FACTOR_ROUNDING_POLICY says.
void follow_screen_scale();
