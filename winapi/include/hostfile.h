// hostfile.h: file services of the layer that have no Windows counterpart, for the batch
// tool, which works on Linux files as Linux tools do: FIFOs opened without hanging,
// inputs seen in place rather than copied, outputs that appear at their name only when
// complete and never replace what they must not, and the system's own words for a
// failure; and KindAt for the program's file layer, which opens nothing but regular
// files. Paths are code page 932 text, converted as hostpath.h says. Calls answer 0 or an
// errno value.
#pragma once

#include <cstdio>
#include <string>

namespace hostfile {

// What stands at a path; a symbolic link is itself, not what it points to, unless
// followLinks asks for what it leads to (a link that leads nowhere is Missing).
enum class EKind { Missing, Regular, Link, Folder, Fifo, Socket, Device };
int KindAt(const char* path, EKind& kind, bool followLinks = false);
// "a folder", "a FIFO", ...: the kind in a sentence.
const char* KindName(EKind kind);

// Opens path to read. A FIFO is opened without blocking and then waited on for at most
// waitMs milliseconds until something writes to it (waiting is called once when the wait
// starts, to tell the user); ETIMEDOUT when nothing did. A folder is EISDIR.
int OpenInput(const char* path, int waitMs, void (*waiting)(void* context), void* context,
              FILE*& file);

// True when the stream can seek (a file, not a pipe or a terminal).
bool IsSeekable(FILE* file);

// Bytes of an open file seen in place (mapped read-only and read in at once) rather
// than copied out of it.
struct CView {
    const unsigned char* data = nullptr;  // the bytes from offset; null when none are seen
    unsigned long long offset = 0;
    size_t length = 0;
    void* mapping = nullptr;  // the whole pages mapped
    size_t mapped = 0;
};
// Replaces view with bytes [offset, offset + length) of file, which must lie inside it.
// A file cut short while seen ends the process with SIGBUS, after a line on standard
// error, leaving no output behind. ENODEV or EACCES where the file cannot be mapped.
int MapView(FILE* file, unsigned long long offset, size_t length, CView& view);
void UnmapView(CView& view);

// An output being written: an unnamed file in the target's folder (O_TMPFILE), or where
// the file system has none a named temporary file beside the target, removed on any
// failure and when SIGINT, SIGTERM or SIGHUP end the process.
struct COutput {
    FILE* file = nullptr;
    std::string temporary;  // the named temporary's host path; empty for an unnamed file
};
int CreateOutput(const char* path, COutput& output);
// Flushes the output and gives it the path: never over anything that stands there
// (EEXIST) unless replace; with replace, a regular file's permissions pass on to the
// output and a symbolic link is replaced itself, as mv -f does; anything else there is
// refused (EISDIR for a folder, EEXIST for the rest). With sync the data reaches the disk
// before the name, and the folder after. The output is closed either way.
int PublishOutput(COutput& output, const char* path, bool replace, bool sync);
// Drops an output that will not be published; nothing of it remains.
void DiscardOutput(COutput& output);
// Tests: false makes CreateOutput use named temporaries as on a file system without
// O_TMPFILE.
void SetUnnamedOutputs(bool allowed);

// The system's description of an errno value ("Permission denied").
std::string Reason(int error);

}  // namespace hostfile
