// The Win32 records behind the native dialogs and message boxes, built apart
// from the calls that show them so their exact contents can be checked.
#pragma once

#include <windows.h>
// (after <windows.h>, whose types it uses)
#include <commdlg.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

// Win32 filter strings: description NUL patterns NUL ..., ending in a double NUL.
std::string Win32Filter(const std::vector<FileFilter>& filters);

// The file buffer the dialogs write the chosen path into.
constexpr DWORD kDialogFileBuffer = 1024;

// The OPENFILENAMEA of the open (save == false) or save dialog: zeroed, the
// record size of the oldest layout (76 bytes), no owner, first filter line,
// empty file buffer, no initial folder, no default extension, the title, and
// OFN_FILEMUSTEXIST or OFN_OVERWRITEPROMPT alone. filter and file must
// outlive the record.
OPENFILENAMEA DialogRecord(bool save, const std::string& title, const std::string& filter,
                           char* file);

UINT MessageBoxType(MessageIcon icon);

}  // namespace platform
