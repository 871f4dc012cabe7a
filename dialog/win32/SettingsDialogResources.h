// Resource and control ids of the settings dialog, shared by its template and its code.
#pragma once

#define IDD_SETTINGS 101
#define IDB_VATSIM_LOGO 102
#define IDB_IVAO_LOGO 103

#define IDC_ACTIVE 1000
#define IDC_VATSIM 1001
#define IDC_IVAO 1002
#define IDC_RANGE_CHECK 1003
#define IDC_STATION_LIST 1004

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
