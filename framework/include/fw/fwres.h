/* Command and window ids the framework itself handles. Plain #defines, so
   that resource scripts may include this file too. */
#ifndef FW_FWRES_H
#define FW_FWRES_H

/* The MDI client window of an MDI frame. */
#define AFX_IDW_PANE_FIRST 0xE900
/* The first id the MDI client gives the child windows listed in the Window menu. */
#define AFX_IDM_FIRST_MDICHILD 0xFF00

/* Window menu commands of an MDI frame. */
#define ID_WINDOW_NEW 0xE130
#define ID_WINDOW_ARRANGE 0xE131
#define ID_WINDOW_CASCADE 0xE132
#define ID_WINDOW_TILE_HORZ 0xE133
#define ID_WINDOW_TILE_VERT 0xE134

/* Application commands. */
#define ID_APP_ABOUT 0xE140
#define ID_APP_EXIT 0xE141
#define ID_HELP_INDEX 0xE142
#define ID_HELP_FINDER 0xE143

#endif
