"""Standard Win32 numbers the GUI tests pass to kpv-auto (winuser.h, shellapi.h). The client's
own dialog, control and command ids are in resource_ids.py."""

WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060  # WM_SYSCOMMAND's wParam for the frame's close box
VK_RETURN = 0x0D
VK_ESCAPE = 0x1B
NIN_BALLOONUSERCLICK = 0x0405  # the tray callback's lParam when the user clicks the balloon
