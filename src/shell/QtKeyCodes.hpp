#pragma once
// QtKeyCodes: Qt's keys and modifiers in the stored vocabulary (macOS virtual key codes and
// KeyboardShortcut's Carbon bits), so the remote's keys and a recorded shortcut mean what they
// mean everywhere else. Qt on X11 reports Ctrl as ControlModifier and Super as MetaModifier; Super
// stands for Command.
//
//   auto code = QtKeyCodes::keyCode(event->key(), event->modifiers());   // Up: 126
//   auto mask = QtKeyCodes::modifiers(event->modifiers());               // Ctrl: 0x1000
//
// Pure tables; any thread.

#include <Qt>
#include <cstdint>
#include <optional>

namespace orvel::QtKeyCodes {

// Nothing for keys the vocabulary lacks, modifier keys among them. Keypad keys are told apart by
// Qt::KeypadModifier; the US layout's shifted symbols count as the key that types them ("<" is
// comma), since the code names the key, not the character.
std::optional<std::uint16_t> keyCode(int key, Qt::KeyboardModifiers modifiers);

// Shift, Ctrl, Alt and Super (Meta); the keypad and group-switch flags are dropped.
std::uint32_t modifiers(Qt::KeyboardModifiers modifiers);

}  // namespace orvel::QtKeyCodes
