/* String-table identifiers of kxlaunch's messages (kxlaunch.rc). Shared by
   the resource compiler and main.cpp, so plain #defines only. Each text is
   written as one line on the standard error stream; "%s" stands for the
   one argument a text takes. */
#pragma once

#define IDS_NO_INSTALL_PATH 1        /* InstallPath can't be read as REG_SZ */
#define IDS_BAD_INSTALL_PATH 2       /* InstallPath is missing or no directory */
#define IDS_NO_RUNTIME_LIBRARY 3     /* jvm.dll does not load; %s: its path */
#define IDS_NO_PATH_MEMORY 4         /* no memory for the new PATH */
#define IDS_NO_JAVA_VM 5             /* JNI_CreateJavaVM missing or failing */
#define IDS_CLASS_NOT_FOUND 6        /* %s: main class, dotted */
#define IDS_NO_MAIN_METHOD 7         /* %s: main class, dotted */
#define IDS_NO_MAIN_ARGS 8           /* handed to the VM's FatalError */
#define IDS_INSTALL_PATH_TOO_LONG 9  /* no room for the library path */
#define IDS_NO_CLASS_NAME_MEMORY 10  /* no memory for the look-up class name */
