#pragma once

#include "AlarmSnapshot.h"

class QGroupBox;

// Shows an instrument's alarm state on its group box: the title and the frame, never the
// panels inside, whose grey, yellow and green keep meaning the link state.
//   active, unacknowledged:   red frame, title blinking white on red / red
//   active, acknowledged:     red frame, red title, steady
//   returned, unacknowledged: usual frame, title blinking red / usual
//   normal:                   the box as the style draws it
class AlarmLook {
  public:
    // The caller flips blinkOn every kBlinkMs while any box blinks.
    static constexpr int kBlinkMs = 500;
    static void Apply(QGroupBox* box, AlarmState state, bool blinkOn);
    static bool Blinks(AlarmState state);
};
