// comdlg32 file dialogs: GetOpenFileNameA and GetSaveFileNameA as a modal GTK3 file
// chooser (GtkFileChooserDialog), and CommDlgExtendedError.
// Supports: lStructSize 88 (32-bit Windows) or sizeof(OPENFILENAMEA); the filter list
// (each pair becomes a GtkFileFilter whose patterns match letters in any case; the pair
// nFilterIndex names is shown first, and nFilterIndex receives the pair in use when the
// user chose); lpstrFile/nMaxFile (an initial name, with or without a folder, is shown;
// the chosen path comes back in code page 932, names outside it included, as hostpath.h
// converts them; nFileOffset and nFileExtension are set); lpstrInitialDir (null: the
// current folder); lpstrTitle (null: "開く" or "名前を付けて保存"); hwndOwner (see below).
// Flags: OFN_OVERWRITEPROMPT (GTK asks before a save replaces a file), OFN_FILEMUSTEXIST
// and OFN_PATHMUSTEXIST (always in effect: GTK's open chooser answers existing files
// only, its save chooser existing folders only), OFN_HIDEREADONLY and OFN_EXPLORER
// (nothing to do), OFN_NOCHANGEDIR (always in effect: the current folder never changes).
// A chosen path longer than nMaxFile is not accepted: the chooser says so and stays open
// for another choice. A seam answer that does not fit fails with FNERR_BUFFERTOOSMALL,
// the first two bytes of lpstrFile holding the bytes needed.
// Cancel, Escape or closing the dialog answer FALSE with CommDlgExtendedError() 0; so
// does a close signal (backend/close_signals.h) while the dialog is up.
// Does not support: a custom filter, lpstrFileTitle, lpstrDefExt, hooks, templates,
// multiple selection and any other flag: they fail with CDERR_INITIALIZATION and say so
// once on stderr. A malformed filter list also fails with CDERR_INITIALIZATION; an
// initial name without a terminator inside nMaxFile with FNERR_INVALIDFILENAME.
// The owner: GTK cannot own a dialog across toolkits, so the chooser is modal, kept
// above other windows and centred; on X11 it is also marked transient for the owner's
// SDL window, so window managers keep it over that window. Input the owner window
// received while the dialog was open is dropped afterwards, as a disabled Windows owner
// would never have seen it.
// Headless (no display GTK can open) and no seam: FALSE with CDERR_DIALOGFAILURE.
// Threads: the dialog runs its own GTK loop on the calling thread, under the lock that
// message boxes share (backend/gtk_desktop). CommDlgExtendedError is per thread.
#include <SDL.h>
#include <SDL_syswm.h>
#include <commdlg.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#include <hostpath.h>
#include <seams.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "backend/cp932.h"
#include "backend/gtk/gtk_desktop.h"
#include "backend/sdl/sdl_bridge.h"
#include "backend/syserror.h"
#include "comdlg32/filter.h"

namespace {

using winapi::comdlg32::FilterPair;

constexpr DWORD kSupportedFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                                  OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER;

thread_local DWORD lastError = 0;
std::atomic<FILE_DIALOG_ANSWER> seamAnswer{nullptr};

// The texts the dialogs show, in UTF-8 (this file's plain literals are code page 932).
const char* Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

BOOL Fail(DWORD code) {
    lastError = code;
    return FALSE;
}

// 0 when the record asks for nothing the layer lacks, else the error to fail with.
DWORD CheckRecord(const OPENFILENAMEA* record) {
    if (record == nullptr) return CDERR_INITIALIZATION;
    if (record->lStructSize != OPENFILENAME_SIZE_WIN32 &&
        record->lStructSize != sizeof(OPENFILENAMEA)) {
        return CDERR_STRUCTSIZE;
    }
    if (record->lpstrFile == nullptr || record->nMaxFile == 0) return CDERR_INITIALIZATION;
    if ((record->Flags & ~kSupportedFlags) != 0 || record->lpstrCustomFilter != nullptr ||
        record->lpstrFileTitle != nullptr || record->lpstrDefExt != nullptr ||
        record->lpfnHook != nullptr || record->lpTemplateName != nullptr) {
        winapi::backend::WarnUnsupported(
            "GetOpenFileNameA/GetSaveFileNameA: only the flags OFN_OVERWRITEPROMPT, "
            "OFN_HIDEREADONLY, "
            "OFN_NOCHANGEDIR, OFN_PATHMUSTEXIST, OFN_FILEMUSTEXIST, OFN_EXPLORER; no custom "
            "filter, "
            "file title, default extension, hook or template");
        return CDERR_INITIALIZATION;
    }
    if (memchr(record->lpstrFile, '\0', record->nMaxFile) == nullptr) return FNERR_INVALIDFILENAME;
    return 0;
}

// Where the file name starts in a program path: after the last "/" or single-byte "\",
// never inside a double-byte character.
size_t NameStart(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(path[i]);
        if (winapi::backend::IsCp932LeadByte(byte) && i + 1 < path.size()) {
            ++i;
        } else if (byte == '/' || byte == '\\') {
            start = i + 1;
        }
    }
    return start;
}

