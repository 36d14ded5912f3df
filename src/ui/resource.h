// Resource and command identifiers shared by the resource script and the code.
#pragma once

#define IDR_MAINMENU 101
#define IDI_QUILLON 101

#define IDD_HOST 102
#define IDD_ABOUT 106
#define IDD_COLOR 108
#define IDD_ESCAPE 109
#define IDD_MODEL_COLOR 110

// Controls of the host dialog.
#define IDC_HOSTNAME 1017
#define IDC_VT100 1021
#define IDC_IBM3270 1025
#define IDC_TRACE 1030
#define IDC_MODEL 1032

// The colour dialog: a swatch button and a preview per colour, and its own OK and Cancel.
#define IDC_COLOR_BACKGROUND 1001
#define IDC_COLOR_PROTECTED_NORMAL 1002
#define IDC_COLOR_PROTECTED_HIGHLIGHT 1003
#define IDC_COLOR_UNPROTECTED_NORMAL 1004
#define IDC_COLOR_UNPROTECTED_HIGHLIGHT 1005
#define IDC_SAMPLE_BACKGROUND 1006
#define IDC_SAMPLE_PROTECTED_NORMAL 1007
#define IDC_SAMPLE_PROTECTED_HIGHLIGHT 1008
#define IDC_SAMPLE_UNPROTECTED_NORMAL 1009
#define IDC_SAMPLE_UNPROTECTED_HIGHLIGHT 1010
#define IDC_COLOR_OK 1011
#define IDC_COLOR_CANCEL 1012

// The 3279 colour dialog: swatch buttons and previews of the seven colours, blue to white.
#define IDC_MODEL_COLOR_FIRST 1040
#define IDC_MODEL_SAMPLE_FIRST 1050

// The escape-sequence dialog's edit field and the About box's build-date line.
#define IDC_ESCAPETEXT 1027
#define IDC_COMPILED 1031

// Labels and frames that no code addresses (the Windows headers do not define it).
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDM_EXIT 102
#define IDM_CONNECT 103
#define IDM_ABOUT 105
#define IDM_COLOR 107
#define IDM_ESCAPE 109
#define IDM_FIND 110
#define IDM_SELECT 111
#define IDM_INSERT 112
#define IDM_REMOVE 113
#define IDM_COPY 114
#define IDM_PASTE 115
#define IDM_CLEAR 116
#define IDM_IACSTRING 117
#define IDM_TIMER 118
#define IDM_TEXTFONT 119
#define IDM_LINEDRAWFONT 120
#define IDM_CLOSE 121
#define IDM_LFCRNUL 122
#define IDM_LFCR 123
#define IDM_LF 124
#define IDM_LFNUL 125
#define IDM_CRNUL 126
#define IDM_CR 127
#define IDM_KEY0 128
#define IDM_KEY1 129
#define IDM_KEY2 130
#define IDM_KEY3 131
#define IDM_KEY4 132
#define IDM_KEY5 133
#define IDM_KEY6 134
#define IDM_KEY7 135
#define IDM_KEY8 136
#define IDM_KEY9 137
#define IDM_KEYCOMMA 138
#define IDM_KEYMINUS 139
#define IDM_KEYPERIOD 140
#define IDM_KEYENTER 141
#define IDM_NOP 142
#define IDM_DATAMARK 143
#define IDM_BREAK 144
#define IDM_INTPROCESS 145
#define IDM_ABORTOUTPUT 146
#define IDM_AYT 147
#define IDM_ERASECHAR 148
#define IDM_ERASELINE 149
#define IDM_GOAHEAD 150
#define IDM_PA1 151
#define IDM_PA2 152
#define IDM_PA3 153
#define IDM_CLEARKEY 154
#define IDM_SYSREQ 155
#define IDM_REFRESH 156
#define IDM_MODELCOLORS 157
#define IDM_ATTN 158

// The first and last identifiers of the menu commands.
#define IDM_FIRST 102
#define IDM_LAST 158
