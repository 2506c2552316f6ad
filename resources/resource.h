#pragma once
// Resource and control ids of harvex.exe.
#define IDD_MAIN 129
#define IDD_OPTIONS 131
#define IDD_ABOUT 100
#define IDI_HARVEX 40000
