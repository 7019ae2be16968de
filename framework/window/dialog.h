// The open-file and save-file dialogs as the workspace uses them: the filter text, the
// dialog record with its own name buffer, the two dialog calls, and the question asked
// before a save replaces a file. Paths are code page 932 text.
#pragma once

#include <commdlg.h>
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "framework/containers/nstring.h"

namespace NVireo::NCommonDialogBox::NFile {

// A filter list: pairs of description and patterns, each ended by a NUL, the list by a
// second NUL. The text holds NULs, so it is never copied (a copy would stop at the first).
class CFilter : public NVireo::NString::BBasic<char> {
public:
    CFilter() = default;
    CFilter(const CFilter&) = delete;
    CFilter& operator=(const CFilter&) = delete;
    virtual ~CFilter() = default;

    virtual bool IsFilterList() const { return true; }
};

// Fills filter with one pair: "description(*.a;*.b)", NUL, "*.a;*.b", NUL, NUL.
void BuildFilterFrom(CFilter& filter, const char* description,
                     std::initializer_list<const char*> extensions);

template <typename... Extensions>
void BuildFilter(CFilter& filter, const char* description, Extensions... extensions) {
    BuildFilterFrom(filter, description, {extensions...});
}

// The folder a dialog starts in: preferred when it is an existing folder, else the folder
// of the last file chosen in a dialog, else the user's own home folder ($HOME; empty when
// unknown). Never the program's folder, which an installed program may not write.
std::string StartFolder(const std::string& preferred);

// The record of one dialog, built fresh for each: lStructSize 88, the owned 260-byte name
// buffer (empty at first) and the owned filter text; every other field zero.
class CDialog {
public:
    static constexpr uint32_t kNameSize = 260;

    OPENFILENAMEA record{};
    char name[kNameSize] = {};
    CFilter filter;
    // The folder the dialog starts in (lpstrInitialDir); empty: the current folder.
    std::string startFolder;

    template <typename... Extensions>
    CDialog(const char* description, Extensions... extensions) {
        BuildFilter(filter, description, extensions...);
        Prepare();
    }
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Show the dialog owned by owner, starting in startFolder (relative paths start in
    // the home folder), with the first filter. True when the user chose a file: its path
    // is in name, and its folder is the one StartFolder falls back to. Cancelling and
    // other dialog failures answer false; FNERR_SUBCLASSFAILURE, FNERR_INVALIDFILENAME
    // and FNERR_BUFFERTOOSMALL are fatal, reported under their names.
    bool ChooseOpenFile(HWND owner);
    bool ChooseSaveFile(HWND owner);

private:
    void Prepare();
    // The fields every showing sets: owner, first filter, start folder.
    void Ready(HWND owner);
    bool Answer(BOOL result);
};

// Makes path end in ".wav" (a name whose extension is "wav" in any case is kept; any other
// name, with another extension or none, gets ".wav" appended). When something already
// exists there, asks owner's user whether to replace it (warning, OK and Cancel). True
// when the path may be written: nothing is there, or the answer was OK.
bool ConfirmSavePath(std::string& path, HWND owner);

}  // namespace NVireo::NCommonDialogBox::NFile
