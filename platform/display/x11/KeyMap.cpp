#include "platform/display/x11/KeyMap.h"

#include <X11/keysym.h>

#include "platform/Windows.h"

int virtualKeyFromKeysym(unsigned long k)
{
    if (k >= XK_a && k <= XK_z)
        return int('A' + (k - XK_a));
    if ((k >= XK_A && k <= XK_Z) || (k >= XK_0 && k <= XK_9))
        return int(k);
    if (k >= XK_F1 && k <= XK_F24)
        return int(VK_F1 + (k - XK_F1));
    if (k >= XK_KP_0 && k <= XK_KP_9)
        return int(VK_NUMPAD0 + (k - XK_KP_0));
    switch (k) {
    case XK_BackSpace: return VK_BACK;
    case XK_Tab: case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Return: case XK_KP_Enter: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Shift_L: case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L: case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: return VK_MENU;
    case XK_Pause: return VK_PAUSE;
    case XK_Caps_Lock: return VK_CAPITAL;
    case XK_Prior: case XK_KP_Prior: return VK_PRIOR;
    case XK_Next: case XK_KP_Next: return VK_NEXT;
    case XK_End: case XK_KP_End: return VK_END;
    case XK_Home: case XK_KP_Home: return VK_HOME;
    case XK_Left: case XK_KP_Left: return VK_LEFT;
    case XK_Up: case XK_KP_Up: return VK_UP;
    case XK_Right: case XK_KP_Right: return VK_RIGHT;
    case XK_Down: case XK_KP_Down: return VK_DOWN;
    case XK_Insert: case XK_KP_Insert: return VK_INSERT;
    case XK_Delete: case XK_KP_Delete: return VK_DELETE;
    case XK_KP_Multiply: return VK_MULTIPLY;
    case XK_KP_Add: return VK_ADD;
    case XK_KP_Subtract: return VK_SUBTRACT;
    case XK_plus: case XK_equal: return VK_OEM_PLUS;
    case XK_minus: return VK_OEM_MINUS;
    case XK_KP_Decimal: return VK_DECIMAL;
    case XK_KP_Divide: return VK_DIVIDE;
    }
    return 0;
}
