#pragma once

#include <Qt>

class QKeyEvent;

// The panel's letter keys are defined on the Windows virtual-key numbering:
// letters are 0x41..0x5A whatever Shift and Caps Lock say, the keypad's
// digits are the main keyboard's, and F1..F12 are 0x70..0x7B.
namespace blinds {

// The virtual-key code of a key as Qt reports it; 0 for a key without one.
// Shifted symbols of the main keyboard give the code of their key (US layout):
// "!" is the key 1, "?" the key /.
int virtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);
int virtualKeyCode(const QKeyEvent &event);

// 1 for Ctrl, 2 for Shift, 4 for Alt, added together.
int modifierState(Qt::KeyboardModifiers modifiers);

} // namespace blinds
