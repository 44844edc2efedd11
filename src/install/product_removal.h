// Removing the installed product from the folder its uninstaller runs from: the files the folder's
// file list names, the folders they leave empty, and the shortcuts and registry entries the
// installer made for that folder.
#pragma once

#include "install/uninstall_plan.h"

#include <string>

struct ProductRemoval {
    UninstallReport report;
    // The uninstaller's own file, and with it the folder when empty, are to go once it has ended
    // (StartSelfRemoval): the list names it and nothing listed is left.
    bool removeSelf = false;
};

// Removes the product installed in `folder` (full path, no trailing separator), run from the
// uninstaller `uninstallerName` in it, in this order:
//  1. reads the folder's file list (kFileListName); without one nothing at all is removed;
//  2. ends the main program when it runs from the folder (TerminateProcessesByName);
//  3. deletes the listed files (a read-only one too; one already gone counts as removed), then
//     each folder of the list that is left empty, the deepest first;
//  4. deletes each of the six shortcuts that starts a program in the folder, then the program
//     group when it is empty, and the Run value when it points into the folder;
//  5. when nothing listed is left: the file list and the uninstall entry (when its
//     UninstallString points into the folder or is missing). Otherwise both stay, so that the
//     uninstaller can be run again once whatever held the files has let go.
// Lines the list holds that name anything outside the folder are refused and reported; nothing is
// removed for them. Never removes anything outside the folder other than the shortcuts and
// registry entries named above.
ProductRemoval RemoveProduct(const std::string& folder, const std::string& uninstallerName);
