// The file dialogs over comdlg32, and the overwrite question over a message box whose
// texts come from the system string table. Raise sites are numbered 840xx.
#include "framework/window/dialog.h"

#include <hostpath.h>
#include <io.h>

#include <cstdlib>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "framework/platform/home.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"

namespace Site = NVireo::NError::NSite::NDialog;

namespace NVireo::NCommonDialogBox::NFile {

void BuildFilterFrom(CFilter& filter, const char* description,
                     std::initializer_list<const char*> extensions) {
    SE_MARK();
    NVireo::NString::BBasic<char> patterns;
    for (const char* extension : extensions) patterns.AppendFormat("*.%s;", extension);
    const int32_t length = static_cast<int32_t>(patterns.Length());
    if (length > 0) patterns.Erase(length - 1, 1);
    // The character 1 marks where the NULs go: the formatter cannot write a NUL.
    filter.Format("%s(%s)%c%s%c", description, patterns.c_str(), 1, patterns.c_str(), 1);
    const uint32_t total = filter.Length();
    for (uint32_t i = 0; i < total; ++i) {
        if (filter.text[i] == '\x01') filter.text[i] = '\0';
    }
}

namespace {

// The folder of the last file chosen in an open or save dialog, with its separator.
std::string& LastFolder() {
    static std::string folder;
    return folder;
}

bool IsFolder(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The user's home folder as a program path with its separator; empty when unknown.
std::string UserHomeFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return std::string();
    std::string folder = HostToProgramPath(home);
    if (folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

std::string StartFolder(const std::string& preferred) {
    SE_MARK();
    if (IsFolder(preferred)) return preferred;
    if (IsFolder(LastFolder())) return LastFolder();
    return UserHomeFolder();
}

void CDialog::Prepare() {
    SE_MARK();
    record.lStructSize = OPENFILENAME_SIZE_WIN32;
    record.lpstrFile = name;
    record.nMaxFile = kNameSize;
    record.lpstrFilter = filter.c_str();
}

bool CDialog::Answer(BOOL result) {
    SE_MARK();
    if (result) {
        std::string file;
        NVireo::NFile::SplitPath(name, LastFolder(), file);
        return true;
    }
    switch (CommDlgExtendedError()) {
        case FNERR_SUBCLASSFAILURE:
            Raise(NVireo::NError::kSite, Site::kSubclassFailure, "FNERR_SUBCLASSFAILURE");
            break;
        case FNERR_INVALIDFILENAME:
            Raise(NVireo::NError::kSite, Site::kInvalidFileName, "FNERR_INVALIDFILENAME");
            break;
        case FNERR_BUFFERTOOSMALL:
            Raise(NVireo::NError::kSite, Site::kBufferTooSmall, "FNERR_BUFFERTOOSMALL");
            break;
        default:  // 0: the user cancelled; anything else is not worth ending the program
            break;
    }
    return false;
}

void CDialog::Ready(HWND owner) {
    SE_MARK();
    NVireo::NFile::EnterHomeFolder();  // relative paths in the dialog start there
    record.hwndOwner = owner;
    record.nFilterIndex = 1;
    record.lpstrInitialDir = startFolder.empty() ? nullptr : startFolder.c_str();
}

bool CDialog::ChooseOpenFile(HWND owner) {
    SE_MARK();
    Ready(owner);
    return Answer(GetOpenFileNameA(&record));
}

bool CDialog::ChooseSaveFile(HWND owner) {
    SE_MARK();
    Ready(owner);
    return Answer(GetSaveFileNameA(&record));
}

bool ConfirmSavePath(std::string& path, HWND owner) {
    SE_MARK();
    if (NVireo::NFile::ReplaceExtension(path.c_str(), "wav") != path) path += ".wav";
    // Anything at the path counts, even a file this user may not read: it would be lost.
    if (_access(path.c_str(), 0) != 0) return true;
    const NVireo::NText::CStringTable& strings = NVireo::NText::SystemStrings();
    const std::string text = path + "\n\n" + strings.Get(StringId::System::OverwriteQuestion) +
                             "\n" + strings.Get(StringId::System::OverwriteConfirm);
    const std::string& caption = strings.Get(StringId::System::OverwriteCaption);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), MB_ICONWARNING | MB_OKCANCEL) == IDOK;
}

}  // namespace NVireo::NCommonDialogBox::NFile
