#pragma once
// Key codes as the screens' key-down handlers know them (the classic virtual
// key numbers), translated from Qt key events.

#include <Qt>

class QKeyEvent;

constexpr int VK_BACK = 8;
constexpr int VK_TAB = 9;
constexpr int VK_RETURN = 13;
constexpr int VK_SHIFT = 16;
constexpr int VK_CONTROL = 17;
constexpr int VK_MENU = 18;
constexpr int VK_ESCAPE = 27;
constexpr int VK_SPACE = 32;
constexpr int VK_PRIOR = 33;
constexpr int VK_NEXT = 34;
constexpr int VK_END = 35;
constexpr int VK_HOME = 36;
constexpr int VK_LEFT = 37;
constexpr int VK_UP = 38;
constexpr int VK_RIGHT = 39;
constexpr int VK_DOWN = 40;
constexpr int VK_INSERT = 45;
constexpr int VK_DELETE = 46;
constexpr int VK_NUMPAD0 = 96;  // .. VK_NUMPAD9 = 105
constexpr int VK_MULTIPLY = 106;
constexpr int VK_ADD = 107;
constexpr int VK_SUBTRACT = 109;
constexpr int VK_DECIMAL = 110;
constexpr int VK_DIVIDE = 111;
constexpr int VK_F1 = 112;
constexpr int VK_F2 = 113;
constexpr int VK_F4 = 115;
constexpr int VK_F5 = 116;  // .. VK_F12 = 123
constexpr int VK_OEM_PLUS = 187;
constexpr int VK_OEM_COMMA = 188;
constexpr int VK_OEM_MINUS = 189;
constexpr int VK_OEM_PERIOD = 190;

// 0 when the key has no code of its own.
int VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers);
int VirtualKey(const QKeyEvent *event);
