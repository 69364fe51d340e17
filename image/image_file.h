#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace kelvarin {

// What a file layer says when another program holds the file: locked against us, or (on Windows)
// open without sharing. The roster turns it into advice to wait rather than to check permissions.
inline constexpr const char* kFileInUse = "another program is using the file";

// Paths are UTF-8 text on every platform; each file layer turns them into the system's own form
// (bytes on POSIX, wide characters with the long-path prefix on Windows).

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
    bool missing = false;      // nothing exists at the path (only InspectPath sets it)
    std::string notPlainFile;  // "" for a plain disk file; else "a folder", "a named pipe", ...
    std::int64_t size = 0;     // bytes; meaningful for plain files only
    FileIdentity identity;     //
    std::int64_t modified = 0; // last modification, in the system's own ticks; only compared
    bool readOnly = false;     // the system marks the file as not to be written (Windows attribute)
};

// Looks at a path without opening it, following links, so that a pipe or a device is recognised
// before anything could block on it or disturb it (on Windows also the reserved device names such
// as "NUL" or "com1.nds", and device paths). False when the path cannot be looked at; `error`
// then says why in the system's words, and `facts.missing` tells whether nothing is there.
bool InspectPath(const std::string& path, FileFacts& facts, std::string* error = nullptr);

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
    // (Windows), a file another program holds without sharing fails with "another program is
    // using the file".
    static ImageFile Open(const std::string& path, Access access, std::string* error = nullptr);

    [[nodiscard]] bool isOpen() const { return handle_ != kClosed; }

    // Facts about the open file itself, immune to the path being swapped after the open.
    bool facts(FileFacts& facts, std::string* error = nullptr) const;

    // Takes a lock on the whole file without waiting, held until the file is closed: Shared for
    // a load, Exclusive for a save, so that two editors cannot interleave. False when another
    // program holds a conflicting lock (`error`: "another program is using the file") or the
    // lock failed for another reason. A file system that has no locks at all counts as locked:
    // nobody there could honour one.
    bool lock(Lock kind, std::string* error = nullptr) const;

    // Reads up to buffer.size() bytes at `offset` into the front of the buffer and returns how
    // many it read. Fewer than asked for means `error` says why; `endOfFile` is then set when the
    // file ended ("the position lies past the end of the file") rather than the read failing.
    std::size_t readAt(std::int64_t offset, std::span<std::uint8_t> buffer,
                       std::string* error = nullptr, bool* endOfFile = nullptr) const;

    // Writes all of `bytes` at `offset` with one system call (retried only for the rest of a
    // short write), so that a small field is on disk either wholly old or wholly new. False, with
    // the reason, if any byte was not written.
    bool writeAt(std::int64_t offset, std::span<const std::uint8_t> bytes,
                 std::string* error = nullptr) const;

    // Asks the system to put everything written so far on the disk and waits for it.
    bool flushToDisk(std::string* error = nullptr) const;

    // Closes now (releasing any lock) and reports a failed close, which on some file systems is
    // the first sign that written data was lost. The destructor closes silently.
    bool close(std::string* error = nullptr);

  private:
    // A POSIX descriptor or a Windows HANDLE, whichever the platform's file layer uses.
    using Handle = std::intptr_t;
    static constexpr Handle kClosed = -1;

    explicit ImageFile(Handle handle) : handle_(handle) {}
    Handle handle_ = kClosed;
};

} // namespace kelvarin
