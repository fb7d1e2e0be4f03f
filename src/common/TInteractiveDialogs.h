#pragma once
#include "common/Dialogs.h"

// Dialogs shown to the user: message boxes with the system's beeps.
class TInteractiveDialogs : public Dialogs {
public:
    Answer message(Kind kind, const QString &text, Buttons buttons, const QString &title = {}) override;
};
