// Resource, command and control identifiers shared by the resource script,
// the main window and the information dialog.
#pragma once

#define IDR_MAINMENU 101
#define IDD_ABOUT 102

#define IDM_EXIT 40001
#define IDM_ABOUT 40002
#define IDM_CYLINDER 40011
#define IDM_ARM1 40012
#define IDM_ARM2 40013

#define IDC_GL_VENDOR 1000
#define IDC_GL_RENDERER 1001
#define IDC_GL_VERSION 1002
#define IDC_GL_EXTENSIONS 1003
#define IDC_GLU_VERSION 1005
#define IDC_GLU_EXTENSIONS 1006
#define IDC_ERROR_FIRST 1007
