// Text colours on an opaque background for chosen static texts. Qt paints a control in
// the colours it is given, so the registry hands them to the platform when a control is
// registered and again when a window installs the callback.
#pragma once

#include "imaging/colour.h"

// Records (or replaces) the colours of a text control and applies them.
void SetGadgetColours(int control, ColourValue text, ColourValue background);
// Applies the recorded colours of every registered control of `window`.
void InstallGadgetColourCallback(int window);
// Forgets the records of controls that no longer exist (after a window closed).
void ForgetClosedGadgetColours();
// Forgets every record (shutdown).
void ClearGadgetColours();
// Whether a control has a record, and its colours (for tests).
bool GadgetColoursOf(int control, ColourValue& text, ColourValue& background);
