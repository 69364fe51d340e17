#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace kelvarin {

// What kind of trouble a file operation met, the same on every platform, so that callers can
// decide by it and tell a person what to do; the system's own words travel beside it.
enum class FileErrorKind {
    None,
    InUse,              // another program holds the file (locked, or on Windows open unshared)
    Missing,            // nothing at the path, or a folder on the way is missing
    MediumGone,         // the disk or card is not there or not ready (pulled, no medium)
    NotPlainFile,       // a folder, a device, a pipe
    NoSpace,            // the disk is full
    QuotaExceeded,      // the user's share of the disk is used up, though the disk is not full
    FileTooLarge,       // the file is larger than the file system or a limit allows
    ReadOnly,           // read-only file system or write-protected medium
    PermissionDenied,   // the user may not write (or read) the file
    NotPermitted,       // the file itself is marked unchangeable: immutable, append-only, read-only
    InputOutput,        // the device reported a read or write error
    Network,            // a network share stopped answering, or the handle went stale
    StoppedAnswering,   // the same on a mount that is no network file system, or cannot be
                        // told as one: a disk run by a FUSE driver that stopped, or a FUSE share
    NetworkPathMissing, // the share or the computer named in the path does not exist
    CloudUnavailable,   // a sync program (OneDrive) cannot provide the file: not running, offline
    CloudSyncing,       // a sync program is busy with the file, or it is not in sync
    Other,
};

// Trouble that the file layer or the byte operations found themselves, where no system call
// failed: the system said nothing, so the error's text stays empty and the wording says it.
enum class FileFinding {
    None,
    PastTheEnd,      // a read reached the end of the file
    NothingAccepted, // a write call took no byte and gave no reason
    NotHexadecimal,  // a digit pair handed to WriteHEX is no hex byte
    BeforeTheStart,  // a negative offset
    LastOffset,      // Start is the largest offset there is and cannot move on
    TooMany,         // more bytes asked for at once than memory holds
    NotUtf8,         // the path is not UTF-8 text
    DeviceName,      // the path names a device (Windows: "NUL", "com1.nds", "\\.\...")
    ReadOnlyMark,    // the file carries the Read-only attribute (Windows)
};

// A file error: its kind, the system's own words, and where it happened, each apart, so that
// what a person is told as the system's words is only ever what the system said.
struct FileError {
    enum class Step { None, Open, Read, Write };
    FileErrorKind kind = FileErrorKind::None;
    std::string text; // the system's words (strerror, FormatMessageW) without closing period;
                      // empty where the system said nothing
    Step step = Step::None;
    std::int64_t offset = -1; // of the read or write that failed; -1 when none
    FileFinding finding = FileFinding::None;
};

// Paths are UTF-8 text on every platform; each file layer turns them into the system's own form
// (bytes on POSIX, wide characters with the long-path prefix on Windows).

// The last part of a path, the file's own name, as a person calls the file: "gym-hack.nds".
std::string FileNameOf(const std::string& path);

// Which file a path led to, whatever it is called: equal identities mean the same file, so a
// file that was replaced, rebuilt under the same name or re-linked shows a new identity.
// POSIX: device and inode. Windows: volume serial number and file index.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// What the system says about a path or an open file.
struct FileFacts {
    std::string notPlainFile;  // "" for a plain disk file; else "a folder", "a named pipe", ...
    std::int64_t size = 0;     // bytes; meaningful for plain files only
    FileIdentity identity;     //
    std::int64_t modified = 0; // last modification, in the system's own ticks; only compared
    bool readOnly = false;     // the system marks the file as not to be written (Windows attribute)
};

// Looks at a path without opening it, following links, so that a pipe or a device is recognised
// before anything could block on it or disturb it (on Windows also the reserved device names such
// as "NUL" or "com1.nds", and device paths). False when the path cannot be looked at; `error`
// then says why (kind Missing when nothing is there).
bool InspectPath(const std::string& path, FileFacts& facts, FileError* error = nullptr);

// An open file, owned for the length of one pass. Opening never creates a file and never blocks
// (a named pipe without a writer does not hang the window). Reads and writes go to explicit
// offsets and never move a shared file position.
class ImageFile {
  public:
    enum class Access { Read, ReadWrite };
    enum class Lock { Shared, Exclusive };

    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ImageFile(ImageFile&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}
    ImageFile& operator=(ImageFile&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = std::exchange(other.handle_, kClosed);
        }
        return *this;
    }
    ~ImageFile() { close(); }

    // On failure the returned file is not open and `error` holds the system's reason. Other
    // programs may still read the file while it is open; where the system enforces sharing
    // (Windows), a file another program holds without sharing fails as InUse, after it was tried
    // again for about a second (a sync program or a virus scanner may hold it for a moment).
    static ImageFile Open(const std::string& path, Access access, FileError* error = nullptr);

    [[nodiscard]] bool isOpen() const { return handle_ != kClosed; }

    // Facts about the open file itself, immune to the path being swapped after the open.
    bool facts(FileFacts& facts, FileError* error = nullptr) const;

    // Takes a lock on the whole file, held until close() (see readBackAt): Shared for a load,
    // Exclusive for a save, so that two editors cannot interleave. A lock held elsewhere is tried
    // again for about a second (it may be another window's save); false when it is still held
    // then (`error`: InUse) or the lock failed for another reason. A file system that has no
    // locks at all counts as locked: nobody there could honour one.
    bool lock(Lock kind, FileError* error = nullptr);

    // Reads up to buffer.size() bytes at `offset` into the front of the buffer and returns how
    // many it read. Fewer than asked for means `error` says why; `endOfFile` is then set when the
    // file ended ("the position lies past the end of the file") rather than the read failing.
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> buffer,
                       FileError* error = nullptr, bool* endOfFile = nullptr) const;

    // Writes all of `bytes` at `offset` with one system call (retried only for the rest of a
    // short write), so that a small field is on disk either wholly old or wholly new. False, with
    // the reason, if any byte was not written.
    bool writeAt(std::int64_t offset, std::span<const std::uint8_t> bytes,
                 FileError* error = nullptr) const;

    // Asks the system to put everything written so far on the disk and waits for it.
    bool flushToDisk(FileError* error = nullptr) const;

    // How a read-back reached the bytes.
    enum class ReadBack {
        PastCache,    // through a second handle that bypasses the system's cache
        CacheDropped, // the file system refuses that; its cached pages were dropped, then read
        CachedOnly,   // the system offers neither: possibly this program's writes in memory
    };

    // Reads like readAt, but, after a flush, as the storage holds the bytes rather than as this
    // program's own writes left them in memory, as far as the system lets a program ask, and
    // says in `way` how far that was. The last thing a save does before it closes the file: on
    // Windows, where a lock refuses even this program's second handle, it ends the lock (the
    // open file's sharing still keeps other writers out); elsewhere the lock holds on.
    std::size_t readBackAt(std::int64_t offset, std::span<std::uint8_t> buffer, ReadBack& way,
                           FileError* error = nullptr) const;

    // Closes now (releasing any lock) and reports a failed close, which on some file systems is
    // the first sign that written data was lost. The destructor closes silently.
    bool close(FileError* error = nullptr);

  private:
    // A POSIX descriptor or a Windows HANDLE, whichever the platform's file layer uses.
    using Handle = std::intptr_t;
    static constexpr Handle kClosed = -1;

    explicit ImageFile(Handle handle) : handle_(handle) {}
    Handle handle_ = kClosed;
};

} // namespace kelvarin
