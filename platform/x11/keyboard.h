// Key events as the platform reports them: virtual-key codes and key messages.
#pragma once

#include <X11/Xlib.h>

#include "win32.h"

// One key message made from an X key event, with the text the key types.
struct KeyMessage {
    UINT message; // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
    WPARAM virtualKey;
    LPARAM lParam; // repeat count, scan code, extended, Alt, previous state, transition
    char chars[8];
    int charCount;
};

// The virtual-key code of a keysym; 0 for keys the program is never told of.
UINT KeysymToVirtualKey(KeySym keysym);

// Turns a KeyPress/KeyRelease into a key message; false for unmapped keys.
// Keeps the held keys, so a press of a held key is reported as a repeat.
bool TranslateKeyEvent(XKeyEvent* event, KeyMessage* out);

// A key was released, whoever takes the event (the menus take some).
void NoteKeyReleased(unsigned keycode);

// True when the last release of Alt ended a press of Alt alone.
bool AltTappedAlone();

// Any other input while Alt is held means Alt was not tapped alone.
void NoteNonKeyInput();

// The text a key types when the X event is not at hand (synthesised messages).
int CharsOfVirtualKey(UINT virtualKey, char* out);