// Fills the record from the chosen host path: the program path, where its name and its
// extension start. FALSE with FNERR_BUFFERTOOSMALL when it does not fit.
BOOL TakeChoice(LPOPENFILENAMEA record, const std::string& hostPath) {
    const std::string path = HostToProgramPath(hostPath);
    if (path.size() + 1 > record->nMaxFile || path.size() + 1 > 0xFFFF) {
        if (record->nMaxFile >= 2) {
            const size_t needed = path.size() + 1 > 0xFFFF ? 0xFFFF : path.size() + 1;
            record->lpstrFile[0] = static_cast<char>(needed & 0xFF);
            record->lpstrFile[1] = static_cast<char>(needed >> 8);
        }
        return Fail(FNERR_BUFFERTOOSMALL);
    }
    std::memcpy(record->lpstrFile, path.c_str(), path.size() + 1);
    const size_t name = NameStart(path);
    size_t extension = path.size();
    for (size_t i = name; i < path.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(path[i]);
        if (winapi::backend::IsCp932LeadByte(byte) && i + 1 < path.size()) {
            ++i;
        } else if (byte == '.') {
            extension = i + 1;
        }
    }
    record->nFileOffset = static_cast<WORD>(name);
    record->nFileExtension = static_cast<WORD>(extension);
    lastError = 0;
    return TRUE;
}

// A program path as an absolute host path: relative ones start at the current folder.
std::string AbsoluteHostPath(const char* programPath) {
    std::string host = ProgramToHostPath(programPath);
    if (!host.empty() && host[0] == '/') return host;
    std::vector<char> folder(4096);
    if (getcwd(folder.data(), folder.size()) == nullptr) return host;
    return std::string(folder.data()) + (host.empty() ? "" : "/" + host);
}

#ifdef GDK_WINDOWING_X11
// Marks the (realized) dialog transient for the owner's SDL window when both live on
// the same X11 display. Answers the foreign window to release after the dialog, or null.
GdkWindow* MakeTransientFor(GtkWidget* dialog, HWND owner) {
    SDL_Window* window = winapi::backend::SdlWindowOf(owner);
    GdkDisplay* display = gdk_display_get_default();
    if (window == nullptr || display == nullptr || !GDK_IS_X11_DISPLAY(display)) return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, info.info.x11.window);
    if (foreign == nullptr) return nullptr;
    gtk_widget_realize(dialog);
    gdk_window_set_transient_for(gtk_widget_get_window(dialog), foreign);
    return foreign;
}
#else
GdkWindow* MakeTransientFor(GtkWidget*, HWND) { return nullptr; }
#endif

