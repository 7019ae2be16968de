// user32 message boxes: MessageBoxA as a modal GTK3 message dialog.
// Supports: MB_OK (answers IDOK; closing the box or Escape also answer IDOK, as on
// Windows when there is no Cancel button) and MB_OKCANCEL (Cancel, Escape and closing
// answer IDCANCEL); MB_ICONWARNING shows the warning icon; MB_SYSTEMMODAL keeps the box
// above other windows; MB_TASKMODAL is accepted (the box is modal either way). OK is the
// default button, so Return answers IDOK. The caption is the title (an empty caption
// shows none, a null caption shows "Error" as on Windows); a null text shows nothing.
// A close signal (SIGTERM, SIGINT, SIGHUP; backend/close_signals.h) answers the box as
// closing it does, so a program asked to close is not held up by a box nobody answers.
// Does not support: other button sets, other icons, default-button, help or
// foreground flags: they answer 0 with ERROR_NOT_SUPPORTED and say so once on stderr.
// The owner window is accepted and ignored: the box is not tied to the program's window.
// Headless (neither DISPLAY nor WAYLAND_DISPLAY set, or GTK cannot open the display):
// caption and text go to standard error as UTF-8 and the answer is IDOK at once. Which
// of the two applies is decided on the first call and kept for the process.
// Threads: GTK is initialised on first use by whichever thread calls, and each box runs
// its own main loop on the calling thread; calls are serialised by one lock. So a worker
// thread may report a fatal error while the main thread goes on, as long as no other
// code of the process drives GTK at the same time (GTK is not thread-safe); the file
// dialogs take the same lock (backend/gtk_desktop).
// The process locale is left alone (GTK would otherwise call setlocale from whatever
// thread comes first), so the buttons carry our own labels ("OK" and the Japanese for
// Cancel) rather than GTK's translations, and a caption outside Latin-1 is set only as the UTF-8
// window name (_NET_WM_NAME), which is the one window managers show.
#include <gtk/gtk.h>
#include <seams.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "backend/cp932.h"
#include "backend/gtk/gtk_desktop.h"
#include "backend/syserror.h"

namespace {

constexpr UINT kButtonMask = 0x0000000Fu;
constexpr UINT kIconMask = 0x000000F0u;
constexpr UINT kModalityMask = 0x00003000u;

std::atomic<MESSAGE_BOX_ANSWER> seamAnswer{nullptr};

bool Supported(UINT type) {
    const UINT buttons = type & kButtonMask;
    const UINT icon = type & kIconMask;
    const UINT rest = type & ~(kButtonMask | kIconMask | kModalityMask);
    return (buttons == MB_OK || buttons == MB_OKCANCEL) && (icon == 0 || icon == MB_ICONWARNING) &&
           (type & kModalityMask) != kModalityMask && rest == 0;
}

int ShowDialog(const std::string& text, const std::string& caption, UINT type) {
    const bool okCancel = (type & kButtonMask) == MB_OKCANCEL;
    const bool warning = (type & kIconMask) == MB_ICONWARNING;
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL,
                                               warning ? GTK_MESSAGE_WARNING : GTK_MESSAGE_OTHER,
                                               GTK_BUTTONS_NONE, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    if (warning) {
        // GTK 3 no longer shows an icon for the message type by itself.
        GtkWidget* icon = gtk_image_new_from_icon_name("dialog-warning", GTK_ICON_SIZE_DIALOG);
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), icon);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_widget_show(icon);
    }
    if (type & MB_SYSTEMMODAL) gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    // The program speaks Japanese: the button labels are its own, not GTK's (whose
    // translations would need the process locale). UTF-8 written as escapes, since this
    // file's narrow literals are compiled to code page 932.
    if (okCancel) {
        gtk_dialog_add_button(GTK_DIALOG(dialog),
                              "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB",
                              GTK_RESPONSE_CANCEL);  // キャンセル
    }
    GtkWidget* ok = gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", GTK_RESPONSE_OK);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_widget_grab_focus(ok);

    const gint response = winapi::backend::RunDialog(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    winapi::backend::SettleGtk();

    if (response == GTK_RESPONSE_OK) return IDOK;
    if (response == GTK_RESPONSE_CANCEL) return IDCANCEL;
    return okCancel ? IDCANCEL : IDOK;  // closed or Escape
}

void WriteHeadless(const std::string& text, const std::string& caption) {
    if (caption.empty()) {
        std::fprintf(stderr, "%s\n", text.c_str());
    } else {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    std::fflush(stderr);
}

}  // namespace

void SetMessageBoxAnswer(MESSAGE_BOX_ANSWER answer) { seamAnswer.store(answer); }

int MessageBoxA(HWND /*owner*/, LPCSTR text, LPCSTR caption, UINT type) {
    if (!Supported(type)) {
        winapi::backend::WarnUnsupported(
            "MessageBoxA: only MB_OK or MB_OKCANCEL, MB_ICONWARNING, MB_SYSTEMMODAL, MB_TASKMODAL");
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    if (const MESSAGE_BOX_ANSWER answer = seamAnswer.load()) return answer(text, caption, type);

    const std::string utf8Text = winapi::backend::Cp932TextToUtf8(text != nullptr ? text : "");
    const std::string utf8Caption =
        caption != nullptr ? winapi::backend::Cp932TextToUtf8(caption) : std::string("Error");

    std::lock_guard<std::mutex> hold(winapi::backend::GtkLock());
    if (!winapi::backend::StartGtk()) {
        WriteHeadless(utf8Text, utf8Caption);
        return IDOK;
    }
    return ShowDialog(utf8Text, utf8Caption, type);
}
