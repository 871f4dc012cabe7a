// Resource identifiers of the tray program, shared by Pelkorin.rc and the code.
#pragma once

#define IDI_PELKORIN_CONTACT 108     // 16x16 tray icon: the radio display reading TWR
#define IDI_PELKORIN_PANEL 109       // 32x32 class icon: the radio panel
#define IDM_PELKORIN_TRAY 110        // the tray popup menu
#define IDI_PELKORIN_NO_CONTACT 111  // 16x16 tray icon: the display struck through

#define IDM_PELKORIN_ABOUT 40005
#define IDM_PELKORIN_EXIT 40006
