// The wait screens: loading a WAV file, saving the current clip and changing its
// duration each run on a worker thread behind a scene of their own. The scene polls its
// worker once per frame; when the worker has ended it shows what went wrong (a message
// box over the main window, text only) or applies the result to the shared clip, then
// opens a new workspace. Only the duration change can be cancelled ("中止"); closing the
// program during any job stops the worker first, and nothing of a half-done job stays.
//
// How to start one (each replaces the current scene, as every scene construction does):
// - duration change: store the duration in SharedClipState().requestedDurationMs, then
//   Scene::GoToTimeChangeWait();
// - loading: store the file in SharedClipState().jobPath, then new Scene::Main::CLoading;
// - saving: store the file in SharedClipState().jobPath, then new Scene::Main::CSaving.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/shell/scene.h"
#include "framework/platform/thread.h"
#include "sound/clip.h"
#include "sound/wavefile.h"

namespace Scene {

// Creates the duration-change wait screen and restarts the frame timer.
void GoToTimeChangeWait();

}  // namespace Scene

namespace Scene::Main {

// What the user is told when a change of the clip cannot be made (the duration change
// and "初期化"), and when a job's clip does not fit in memory.
inline constexpr char kChangeFailedMessage[] = "エラーが発生して変更できませんでした";
inline constexpr char kNoMemoryMessage[] = "メモリが足りないため、このデータを扱えません";

class CProgressText;

namespace Button::Break {

// The owner of the "中止" button: a click returns to the workspace, which destroys the
// wait screen and with it the unfinished change.
class CNexter {
public:
    static void Select(int32_t id = 0);
};

class CObject;

}  // namespace Button::Break

// What the three wait screens share: the clip's playback buffer is released (a job may
// replace the clip it plays from) and the help bar asks the user to wait.
class BWait : public CInterface {
public:
    BWait();
    ~BWait() override;

    // Clears the frame to black, draws the screen's own content, then the help line.
    void Draw() override;

protected:
    virtual void DrawContent() {}
    // A system-modal box over the main window with text and no caption.
    static void ShowMessage(const std::string& text);
};

class CTimeChangeWait : public BWait {
public:
    // Changes a private copy of the clip (its metadata too), so the shared clip stays as
    // it was until the change is complete.
    class CCThread : public NVireo::NWindows::NThread::CBasic {
    public:
        CCThread();
        ~CCThread() override;
        int32_t Run() override;

        CTimeChangeJob job;
        CSoundClip clip;           // the private copy (a new clip until filled)
        uint32_t requestedMs = 0;  // taken from the clip state before the start
        // Done only when the change ran to its end; anything else leaves the clip alone.
        EChangeResult result = EChangeResult::Failed;
    };

    // Copies the shared clip into the worker, starts it ("TimeChangeWait") and shows the
    // title "再生時間変更中" and the "中止" button. A copy that does not fit in memory
    // starts the worker already aborted.
    CTimeChangeWait();
    // Raises the job's abort, waits for the worker and discards its copy: cancelled or
    // not, the shared clip keeps its samples, format and duration unless Update applied a
    // finished change.
    ~CTimeChangeWait() override;
    // Not finished: steps the "中止" button. Finished: a complete change replaces the
    // shared clip's format, samples and metadata and sets currentDurationMs to the
    // requested value (the clip state before it is the workspace's step back); a copy or
    // a result that does not fit in memory shows kNoMemoryMessage, anything else
    // kChangeFailedMessage, and changes nothing. Then a new workspace.
    void Update() override;

    // "残り処理数 %u/%u(%u%%)" for the job's current counts, or empty while the job does
    // not yet know its total.
    std::string ProgressText() const;

    CCThread worker;
    bool copyFailed = false;  // the private copy could not be allocated
    std::unique_ptr<CProgressText> progress;
    std::unique_ptr<Button::Break::CObject> breakButton;

protected:
    // The progress text at (120, 200) and the "中止" button.
    void DrawContent() override;
};

class CLoading : public BWait {
public:
    // Reads the file at path into a private clip. A name without the extension "wav" (any
    // case), a file under 44 bytes or one the reader rejects sets failed; a file that
    // cannot be opened ends the job as aborted.
    class CCThread : public NVireo::NWindows::NThread::CBasic {
    public:
        CCThread();
        ~CCThread() override;
        int32_t Run() override;

        std::string path;  // taken from jobPath before the start
        CSoundClip clip;
        CWaveFile wave;
    };

    // Starts the worker ("CLoading") on jobPath and shows the title "読み込み中".
    CLoading();
    // Raises the reader's abort, waits for the worker and discards what it read.
    ~CLoading() override;
    // Finished: a loaded clip becomes the shared clip (loaded, with its metadata, its
    // duration and the file as currentFilePath; malformed metadata is left out quietly;
    // the clip state before it is the workspace's step back); an abort shows the path and
    // "読み込みに失敗しました", a file too big for memory the path and kNoMemoryMessage, a
    // rejected file the path, "ファイルは不正です" and, on a line of its own, why
    // (Jobs::RefusalReason); the shared clip stays as it was. Then a new workspace.
    void Update() override;

    CCThread worker;
};

class CSaving : public BWait {
public:
    // Writes the shared clip to path. The file is written beside the target and renamed
    // into place only when complete, so a failed or aborted save leaves whatever was at
    // the path untouched and no temporary file behind.
    class CCThread : public NVireo::NWindows::NThread::CBasic {
    public:
        CCThread();
        ~CCThread() override;
        int32_t Run() override;

        std::string path;  // taken from jobPath before the start
        CWaveFile wave;
    };

    // Starts the worker ("CSaving") on jobPath and shows the title "書き込み中".
    CSaving();
    // An unfinished save (the program is closing) is aborted and waited for.
    ~CSaving() override;
    // Finished: success makes the path the clip's currentFilePath; an abort or a failure
    // shows the path, "を", a line break and "正常に保存できませんでした". Then a new
    // workspace.
    void Update() override;

    CCThread worker;
};

}  // namespace Scene::Main
