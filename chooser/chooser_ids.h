/* Identifiers of the chooser's own resources and controls, shared by res/chooser.rc and the
 * code. Plain macros, so that the resource compiler reads them too. */
#ifndef INSTDLL_CHOOSER_IDS_H
#define INSTDLL_CHOOSER_IDS_H

/* Child templates, one per language. */
#define IDD_CHOOSER_RUSSIAN 772
#define IDD_CHOOSER_ENGLISH 773
#define IDD_CHOOSER_UKRAINIAN 774

/* Strings: the folder-list label and the window title of each language. */
#define IDS_FOLDER_LABEL_RUSSIAN 786
#define IDS_TITLE_RUSSIAN 787
#define IDS_FOLDER_LABEL_ENGLISH 788
#define IDS_TITLE_ENGLISH 789
#define IDS_FOLDER_LABEL_UKRAINIAN 790
#define IDS_TITLE_UKRAINIAN 791

/* Controls of the child templates. The placeholder is the platform's stc32 (1119) and the
 * Cancel button is IDCANCEL (2). */
#define IDC_SELECTED_PATH 4203
#define IDC_SELECTED_PATH_LABEL 4204
#define IDC_SELECT 4206

#endif