// Says in a small modal box over the chooser that the chosen path is too long.
void TellTooLong(GtkWidget* chooser, size_t bytes, DWORD limit) {
    GtkWidget* box = gtk_message_dialog_new(
        GTK_WINDOW(chooser), GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING, GTK_BUTTONS_NONE,
        Utf8(u8"パスが長すぎます（%zu バイト、%u "
             u8"バイトまで）。別の場所か短い名前を選んでください。"),
        bytes, static_cast<unsigned>(limit - 1));
    gtk_dialog_add_button(GTK_DIALOG(box), "OK", GTK_RESPONSE_OK);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    winapi::backend::RunDialog(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

// Runs the chooser until the user cancels or chooses a path that fits the record.
// Answers the chosen host path and sets chosen; chosenFilter receives the 1-based pair.
std::string RunChooser(const OPENFILENAMEA* record, bool save, const std::vector<FilterPair>& pairs,
                       bool& chosen, DWORD& chosenFilter) {
    chosen = false;
    const std::string title = record->lpstrTitle != nullptr
                                  ? winapi::backend::Cp932TextToUtf8(record->lpstrTitle)
                                  : std::string(Utf8(save ? u8"名前を付けて保存" : u8"開く"));
    // The program speaks Japanese: the labels are its own, not GTK's translations (which
    // would need the process locale).
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        title.c_str(), nullptr, save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN,
        Utf8(u8"キャンセル"), GTK_RESPONSE_CANCEL, Utf8(save ? u8"保存" : u8"開く"),
        GTK_RESPONSE_ACCEPT, static_cast<char*>(nullptr));
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    if (save)
        gtk_file_chooser_set_do_overwrite_confirmation(chooser,
                                                       (record->Flags & OFN_OVERWRITEPROMPT) != 0);

    std::vector<GtkFileFilter*> filters;
    for (const FilterPair& pair : pairs) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, pair.description.c_str());
        for (const std::string& pattern : pair.patterns) {
            gtk_file_filter_add_pattern(filter,
                                        winapi::comdlg32::CaseInsensitiveGlob(pattern).c_str());
        }
        gtk_file_chooser_add_filter(chooser, filter);  // the chooser takes the reference
        filters.push_back(filter);
    }
    if (!filters.empty()) {
        const DWORD index = record->nFilterIndex;
        gtk_file_chooser_set_filter(chooser,
                                    filters[index >= 1 && index <= filters.size() ? index - 1 : 0]);
    }

    const std::string folder =
        AbsoluteHostPath(record->lpstrInitialDir != nullptr ? record->lpstrInitialDir : "");
    gtk_file_chooser_set_current_folder(chooser, folder.c_str());
    if (record->lpstrFile[0] != '\0') {
        const std::string initial = ProgramToHostPath(record->lpstrFile);
        if (initial.find('/') != std::string::npos) {
            gtk_file_chooser_set_filename(chooser, AbsoluteHostPath(record->lpstrFile).c_str());
        } else if (save) {
            gtk_file_chooser_set_current_name(chooser, initial.c_str());
        }
    }

    GdkWindow* owner = MakeTransientFor(dialog, record->hwndOwner);
    std::string path;
    while (winapi::backend::RunDialog(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk_file_chooser_get_filename(chooser);
        if (name == nullptr) continue;
        path = name;
        g_free(name);
        const size_t bytes = HostToProgramPath(path).size();
        if (bytes + 1 <= record->nMaxFile && bytes + 1 <= 0xFFFF) {
            chosen = true;
            break;
        }
        TellTooLong(dialog, bytes, record->nMaxFile);
    }
    chosenFilter = 0;
    GtkFileFilter* current = gtk_file_chooser_get_filter(chooser);
    for (size_t i = 0; i < filters.size(); ++i) {
        if (filters[i] == current) chosenFilter = static_cast<DWORD>(i + 1);
    }
    gtk_widget_destroy(dialog);
    if (owner != nullptr) g_object_unref(owner);
    winapi::backend::SettleGtk();
    return path;
}

// Drops the keys and clicks the owner's window received while the dialog had the user's
// attention. Only for an owner with an SDL window, whose events this thread pumps.
void DropOwnerInput(HWND owner) {
    if (winapi::backend::SdlWindowOf(owner) == nullptr) return;
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_KEYDOWN, SDL_MULTIGESTURE);  // keys, text, mouse, touch, gestures
}

BOOL ShowFileDialog(LPOPENFILENAMEA record, bool save) {
    if (const DWORD error = CheckRecord(record)) return Fail(error);
    std::vector<FilterPair> pairs;
    if (!winapi::comdlg32::ReadFilterList(record->lpstrFilter, pairs))
        return Fail(CDERR_INITIALIZATION);

    if (const FILE_DIALOG_ANSWER answer = seamAnswer.load()) {
        const char* path = answer(record, save ? TRUE : FALSE);
        if (path == nullptr) return Fail(0);
        return TakeChoice(record, path);
    }

    bool chosen = false;
    DWORD chosenFilter = 0;
    std::string path;
    {
        std::lock_guard<std::mutex> hold(winapi::backend::GtkLock());
        if (!winapi::backend::StartGtk()) {
            winapi::backend::WarnUnsupported(
                "GetOpenFileNameA/GetSaveFileNameA: no display to show the file dialog on");
            return Fail(CDERR_DIALOGFAILURE);
        }
        path = RunChooser(record, save, pairs, chosen, chosenFilter);
    }
    DropOwnerInput(record->hwndOwner);
    if (chosen && chosenFilter != 0) record->nFilterIndex = chosenFilter;
    if (!chosen) return Fail(0);
    return TakeChoice(record, path);
}

}  // namespace

void SetFileDialogAnswer(FILE_DIALOG_ANSWER answer) { seamAnswer.store(answer); }

BOOL GetOpenFileNameA(LPOPENFILENAMEA record) { return ShowFileDialog(record, false); }

BOOL GetSaveFileNameA(LPOPENFILENAMEA record) { return ShowFileDialog(record, true); }

DWORD CommDlgExtendedError() { return lastError; }
