// Numbers of the installer's own resources and of the page controls that code
// reaches. Plain macros, because the resource compiler reads this file too.
#pragma once

// Dialog templates of the four wizard pages.
#define IDD_WELCOME 100
#define IDD_PAGES_FOLDER 101
#define IDD_ICON_FOLDER 102
#define IDD_OPTIONS 103

#define IDI_BOOK 100        // icon group: the program's icon
#define IDV_VERSION 1       // version resource

#define IDC_PAGES_PATH 1000     // pages page: display of the pages folder
#define IDC_PAGES_BROWSE 1001   // pages page: Browse
#define IDC_ICON_PATH 1002      // icon page: display of the icon folder
#define IDC_ICON_BROWSE 1003    // icon page: Browse
#define IDC_SPECIFIC_BOOK 899   // options page: "Corvalin specific book"
